// Loading and writing the main-window settings ("MWin", "FolderList").
#include "settings/window_settings.h"

#include <algorithm>
#include <limits>

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/known_folders.h"
#include "platform/text.h"
#include "settings/conversion_parameters.h"
#include "settings/settings_limits.h"
#include "settings/stored_text.h"

namespace pixlane {
namespace {

using W = WindowSettings;

enum class Kind { Int, Flag, Path };

struct WindowKey {
  std::u16string_view key;
  Kind kind;
  int32_t W::*intField = nullptr;
  std::u16string W::*textField = nullptr;
};

// "MWin" in file order, before the folder histories. WinX/WinY are read
// separately (their default depends on the work area).
const WindowKey kWindowKeys[] = {
    {u"TopMost", Kind::Flag, &W::TopMost},
    {u"TvIOSet", Kind::Int, &W::TvIOSet},
    {u"Hidden", Kind::Int, &W::Hidden},
    {u"DTExpand", Kind::Flag, &W::DTExpand},
    {u"EndMes", Kind::Flag, &W::EndMes},
    {u"FileMes", Kind::Flag, &W::FileMes},
    {u"Reset", Kind::Flag, &W::Reset},
    {u"SdToCvt", Kind::Flag, &W::SdToCvt},
    {u"TipAct", Kind::Flag, &W::TipAct},
    {u"ISPath", Kind::Path, nullptr, &W::ISPath},
    {u"OSPath", Kind::Path, nullptr, &W::OSPath},
    {u"SdToPath", Kind::Path, nullptr, &W::SdToPath},
    {u"SPI", Kind::Path, nullptr, &W::SPI},
};

std::u16string Numbered(std::u16string_view prefix, size_t n) {
  return std::u16string(prefix) + Utf8ToUtf16(std::to_string(n));
}

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

bool SetWindowSetting(WindowSettings& settings, std::u16string_view key,
                      std::u16string_view value) {
  for (const WindowKey& k : kWindowKeys) {
    if (!EqualsIgnoreCaseAscii(key, k.key)) continue;
    if (k.kind == Kind::Path) {
      if (value.find_first_of(u"\r\n") != std::u16string_view::npos) return false;
      settings.*(k.textField) = std::u16string(value);
      return true;
    }
    int32_t number = 0;
    if (!ParseSettingInt(value, number)) return false;
    if (k.kind == Kind::Flag && number != 0 && number != 1) return false;
    if (k.intField == &W::TvIOSet && (number < 0 || number > 2)) return false;
    settings.*(k.intField) = number;
    return true;
  }
  for (const char16_t* name : {u"WinX", u"WinY"}) {
    if (EqualsIgnoreCaseAscii(key, name)) {
      int32_t number = 0;
      if (!ParseSettingInt(value, number)) return false;
      (name[3] == u'X' ? settings.WinX : settings.WinY) = number;
      return true;
    }
  }
  return false;
}

WindowPosition CentredWindowOffset(const WorkArea& area) {
  const int64_t width = int64_t{area.right} - area.left;
  const int64_t height = int64_t{area.bottom} - area.top;
  return {Saturate((width - kMainWindowWidth) / 2), Saturate((height - kMainWindowHeight) / 2)};
}

WindowPosition InitialWindowPosition(const WorkArea& area, const WindowSettings& settings) {
  return {Saturate(int64_t{area.left} + settings.WinX),
          Saturate(int64_t{area.top} + settings.WinY)};
}

WindowPosition LoadWindowSettings(std::u16string_view iniPath, const WorkArea& area,
                                  std::u16string_view picturesFolder, WindowSettings& settings) {
  IniDocument ini;
  ini.Load(iniPath);
  return LoadWindowSettings(ini, area, picturesFolder, settings);
}

WindowPosition LoadWindowSettings(const IniDocument& ini, const WorkArea& area,
                                  std::u16string_view picturesFolder, WindowSettings& settings) {
  const bool firstStart = ini.state() == IniFileState::Missing;
  const WindowSettings defaults;
  const WindowPosition centred = CentredWindowOffset(area);
  settings.WinX = ini.ReadInt(kWindowSection, u"WinX", centred.x);
  settings.WinY = ini.ReadInt(kWindowSection, u"WinY", centred.y);
  for (const WindowKey& k : kWindowKeys) {
    if (k.kind == Kind::Path) {
      settings.*(k.textField) =
          ReadStoredText(ini, kWindowSection, k.key, defaults.*(k.textField), kMaxPathChars);
      continue;
    }
    int32_t value = ini.ReadInt(kWindowSection, k.key, defaults.*(k.intField));
    if (k.kind == Kind::Flag) value &= 1;
    settings.*(k.intField) = value;
  }
  // A choice outside the three the tree offers means "both", the default.
  if (settings.TvIOSet < 0 || settings.TvIOSet > 2) settings.TvIOSet = defaults.TvIOSet;
  for (size_t i = 0; i < kFolderHistoryLength; ++i) {
    settings.IH[i] =
        ReadStoredText(ini, kWindowSection, Numbered(u"IH", i), u"", kMaxPathChars);
    settings.OH[i] =
        ReadStoredText(ini, kWindowSection, Numbered(u"OH", i), u"", kMaxPathChars);
  }

  settings.FolderList.clear();
  if (firstStart) {
    if (!picturesFolder.empty()) settings.FolderList.emplace_back(picturesFolder);
  } else {
    for (size_t i = 0; i < kMaxRegisteredFolders; ++i) {
      std::u16string folder =
          ReadStoredText(ini, kFolderListSection, Numbered(u"", i), u"", kMaxPathChars);
      if (folder.empty()) break;
      if (IsDirectory(folder)) settings.FolderList.push_back(std::move(folder));
    }
  }
  return InitialWindowPosition(area, settings);
}

WindowPosition LoadWindowSettings(std::u16string_view iniPath, const WorkArea& area,
                                  WindowSettings& settings) {
  return LoadWindowSettings(iniPath, area, UserPicturesFolder(), settings);
}

bool WriteWindowSettings(IniDocument& ini, const WindowSettings& settings) {
  bool ok = WriteStoredInt(ini, kWindowSection, u"WinX", settings.WinX);
  ok &= WriteStoredInt(ini, kWindowSection, u"WinY", settings.WinY);
  for (const WindowKey& k : kWindowKeys) {
    ok &= k.kind == Kind::Path
              ? WriteStoredText(ini, kWindowSection, k.key, settings.*(k.textField))
              : WriteStoredInt(ini, kWindowSection, k.key, settings.*(k.intField));
  }
  for (size_t i = 0; i < kFolderHistoryLength; ++i) {
    ok &= WriteStoredText(ini, kWindowSection, Numbered(u"IH", i), settings.IH[i]);
    ok &= WriteStoredText(ini, kWindowSection, Numbered(u"OH", i), settings.OH[i]);
  }
  size_t next = 0;
  const size_t count = std::min(settings.FolderList.size(), kMaxRegisteredFolders);
  for (size_t i = 0; i < count; ++i) {
    const std::u16string& folder = settings.FolderList[i];
    if (folder.empty()) break;
    if (!IsDirectory(folder) || !IsStorableIniValue(folder)) continue;
    ok &= WriteStoredText(ini, kFolderListSection, Numbered(u"", next++), folder);
  }
  return ok;
}

}  // namespace pixlane
