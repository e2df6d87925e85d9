// The main-window settings record (INI sections "MWin" and "FolderList"):
// loading at start-up with the first-start rule, writing at exit, and the
// initial window position as a function of the work area. Deleting the old
// sections before writing is the caller's job (SaveAllSettings).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_file.h"

namespace pixlane {

inline constexpr int32_t kMainWindowWidth = 720;
inline constexpr int32_t kMainWindowHeight = 500;
inline constexpr size_t kMaxRegisteredFolders = 100;
inline constexpr size_t kFolderHistoryLength = 8;

struct WindowSettings {
  // Left and top of the main window's normal placement, relative to the
  // work area.
  int32_t WinX = 0;
  int32_t WinY = 0;
  int32_t TopMost = 0;
  int32_t TvIOSet = 2;  // folder tree selection sets: 0 input, 1 output, 2 both
  int32_t Hidden = 2;   // attribute mask of entries hidden from the input list
  int32_t DTExpand = 1;
  int32_t EndMes = 1;
  int32_t FileMes = 1;
  int32_t Reset = 1;
  int32_t SdToCvt = 0;
  int32_t TipAct = 1;
  std::u16string ISPath;
  std::u16string OSPath;
  std::u16string SdToPath;
  std::u16string SPI;
  // Folder histories, most recent first ("IH0".."IH7", "OH0".."OH7").
  std::array<std::u16string, kFolderHistoryLength> IH;
  std::array<std::u16string, kFolderHistoryLength> OH;
  // Registered folders of the folder tree, at most kMaxRegisteredFolders.
  std::vector<std::u16string> FolderList;
};

// The work area of the desktop in screen coordinates.
struct WorkArea {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct WindowPosition {
  int32_t x = 0;
  int32_t y = 0;
};

// The offset that centres a 720 x 500 window in the work area (integer
// division, truncating toward zero; negative when the area is smaller).
WindowPosition CentredWindowOffset(const WorkArea& area);

// The screen position of the main window: the work area's left/top plus
// WinX/WinY, saturated to the int32 range.
WindowPosition InitialWindowPosition(const WorkArea& area, const WindowSettings& settings);

// Reads "MWin" and "FolderList" into `settings` and returns the initial
// window position. WinX/WinY default to the centred offset. "FolderList" is
// read from "0" up to the first missing key (at most 100); entries that are
// not existing folders are skipped. When the INI file does not exist (a
// first start) the folder list holds `picturesFolder` alone (nothing when
// it is empty).
WindowPosition LoadWindowSettings(const IniDocument& ini, const WorkArea& area,
                                  std::u16string_view picturesFolder, WindowSettings& settings);
// The same after reading the file once.
WindowPosition LoadWindowSettings(std::u16string_view iniPath, const WorkArea& area,
                                  std::u16string_view picturesFolder, WindowSettings& settings);
// The same with the user's pictures folder.
WindowPosition LoadWindowSettings(std::u16string_view iniPath, const WorkArea& area,
                                  WindowSettings& settings);

// Writes "MWin" in its fixed order (WinX, WinY, the flags and choices, the
// four paths, then IH0, OH0, IH1, OH1, … IH7, OH7) and "FolderList": the
// registered folders up to the first empty entry (at most 100) that are
// still existing folders, numbered from "0" without gaps. False when any
// write failed.
// Sets one "MWin" value by its key (case-insensitive) from text, for the
// CLI's --set: flags 0 or 1, TvIOSet 0..2, other integers in decimal, the
// four paths as given. The folder histories and "FolderList" are not
// settable this way. False, leaving the record unchanged, for an unknown
// key or an unusable value.
bool SetWindowSetting(WindowSettings& settings, std::u16string_view key,
                      std::u16string_view value);

bool WriteWindowSettings(IniDocument& ini, const WindowSettings& settings);

}  // namespace pixlane
