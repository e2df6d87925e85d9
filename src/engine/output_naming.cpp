// Output file naming: the three naming modes, the collision suffix against
// the disk, and the name preview against a list of taken names. Name
// sameness follows the host's file system (FileNameKey): case-insensitive on
// Windows, exact on POSIX, so the preview predicts what the batch will do.
#include "engine/output_naming.h"

#include <iterator>
#include <unordered_map>

#include "platform/file_name_rules.h"
#include "platform/file_system.h"
#include "platform/name_order.h"
#include "platform/text.h"

namespace pixlane {
namespace {

constexpr int32_t kMinDigits = 1;
constexpr int32_t kMaxDigits = 5;
// Characters of "yyyy:mm:dd hh:mm:ss" that make up the stem, and the place
// of the "_" between date and time.
constexpr size_t kExifDigitPositions[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
constexpr size_t kExifDateLength = 19;
constexpr size_t kExifTimeStart = 8;  // index into kExifDigitPositions

bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The path without the extension of its last component.
std::u16string_view WithoutExtension(std::u16string_view path) {
  const std::u16string_view name = FileNamePart(path);
  const size_t extensionLength = name.size() - FileStem(name).size();
  return path.substr(0, path.size() - extensionLength);
}

std::u16string TrimTrailingSeparators(std::u16string_view path) {
  while (path.size() > 1 && FileNamePart(path).empty()) path.remove_suffix(1);
  return std::u16string(path);
}

bool EndsWithIgnoreCase(std::u16string_view text, std::u16string_view tail) {
  return text.size() >= tail.size() &&
         EqualsIgnoreCaseAscii(text.substr(text.size() - tail.size()), tail);
}

// The names of the output folder as a multiset keyed by FileNameKey: slots
// are added and freed, never reordered.
class TakenNames {
 public:
  void Add(std::u16string_view name) { ++counts_[FileNameKey(name)]; }
  bool Contains(std::u16string_view name) const {
    return counts_.find(FileNameKey(name)) != counts_.end();
  }
  void RemoveOne(std::u16string_view name) {
    const auto it = counts_.find(FileNameKey(name));
    if (it == counts_.end()) return;
    if (--it->second == 0) counts_.erase(it);
  }

 private:
  std::unordered_map<std::u16string, int> counts_;
};

}  // namespace

NamingMode NamingModeFromNameSet(int32_t nameSet) {
  switch (nameSet) {
    case 1: return NamingMode::ExifDateFirst;
    case 2: return NamingMode::SerialNumber;
    default: return NamingMode::InputName;
  }
}

NamingState MakeNamingState(const ConversionParameters& params, std::u16string_view outputFolder,
                            std::u16string_view extension) {
  NamingState state;
  state.mode = NamingModeFromNameSet(params.NameSet);
  state.outputFolder.assign(outputFolder);
  state.extension.assign(extension);
  if (params.TopAdd != 0) state.prefix = params.TopStr;
  if (params.EndAdd != 0) state.suffix = params.EndStr;
  state.digitCount = params.DigitNum < kMinDigits   ? kMinDigits
                     : params.DigitNum > kMaxDigits ? kMaxDigits
                                                    : params.DigitNum;
  state.startNumber = params.StartNum;
  return state;
}

std::u16string_view FileStem(std::u16string_view fileName) {
  const size_t dot = fileName.rfind(u'.');
  return dot == std::u16string_view::npos ? fileName : fileName.substr(0, dot);
}

std::u16string SerialNumberText(int64_t n, int32_t digitCount) {
  // The magnitude as unsigned, so that the most negative value works too.
  uint64_t magnitude = n < 0 ? 0u - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10u));
    magnitude /= 10u;
  } while (magnitude != 0);
  if (digitCount > 0 && digits.size() < static_cast<size_t>(digitCount)) {
    digits.insert(0, static_cast<size_t>(digitCount) - digits.size(), u'0');
  }
  if (n < 0) digits.insert(digits.begin(), u'-');
  return digits;
}

