// Where the settings file lives. Decided once at start-up: an explicit path
// from the front end wins; otherwise "Pixlane.ini" beside the executable if
// it exists, else in a "Pixlane" folder of the per-user application-data
// folder, else beside the executable after all.
#pragma once

#include <string>
#include <string_view>

namespace pixlane {

inline constexpr std::u16string_view kProductName = u"Pixlane";
inline constexpr std::u16string_view kIniFileName = u"Pixlane.ini";

struct IniLocateOptions {
  // Used as it is when not empty (the CLI's --ini).
  std::u16string explicitPath;
  // The Windows GUI refuses to start under another name than
  // "Pixlane.exe" (any case); ignored on POSIX, where programs have no
  // extension.
  bool requireProductName = false;
  // Create the per-user "Pixlane" folder when it is missing (a front end
  // that never writes settings passes false).
  bool createFolder = true;
};

// The location rule over given inputs: `executablePath` (may be empty when
// unknown) and `appDataFolder` (empty when unavailable). False when the
// executable's name is required and wrong, or when neither folder is known.
bool ChooseIniFile(std::u16string_view executablePath, std::u16string_view appDataFolder,
                   bool requireProductName, bool createFolder, std::u16string& iniPath);

// The location rule over the running program's executable path and the
// user's application-data folder.
bool LocateIniFile(const IniLocateOptions& options, std::u16string& iniPath);

}  // namespace pixlane
