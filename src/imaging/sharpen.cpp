// Unsharp mask, one output row at a time: the five source rows around it
// (clamped to the image) are summed per sample, those column sums five
// pixels across (the first and last two pixels with clamped positions), and
// each pixel is then blurred, compared and written. The sums are exactly
// those of a direct 5 × 5 box; no bordered copy, no image-sized detail
// buffer.
#include "imaging/sharpen.h"

#include <algorithm>
#include <memory>
#include <new>

#include "platform/pixel_memory.h"

namespace pixlane {
namespace {

constexpr int32_t kThreshold = 20;  // |dB| + |dG| + |dR| must exceed this

// Horizontal five-pixel sums of one row of column sums: out[3x + c] =
// Σ col[3 × clamp(x + i) + c], i = −2 … 2, for width ≥ 5.
void SumAcross(const uint16_t* col, uint16_t* out, int32_t width) {
  const int32_t samples = 3 * width;
  for (int32_t i = 6; i < samples - 6; ++i) {
    out[i] = static_cast<uint16_t>(col[i - 6] + col[i - 3] + col[i] + col[i + 3] + col[i + 6]);
  }
  const int32_t edges[4] = {0, 1, width - 2, width - 1};
  for (int32_t x : edges) {
    for (int32_t c = 0; c < 3; ++c) {
      int32_t sum = 0;
      for (int32_t i = -2; i <= 2; ++i) sum += col[3 * std::clamp(x + i, 0, width - 1) + c];
      out[3 * x + c] = static_cast<uint16_t>(sum);
    }
  }
}

}  // namespace

void BuildSharpenTables(SharpenTables& tables) {
  for (int32_t s = 0; s < SharpenTables::kDivideEntries; ++s) {
    tables.divide25[static_cast<size_t>(s)] = static_cast<uint8_t>((2621 * s + 32768) >> 16);
  }
  for (int32_t k = 0; k <= 100; ++k) {
    for (int32_t d = -128; d <= 127; ++d) {
      tables.gain[static_cast<size_t>(k)][static_cast<size_t>(d + 128)] =
          static_cast<int16_t>((k * d) >> 3);
    }
  }
  for (int32_t v = SharpenTables::kClampLow; v <= SharpenTables::kClampHigh; ++v) {
    tables.clamp[static_cast<size_t>(v - SharpenTables::kClampLow)] =
        static_cast<uint8_t>(std::clamp(v, 0, 255));
  }
}

int32_t SharpenGain(int32_t usmOpt) {
  switch (usmOpt) {
    case 0: return 0;
    case 2: return 4;
    case 3: return 6;
    default: return 2;
  }
}

bool SharpenPixels(const SharpenParams& params, int32_t gain) {
  const int32_t width = params.width;
  const int32_t height = params.height;
  if (width < 5 || height < 5 || width > kMaxDimension || height > kMaxDimension) return false;
  if (gain < 0 || gain > 100 || params.tables == nullptr) return false;
  if (params.sourcePixels == nullptr || params.outputPixels == nullptr) return false;
  if (static_cast<size_t>(params.stride) != Stride24(width)) return false;

  const size_t samples = 3 * static_cast<size_t>(width);
  const size_t stride = static_cast<size_t>(params.stride);
  std::unique_ptr<uint16_t[]> scratch(new (std::nothrow) uint16_t[2 * samples]);
  if (!scratch) return false;
  uint16_t* const columns = scratch.get();
  uint16_t* const sums = columns + samples;

  const SharpenTables& t = *params.tables;
  const uint8_t* const divide25 = t.divide25.data();
  const int16_t* const gains = t.gain[static_cast<size_t>(gain)].data();
  const uint8_t* const clamp = t.clamp.data();
  constexpr int32_t kClampOffset = -SharpenTables::kClampLow;

  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* r[5];
    for (int32_t j = 0; j < 5; ++j) {
      r[j] = params.sourcePixels + static_cast<size_t>(std::clamp(y + j - 2, 0, height - 1)) * stride;
    }
    for (size_t i = 0; i < samples; ++i) {
      columns[i] = static_cast<uint16_t>(r[0][i] + r[1][i] + r[2][i] + r[3][i] + r[4][i]);
    }
    SumAcross(columns, sums, width);

    const uint8_t* in = r[2];
    uint8_t* out = params.outputPixels + static_cast<size_t>(y) * stride;
    for (size_t i = 0; i < samples; i += 3) {
      const int32_t sb = in[i], sg = in[i + 1], sr = in[i + 2];
      const int32_t db = std::clamp(sb - divide25[sums[i]], -128, 127);
      const int32_t dg = std::clamp(sg - divide25[sums[i + 1]], -128, 127);
      const int32_t dr = std::clamp(sr - divide25[sums[i + 2]], -128, 127);
      const int32_t strength = (db < 0 ? -db : db) + (dg < 0 ? -dg : dg) + (dr < 0 ? -dr : dr);
      if (strength > kThreshold) {
        out[i] = clamp[sb + gains[db + 128] + kClampOffset];
        out[i + 1] = clamp[sg + gains[dg + 128] + kClampOffset];
        out[i + 2] = clamp[sr + gains[dr + 128] + kClampOffset];
      } else {
        out[i] = static_cast<uint8_t>(sb);
        out[i + 1] = static_cast<uint8_t>(sg);
        out[i + 2] = static_cast<uint8_t>(sr);
      }
    }
  }
  return true;
}

bool SharpenImage(ProcessingImage& image, int32_t usmOpt, const SharpenTables& tables,
                  SharpenParams& params, DepthConverter& converter) {
  if (!HoldsImage(image)) return false;
  const int32_t gain = SharpenGain(usmOpt);
  if (gain == 0 || image.width < 5 || image.height < 5) return true;
  if (!ExpandImageTo24(image, converter)) return false;
  const size_t stride = Stride24(image.width);
  PixelBlock output;
  if (!output.Allocate(stride * static_cast<size_t>(image.height))) return false;
  params.width = image.width;
  params.height = image.height;
  params.stride = static_cast<int32_t>(stride);
  params.sourcePixels = image.record->pixels.data();
  params.outputPixels = output.data();
  params.tables = &tables;
  if (!SharpenPixels(params, gain)) return false;
  image.record->pixels = std::move(output);
  image.bitCount = 24;
  return true;
}

}  // namespace pixlane
