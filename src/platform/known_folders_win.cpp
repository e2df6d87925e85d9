// Win32 known folders: GetModuleFileNameW for the program and the shell's
// CSIDL folders (application data, My Pictures).
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/known_folders.h"

namespace pixlane {
namespace {

static_assert(sizeof(wchar_t) == 2, "UTF-16 strings are passed to the W functions as they are");

std::u16string ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(path));
}

}  // namespace

std::u16string ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size())
      return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), n);
    if (buffer.size() >= 32768) return {};  // longer than any Windows path
    buffer.resize(buffer.size() * 2);
  }
}

std::u16string UserAppDataFolder() { return ShellFolder(CSIDL_APPDATA); }

std::u16string UserPicturesFolder() { return ShellFolder(CSIDL_MYPICTURES); }

}  // namespace pixlane
