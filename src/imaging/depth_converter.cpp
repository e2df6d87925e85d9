// Row geometry, the ConvertDepth dispatch, unpacking and expansion of
// indexed rows, copies, gray levels and colour counting. The reductions
// themselves live in colour_reduction.cpp. Target rows are written up to
// their stride (fill bytes as zero); nothing is written past imageBytes.
#include "imaging/depth_converter.h"

#include <array>
#include <cstring>

#include "imaging/colour_reduction.h"

namespace pixlane {
namespace {

bool ValidSize(int32_t width, int32_t height) {
  return width >= 1 && width <= kMaxDimension && height >= 1 && height <= kMaxDimension;
}

// Bytes of pixel data in a row of `bitCount` bits per pixel; −1 for an
// unsupported bit count.
int32_t RowBytesFor(int32_t width, int32_t bitCount) {
  switch (bitCount) {
    case 1: return (width + 7) >> 3;
    case 2: return (width + 3) >> 2;
    case 4: return (width + 1) >> 1;
    case 8: return width;
    case 24: return 3 * width;
    default: return -1;
  }
}

void ZeroRowFill(uint8_t* row, size_t used, size_t stride) {
  if (used < stride) std::memset(row + used, 0, stride - used);
}

// The palette index of pixel x of a kBits-bit row (packed most significant
// bits first below 8 bits).
template <int kBits>
unsigned IndexAt(const uint8_t* row, size_t x) {
  if constexpr (kBits == 8) {
    return row[x];
  } else {
    constexpr size_t kPerByte = 8 / kBits;
    constexpr unsigned kMask = (1u << kBits) - 1;
    const auto shift = static_cast<unsigned>(8 - kBits * static_cast<int>(x % kPerByte + 1));
    return (row[x / kPerByte] >> shift) & kMask;
  }
}

// One index byte per pixel from kBits-bit rows, most significant bits first.
template <int kBits>
void Unpack(const DepthConverter& c) {
  const size_t sourceStride = SourceRowStride(c.width, kBits);
  const size_t width = static_cast<size_t>(c.width);
  for (int32_t y = 0; y < c.height; ++y) {
    const uint8_t* in = c.sourcePixels + static_cast<size_t>(y) * sourceStride;
    uint8_t* out = c.targetPixels + static_cast<size_t>(y) * static_cast<size_t>(c.rowStride);
    for (size_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(IndexAt<kBits>(in, x));
    ZeroRowFill(out, width, static_cast<size_t>(c.rowStride));
  }
}

// (blue, green, red) per pixel through the source palette.
template <int kBits>
void ExpandTo24(const DepthConverter& c) {
  const size_t sourceStride = SourceRowStride(c.width, kBits);
  const size_t width = static_cast<size_t>(c.width);
  for (int32_t y = 0; y < c.height; ++y) {
    const uint8_t* in = c.sourcePixels + static_cast<size_t>(y) * sourceStride;
    uint8_t* out = c.targetPixels + static_cast<size_t>(y) * static_cast<size_t>(c.rowStride);
    for (size_t x = 0; x < width; ++x) {
      const RgbQuad& colour = c.sourcePalette[IndexAt<kBits>(in, x)];
      out[3 * x] = colour.blue;
      out[3 * x + 1] = colour.green;
      out[3 * x + 2] = colour.red;
    }
    ZeroRowFill(out, 3 * width, static_cast<size_t>(c.rowStride));
  }
}

}  // namespace

size_t SourceRowStride(int32_t width, int32_t bitCount) { return RowStride(width, bitCount); }

bool ComputeRowGeometry(DepthConverter& converter) {
  converter.rowBytes = 0;
  converter.rowStride = 0;
  converter.imageBytes = 0;
  converter.workStride = 0;
  if (!ValidSize(converter.width, converter.height)) return false;
  const int32_t rowBytes = RowBytesFor(converter.width, converter.targetBitCount);
  if (rowBytes < 0) return false;
  converter.rowBytes = rowBytes;
  converter.rowStride = (rowBytes + 3) & ~3;
  converter.imageBytes = static_cast<size_t>(converter.rowStride) * static_cast<size_t>(converter.height);
  converter.workStride = (3 * converter.width + 3) & ~3;
  return true;
}

bool ConvertDepth(DepthConverter& converter, const RgbQuad* sourcePalette,
                  const uint8_t* sourcePixels, RgbQuad* targetPalette, uint8_t* targetPixels) {
  converter.sourcePalette = sourcePalette;
  converter.sourcePixels = sourcePixels;
  converter.targetPalette = targetPalette;
  converter.targetPixels = targetPixels;
  if (!ComputeRowGeometry(converter) || sourcePixels == nullptr || targetPixels == nullptr) {
    return false;
  }
  const int32_t source = converter.sourceBitCount;
  const int32_t target = converter.targetBitCount;
  const bool indexedSource = source == 1 || source == 2 || source == 4 || source == 8;
  const IndexTarget indices{targetPixels, static_cast<size_t>(converter.rowStride), target};

  if (target == 8 && (source == 1 || source == 2 || source == 4)) {
    if (source != 2 && (sourcePalette == nullptr || targetPalette == nullptr)) return false;
    if (source == 1) {
      Unpack<1>(converter);
      std::memcpy(targetPalette, sourcePalette, 2 * sizeof(RgbQuad));
    } else if (source == 2) {
      Unpack<2>(converter);
    } else {
      Unpack<4>(converter);
      std::memcpy(targetPalette, sourcePalette, 16 * sizeof(RgbQuad));
    }
    return true;
  }
  if (target == 24 && (source == 1 || source == 4 || source == 8)) {
    if (sourcePalette == nullptr) return false;
    if (source == 1) ExpandTo24<1>(converter);
    if (source == 4) ExpandTo24<4>(converter);
    if (source == 8) ExpandTo24<8>(converter);
    return true;
  }
  if (source == target && (source == 8 || source == 24)) {
    if (source == 8) {
      if (sourcePalette == nullptr || targetPalette == nullptr) return false;
      std::memcpy(targetPalette, sourcePalette, 256 * sizeof(RgbQuad));
    }
    std::memcpy(targetPixels, sourcePixels, converter.imageBytes);
    return true;
  }
  if (source != 8 && source != 24) return false;
  if (targetPalette == nullptr || (indexedSource && sourcePalette == nullptr)) return false;
  if (target == 1) return ToBlackWhite(converter, indices);
  if (target == 2 || target == 4 || (target == 8 && source == 24)) {
    return ToPalette(converter, target, indices);
  }
  return false;
}

bool ConvertToGray(DepthConverter& converter, const RgbQuad* sourcePalette,
                   const uint8_t* sourcePixels, uint8_t* targetPixels) {
  converter.sourcePalette = sourcePalette;
  converter.sourcePixels = sourcePixels;
  converter.targetPixels = targetPixels;
  const int32_t source = converter.sourceBitCount;
  if (converter.targetBitCount != 8 || (source != 8 && source != 24)) return false;
  if (!ValidSize(converter.width, converter.height)) return false;
  if (sourcePixels == nullptr || targetPixels == nullptr) return false;
  if (source == 8 && sourcePalette == nullptr) return false;

  const size_t width = static_cast<size_t>(converter.width);
  const size_t sourceStride = SourceRowStride(converter.width, source);
  std::array<uint8_t, 256> levels{};
  if (source == 8) {
    for (size_t i = 0; i < 256; ++i) levels[i] = GrayOfPaletteColour(sourcePalette[i]);
  }
  for (int32_t y = 0; y < converter.height; ++y) {
    const uint8_t* in = sourcePixels + static_cast<size_t>(y) * sourceStride;
    uint8_t* out = targetPixels + static_cast<size_t>(y) * width;
    if (source == 8) {
      for (size_t x = 0; x < width; ++x) out[x] = levels[in[x]];
    } else {
      for (size_t x = 0; x < width; ++x, in += 3) out[x] = GrayOfPixel(in[0], in[1], in[2]);
    }
  }
  return true;
}

bool ReduceForGif(DepthConverter& converter, const RgbQuad* sourcePalette,
                  const uint8_t* sourcePixels, RgbQuad* targetPalette, uint8_t* targetPixels) {
  converter.sourcePalette = sourcePalette;
  converter.sourcePixels = sourcePixels;
  converter.targetPalette = targetPalette;
  converter.targetPixels = targetPixels;
  const int32_t source = converter.sourceBitCount;
  const int32_t target = converter.targetBitCount;
  if (target < 1 || target > 8 || (source != 8 && source != 24)) return false;
  if (!ValidSize(converter.width, converter.height)) return false;
  if (sourcePixels == nullptr || targetPixels == nullptr || targetPalette == nullptr) return false;
  if (source == 8 && sourcePalette == nullptr) return false;

  const IndexTarget indices{targetPixels, static_cast<size_t>(converter.width), 8};
  if (target == 1) return ToBlackWhite(converter, indices);
  return ToPalette(converter, target, indices);
}

uint32_t CountColours(const DepthConverter& converter) {
  if (!ValidSize(converter.width, converter.height)) return 0;
  const size_t stride = (3 * static_cast<size_t>(converter.width) + 3) & ~size_t{3};
  if (converter.workPixels.size() < stride * static_cast<size_t>(converter.height)) return 0;
  PixelBlock seen;
  if (!seen.Allocate(size_t{1} << 21)) return 0;  // one bit per 24-bit colour
  uint8_t* bits = seen.data();
  const uint8_t* work = converter.workPixels.data();
  uint32_t count = 0;
  for (int32_t y = 0; y < converter.height; ++y) {
    const uint8_t* px = work + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < converter.width; ++x, px += 3) {
      const uint32_t colour = static_cast<uint32_t>(px[0]) | (static_cast<uint32_t>(px[1]) << 8) |
                              (static_cast<uint32_t>(px[2]) << 16);
      uint8_t& byte = bits[colour >> 3];
      const uint8_t mask = static_cast<uint8_t>(1u << (colour & 7));
      count += (byte & mask) == 0 ? 1u : 0u;
      byte = static_cast<uint8_t>(byte | mask);
    }
  }
  return count;
}

}  // namespace pixlane
