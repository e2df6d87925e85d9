// POSIX known folders: /proc/self/exe for the program, the XDG base
// directory rules for the configuration folder, user-dirs.dirs for the
// pictures folder.
#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/known_folders.h"
#include "platform/text.h"

namespace pixlane {
namespace {

// user-dirs.dirs is a few hundred bytes; anything much larger is not it.
constexpr uint64_t kMaxUserDirsBytes = 64u << 10;

std::u16string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return Utf8ToUtf16(home);
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return Utf8ToUtf16(found->pw_dir);
  }
  return {};
}

}  // namespace

std::u16string ExecutablePath() {
  std::vector<char> buffer(1024);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) {
      return Utf8ToUtf16(std::string_view(buffer.data(), static_cast<size_t>(n)));
    }
    if (buffer.size() >= (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::u16string UserAppDataFolder() {
  // Relative values of XDG_CONFIG_HOME are invalid and ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return Utf8ToUtf16(config);
  const std::u16string home = HomeFolder();
  if (home.empty()) return {};
  return JoinPath(home, u".config");
}

std::u16string UserPicturesFolder() {
  const std::u16string home = HomeFolder();
  const std::u16string config = UserAppDataFolder();
  if (!config.empty()) {
    InputFile in;
    if (in.Open(JoinPath(config, u"user-dirs.dirs")) && in.Size() <= kMaxUserDirsBytes) {
      std::string text(static_cast<size_t>(in.Size()), '\0');
      text.resize(in.Read(text.data(), text.size()));
      std::u16string folder = PicturesFolderFromUserDirs(text, home);
      if (!folder.empty()) return folder;
    }
  }
  if (home.empty()) return {};
  return JoinPath(home, u"Pictures");
}

}  // namespace pixlane
