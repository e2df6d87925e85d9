// Helpers shared by the tests: the checked-in data folder, scratch folders
// that clean up after themselves, whole-file reads and writes, and small
// generated images.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/image_buffer.h"

namespace pixlane::test {

// Path of a file under tests/data, usable by the build under test (a
// drive-qualified path under Wine).
std::u16string TestDataPath(std::string_view relative);

// A fresh empty folder under the temporary folder, removed with its files
// (one level deep) when the object goes away.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::u16string& path() const { return path_; }
  std::u16string File(std::string_view name) const;

 private:
  std::u16string probe_;  // the temporary file that reserves the name
  std::u16string path_;
};

bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& bytes);
// Replaces the file at `path` (a file there is deleted first).
bool WriteWholeFile(std::u16string_view path, const std::vector<uint8_t>& bytes);

#ifndef _WIN32
// While it lives, files of this process cannot grow beyond `bytes` (the
// soft RLIMIT_FSIZE; SIGXFSZ is ignored, so a write past it fails with
// EFBIG): a full disk without a small file system.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  uint64_t previous_ = 0;
  void (*previousHandler_)(int) = nullptr;
};
#endif

// FNV-1a 64 over the visible pixel bytes of an image (row fill bytes
// excluded), followed by the used palette entries for indexed images: a
// checksum that two decoders of the same file must agree on.
uint64_t PixelChecksum(const ImageBuffer& image);

// Fills an image with a deterministic pattern of the given size and depth
// (1, 4, 8 or 24 bits; indexed images get a distinct palette).
void MakePatternImage(ImageBuffer& image, int32_t width, int32_t height, int bitCount,
                      uint32_t seed = 1);

}  // namespace pixlane::test
