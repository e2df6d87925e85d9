// Rotation as one pass over the target. Half turns copy each row reversed
// from its mirrored row. Quarter turns read source columns, which walk
// memory a row stride at a time, so the target is filled in square tiles:
// the source rows a tile reads stay in cache while the tile's target rows
// are written.
#include "imaging/rotation.h"

#include <algorithm>

#include "platform/pixel_memory.h"

namespace pixlane {
namespace {

constexpr int32_t kTile = 64;  // tile side in pixels

bool ValidSide(int32_t side) { return side >= 1 && side <= kMaxDimension; }

size_t StrideFor(int32_t width, int32_t bytesPerPixel) {
  return bytesPerPixel == 3 ? Stride24(width) : Stride8(width);
}

template <int32_t kBytes>
inline void CopyPixel(uint8_t* to, const uint8_t* from) {
  if constexpr (kBytes == 1) {
    *to = *from;
  } else {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
  }
}

template <int32_t kBytes>
void HalfTurn(const GeometryParams& p) {
  const size_t stride = StrideFor(p.width, kBytes);
  for (int32_t k = 0; k < p.height; ++k) {
    const uint8_t* in = p.sourcePixels + static_cast<size_t>(p.height - 1 - k) * stride +
                        static_cast<size_t>(p.width - 1) * kBytes;
    uint8_t* out = p.targetPixels + static_cast<size_t>(k) * stride;
    for (int32_t x = 0; x < p.width; ++x, in -= kBytes, out += kBytes) CopyPixel<kBytes>(out, in);
  }
}

// Quarter turns, in memory rows counted from the bottom. Turn 1: target row
// k, pixel x takes source memory row x, column W − 1 − k. Turn 3: target
// row k, pixel x takes source memory row H − 1 − x, column k.
template <int32_t kBytes, bool kClockwise>
void QuarterTurn(const GeometryParams& p) {
  const int32_t targetWidth = p.height;
  const int32_t targetHeight = p.width;
  const size_t sourceStride = StrideFor(p.width, kBytes);
  const size_t targetStride = StrideFor(targetWidth, kBytes);
  for (int32_t k0 = 0; k0 < targetHeight; k0 += kTile) {
    const int32_t k1 = std::min(k0 + kTile, targetHeight);
    for (int32_t x0 = 0; x0 < targetWidth; x0 += kTile) {
      const int32_t x1 = std::min(x0 + kTile, targetWidth);
      for (int32_t k = k0; k < k1; ++k) {
        const int32_t column = kClockwise ? p.width - 1 - k : k;
        uint8_t* out = p.targetPixels + static_cast<size_t>(k) * targetStride +
                       static_cast<size_t>(x0) * kBytes;
        const uint8_t* in = p.sourcePixels + static_cast<size_t>(column) * kBytes;
        if constexpr (kClockwise) {
          in += static_cast<size_t>(x0) * sourceStride;
          for (int32_t x = x0; x < x1; ++x, out += kBytes, in += sourceStride) {
            CopyPixel<kBytes>(out, in);
          }
        } else {
          in += static_cast<size_t>(p.height - 1 - x0) * sourceStride;
          for (int32_t x = x0; x < x1; ++x, out += kBytes, in -= sourceStride) {
            CopyPixel<kBytes>(out, in);
          }
        }
      }
    }
  }
}

template <int32_t kBytes>
void Rotate(const GeometryParams& p, int32_t turn) {
  if (turn == 1) QuarterTurn<kBytes, true>(p);
  if (turn == 2) HalfTurn<kBytes>(p);
  if (turn == 3) QuarterTurn<kBytes, false>(p);
}

}  // namespace

bool RotateBuffer(const GeometryParams& params, int32_t turn, int32_t bitCount) {
  if (turn < 1 || turn > 3 || (bitCount != 8 && bitCount != 24)) return false;
  if (!ValidSide(params.width) || !ValidSide(params.height)) return false;
  if (params.sourcePixels == nullptr || params.targetPixels == nullptr) return false;
  if (bitCount == 24) {
    Rotate<3>(params, turn);
  } else {
    Rotate<1>(params, turn);
  }
  return true;
}

bool RotateImage(ProcessingImage& image, int32_t turn, GeometryParams& params) {
  if (turn < 1 || turn > 3) return true;
  if (!HoldsImage(image) || (image.bitCount != 8 && image.bitCount != 24)) return false;
  const bool quarter = turn != 2;
  const int32_t newWidth = quarter ? image.height : image.width;
  const int32_t newHeight = quarter ? image.width : image.height;
  const size_t stride = image.bitCount == 24 ? Stride24(newWidth) : Stride8(newWidth);
  PixelBlock target;
  if (!target.Allocate(stride * static_cast<size_t>(newHeight))) return false;
  params.width = image.width;
  params.height = image.height;
  params.sourcePixels = image.record->pixels.data();
  params.targetPixels = target.data();
  if (!RotateBuffer(params, turn, image.bitCount)) return false;
  image.record->pixels = std::move(target);
  image.width = newWidth;
  image.height = newHeight;
  return true;
}

}  // namespace pixlane
