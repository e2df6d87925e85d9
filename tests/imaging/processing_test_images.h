// Small images for the processing tests: blank or uniform images, pixel
// access in picture order (y from the top), deep copies, comparison of the
// visible pixels, and a 64-bit FNV-1a hash for golden table checksums.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "imaging/image_buffer.h"
#include "imaging/processing_image.h"

namespace pixlane::test {

inline void MakeBlank(ImageBuffer& image, int32_t width, int32_t height, int bitCount) {
  image.Reset();
  SetImageHeader(image, width, height, bitCount, 0, 0);
  ASSERT_TRUE(image.pixels.Allocate(RowStride(width, bitCount) * static_cast<size_t>(height)));
}

inline ProcessingImage ViewOf(ImageBuffer& image) {
  return {&image, image.header.width, image.header.height, image.header.bitCount};
}

// Pixel (x, y) with y counted from the top; for 24 bits the blue byte.
inline uint8_t* PixelAt(const ProcessingImage& image, int32_t x, int32_t y) {
  const size_t stride = RowStride(image.width, image.bitCount);
  const size_t row = static_cast<size_t>(image.height - 1 - y);
  return image.record->pixels.data() + row * stride +
         static_cast<size_t>(x) * static_cast<size_t>(image.bitCount / 8);
}

inline void SetPixel(const ProcessingImage& image, int32_t x, int32_t y, uint8_t b, uint8_t g,
                     uint8_t r) {
  uint8_t* p = PixelAt(image, x, y);
  p[0] = b;
  p[1] = g;
  p[2] = r;
}

inline void MakeUniform24(ImageBuffer& image, int32_t width, int32_t height, uint8_t b, uint8_t g,
                          uint8_t r) {
  MakeBlank(image, width, height, 24);
  const ProcessingImage view = ViewOf(image);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) SetPixel(view, x, y, b, g, r);
  }
}

inline void CopyImage(const ImageBuffer& from, ImageBuffer& to) {
  to.Reset();
  to.header = from.header;
  to.palette = from.palette;
  ASSERT_TRUE(to.pixels.Allocate(from.pixels.size()));
  std::memcpy(to.pixels.data(), from.pixels.data(), from.pixels.size());
}

// True when the visible bytes of every row agree (fill bytes ignored).
inline bool SamePixels(const ProcessingImage& a, const ProcessingImage& b) {
  if (a.width != b.width || a.height != b.height || a.bitCount != b.bitCount) return false;
  const size_t stride = RowStride(a.width, a.bitCount);
  const size_t used = (static_cast<size_t>(a.width) * static_cast<size_t>(a.bitCount) + 7) / 8;
  for (int32_t y = 0; y < a.height; ++y) {
    const size_t offset = static_cast<size_t>(y) * stride;
    if (std::memcmp(a.record->pixels.data() + offset, b.record->pixels.data() + offset, used) != 0) {
      return false;
    }
  }
  return true;
}

inline uint64_t Fnv1a(const void* data, size_t size, uint64_t hash = 14695981039346656037ull) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace pixlane::test