bool ExifDateStem(const ExifDate& date, std::u16string& stem) {
  if (!date.present) return false;
  size_t length = 0;
  while (length < date.text.size() && date.text[length] != '\0') ++length;
  const std::u16string text = AnsiToUtf16(std::string_view(date.text.data(), length));
  if (text.size() < kExifDateLength) return false;
  std::u16string result;
  for (size_t i = 0; i < std::size(kExifDigitPositions); ++i) {
    const char16_t c = text[kExifDigitPositions[i]];
    // Cameras write blanks for an unknown date; such text, or any other
    // non-digit, would make a meaningless or invalid file name.
    if (!IsAsciiDigit(c)) return false;
    if (i == kExifTimeStart) result.push_back(u'_');
    result.push_back(c);
  }
  stem = std::move(result);
  return true;
}

std::u16string MakeOutputName(const NamingState& state, std::u16string_view inputFileName,
                              const ExifDate& exifDate) {
  std::u16string stem;
  switch (state.mode) {
    case NamingMode::SerialNumber:
      stem = SerialNumberText(state.startNumber + state.processedCount, state.digitCount);
      break;
    case NamingMode::ExifDateFirst:
      if (ExifDateStem(exifDate, stem)) break;
      stem = FileStem(inputFileName);
      break;
    case NamingMode::InputName:
      stem = FileStem(inputFileName);
      break;
  }
  std::u16string name = state.prefix;
  name.append(stem);
  name.append(state.suffix);
  name.append(state.extension);
  return name;
}

std::u16string MakeOutputPath(const NamingState& state, std::u16string_view inputFileName,
                              const ExifDate& exifDate) {
  return JoinPath(state.outputFolder, MakeOutputName(state, inputFileName, exifDate));
}

std::u16string CollisionName(std::u16string_view name, int k, std::u16string_view extension) {
  std::u16string candidate(WithoutExtension(name));
  candidate.push_back(u'+');
  candidate.append(SerialNumberText(k, 1));
  candidate.append(extension);
  return candidate;
}

bool MakeUniqueName(std::u16string& name, std::u16string_view extension,
                    const std::function<bool(const std::u16string&)>& isTaken) {
  if (!isTaken(name)) return true;
  for (int k = 1; k <= kMaxCollisionSuffix; ++k) {
    std::u16string candidate = CollisionName(name, k, extension);
    if (!isTaken(candidate)) {
      name = std::move(candidate);
      return true;
    }
  }
  return false;
}

bool MakeUniquePath(std::u16string& path, std::u16string_view extension) {
  return MakeUniqueName(path, extension,
                        [](const std::u16string& candidate) { return PathTaken(candidate); });
}

std::vector<PreviewRow> PreviewNames(const NamingState& naming, const PreviewRequest& request) {
  std::vector<PreviewRow> rows;
  NamingState state = naming;

  TakenNames taken;
  std::vector<DirectoryEntry> existing;
  if (ListDirectory(state.outputFolder, existing)) {
    for (const DirectoryEntry& entry : existing) {
      if (EndsWithIgnoreCase(entry.name, state.extension)) taken.Add(entry.name);
    }
  }
  const std::u16string outputKey = FileNameKey(TrimTrailingSeparators(state.outputFolder));

  ExifDate exifDate;
  for (size_t i = 0; i < request.entryNames.size(); ++i) {
    const std::u16string& entryName = request.entryNames[i];
    state.processedCount = static_cast<int64_t>(i);
    const std::u16string inputPath = JoinPath(request.inputFolder, entryName);
    if (!PathExists(inputPath)) continue;
    const std::u16string_view fileName = FileNamePart(entryName);
    const bool deleteMode =
        request.deleteInputs &&
        FileNameKey(TrimTrailingSeparators(FolderPart(inputPath))) == outputKey;
    exifDate.Clear();
    if (state.mode == NamingMode::ExifDateFirst && request.readExifDate) {
      request.readExifDate(inputPath, exifDate);
    }
    std::u16string name = MakeOutputName(state, fileName, exifDate);
    // The batch refuses such a name for this file; the preview leaves it out.
    if (CheckHostFileName(name) != NameProblem::None) continue;
    if (!MakeUniqueName(name, state.extension, [&taken](const std::u16string& candidate) {
          return taken.Contains(candidate);
        })) {
      continue;
    }
    taken.Add(name);
    // The input is deleted after its conversion: its name is free from now on.
    if (deleteMode) taken.RemoveOne(fileName);
    rows.push_back(PreviewRow{entryName, std::move(name)});
  }
  return rows;
}

}  // namespace pixlane
