// Area-averaging reduction. Per line a sample adds v to S and 32768 to acc;
// once acc reaches span, part = v × (acc − span) / 32768 carries to the next
// output and table[S − part] is emitted. acc follows the same course on
// every line, so each pass computes it once (the emission schedule) and then
// runs whole rows: the vertical pass adds source rows into per-sample sums.
#include "imaging/resize.h"

#include <algorithm>
#include <cassert>
#include <new>

#include "platform/pixel_memory.h"

namespace pixlane {
namespace {

constexpr int32_t kUnit = 32768;  // one source sample, in 1/32768 units
constexpr int32_t kNoOutput = -1;

bool ValidSide(int32_t side) { return side >= 1 && side <= kMaxDimension; }

// For every source sample k of a line of n: kNoOutput when no output is
// due after it, otherwise the overshoot e = acc − span (0 ≤ e < 32768)
// whose share of the sample carries to the next output. The last sample
// always emits (with e = 0 if the footprint is not full: truncating span
// leaves the final footprint a little short). Exactly m outputs result for
// any n > m with m < 32768; the count is checked anyway, since the passes
// write one target line per output.
bool BuildSchedule(int32_t n, int32_t m, int32_t span, std::unique_ptr<int32_t[]>& schedule) {
  schedule.reset(new (std::nothrow) int32_t[static_cast<size_t>(n)]);
  if (!schedule) return false;
  int32_t acc = 0;
  int32_t outputs = 0;
  for (int32_t k = 0; k < n - 1; ++k) {
    acc += kUnit;
    if (acc >= span) {
      acc -= span;
      schedule[k] = acc;
      ++outputs;
    } else {
      schedule[k] = kNoOutput;
    }
  }
  acc += kUnit;
  schedule[n - 1] = acc >= span ? acc - span : 0;
  ++outputs;
  return outputs == m;
}

struct Pass {
  DivisionTable table;
  std::unique_ptr<int32_t[]> schedule;

