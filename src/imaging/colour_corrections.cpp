// Auto-levels, brightness and contrast. Each reduces to one 256-entry byte
// map applied to every sample of a 24-bit image (row by row, fill bytes
// untouched) or to the blue, green and red of every palette entry of an
// 8-bit image. The histogram and the luminance sums are taken over rows
// with several independent counters, which changes no count.
#include "imaging/colour_corrections.h"

#include <algorithm>
#include <cmath>

namespace pixlane {
namespace {

using ByteMap = std::array<uint8_t, 256>;

bool Readable(const CorrectionParams& p) {
  if (p.width < 1 || p.width > kMaxDimension || p.height < 1 || p.height > kMaxDimension) {
    return false;
  }
  if (p.sourcePixels == nullptr || p.targetPixels == nullptr) return false;
  if (p.bitCount == 24) return static_cast<size_t>(p.stride) >= 3 * static_cast<size_t>(p.width);
  if (p.bitCount == 8) {
    return static_cast<size_t>(p.stride) >= static_cast<size_t>(p.width) &&
           p.sourcePalette != nullptr && p.targetPalette != nullptr;
  }
  return false;
}

const uint8_t* SourceRow(const CorrectionParams& p, int32_t y) {
  return p.sourcePixels + static_cast<size_t>(y) * static_cast<size_t>(p.stride);
}

uint8_t* TargetRow(const CorrectionParams& p, int32_t y) {
  return p.targetPixels + static_cast<size_t>(y) * static_cast<size_t>(p.stride);
}

void ApplyMap(const CorrectionParams& p, const ByteMap& map) {
  if (p.bitCount == 8) {
    for (size_t i = 0; i < 256; ++i) {
      RgbQuad entry = p.sourcePalette[i];
      entry.blue = map[entry.blue];
      entry.green = map[entry.green];
      entry.red = map[entry.red];
      p.targetPalette[i] = entry;
    }
    return;
  }
  const size_t samples = 3 * static_cast<size_t>(p.width);
  for (int32_t y = 0; y < p.height; ++y) {
    const uint8_t* in = SourceRow(p, y);
    uint8_t* out = TargetRow(p, y);
    for (size_t i = 0; i < samples; ++i) out[i] = map[in[i]];
  }
}

// How often each palette index occurs in an 8-bit image.
std::array<uint64_t, 256> CountIndices(const CorrectionParams& p) {
  std::array<std::array<uint32_t, 256>, 4> partial{};
  std::array<uint64_t, 256> counts{};
  const size_t width = static_cast<size_t>(p.width);
  for (int32_t y = 0; y < p.height; ++y) {
    const uint8_t* in = SourceRow(p, y);
    size_t x = 0;
    for (; x + 4 <= width; x += 4) {
      ++partial[0][in[x]];
      ++partial[1][in[x + 1]];
      ++partial[2][in[x + 2]];
      ++partial[3][in[x + 3]];
    }
    for (; x < width; ++x) ++partial[0][in[x]];
    // Flush before a 32-bit counter could fill (25000 × 25000 pixels).
    if ((y & 1023) == 1023 || y == p.height - 1) {
      for (size_t v = 0; v < 256; ++v) {
        counts[v] += uint64_t{partial[0][v]} + partial[1][v] + partial[2][v] + partial[3][v];
      }
      partial = {};
    }
  }
  return counts;
}

// Histogram H of all blue, green and red samples (3 × width × height).
std::array<uint64_t, 256> SampleHistogram(const CorrectionParams& p) {
  std::array<uint64_t, 256> histogram{};
  if (p.bitCount == 8) {
    const std::array<uint64_t, 256> counts = CountIndices(p);
    for (size_t i = 0; i < 256; ++i) {
      const RgbQuad& c = p.sourcePalette[i];
      histogram[c.blue] += counts[i];
      histogram[c.green] += counts[i];
      histogram[c.red] += counts[i];
    }
    return histogram;
  }
  std::array<std::array<uint32_t, 256>, 4> partial{};
  const size_t samples = 3 * static_cast<size_t>(p.width);
  for (int32_t y = 0; y < p.height; ++y) {
    const uint8_t* in = SourceRow(p, y);
    size_t i = 0;
    for (; i + 4 <= samples; i += 4) {
      ++partial[0][in[i]];
      ++partial[1][in[i + 1]];
      ++partial[2][in[i + 2]];
      ++partial[3][in[i + 3]];
    }
    for (; i < samples; ++i) ++partial[0][in[i]];
    if ((y & 1023) == 1023 || y == p.height - 1) {
      for (size_t v = 0; v < 256; ++v) {
        histogram[v] += uint64_t{partial[0][v]} + partial[1][v] + partial[2][v] + partial[3][v];
      }
      partial = {};
    }
  }
  return histogram;
}

// Sums of blue, green and red over one 24-bit row, twelve lanes at a time
// (four pixels), so that the loop needs no shuffling.
void SumRow24(const uint8_t* in, size_t width, uint64_t& blue, uint64_t& green, uint64_t& red) {
  uint32_t lanes[12] = {};
  size_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const uint8_t* px = in + 3 * x;
    for (size_t j = 0; j < 12; ++j) lanes[j] += px[j];
  }
  uint32_t b = lanes[0] + lanes[3] + lanes[6] + lanes[9];
  uint32_t g = lanes[1] + lanes[4] + lanes[7] + lanes[10];
  uint32_t r = lanes[2] + lanes[5] + lanes[8] + lanes[11];
  for (; x < width; ++x) {
    b += in[3 * x];
    g += in[3 * x + 1];
    r += in[3 * x + 2];
  }
  blue = b;
  green = g;
  red = r;
}

}  // namespace

