// The HLS round trip, one pixel at a time with table lookups only: the
// maximum channel picks the hue base (green 120, blue 240, red 0, tested in
// that order), the hue quotient and saturation come from tables, and the
// three channels are rebuilt from m1, m2 and the hue ramp.
#include "imaging/hue_saturation.h"

#include <algorithm>

namespace pixlane {
namespace {

struct Shifts {
  int32_t hue;
  int32_t saturation;
};

inline int32_t Wrap(const HlsTables& t, int32_t angle) {
  return t.wrap[static_cast<size_t>(angle + 300)];
}

// (blue, green, red) in and out.
inline void ConvertPixel(const HlsTables& t, Shifts shifts, uint8_t& blue, uint8_t& green,
                         uint8_t& red) {
  const int32_t b = blue, g = green, r = red;
  int32_t max, diff, base;
  if (g >= b) {
    max = g;
    diff = b - r;
    base = 120;
  } else {
    max = b;
    diff = r - g;
    base = 240;
  }
  if (r > max) {
    max = r;
    diff = g - b;
    base = 0;
  }
  const int32_t min = std::min(b, std::min(g, r));
  const int32_t sum = max + min;
  const int32_t delta = max - min;
  int32_t s = 0;
  int32_t h = 0;
  if (delta != 0) {
    s = t.saturation[static_cast<size_t>(sum)][static_cast<size_t>(delta)];
    h = Wrap(t, base + t.hueQuotient[static_cast<size_t>(diff + 255)][static_cast<size_t>(delta)]);
  }
  const int32_t l = sum >> 1;
  const int32_t s2 = t.clampSaturation[static_cast<size_t>(s + shifts.saturation + 255)];
  if (s2 == 0) {
    blue = green = red = static_cast<uint8_t>(l);
    return;
  }
  const int32_t h2 = h + shifts.hue;
  const int32_t m2 = t.upper[static_cast<size_t>(l)][static_cast<size_t>(s2)];
  const int32_t m1 = 2 * l - m2;
  const size_t d = static_cast<size_t>(m2 - m1);
  red = static_cast<uint8_t>(m1 + t.ramp[static_cast<size_t>(Wrap(t, h2 + 120))][d]);
  green = static_cast<uint8_t>(m1 + t.ramp[static_cast<size_t>(Wrap(t, h2))][d]);
  blue = static_cast<uint8_t>(m1 + t.ramp[static_cast<size_t>(Wrap(t, h2 - 120))][d]);
}

}  // namespace

void BuildHlsTables(HlsTables& t) {
  for (int32_t diff = -255; diff <= 255; ++diff) {
    std::array<int8_t, 256>& row = t.hueQuotient[static_cast<size_t>(diff + 255)];
    row[0] = 0;
    for (int32_t delta = 1; delta < 256; ++delta) {
      // |diff| ≤ delta for real pixels; other cells are never read.
      row[static_cast<size_t>(delta)] = static_cast<int8_t>(std::clamp(60 * diff / delta, -60, 60));
    }
  }
  for (int32_t sum = 0; sum < 510; ++sum) {
    std::array<uint8_t, 256>& row = t.saturation[static_cast<size_t>(sum)];
    const int32_t divisor = sum <= 255 ? sum : 510 - sum;
    for (int32_t delta = 0; delta < 256; ++delta) {
      const int32_t value = (delta == 0 || divisor == 0) ? 0 : 255 * delta / divisor;
      row[static_cast<size_t>(delta)] = static_cast<uint8_t>(std::min(value, 255));
    }
  }
  for (int32_t l = 0; l < 256; ++l) {
    for (int32_t s = 0; s < 256; ++s) {
      const int32_t m2 = l <= 127 ? l * (255 + s) / 255 : l + s - l * s / 255;
      t.upper[static_cast<size_t>(l)][static_cast<size_t>(s)] = static_cast<uint8_t>(std::clamp(m2, 0, 255));
    }
  }
  for (int32_t h = 0; h < 360; ++h) {
    for (int32_t d = 0; d < 256; ++d) {
      int32_t v = 0;
      if (h < 60) {
        v = h * d / 60;
      } else if (h < 180) {
        v = d;
      } else if (h < 240) {
        v = (240 - h) * d / 60;
      }
      t.ramp[static_cast<size_t>(h)][static_cast<size_t>(d)] = static_cast<uint8_t>(v);
    }
  }
  for (int32_t a = -300; a < 660; ++a) {
    t.wrap[static_cast<size_t>(a + 300)] = static_cast<int16_t>(a < 0 ? a + 360 : (a >= 360 ? a - 360 : a));
  }
  for (int32_t s = -255; s <= 510; ++s) {
    t.clampSaturation[static_cast<size_t>(s + 255)] = static_cast<uint8_t>(std::clamp(s, 0, 255));
  }
}

void ApplyHueSaturation(const CorrectionParams& params, int32_t hueShift, int32_t satShift) {
  if (params.hls == nullptr) return;
  if (params.width < 1 || params.width > kMaxDimension || params.height < 1 ||
      params.height > kMaxDimension || params.sourcePixels == nullptr ||
      params.targetPixels == nullptr) {
    return;
  }
  const HlsTables& t = *params.hls;
  const Shifts shifts{std::clamp(hueShift, -180, 180), std::clamp(satShift, -255, 255)};
  if (params.bitCount == 8) {
    if (params.sourcePalette == nullptr || params.targetPalette == nullptr) return;
    for (size_t i = 0; i < 256; ++i) {
      RgbQuad entry = params.sourcePalette[i];
      ConvertPixel(t, shifts, entry.blue, entry.green, entry.red);
      params.targetPalette[i] = entry;
    }
    return;
  }
  if (params.bitCount != 24 || static_cast<size_t>(params.stride) < 3 * static_cast<size_t>(params.width)) {
    return;
  }
  const size_t stride = static_cast<size_t>(params.stride);
  const size_t samples = 3 * static_cast<size_t>(params.width);
  for (int32_t y = 0; y < params.height; ++y) {
    const uint8_t* in = params.sourcePixels + static_cast<size_t>(y) * stride;
    uint8_t* out = params.targetPixels + static_cast<size_t>(y) * stride;
    for (size_t i = 0; i < samples; i += 3) {
      uint8_t b = in[i], g = in[i + 1], r = in[i + 2];
      ConvertPixel(t, shifts, b, g, r);
      out[i] = b;
      out[i + 1] = g;
      out[i + 2] = r;
    }
  }
}

}  // namespace pixlane
