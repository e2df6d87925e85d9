// Bit-depth conversion: row geometry for a bit count; unpacking 1/2/4-bit
// indices to 8 bits; expansion of indexed images to 24 bits; reduction of 8
// and 24-bit images to 1 bit (black and white with error diffusion) and to
// 2/4/8-bit palettes (exact when the image has few enough colours, otherwise
// a histogram palette seeded by fixed palettes plus Floyd–Steinberg
// diffusion); 8-bit gray levels; and one index byte per pixel for GIF.
// Every reader and writer object embeds one converter.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/image_buffer.h"
#include "platform/pixel_memory.h"

namespace pixlane {

struct DepthConverter {
  // Set by the caller before a conversion (the conversion calls store the
  // pointers they are given here as well).
  int32_t width = 0;
  int32_t height = 0;
  int32_t sourceBitCount = 0;  // 1, 2, 4, 8 or 24
  int32_t targetBitCount = 0;  // 1, 2, 4, 8 or 24 (1 … 8 for ReduceForGif)

  // Set by ComputeRowGeometry from width, height and targetBitCount.
  int32_t rowBytes = 0;   // bytes of pixel data in one target row
  int32_t rowStride = 0;  // bytes from one target row to the next
  size_t imageBytes = 0;  // rowStride × height
  int32_t workStride = 0; // stride of the 24-bit work copy: (3 × width + 3) & ~3

  const RgbQuad* sourcePalette = nullptr;
  RgbQuad* targetPalette = nullptr;
  const uint8_t* sourcePixels = nullptr;
  uint8_t* targetPixels = nullptr;

  // Exist only during one reduction.
  PixelBlock workPixels;  // 24-bit work copy, or the 8-bit gray work image
  PixelBlock cells;       // colour-histogram cells of a palette build
};

// Stride of a source row of `bitCount` bits per pixel (padded to 4 bytes).
size_t SourceRowStride(int32_t width, int32_t bitCount);

// rowBytes, rowStride, imageBytes and workStride from width, height and
// targetBitCount. False when the sizes are out of range (width or height not
// in 1..kMaxDimension, or an unknown bit count).
bool ComputeRowGeometry(DepthConverter& converter);

// Converts between the pairs below; every other pair returns false.
//   1, 2 or 4 → 8          unpack (1 and 4 also copy 2/16 palette entries)
//   1, 4 or 8 → 24         expand through the source palette
//   8 → 8, 24 → 24         copy
//   8 or 24 → 1            black and white with error diffusion
//   8 or 24 → 2, 4; 24 → 8 palette reduction
// targetPixels must hold imageBytes bytes. May have written part of the
// target when it fails.
bool ConvertDepth(DepthConverter& converter, const RgbQuad* sourcePalette,
                  const uint8_t* sourcePixels, RgbQuad* targetPalette, uint8_t* targetPixels);

// One gray level per pixel, rows of exactly width bytes with no fill,
// bottom row first. Needs targetBitCount 8 and a source of 8 or 24 bits.
bool ConvertToGray(DepthConverter& converter, const RgbQuad* sourcePalette,
                   const uint8_t* sourcePixels, uint8_t* targetPixels);

// One index byte per pixel, rows of exactly width bytes, for targetBitCount
// 1 … 8 and a source of 8 or 24 bits. targetPixels holds width × height.
bool ReduceForGif(DepthConverter& converter, const RgbQuad* sourcePalette,
                  const uint8_t* sourcePixels, RgbQuad* targetPalette, uint8_t* targetPixels);

// Number of distinct 24-bit colours in the converter's work copy; 0 when
// the 2 MB bit set cannot be allocated.
uint32_t CountColours(const DepthConverter& converter);

}  // namespace pixlane
