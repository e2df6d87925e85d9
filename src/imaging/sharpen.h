// Outline emphasis: an unsharp mask with a 5 × 5 box blur (edge pixels
// replicated), a noise threshold and three strengths. Works on 24-bit rows;
// an indexed image is expanded first, so a sharpened image is always 24-bit.
// Images smaller than 5 × 5 are left exactly as they are.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/depth_converter.h"
#include "imaging/processing_image.h"

namespace pixlane {

// Per-batch tables (about 55 KB).
struct SharpenTables {
  static constexpr int32_t kDivideEntries = 25 * 255 + 1;
  static constexpr int32_t kClampLow = -1600;  // 0 + floor(100 × −128 / 8)
  static constexpr int32_t kClampHigh = 1842;  // 255 + floor(100 × 127 / 8)
  // divide25[s] = (2621 × s + 32768) >> 16 for s = 0 … 6375: s / 25 rounded
  // in 1/65536 units (2621/65536 is just below 1/25, so 2988 gives 119).
  std::array<uint8_t, kDivideEntries> divide25;
  // gain[k][d + 128] = floor(k × d / 8) for k = 0 … 100, d = −128 … 127.
  std::array<std::array<int16_t, 256>, 101> gain;
  // clamp[v − kClampLow] = v clipped to 0 … 255, v = −1600 … 1842.
  std::array<uint8_t, kClampHigh - kClampLow + 1> clamp;
};

void BuildSharpenTables(SharpenTables& tables);

// The gain k of a UsmOpt strength: 2 → 4 (medium), 3 → 6 (strong), any
// other non-zero value → 2 (weak).
int32_t SharpenGain(int32_t usmOpt);

// One sharpening: 24-bit rows of `stride` bytes, source and output distinct
// and both width × height.
struct SharpenParams {
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;  // (3 × width + 3) & ~3
  const uint8_t* sourcePixels = nullptr;
  uint8_t* outputPixels = nullptr;
  const SharpenTables* tables = nullptr;
};

// Writes the sharpened source into outputPixels (width, height ≥ 5): per
// sample, detail d = source − divide25[sum of the 25 neighbours, edges
// replicated], clipped to −128 … 127; a pixel whose |dB| + |dG| + |dR|
// exceeds 20 gets clamp[source + gain[k][d]] in each channel, any other
// pixel is copied. Fill bytes of the output rows are not written. False
// for sizes below 5, a bad gain (0 … 100) or missing buffers.
bool SharpenPixels(const SharpenParams& params, int32_t gain);

// The pipeline step with the gain of SharpenGain(usmOpt): expands an
// indexed image with `converter`, sharpens into a new block that replaces
// the record's pixels and sets bitCount to 24. Returns true without any
// change (bit depth included) for images below 5 × 5. False on a bad image
// or short memory; the image then keeps its pixels (expanded to 24 bits if
// the expansion ran).
bool SharpenImage(ProcessingImage& image, int32_t usmOpt, const SharpenTables& tables,
                  SharpenParams& params, DepthConverter& converter);

}  // namespace pixlane
