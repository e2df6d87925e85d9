// Test helpers: data paths, scratch folders, file I/O, checksums, patterns.
#include "support/test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <atomic>
#include <filesystem>
#include <system_error>

#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane::test {

std::u16string TestDataPath(std::string_view relative) {
  std::string path = std::string(PIXLANE_TEST_DATA_DIR) + "/" + std::string(relative);
#ifdef _WIN32
  // The Linux source tree is drive Z: under Wine.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
#endif
  return Utf8ToUtf16(path);
}

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  // The unique temporary file reserves its name; the folder is that name
  // plus a suffix, and the file stays until the folder is gone so that no
  // other process can be handed the same name meanwhile.
  if (MakeTemporaryFile(TemporaryFolder(), u"pxt", probe_)) {
    std::string suffix = "_";
    suffix += std::to_string(counter++);
    path_ = probe_ + Utf8ToUtf16(suffix);
    if (PathExists(path_) || !CreateFolder(path_)) path_.clear();
  }
  EXPECT_TRUE(!path_.empty() && IsDirectory(path_)) << "could not create a scratch folder";
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(std::filesystem::path(path_), ignored);
  if (!probe_.empty()) DeleteFilePath(probe_);
}

std::u16string ScratchFolder::File(std::string_view name) const {
  return JoinPath(path_, Utf8ToUtf16(name));
}

#ifndef _WIN32
FileSizeLimit::FileSizeLimit(uint64_t bytes) {
  previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit {};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  previous_ = limit.rlim_cur;
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit() {
  struct rlimit limit {};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(previous_);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  ::signal(SIGXFSZ, previousHandler_);
}
#endif

bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& bytes) {
  InputFile in;
  if (!in.Open(path)) return false;
  bytes.resize(static_cast<size_t>(in.Size()));
  return in.Read(bytes.data(), bytes.size()) == bytes.size();
}

bool WriteWholeFile(std::u16string_view path, const std::vector<uint8_t>& bytes) {
  // Files are only ever created anew: an old one is removed first.
  DeleteFilePath(path);
  OutputFile out;
  return out.Create(path) && out.Write(bytes.data(), bytes.size()) && out.Close();
}

uint64_t PixelChecksum(const ImageBuffer& image) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](uint8_t b) {
    h ^= b;
    h *= 1099511628211ull;
  };
  const int32_t width = image.header.width;
  const int32_t height = image.header.height;
  const int bits = image.header.bitCount;
  const size_t stride = RowStride(width, bits);
  const size_t visible = (static_cast<size_t>(width) * static_cast<size_t>(bits) + 7) / 8;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = image.pixels.data() + stride * static_cast<size_t>(y);
    for (size_t i = 0; i < visible; ++i) mix(row[i]);
  }
  if (bits <= 8) {
    for (int i = 0; i < (1 << bits); ++i) {
      mix(image.palette[static_cast<size_t>(i)].blue);
      mix(image.palette[static_cast<size_t>(i)].green);
      mix(image.palette[static_cast<size_t>(i)].red);
    }
  }
  return h;
}

void MakePatternImage(ImageBuffer& image, int32_t width, int32_t height, int bitCount,
                      uint32_t seed) {
  image.Reset();
  SetImageHeader(image, width, height, bitCount, 0, 0);
  const size_t stride = RowStride(width, bitCount);
  ASSERT_TRUE(image.pixels.Allocate(stride * static_cast<size_t>(height)));
  uint32_t state = seed * 2654435761u + 12345u;
  auto next = [&state]() {
    state = state * 1103515245u + 12345u;
    return static_cast<uint8_t>(state >> 16);
  };
  const size_t visibleBits = static_cast<size_t>(width) * static_cast<size_t>(bitCount);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image.pixels.data() + stride * static_cast<size_t>(y);
    for (size_t i = 0; i < visibleBits / 8; ++i) row[i] = next();
    if (visibleBits % 8 != 0) {
      // Only the high bits of the last byte belong to pixels.
      const auto keep = static_cast<uint8_t>(0xFF << (8 - visibleBits % 8));
      row[visibleBits / 8] = static_cast<uint8_t>(next() & keep);
    }
  }
  if (bitCount <= 8) {
    for (int i = 0; i < (1 << bitCount); ++i) {
      RgbQuad& q = image.palette[static_cast<size_t>(i)];
      q.blue = static_cast<uint8_t>(i * 37 + 11);
      q.green = static_cast<uint8_t>(i * 91 + 7);
      q.red = static_cast<uint8_t>(255 - i * 13);
    }
  }
}

}  // namespace pixlane::test
