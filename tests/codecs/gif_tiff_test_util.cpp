// Helpers of the GIF and TIFF tests.
#include "gif_tiff_test_util.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_support.h"

namespace pixlane::test {

std::vector<ManifestLine> LoadManifest(std::string_view relative) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(TestDataPath(relative), bytes)) << relative;
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::vector<ManifestLine> lines;
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream fields(text);
    ManifestLine line;
    std::string outcome;
    fields >> line.name >> outcome;
    line.ok = outcome == "ok";
    if (line.ok) {
      for (std::string f; fields >> f;) line.fields.push_back(f);
    } else {
      fields >> line.error;
    }
    lines.push_back(line);
  }
  return lines;
}

RgbQuad ColourAt(const ImageBuffer& image, int32_t x, int32_t y) {
  const int bits = image.header.bitCount;
  const size_t stride = RowStride(image.header.width, bits);
  const uint8_t* row =
      image.pixels.data() + stride * static_cast<size_t>(image.header.height - 1 - y);
  if (bits == 24) return RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
  // Indices of 1, 4 or 8 bits, most significant bits first.
  const size_t bit = static_cast<size_t>(x) * static_cast<size_t>(bits);
  const int shift = 8 - bits - static_cast<int>(bit % 8);
  const size_t index = static_cast<size_t>((row[bit / 8] >> shift) & ((1 << bits) - 1));
  RgbQuad q = image.palette[index];
  q.reserved = 0;
  return q;
}

uint8_t IndexAt(const ImageBuffer& image, int32_t x, int32_t y) {
  const size_t stride = RowStride(image.header.width, 8);
  return image.pixels.data()[stride * static_cast<size_t>(image.header.height - 1 - y) +
                             static_cast<size_t>(x)];
}

uint64_t ColourChecksum(const ImageBuffer& image) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](uint8_t b) {
    h ^= b;
    h *= 1099511628211ull;
  };
  for (int32_t y = 0; y < image.header.height; ++y) {
    for (int32_t x = 0; x < image.header.width; ++x) {
      const RgbQuad q = ColourAt(image, x, y);
      mix(q.red);
      mix(q.green);
      mix(q.blue);
    }
  }
  return h;
}

void AppendU16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
  AppendU16(out, value);
  AppendU16(out, value >> 16);
}

std::vector<uint8_t> BuildTiff(const std::vector<TiffEntry>& entries,
                               const std::vector<uint8_t>& tail) {
  std::vector<uint8_t> out = {'I', 'I', 42, 0};
  AppendU32(out, 8);
  AppendU16(out, static_cast<uint32_t>(entries.size()));
  for (const TiffEntry& e : entries) {
    AppendU16(out, e.tag);
    AppendU16(out, e.type);
    AppendU32(out, e.count);
    AppendU32(out, e.value);
  }
  AppendU32(out, 0);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

}  // namespace pixlane::test
