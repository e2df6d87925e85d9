// Well-known per-user folders and the running program's own path. Each
// query returns an empty string when the system cannot say; none of them
// creates anything.
#pragma once

#include <string>
#include <string_view>

namespace pixlane {

// The full path of the running executable.
std::u16string ExecutablePath();

// The per-user application-data folder: CSIDL_APPDATA on Windows;
// $XDG_CONFIG_HOME (when absolute) or $HOME/.config on POSIX.
std::u16string UserAppDataFolder();

// The user's pictures folder: CSIDL_MYPICTURES on Windows; on POSIX the
// XDG_PICTURES_DIR entry of user-dirs.dirs in the configuration folder,
// else $HOME/Pictures.
std::u16string UserPicturesFolder();

// The folder named by the XDG_PICTURES_DIR line of a user-dirs.dirs text
// ("$HOME/…" or an absolute path, in double quotes, with backslash
// escapes); empty when there is no usable line. Portable so that it can be
// tested everywhere.
std::u16string PicturesFolderFromUserDirs(std::string_view userDirsText, std::u16string_view home);

}  // namespace pixlane
