// Builds the input file list. Files are matched against the patterns here,
// on every build, rather than by the system's wildcard search, so Windows'
// matches through 8.3 short names never occur; the extension-length rule is
// kept all the same (it also bounds wildcard patterns such as ".*").
#include "engine/input_list.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "codecs/plugin_host.h"
#include "platform/name_order.h"
#include "platform/text.h"

namespace pixlane {
namespace {

constexpr std::u16string_view kNativeExtensions[] = {u".bmp", u".png", u".jpg",  u".jpe",
                                                     u".jpeg", u".tif", u".tiff", u".gif"};
constexpr size_t kExtensionSlots = 4;
constexpr int32_t kFilterExtensions = 6;

bool IsNativeExtension(std::u16string_view extension) {
  for (const std::u16string_view native : kNativeExtensions) {
    if (EqualsIgnoreCaseAscii(native, extension)) return true;
  }
  return false;
}

// Windows file-pattern matching of a whole name: "*" any run of characters,
// "?" exactly one, letters without regard to ASCII case. Iterative, with one
// backtrack point, so hostile patterns cost at most name × pattern steps.
bool MatchesPattern(std::u16string_view name, std::u16string_view pattern) {
  size_t n = 0;
  size_t p = 0;
  size_t starP = std::u16string_view::npos;
  size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == u'?' || ToLowerAscii(pattern[p]) == ToLowerAscii(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// The extension from the last dot; empty when there is none.
std::u16string_view Extension(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? std::u16string_view{} : name.substr(dot);
}

uint32_t AttributesOf(const DirectoryEntry& entry) {
  uint32_t attributes = 0;
  if (entry.isHidden) attributes |= kFileAttributeHidden;
  if (entry.isDirectory) attributes |= kFileAttributeDirectory;
  return attributes;
}

std::u16string TwoDigits(int32_t value) {
  std::u16string text;
  if (value < 10 && value >= 0) text.push_back(u'0');
  text.append(Utf8ToUtf16(std::to_string(value)));
  return text;
}

}  // namespace

std::vector<std::u16string> InputPatterns(const ConversionParameters& params,
                                          std::span<const std::u16string> pluginExtensions) {
  std::vector<std::u16string> patterns;
  auto addNative = [&patterns](size_t first, size_t count) {
    for (size_t i = first; i < first + count; ++i) patterns.emplace_back(kNativeExtensions[i]);
  };
  switch (params.IFmt) {
    case 0: {
      addNative(0, std::size(kNativeExtensions));
      size_t added = 0;
      for (const std::u16string& extension : pluginExtensions) {
        if (added == kMaxPluginExtensions) break;
        if (extension.size() < 2 || extension[0] != u'.' || IsNativeExtension(extension)) continue;
        patterns.push_back(extension);
        ++added;
      }
      break;
    }
    case 1: addNative(0, 1); break;  // .bmp
    case 2: addNative(1, 1); break;  // .png
    case 3: addNative(2, 3); break;  // .jpg .jpe .jpeg
    case 4: addNative(5, 2); break;  // .tif .tiff
    case 5: addNative(7, 1); break;  // .gif
    case kFilterExtensions:
      for (size_t i = 0; i < kExtensionSlots; ++i) {
        if (params.SelExt[i] != 0 && !params.ExtStr[i].empty()) {
          patterns.push_back(u"." + params.ExtStr[i]);
        }
      }
      break;
    default: break;
  }
  return patterns;
}

std::vector<std::u16string> PluginInputExtensions(const ConversionParameters& params,
                                                  std::u16string_view pluginFolder, PluginLoader& loader) {
  std::vector<std::u16string> extensions;
  if (params.IFmt != 0 || pluginFolder.empty() || !IsDirectory(pluginFolder)) return extensions;
  for (const std::u16string& pattern : ListInputPlugins(loader, pluginFolder, PluginListMode::Extensions)) {
    // "*.pic" lists by its extension; a pattern without one names no files.
    const std::u16string_view extension = Extension(pattern);
    if (extension.size() < 2 || extension.find_first_of(u"\\/") != std::u16string_view::npos) continue;
    extensions.emplace_back(extension);
  }
  return extensions;
}

std::u16string FormatSizeColumn(uint64_t bytes) {
  const uint64_t kilobytes = bytes / 1024u + (bytes % 1024u != 0 ? 1u : 0u);
  const std::string digits = std::to_string(kilobytes);
  std::u16string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text.push_back(u',');
    text.push_back(static_cast<char16_t>(digits[i]));
  }
  text.append(u" KB");
  return text;
}

std::u16string FormatTimeColumn(const LocalDateTime& time) {
  std::u16string text = Utf8ToUtf16(std::to_string(time.year));
  text += u'/' + TwoDigits(time.month) + u'/' + TwoDigits(time.day) + u' ' +
          TwoDigits(time.hour) + u':' + TwoDigits(time.minute) + u':' + TwoDigits(time.second);
  return text;
}

bool FillInputList(std::u16string_view folder, const ConversionParameters& params,
                   uint32_t hiddenAttributeMask, std::vector<InputListEntry>& entries,
                   std::span<const std::u16string> pluginExtensions) {
  entries.clear();
  std::vector<DirectoryEntry> listing;
  if (!IsDirectory(folder) || !ListDirectory(folder, listing)) return false;

  const std::vector<std::u16string> patterns = InputPatterns(params, pluginExtensions);
  std::vector<std::u16string> wildcards;
  wildcards.reserve(patterns.size());
  for (const std::u16string& pattern : patterns) wildcards.push_back(u"*" + pattern);

  for (DirectoryEntry& file : listing) {
    if (file.isDirectory || (AttributesOf(file) & hiddenAttributeMask) != 0) continue;
    const std::u16string_view extension = Extension(file.name);
    if (extension.empty()) continue;
    bool listed = false;
    for (size_t i = 0; i < patterns.size() && !listed; ++i) {
      listed = extension.size() <= patterns[i].size() && MatchesPattern(file.name, wildcards[i]);
    }
    if (!listed) continue;
    InputListEntry entry;
    entry.name = std::move(file.name);
    entry.size = file.size;
    entry.lastWriteTime = file.lastWriteTime;
    entry.sizeText = FormatSizeColumn(file.size);
    LocalDateTime local;
    if (FileTimeToLocalDateTime(file.lastWriteTime, local)) entry.timeText = FormatTimeColumn(local);
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(), [](const InputListEntry& a, const InputListEntry& b) {
    return FileNameLess(a.name, b.name);
  });
  return true;
}

}  // namespace pixlane
