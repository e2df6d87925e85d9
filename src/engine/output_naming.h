// Output file names: the naming routine of a run ("NameSet": input name,
// Exif date first, serial number) with prefix, suffix and the saver's
// extension; the "+1" ... "+9999" step that avoids existing files; and the
// name preview of the confirmation window and `pixlane --dry-run`. Plain
// functions over a NamingState that the batch driver makes once per run.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/conversion_parameters.h"

namespace pixlane {

enum class NamingMode : int32_t {
  InputName = 0,
  ExifDateFirst = 1,
  SerialNumber = 2,
};

// "NameSet" 1 and 2 select their modes; every other value the input name.
NamingMode NamingModeFromNameSet(int32_t nameSet);

// The DateTimeOriginal text of a JPEG photo as the Exif reader found it:
// ANSI bytes, normally "yyyy:mm:dd hh:mm:ss" and a terminating zero.
struct ExifDate {
  bool present = false;
  std::array<char, 20> text{};

  void Clear() {
    present = false;
    text.fill('\0');
  }
};

// The naming routine of one run.
struct NamingState {
  NamingMode mode = NamingMode::InputName;
  std::u16string outputFolder;       // including the run's subfolder
  std::u16string extension = u".bmp";  // the saver's, with its dot
  std::u16string prefix;             // empty unless "TopAdd" is set
  std::u16string suffix;             // empty unless "EndAdd" is set
  int32_t digitCount = 2;            // "DigitNum", held to 1..5
  int64_t startNumber = 0;           // "StartNum"
  // Index of the current file among the run's targets: the batch driver
  // raises it after every target file, failed ones included, so serial
  // numbers keep gaps where files failed.
  int64_t processedCount = 0;
};

NamingState MakeNamingState(const ConversionParameters& params, std::u16string_view outputFolder,
                            std::u16string_view extension);

// A file name without its extension (the text from the last dot, if any):
// "archive.tar.bmp" gives "archive.tar", "README" stays "README".
std::u16string_view FileStem(std::u16string_view fileName);

// n in decimal, padded with zeros to `digitCount` digits and never cut:
// (7, 3) gives "007", (1234, 3) "1234", (-5, 3) "-005".
std::u16string SerialNumberText(int64_t n, int32_t digitCount);

// The stem for Exif-date naming: "2009:03:14 15:26:53" gives
// "20090314_152653". False when the date is absent or not made of digits at
// those positions (such files keep their own name).
bool ExifDateStem(const ExifDate& date, std::u16string& stem);

// The output file name (no folder) for an input file name: prefix + stem +
// suffix + extension. `exifDate` matters only in Exif mode.
std::u16string MakeOutputName(const NamingState& state, std::u16string_view inputFileName,
                              const ExifDate& exifDate = {});
// The output folder joined with MakeOutputName's result.
std::u16string MakeOutputPath(const NamingState& state, std::u16string_view inputFileName,
                              const ExifDate& exifDate = {});

inline constexpr int kMaxCollisionSuffix = 9999;

// The k-th collision name of `name` (a path or a bare name ending in
// `extension`): "<name without extension>+k<extension>".
std::u16string CollisionName(std::u16string_view name, int k, std::u16string_view extension);

// The collision step over any notion of "taken": when `isTaken(name)`,
// replaces `name` (a path or a bare name ending in `extension`) with the
// first "<name without extension>+k<extension>", k = 1..9999, that is not
// taken. False when all of them are.
bool MakeUniqueName(std::u16string& name, std::u16string_view extension,
                    const std::function<bool(const std::u16string&)>& isTaken);

// Checks `path` against the disk; when any entry has that name (a link
// that points nowhere included), replaces it with the first free
// "<path without extension>+k<extension>", k = 1..9999. False when all of
// them are taken. The batch itself does not use this look-ahead: its commit
// claims each name with a rename that never replaces (output_commit.h).
bool MakeUniquePath(std::u16string& path, std::u16string_view extension);

// Inputs of the name preview besides the run's naming routine (whose
// outputFolder already includes the subfolder; nothing is created).
struct PreviewRequest {
  // The checked entries, in list order, inside `inputFolder`; or, with an
  // empty `inputFolder`, full paths (a path batch), each named by its
  // file-name part.
  std::u16string inputFolder;
  std::vector<std::u16string> entryNames;
  bool deleteInputs = false;               // "IFileDel"
  // Called in Exif mode for every input that exists, with a cleared date:
  // fills it for a JPEG input with a DateTimeOriginal value and leaves other
  // files alone. May be empty; every file then keeps its own name.
  std::function<void(std::u16string_view inputPath, ExifDate& date)> readExifDate;
};

struct PreviewRow {
  std::u16string inputName;
  std::u16string outputName;
};

// The names a batch would choose, computed against the names already in the
// output folder and those chosen for earlier entries. When inputs are deleted
// and the input folder is the output folder, an entry's own name becomes
// free for the entries after it. Entries whose input no longer exists, and
// those for which all 9999 suffixes are taken, get no row. Serial numbers
// count every entry, skipped ones included.
std::vector<PreviewRow> PreviewNames(const NamingState& naming, const PreviewRequest& request);

}  // namespace pixlane