void BuildStretchTables(StretchTables& tables) {
  tables.rows[0].fill(0);
  for (uint32_t r = 1; r < 256; ++r) {
    const uint64_t a = 16711680u / r;
    std::array<uint8_t, 510>& row = tables.rows[r];
    for (int32_t d = -254; d <= 255; ++d) {
      const uint64_t value = d <= 0 ? 0 : std::min<uint64_t>(255, (static_cast<uint64_t>(d) * a) >> 16);
      row[static_cast<size_t>(d + 254)] = static_cast<uint8_t>(value);
    }
  }
}

void BuildBrightnessTables(BrightnessTables& tables) {
  constexpr double kPi = 3.1415926535;
  for (int32_t g = -100; g <= 100; ++g) {
    const int32_t degrees = 2 * (g + 100) / 5 + 5;
    const double theta = static_cast<double>(degrees) * kPi / 180.0;
    const double e = std::cos(theta) / std::sin(theta);
    std::array<uint8_t, 256>& curve = tables.curves[static_cast<size_t>(g + 100)];
    curve[0] = 0;
    for (int32_t v = 1; v < 256; ++v) {
      const double mapped = 255.0 * std::pow(static_cast<double>(v) / 255.0, e) + 0.5;
      curve[static_cast<size_t>(v)] = static_cast<uint8_t>(std::clamp(static_cast<int32_t>(mapped), 0, 255));
    }
  }
}

void BuildContrastTables(ContrastTables& tables, int32_t mean) {
  tables.mean = mean;
  for (int32_t c = -100; c <= 100; ++c) {
    const int32_t slope = c <= 0 ? c * 512 : c * 2048;
    std::array<uint8_t, 256>& line = tables.lines[static_cast<size_t>(c + 100)];
    for (int32_t v = 0; v < 256; ++v) {
      const int32_t mapped = v + ((slope * (v - mean)) >> 16);
      line[static_cast<size_t>(v)] = static_cast<uint8_t>(std::clamp(mapped, 0, 255));
    }
  }
}

void SetCorrectionImage(CorrectionParams& params, ImageBuffer& record, int32_t width,
                        int32_t height, int32_t bitCount) {
  params.width = width;
  params.height = height;
  params.bitCount = bitCount;
  if (bitCount == 8) params.stride = static_cast<int32_t>((width + 3) & ~3);
  if (bitCount == 24) params.stride = static_cast<int32_t>((3 * width + 3) & ~3);
  params.sourcePalette = record.palette.data();
  params.targetPalette = record.palette.data();
  params.sourcePixels = record.pixels.data();
  params.targetPixels = record.pixels.data();
}

void AutoLevels(const CorrectionParams& params) {
  if (!Readable(params) || params.stretch == nullptr) return;
  const std::array<uint64_t, 256> histogram = SampleHistogram(params);
  const uint64_t threshold =
      (3 * static_cast<uint64_t>(params.width) * static_cast<uint64_t>(params.height)) >> 8;
  int32_t low = 0;
  for (uint64_t below = 0; low < 255; ++low) {
    below += histogram[static_cast<size_t>(low)];
    if (below > threshold) break;
  }
  int32_t high = 255;
  for (uint64_t above = 0; high > 0; --high) {
    above += histogram[static_cast<size_t>(high)];
    if (above > threshold) break;
  }
  const int32_t range = high - low;
  if (range <= 0) return;  // one level: stretching would make every sample 0
  const std::array<uint8_t, 510>& row = params.stretch->rows[static_cast<size_t>(range)];
  ByteMap map;
  for (int32_t v = 0; v < 256; ++v) map[static_cast<size_t>(v)] = row[static_cast<size_t>(v - low + 254)];
  ApplyMap(params, map);
}

void ApplyBrightness(const CorrectionParams& params, int32_t g) {
  if (!Readable(params) || params.brightness == nullptr) return;
  ApplyMap(params, params.brightness->curves[static_cast<size_t>(std::clamp(g, -100, 100) + 100)]);
}

int32_t MeanLuminance(const CorrectionParams& params) {
  if (!Readable(params)) return 0;
  uint64_t total = 0;
  const size_t width = static_cast<size_t>(params.width);
  for (int32_t y = 0; y < params.height; ++y) {
    const uint8_t* in = SourceRow(params, y);
    uint64_t blue = 0, green = 0, red = 0;
    if (params.bitCount == 24) {
      SumRow24(in, width, blue, green, red);
    } else {
      for (size_t x = 0; x < width; ++x) {
        const RgbQuad& c = params.sourcePalette[in[x]];
        blue += c.blue;
        green += c.green;
        red += c.red;
      }
    }
    total += ((kLumaBlue * blue) >> 10) + ((kLumaGreen * green) >> 10) + ((kLumaRed * red) >> 10);
  }
  const uint64_t pixels = static_cast<uint64_t>(params.width) * static_cast<uint64_t>(params.height);
  return static_cast<int32_t>(total / pixels);
}

void ApplyContrast(const CorrectionParams& params, int32_t c) {
  if (!Readable(params) || params.contrast == nullptr) return;
  BuildContrastTables(*params.contrast, MeanLuminance(params));
  ApplyMap(params, params.contrast->lines[static_cast<size_t>(std::clamp(c, -100, 100) + 100)]);
}

}  // namespace pixlane
