// Scratch trees and encoding-neutral file helpers for the settings tests.
#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane::test {

ScratchTree::ScratchTree() {
  if (MakeTemporaryFile(TemporaryFolder(), u"pxs", reservation_)) {
    path_ = reservation_ + u".d";
    CreateFolder(path_);
  }
  EXPECT_TRUE(IsDirectory(path_)) << "could not create a scratch folder";
}

ScratchTree::~ScratchTree() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
  DeleteFilePath(reservation_);
}

std::u16string ScratchTree::File(std::string_view name) const {
  return JoinPath(path_, Utf8ToUtf16(name));
}

std::u16string ScratchTree::Folder(std::string_view name) const {
  const std::u16string folder = File(name);
  EXPECT_TRUE(CreateFolder(folder));
  return folder;
}

void WriteUtf16File(const std::u16string& path, std::u16string_view text) {
  std::vector<uint8_t> bytes = {0xFF, 0xFE};
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  ASSERT_TRUE(WriteWholeFile(path, bytes));
}

std::u16string DecodedText(const std::u16string& path) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes));
  std::u16string text;
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
  } else {
    text = Utf8ToUtf16(std::string(bytes.begin(), bytes.end()));
  }
  std::u16string lf;
  for (char16_t c : text) {
    if (c != u'\r') lf.push_back(c);
  }
  return lf;
}

}  // namespace pixlane::test
