// Saturation and hue correction through an integer HLS round trip: each
// 24-bit pixel, or each palette entry of an 8-bit image, is split into hue
// (degrees), lightness and saturation (0 … 255) with table lookups, shifted
// and put back together. Even with both shifts 0 the round trip can move a
// channel by a unit (L = (max + min) >> 1).
#pragma once

#include <array>
#include <cstdint>

#include "imaging/colour_corrections.h"

namespace pixlane {

// Per-batch tables (about 520 KB). Index offsets are given per table.
struct HlsTables {
  // trunc(60 × diff / delta) at [diff + 255][delta], diff −255 … 255,
  // delta 1 … 255 (delta 0 unused).
  std::array<std::array<int8_t, 256>, 511> hueQuotient;
  // S at [sum][delta], sum 0 … 509: trunc(255 × delta / sum) for sum ≤ 255,
  // trunc(255 × delta / (510 − sum)) above; 0 where delta = 0.
  std::array<std::array<uint8_t, 256>, 510> saturation;
  // m2 at [L][S']: trunc(L × (255 + S') / 255) for L ≤ 127,
  // L + S' − trunc(L × S' / 255) for L ≥ 128.
  std::array<std::array<uint8_t, 256>, 256> upper;
  // V at [h][d], h 0 … 359, d 0 … 255: trunc(h × d / 60) below 60, d up to
  // 180, trunc((240 − h) × d / 60) up to 240, 0 from 240 on.
  std::array<std::array<uint8_t, 256>, 360> ramp;
  // An angle −300 … 659 (at + 300) brought into 0 … 359.
  std::array<int16_t, 960> wrap;
  // S + satShift, −255 … 510 (at + 255), clipped to 0 … 255.
  std::array<uint8_t, 766> clampSaturation;
};

void BuildHlsTables(HlsTables& tables);

// Shifts hue by hueShift degrees (clipped to −180 … 180) and saturation by
// satShift (clipped to −255 … 255) on every pixel of a 24-bit image or
// every palette entry of an 8-bit one. A pixel whose saturation ends at 0
// becomes gray at L. Needs params.hls; leaves the image unchanged without.
void ApplyHueSaturation(const CorrectionParams& params, int32_t hueShift, int32_t satShift);

}  // namespace pixlane
