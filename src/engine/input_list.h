// The input file list: the files of the input folder that the input filter
// ("IFmt") selects, with their size and last-write time formatted for the
// list's columns, in the order Windows' case-insensitive string sort gives
// (CompareFileNames), which is also the order of serial numbers. Plug-in
// extensions come from the caller; directories and hidden entries are left
// out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/plugin_loader.h"
#include "settings/conversion_parameters.h"

namespace pixlane {

inline constexpr uint32_t kFileAttributeHidden = 0x2;       // FILE_ATTRIBUTE_HIDDEN
inline constexpr uint32_t kFileAttributeDirectory = 0x10;   // FILE_ATTRIBUTE_DIRECTORY
inline constexpr size_t kMaxPluginExtensions = 100;

struct InputListEntry {
  std::u16string name;
  uint64_t size = 0;
  FileTime lastWriteTime = 0;
  std::u16string sizeText;  // "1,024 KB"
  std::u16string timeText;  // "2009/03/14 15:26:53", local time
};

// The extensions ("." + text) listed for an input filter, in order. For
// "IFmt" 0 the plug-in extensions follow the native ones (given with their
// dot, e.g. ".pic"; those the program reads itself are dropped, at most 100
// are used); an "IFmt" outside 0..6 lists nothing. Wildcards "*" and "?" in
// an extension match as in Windows file patterns.
std::vector<std::u16string> InputPatterns(const ConversionParameters& params,
                                          std::span<const std::u16string> pluginExtensions = {});

// The extensions (".pic") of the file patterns that the image input
// plug-ins in `pluginFolder` declare, for FillInputList under "IFmt" 0.
// Empty for any other filter, and when the folder setting is empty or not a
// directory (no library is loaded then).
std::vector<std::u16string> PluginInputExtensions(const ConversionParameters& params,
                                                  std::u16string_view pluginFolder,
                                                  PluginLoader& loader = SystemPluginLoader());

// "N KB": the size rounded up to whole kilobytes, "," between thousands.
std::u16string FormatSizeColumn(uint64_t bytes);
// "yyyy/MM/dd HH:mm:ss".
std::u16string FormatTimeColumn(const LocalDateTime& time);

// Rebuilds `entries` from `folder`: every file that matches one of the
// patterns (once, even when several match), carries none of the attribute
// bits in `hiddenAttributeMask` (the "Hidden" setting: 2 hides hidden
// files), has an extension no longer than the matching pattern's, sorted by
// CompareFileNames. False, with an empty list, when the folder is not an
// existing, readable directory.
bool FillInputList(std::u16string_view folder, const ConversionParameters& params,
                   uint32_t hiddenAttributeMask, std::vector<InputListEntry>& entries,
                   std::span<const std::u16string> pluginExtensions = {});

}  // namespace pixlane
