// The settings-file location rule.
#include "settings/ini_location.h"

#include "platform/file_system.h"
#include "platform/known_folders.h"
#include "platform/text.h"

namespace pixlane {
namespace {

bool HasProductName(std::u16string_view executablePath) {
  std::u16string expected(kProductName);
  expected.append(u".exe");
  return EqualsIgnoreCaseAscii(FileNamePart(executablePath), expected);
}

}  // namespace

bool ChooseIniFile(std::u16string_view executablePath, std::u16string_view appDataFolder,
                   bool requireProductName, bool createFolder, std::u16string& iniPath) {
  if (requireProductName && !HasProductName(executablePath)) return false;
  std::u16string besideProgram;
  if (!executablePath.empty()) {
    besideProgram = JoinPath(FolderPart(executablePath), kIniFileName);
    if (PathExists(besideProgram)) {
      iniPath = besideProgram;
      return true;
    }
  }
  if (appDataFolder.empty()) {
    // Created beside the program at exit.
    if (besideProgram.empty()) return false;
    iniPath = besideProgram;
    return true;
  }
  const std::u16string folder = JoinPath(appDataFolder, kProductName);
  if (createFolder && !IsDirectory(folder)) {
    // A fresh POSIX account may not have its configuration folder yet.
    if (!IsDirectory(appDataFolder)) CreateFolder(appDataFolder);
    CreateFolder(folder);
  }
  iniPath = JoinPath(folder, kIniFileName);
  return true;
}

bool LocateIniFile(const IniLocateOptions& options, std::u16string& iniPath) {
#ifdef _WIN32
  const bool requireName = options.requireProductName;
#else
  const bool requireName = false;
#endif
  const std::u16string executable = ExecutablePath();
  if (!options.explicitPath.empty()) {
    if (requireName && !HasProductName(executable)) return false;
    iniPath = options.explicitPath;
    return true;
  }
  return ChooseIniFile(executable, UserAppDataFolder(), requireName, options.createFolder, iniPath);
}

}  // namespace pixlane
