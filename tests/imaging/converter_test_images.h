// Small source images and a guarded runner for the depth converter tests:
// targets get guard bytes after imageBytes and a fill pattern, so writes
// past the end and unwritten row fill show up.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/colour_reduction.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"

namespace pixlane::test {

inline constexpr uint8_t kFillByte = 0xCD;
inline constexpr size_t kGuardBytes = 64;

struct SourceImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;
  std::vector<uint8_t> pixels;  // bottom row first, rows padded to 4 bytes
  Palette palette{};

  size_t Stride() const { return SourceRowStride(width, bits); }
  uint8_t* Row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * Stride(); }
};

// 24-bit image whose pixel (x, y) in memory order is colour(x, y).
inline SourceImage Make24(int32_t width, int32_t height, const std::function<Bgr(int32_t, int32_t)>& colour) {
  SourceImage image{width, height, 24, {}, {}};
  image.pixels.assign(image.Stride() * static_cast<size_t>(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const Bgr c = colour(x, y);
      uint8_t* px = image.Row(y) + 3 * static_cast<size_t>(x);
      px[0] = c.blue;
      px[1] = c.green;
      px[2] = c.red;
    }
  }
  return image;
}

// Indexed image (1, 2, 4 or 8 bits) whose pixel (x, y) is index(x, y).
inline SourceImage MakeIndexed(int32_t width, int32_t height, int32_t bits,
                               const std::function<uint8_t(int32_t, int32_t)>& index) {
  SourceImage image{width, height, bits, {}, {}};
  image.pixels.assign(image.Stride() * static_cast<size_t>(height), 0);
  const int perByte = 8 / bits;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int shift = 8 - bits * (x % perByte + 1);
      image.Row(y)[x / perByte] |= static_cast<uint8_t>(index(x, y) << shift);
    }
  }
  return image;
}

// Deterministic pseudo-random numbers (xorshift32).
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed | 1u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  uint8_t Byte(int low = 0, int high = 255) {
    return static_cast<uint8_t>(low + static_cast<int>(Next() % static_cast<uint32_t>(high - low + 1)));
  }

 private:
  uint32_t state_;
};

struct Conversion {
  bool ok = false;
  DepthConverter converter;
  std::vector<uint8_t> pixels;  // imageBytes (or width × height) plus guard
  Palette palette{};
  size_t size = 0;              // bytes the conversion may write

  const uint8_t* Row(int32_t y, size_t stride) const {
    return pixels.data() + static_cast<size_t>(y) * stride;
  }
  bool GuardIntact() const {
    for (size_t i = size; i < pixels.size(); ++i) {
      if (pixels[i] != kFillByte) return false;
    }
    return true;
  }
};

enum class Operation { Depth, Gray, Gif };

// Runs one conversion of `source` to `targetBits` into a guarded target
// pre-filled with kFillByte; the target palette starts filled with
// `paletteFill`.
inline Conversion Convert(const SourceImage& source, int32_t targetBits, Operation operation = Operation::Depth,
                      uint8_t paletteFill = 0x77) {
  Conversion result;
  DepthConverter& c = result.converter;
  c.width = source.width;
  c.height = source.height;
  c.sourceBitCount = source.bits;
  c.targetBitCount = targetBits;
  result.palette.fill(RgbQuad{paletteFill, paletteFill, paletteFill, paletteFill});
  if (operation == Operation::Depth) {
    if (ComputeRowGeometry(c)) result.size = c.imageBytes;
  } else {
    result.size = static_cast<size_t>(source.width) * static_cast<size_t>(source.height);
  }
  result.pixels.assign(result.size + kGuardBytes, kFillByte);
  const RgbQuad* sourcePalette = source.bits == 24 ? nullptr : source.palette.data();
  switch (operation) {
    case Operation::Depth:
      result.ok = ConvertDepth(c, sourcePalette, source.pixels.data(), result.palette.data(),
                               result.pixels.data());
      break;
    case Operation::Gray:
      result.ok = ConvertToGray(c, sourcePalette, source.pixels.data(), result.pixels.data());
      break;
    case Operation::Gif:
      result.ok = ReduceForGif(c, sourcePalette, source.pixels.data(), result.palette.data(),
                               result.pixels.data());
      break;
  }
  return result;
}

// Index of pixel x in a packed row of `bits` bits per index.
inline uint8_t IndexAt(const uint8_t* row, int32_t x, int32_t bits) {
  const int perByte = 8 / bits;
  const int shift = 8 - bits * (x % perByte + 1);
  return static_cast<uint8_t>((row[x / perByte] >> shift) & ((1 << bits) - 1));
}

inline Bgr ColourOf(const RgbQuad& q) { return Bgr{q.blue, q.green, q.red}; }

}  // namespace pixlane::test
