// The commit of one converted file: the temporary file the pipeline wrote
// inside the output folder is flushed, then claimed under the first free
// name of the "+n" sequence by a rename that never replaces anything, then
// the folder entry is flushed; only after that is the input deleted or
// recycled, and only when its image was read completely and the file is
// still the one that was read. A kill at any point leaves either the
// temporary file (removed as stale by a later run) or the complete output,
// never a partial file under an output name, and the input exists unless
// its complete output does. The batch driver calls this once per converted
// file, on the thread that owns the commits.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace pixlane {

enum class InputDisposal { Keep, Delete, Recycle };

struct CommitRequest {
  std::u16string temporaryPath;  // the converted file, inside the output folder
  std::u16string outputPath;     // the name the naming routine chose
  std::u16string extension;      // the saver's, for the "+n" names
  std::u16string inputPath;
  InputDisposal disposal = InputDisposal::Keep;
  bool inputPartial = false;     // the reader filled in lost data
  FileIdentity inputIdentity;    // the input as it was read
};

enum class InputOutcome {
  Kept,              // no deletion was asked for
  Deleted,
  Recycled,
  KeptPartial,       // its image was only partly readable
  KeptChanged,       // it was replaced, changed or removed since it was read
  KeptDeleteFailed,  // the deletion or the move to the recycle bin failed
};

struct CommitResult {
  bool committed = false;
  std::u16string outputPath;  // the final name, when committed
  std::string reason;         // why not, with the system's words where it gave any
  InputOutcome input = InputOutcome::Kept;
};

// Moves one file to the recycle bin; false leaves it where it was.
using RecycleFunction = std::function<bool(std::u16string_view path)>;

// Commits the converted file. The temporary file is gone afterwards either
// way: renamed to the output name, or deleted (it is this process's own).
CommitResult CommitConvertedFile(const CommitRequest& request, const RecycleFunction& recycle);

// A short text for an input that was kept although its deletion was asked
// for; empty for the other outcomes.
const char* InputKeptReason(InputOutcome outcome);

}  // namespace pixlane
