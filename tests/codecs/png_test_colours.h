// Colours of images for the PNG writer tests: an image's colours as red,
// green, blue bytes (top row first, palette resolved), and the colours the
// writer should store for a target depth, computed with the depth converter.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/pixel_memory.h"

namespace pixlane::test {

// Colours of an image, top row first, as red, green, blue bytes.
inline std::vector<uint8_t> Colours(const ImageBuffer& image) {
  const int bits = image.header.bitCount;
  const size_t stride = RowStride(image.header.width, bits);
  std::vector<uint8_t> out;
  for (int32_t y = image.header.height - 1; y >= 0; --y) {
    const uint8_t* row = image.pixels.data() + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < image.header.width; ++x) {
      if (bits == 24) {
        out.insert(out.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        continue;
      }
      const size_t bit = static_cast<size_t>(x) * static_cast<size_t>(bits);
      const int index = (row[bit / 8] >> (8 - bits - static_cast<int>(bit % 8))) & ((1 << bits) - 1);
      const RgbQuad& q = image.palette[static_cast<size_t>(index)];
      out.insert(out.end(), {q.red, q.green, q.blue});
    }
  }
  return out;
}

// The colours the writer should store: the depth converter's result for
// palette targets, gray levels for grayscale, the source's own otherwise.
inline bool ExpectedColours(const ImageBuffer& source, int target, bool gray, std::vector<uint8_t>& out) {
  DepthConverter c;
  c.width = source.header.width;
  c.height = source.header.height;
  c.sourceBitCount = source.header.bitCount;
  c.targetBitCount = gray ? 8 : target;
  if (!ComputeRowGeometry(c)) return false;
  ImageBuffer result;
  if (gray) {
    PixelBlock levels;
    if (!levels.Allocate(static_cast<size_t>(c.width) * static_cast<size_t>(c.height)) ||
        !ConvertToGray(c, source.palette.data(), source.pixels.data(), levels.data())) {
      return false;
    }
    for (int32_t y = c.height - 1; y >= 0; --y) {
      for (int32_t x = 0; x < c.width; ++x) {
        const uint8_t v = levels.data()[static_cast<size_t>(y) * static_cast<size_t>(c.width) + x];
        out.insert(out.end(), {v, v, v});
      }
    }
    return true;
  }
  if (!result.pixels.Allocate(c.imageBytes)) return false;
  SetImageHeader(result, c.width, c.height, target, 0, 0);
  if (!ConvertDepth(c, source.palette.data(), source.pixels.data(), result.palette.data(),
                    result.pixels.data())) {
    return false;
  }
  out = Colours(result);
  return true;
}

}  // namespace pixlane::test
