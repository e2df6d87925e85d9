// The portable part of the known-folder queries: reading the pictures
// folder out of an XDG user-dirs.dirs text. Later lines win, as in the
// xdg-user-dirs lookup; lines that are neither "$HOME/…" nor absolute are
// ignored.
#include "platform/known_folders.h"

#include "platform/text.h"

namespace pixlane {
namespace {

constexpr std::string_view kPicturesKey = "XDG_PICTURES_DIR";

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The folder named by one line, or false when the line is not a usable
// XDG_PICTURES_DIR assignment.
bool ParseLine(std::string_view line, std::u16string_view home, std::u16string& folder) {
  size_t i = 0;
  while (i < line.size() && IsSpace(line[i])) ++i;
  if (line.substr(i, kPicturesKey.size()) != kPicturesKey) return false;
  i += kPicturesKey.size();
  while (i < line.size() && IsSpace(line[i])) ++i;
  if (i >= line.size() || line[i] != '=') return false;
  ++i;
  while (i < line.size() && IsSpace(line[i])) ++i;
  if (i >= line.size() || line[i] != '"') return false;
  ++i;
  bool relative = false;
  if (line.substr(i, 5) == "$HOME") {
    relative = true;
    i += 5;
  } else if (i >= line.size() || line[i] != '/') {
    return false;
  }
  std::string path;
  for (; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    path.push_back(line[i]);
  }
  if (relative && home.empty()) return false;
  folder = relative ? std::u16string(home) + Utf8ToUtf16(path) : Utf8ToUtf16(path);
  while (folder.size() > 1 && folder.back() == u'/') folder.pop_back();
  return !folder.empty();
}

}  // namespace

std::u16string PicturesFolderFromUserDirs(std::string_view userDirsText, std::u16string_view home) {
  std::u16string result;
  size_t start = 0;
  while (start < userDirsText.size()) {
    size_t end = userDirsText.find('\n', start);
    if (end == std::string_view::npos) end = userDirsText.size();
    std::u16string folder;
    if (ParseLine(userDirsText.substr(start, end - start), home, folder)) result = folder;
    start = end + 1;
  }
  return result;
}

}  // namespace pixlane
