// JPEG test helpers: a plain segment walk (no checks beyond the bounds) and
// files made through a scratch folder.
#include "jpeg_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.h"

namespace pixlane::test {

std::vector<JpegSegmentCopy> ListJpegSegments(const std::vector<uint8_t>& file) {
  std::vector<JpegSegmentCopy> out;
  if (file.size() < 2 || file[0] != 0xFF || file[1] != 0xD8) return out;
  size_t pos = 2;
  while (pos + 4 <= file.size() && file[pos] == 0xFF) {
    const uint8_t code = file[pos + 1];
    if (code == 0xDA || code == 0xD9) break;
    const size_t length = (static_cast<size_t>(file[pos + 2]) << 8) | file[pos + 3];
    if (length < 2 || pos + 2 + length > file.size()) break;
    out.push_back(
        {code, std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                                    file.begin() + static_cast<std::ptrdiff_t>(pos + 2 + length))});
    pos += 2 + length;
  }
  return out;
}

std::vector<JpegSegmentCopy> ListJpegMetadata(const std::vector<uint8_t>& file) {
  std::vector<JpegSegmentCopy> out;
  for (JpegSegmentCopy& s : ListJpegSegments(file)) {
    if ((s.code >= 0xE0 && s.code <= 0xEF) || s.code == 0xFE) out.push_back(std::move(s));
  }
  return out;
}

bool ReadJpegFrame(const std::vector<uint8_t>& file, JpegFrameInfo& frame) {
  for (const JpegSegmentCopy& s : ListJpegSegments(file)) {
    if (s.code < 0xC0 || s.code > 0xC2) continue;
    const std::vector<uint8_t>& p = s.payload;
    if (p.size() < 6) return false;
    frame.marker = s.code;
    frame.height = (p[1] << 8) | p[2];
    frame.width = (p[3] << 8) | p[4];
    const size_t count = p[5];
    if (p.size() < 6 + 3 * count) return false;
    frame.components.clear();
    for (size_t i = 0; i < count; ++i) {
      frame.components.push_back({p[6 + 3 * i], p[7 + 3 * i] >> 4, p[7 + 3 * i] & 15});
    }
    return true;
  }
  return false;
}

void MakePhotoImage(ImageBuffer& image, int32_t width, int32_t height, uint32_t seed) {
  image.Reset();
  SetImageHeader(image, width, height, 24, 0, 0);
  const size_t stride = RowStride(width, 24);
  ASSERT_TRUE(image.pixels.Allocate(stride * static_cast<size_t>(height)));
  uint32_t state = seed * 2654435761u + 7u;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image.pixels.data() + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      const int noise = static_cast<int>((state >> 16) & 31) - 16;
      const int b = (x * 255) / (width > 1 ? width - 1 : 1);
      const int g = (y * 255) / (height > 1 ? height - 1 : 1);
      const int r = ((x / 8 + y / 8) % 2) * 120 + 60;
      row[3 * x] = static_cast<uint8_t>(std::clamp(b + noise, 0, 255));
      row[3 * x + 1] = static_cast<uint8_t>(std::clamp(g + noise, 0, 255));
      row[3 * x + 2] = static_cast<uint8_t>(std::clamp(r + noise, 0, 255));
    }
  }
}

std::vector<uint8_t> MakeTestJpeg(int32_t width, int32_t height, const JpegEncoderOptions& options,
                                  uint32_t seed) {
  ImageBuffer image;
  MakePhotoImage(image, width, height, seed);
  ScratchFolder folder;
  const std::u16string path = folder.File("made.jpg");
  JpegWriter writer;
  writer.options = options;
  writer.converter.width = width;
  writer.converter.height = height;
  writer.converter.sourceBitCount = 24;
  std::vector<uint8_t> bytes;
  DeleteFilePath(path);  // files are only created anew
  if (!SaveJpegImage(writer, path, nullptr, image.pixels.data())) return bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

std::vector<uint8_t> JpegSegmentBytes(uint8_t code, const std::vector<uint8_t>& payload) {
  const size_t length = payload.size() + 2;
  std::vector<uint8_t> out(4 + payload.size());
  out[0] = 0xFF;
  out[1] = code;
  out[2] = static_cast<uint8_t>(length >> 8);
  out[3] = static_cast<uint8_t>(length);
  std::copy(payload.begin(), payload.end(), out.begin() + 4);
  return out;
}

}  // namespace pixlane::test
