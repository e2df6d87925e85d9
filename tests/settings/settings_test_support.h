// Helpers for the settings tests: scratch folders that may hold subfolders,
// INI files written as UTF-16LE (read by both builds) and saved files read
// back as decoded text with LF line ends (UTF-16 under Windows, UTF-8 on
// POSIX).
#pragma once

#include <string>
#include <string_view>

#include "support/test_support.h"

namespace pixlane::test {

// A fresh folder under the temporary folder whose whole tree is removed
// afterwards. Its name is derived from a temporary file that is kept until
// then, so that no other test process (they share the temporary folder,
// under Wine too) can be handed the same name meanwhile.
class ScratchTree {
 public:
  ScratchTree();
  ~ScratchTree();
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;

  const std::u16string& path() const { return path_; }
  std::u16string File(std::string_view name) const;
  // Creates a subfolder and returns its path.
  std::u16string Folder(std::string_view name) const;

 private:
  std::u16string reservation_;
  std::u16string path_;
};

void WriteUtf16File(const std::u16string& path, std::u16string_view text);
std::u16string DecodedText(const std::u16string& path);

}  // namespace pixlane::test
