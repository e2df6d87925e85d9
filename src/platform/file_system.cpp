// Portable path helpers shared by the POSIX and Win32 file-system layers.
#include "platform/file_system.h"

namespace pixlane {
namespace {

bool IsSeparator(char16_t c) {
#ifdef _WIN32
  return c == u'\\' || c == u'/';
#else
  return c == u'/';
#endif
}

size_t LastSeparator(std::u16string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::u16string_view::npos;
}

}  // namespace

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  // No folder: the name is the path, absolute or not ("/a/b" stays rooted).
  if (folder.empty()) return std::u16string(name);
  std::u16string out(folder);
  while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
  if (!out.empty() && !IsSeparator(out.back())) out.push_back(kPathSeparator);
  out.append(name);
  return out;
}

std::u16string_view FileNamePart(std::u16string_view path) {
  const size_t sep = LastSeparator(path);
  return sep == std::u16string_view::npos ? path : path.substr(sep + 1);
}

std::u16string_view FolderPart(std::u16string_view path) {
  const size_t sep = LastSeparator(path);
  if (sep == std::u16string_view::npos) return {};
  // A file in a root keeps the root: "/a" gives "/", "C:\a" gives "C:\"
  // ("C:" alone would mean the drive's current folder).
  if (sep == 0 || (sep == 2 && path[1] == u':')) return path.substr(0, sep + 1);
  return path.substr(0, sep);
}

}  // namespace pixlane
