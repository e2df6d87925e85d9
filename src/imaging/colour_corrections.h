// Histogram auto-correction, brightness and contrast: per-channel byte maps
// applied in place to every sample of a 24-bit image or to the 256 palette
// entries of an 8-bit one (pixel indices and reserved bytes untouched). Hue
// and saturation are in hue_saturation.h. None of these can fail: a record
// they cannot work on (bad geometry, depth other than 8 or 24, missing
// tables) is left unchanged.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/image_buffer.h"

namespace pixlane {

struct HlsTables;

// StretchTables: 256 rows (range r = 0 … 255) × 510 entries (d = −254 …
// 255 at d + 254). Row 0 is all 0; row r ≥ 1 holds 0 for d ≤ 0 and
// min(255, (d × a) >> 16) for d ≥ 1, with a = trunc(16711680 / r).
struct StretchTables {
  std::array<std::array<uint8_t, 510>, 256> rows;
};

// BrightnessTables: 201 curves (g = −100 … 100 at g + 100) × 256. Curve g
// maps 0 to 0 and v to trunc(255 × (v / 255)^e + 0.5), e = cot θ, θ =
// floor(2 × (g + 100) / 5) + 5 degrees (π taken as 3.1415926535), in
// double precision. Curves 0, 1 and 2 are the identity.
struct BrightnessTables {
  std::array<std::array<uint8_t, 256>, 201> curves;
};

// ContrastTables: 201 lines (c = −100 … 100 at c + 100) × 256 around the
// pivot m (an image's mean luminance): v + ((c × 512 × (v − m)) >> 16) for
// c ≤ 0 and v + ((c × 2048 × (v − m)) >> 16) for c ≥ 1 (arithmetic shift),
// clipped to 0 … 255. Rebuilt for every image.
struct ContrastTables {
  int32_t mean = -1;  // the pivot the lines were built for
  std::array<std::array<uint8_t, 256>, 201> lines;
};

// Luminance weights in 1/1024 units (117 + 601 + 306 = 1024).
inline constexpr uint32_t kLumaBlue = 117;
inline constexpr uint32_t kLumaGreen = 601;
inline constexpr uint32_t kLumaRed = 306;

void BuildStretchTables(StretchTables& tables);
void BuildBrightnessTables(BrightnessTables& tables);
void BuildContrastTables(ContrastTables& tables, int32_t mean);

// One correction's view of the image. The corrections read the source and
// write the target; the pipeline passes the same pixels and palette as both
// (they work in place).
struct CorrectionParams {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitCount = 0;  // 8 or 24
  int32_t stride = 0;    // (width + 3) & ~3 for 8 bits, (3 × width + 3) & ~3 for 24
  const RgbQuad* sourcePalette = nullptr;
  RgbQuad* targetPalette = nullptr;
  const uint8_t* sourcePixels = nullptr;
  uint8_t* targetPixels = nullptr;
  const StretchTables* stretch = nullptr;
  const BrightnessTables* brightness = nullptr;
  ContrastTables* contrast = nullptr;
  const HlsTables* hls = nullptr;
};

// Points params at `record`'s pixels and palette (as source and target)
// with the given geometry; the stride follows the bit count for 8 and 24
// bits and is left as it was for other depths. The tables are not touched.
void SetCorrectionImage(CorrectionParams& params, ImageBuffer& record, int32_t width,
                        int32_t height, int32_t bitCount);

// Histogram auto-correction: the levels below which and above which just
// under 0.4 % of all samples lie (T = 3 × width × height >> 8) become the
// new black and white points, through StretchTables. An image whose two
// levels coincide (a one-valued image, or nearly so) is left unchanged
// rather than turned black.
void AutoLevels(const CorrectionParams& params);

// Brightness curve g (clipped to −100 … 100) on all three channels.
void ApplyBrightness(const CorrectionParams& params, int32_t g);

// Mean luminance 0 … 255: per row, Σ 117 × blue, Σ 601 × green and
// Σ 306 × red, each shifted right by 10, summed over the rows and divided
// by width × height. 0 for a record it cannot read.
int32_t MeanLuminance(const CorrectionParams& params);

// Contrast c (clipped to −100 … 100): measures the mean luminance of the
// source, rebuilds params.contrast for it and applies line c.
void ApplyContrast(const CorrectionParams& params, int32_t c);

}  // namespace pixlane
