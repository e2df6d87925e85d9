// Temporary names and the stale-file sweep over the file-system layer.
#include "platform/temporary_files.h"

#include <random>
#include <vector>

#include "platform/file_system.h"
#include "platform/process_info.h"
#include "platform/text.h"

namespace pixlane {
namespace {

constexpr std::u16string_view kPrefix = u".pixlane-";
constexpr std::u16string_view kSuffix = u".tmp";
constexpr size_t kTagDigits = 8;
constexpr size_t kRandomDigits = 16;
constexpr size_t kMaxProcessIdDigits = 10;
constexpr int kNameAttempts = 16;

std::u16string Hex(uint64_t value, size_t digits) {
  std::u16string text(digits, u'0');
  for (size_t i = digits; i > 0; --i, value >>= 4) {
    text[i - 1] = u"0123456789abcdef"[value & 0xF];
  }
  return text;
}

bool ParseHex(std::u16string_view text, uint64_t& value) {
  value = 0;
  for (const char16_t c : text) {
    uint64_t digit = 0;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10u;
    } else {
      return false;
    }
    value = value * 16 + digit;
  }
  return true;
}

uint64_t RandomBits() {
  std::random_device device;
  return (static_cast<uint64_t>(device()) << 32) ^ device();
}

}  // namespace

uint32_t MachineTag() {
  // FNV-1a over the UTF-16 units of the machine's name.
  static const uint32_t tag = [] {
    uint32_t hash = 2166136261u;
    for (const char16_t c : MachineName()) {
      hash ^= c;
      hash *= 16777619u;
    }
    return hash;
  }();
  return tag;
}

std::u16string MakeTemporaryName(std::u16string_view folder) {
  const std::u16string head = std::u16string(kPrefix) + Hex(MachineTag(), kTagDigits) + u"-" +
                              Utf8ToUtf16(std::to_string(CurrentProcessId())) + u"-";
  std::u16string path;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    path = JoinPath(folder, head + Hex(RandomBits(), kRandomDigits) + std::u16string(kSuffix));
    if (!PathTaken(path)) break;
  }
  return path;
}

bool ParseTemporaryName(std::u16string_view name, TemporaryNameParts& parts) {
  if (name.substr(0, kPrefix.size()) != kPrefix) return false;
  name.remove_prefix(kPrefix.size());
  if (name.size() < kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) {
    return false;
  }
  name.remove_suffix(kSuffix.size());
  // tag "-" pid "-" random
  if (name.size() < kTagDigits + 1 || name[kTagDigits] != u'-') return false;
  uint64_t tag = 0;
  if (!ParseHex(name.substr(0, kTagDigits), tag)) return false;
  name.remove_prefix(kTagDigits + 1);
  const size_t dash = name.find(u'-');
  if (dash == 0 || dash == std::u16string_view::npos || dash > kMaxProcessIdDigits) return false;
  const std::u16string_view pid = name.substr(0, dash);
  if (pid[0] == u'0') return false;
  uint64_t processId = 0;
  for (const char16_t c : pid) {
    if (c < u'0' || c > u'9') return false;
    processId = processId * 10 + (c - u'0');
  }
  if (processId > UINT32_MAX) return false;
  uint64_t random = 0;
  const std::u16string_view rest = name.substr(dash + 1);
  if (rest.size() != kRandomDigits || !ParseHex(rest, random)) return false;
  parts.machineTag = static_cast<uint32_t>(tag);
  parts.processId = static_cast<uint32_t>(processId);
  return true;
}

int RemoveStaleTemporaryFiles(std::u16string_view folder) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, entries)) return 0;
  const uint32_t self = CurrentProcessId();
  int removed = 0;
  for (const DirectoryEntry& entry : entries) {
    TemporaryNameParts parts;
    if (!ParseTemporaryName(entry.name, parts)) continue;
    if (parts.machineTag != MachineTag() || parts.processId == self) continue;
    if (IsProcessRunning(parts.processId)) continue;
    if (DeleteUnusedFile(JoinPath(folder, entry.name))) ++removed;
  }
  return removed;
}

namespace {

bool IsTemporaryPath(std::u16string_view path) {
  TemporaryNameParts parts;
  return ParseTemporaryName(FileNamePart(path), parts);
}

}  // namespace

int DeleteOwnTemporaryFiles() { return DeleteUnfinishedOwnFiles(&IsTemporaryPath); }

}  // namespace pixlane
