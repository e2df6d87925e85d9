// Names of the temporary files a run writes beside its outputs, and the
// removal of such files that a killed run left behind. A name is
// ".pixlane-" + 8 hex digits of this machine's name + "-" + the process id
// + "-" + 16 random hex digits + ".tmp"; a file is stale only when its name
// has exactly that form, it was made on this machine, its process is no
// longer running, it is a regular file (not a link) and nobody is writing
// it. Nothing else is ever removed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pixlane {

struct TemporaryNameParts {
  uint32_t machineTag = 0;
  uint32_t processId = 0;
};

// A path in `folder` for a new temporary file whose name no entry has now.
// The file itself is created by whoever writes it (exclusively).
std::u16string MakeTemporaryName(std::u16string_view folder);

// Whether `name` (without folder) has the temporary form; fills `parts`.
bool ParseTemporaryName(std::u16string_view name, TemporaryNameParts& parts);

// The tag of this machine inside temporary names.
uint32_t MachineTag();

// Removes the stale temporary files of `folder` (see above); returns how
// many were removed.
int RemoveStaleTemporaryFiles(std::u16string_view folder);

// For a process that is ending in the middle of a batch: deletes the
// temporary files it created and has not renamed or deleted yet (those of
// files converted ahead of their commits), and refuses new files
// (DeleteUnfinishedOwnFiles). Returns how many were deleted.
int DeleteOwnTemporaryFiles();

}  // namespace pixlane