  bool Prepare(int32_t n, int32_t m) {
    return BuildDivisionTable(n, m, table) && BuildSchedule(n, m, table.span, schedule);
  }
};

inline uint8_t Divide(const DivisionTable& table, int32_t sum) {
  assert(sum >= 0 && sum < table.size);
  return table.entries[static_cast<size_t>(sum)];
}

}  // namespace

bool BuildDivisionTable(int32_t n, int32_t m, DivisionTable& table) {
  table.span = 0;
  table.size = 0;
  table.entries.reset();
  if (n < 2 || n > kMaxDimension || m < 1 || m >= n) return false;
  const double x = static_cast<double>(n) / static_cast<double>(m);
  const int32_t span = static_cast<int32_t>(x * 32768.0);
  // A weighted sum covers span/32768 samples of at most 255, plus less than
  // 1 from truncating the carried and subtracted parts.
  const int64_t needed = ((int64_t{255} * span) >> 15) + 2;
  const int32_t size = static_cast<int32_t>(std::min<int64_t>(span, needed));
  table.entries.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
  if (!table.entries) return false;
  for (int32_t i = 0; i < size; ++i) {
    const int32_t q = static_cast<int32_t>(static_cast<double>(i) / x);
    table.entries[static_cast<size_t>(i)] = static_cast<uint8_t>(std::min(q, 255));
  }
  table.span = span;
  table.size = size;
  return true;
}

bool ComputeReducedSize(int32_t width, int32_t height, int32_t rszOpt, int32_t rszSize,
                        int32_t& newWidth, int32_t& newHeight) {
  newWidth = width;
  newHeight = height;
  if (rszOpt <= 0 || rszSize <= 0 || !ValidSide(width) || !ValidSide(height)) return false;
  const bool widthLimited = rszOpt == 1 || (rszOpt == 3 && height < width);
  const int32_t limited = widthLimited ? width : height;
  const int32_t other = widthLimited ? height : width;
  if (rszSize >= limited) return false;
  // rszSize < limited ≤ 25000, so the product fits in 32 bits.
  const double scaled = static_cast<double>(other * rszSize) / static_cast<double>(limited) + 0.5;
  const int32_t otherSide = std::max(1, static_cast<int32_t>(scaled));
  newWidth = widthLimited ? rszSize : otherSide;
  newHeight = widthLimited ? otherSide : rszSize;
  return true;
}

bool ReduceImage(ProcessingImage& image, int32_t rszOpt, int32_t rszSize, GeometryParams& params,
                 DepthConverter& converter) {
  if (!HoldsImage(image)) return false;
  int32_t newWidth = 0;
  int32_t newHeight = 0;
  if (!ComputeReducedSize(image.width, image.height, rszOpt, rszSize, newWidth, newHeight)) {
    return true;
  }
  if (!ExpandImageTo24(image, converter)) return false;
  PixelBlock target;
  if (!target.Allocate(Stride24(newWidth) * static_cast<size_t>(newHeight))) return false;
  params.width = image.width;
  params.height = image.height;
  params.sourcePixels = image.record->pixels.data();
  params.targetPixels = target.data();
  if (!ScaleImage(params, newWidth, newHeight)) return false;
  image.record->pixels = std::move(target);
  image.width = newWidth;
  image.height = newHeight;
  image.bitCount = 24;
  return true;
}

bool ScaleImage(const GeometryParams& params, int32_t newWidth, int32_t newHeight) {
  if (!ValidSide(params.width) || !ValidSide(params.height)) return false;
  if (!ValidSide(newWidth) || !ValidSide(newHeight)) return false;
  if (newWidth > params.width || newHeight > params.height) return false;
  if (params.sourcePixels == nullptr || params.targetPixels == nullptr) return false;
  if (newHeight == params.height) {
    if (newWidth == params.width) return false;
    return ScaleHorizontal(params, newWidth);
  }
  if (newWidth == params.width) return ScaleVertical(params, newHeight);
  // The vertical pass writes every sample the horizontal pass reads.
  PixelBlock intermediate;
  if (!intermediate.AllocateForOverwrite(Stride24(params.width) * static_cast<size_t>(newHeight))) {
    return false;
  }
  GeometryParams vertical = params;
  vertical.targetPixels = intermediate.data();
  if (!ScaleVertical(vertical, newHeight)) return false;
  const GeometryParams horizontal{params.width, newHeight, intermediate.data(),
                                  params.targetPixels};
  return ScaleHorizontal(horizontal, newWidth);
}

bool ScaleVertical(const GeometryParams& params, int32_t newHeight) {
  const int32_t n = params.height;
  if (!ValidSide(params.width) || !ValidSide(n) || newHeight < 1 || newHeight >= n) return false;
  if (params.sourcePixels == nullptr || params.targetPixels == nullptr) return false;
  Pass pass;
  if (!pass.Prepare(n, newHeight)) return false;
  const size_t samples = 3 * static_cast<size_t>(params.width);
  const size_t stride = Stride24(params.width);
  // Every column's running sum S, advanced a whole source row at a time.
  std::unique_ptr<int32_t[]> sums(new (std::nothrow) int32_t[samples]());
  if (!sums) return false;
  int32_t* const s = sums.get();
  const DivisionTable& table = pass.table;
  uint8_t* out = params.targetPixels;
  for (int32_t k = 0; k < n; ++k) {
    const uint8_t* in = params.sourcePixels + static_cast<size_t>(k) * stride;
    const int32_t e = pass.schedule[static_cast<size_t>(k)];
    if (e == kNoOutput) {
      for (size_t i = 0; i < samples; ++i) s[i] += in[i];
      continue;
    }
    for (size_t i = 0; i < samples; ++i) {
      const int32_t v = in[i];
      const int32_t part = (v * e) >> 15;
      out[i] = Divide(table, s[i] + v - part);
      s[i] = part;
    }
    out += stride;
  }
  return true;
}

bool ScaleHorizontal(const GeometryParams& params, int32_t newWidth) {
  const int32_t n = params.width;
  if (!ValidSide(n) || !ValidSide(params.height) || newWidth < 1 || newWidth >= n) return false;
  if (params.sourcePixels == nullptr || params.targetPixels == nullptr) return false;
  Pass pass;
  if (!pass.Prepare(n, newWidth)) return false;
  const size_t sourceStride = Stride24(n);
  const size_t targetStride = Stride24(newWidth);
  const int32_t* const schedule = pass.schedule.get();
  const DivisionTable& table = pass.table;
  for (int32_t y = 0; y < params.height; ++y) {
    const uint8_t* in = params.sourcePixels + static_cast<size_t>(y) * sourceStride;
    uint8_t* out = params.targetPixels + static_cast<size_t>(y) * targetStride;
    int32_t sb = 0, sg = 0, sr = 0;
    for (int32_t k = 0; k < n; ++k, in += 3) {
      const int32_t vb = in[0], vg = in[1], vr = in[2];
      sb += vb;
      sg += vg;
      sr += vr;
      const int32_t e = schedule[k];
      if (e == kNoOutput) continue;
      const int32_t pb = (vb * e) >> 15, pg = (vg * e) >> 15, pr = (vr * e) >> 15;
      out[0] = Divide(table, sb - pb);
      out[1] = Divide(table, sg - pg);
      out[2] = Divide(table, sr - pr);
      out += 3;
      sb = pb;
      sg = pg;
      sr = pr;
    }
  }
  return true;
}

}  // namespace pixlane
