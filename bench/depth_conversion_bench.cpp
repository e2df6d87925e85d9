// Speed of the depth converter on a 2000 × 1500 photo-like image (smooth
// gradients, texture noise and hard-edged shapes): 24 → 8, 4 and 1 bits
// (histogram palette and diffusion) and 8 → 24 (palette expansion).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"

namespace pixlane {
namespace {

constexpr int32_t kWidth = 2000;
constexpr int32_t kHeight = 1500;

struct PhotoImage {
  std::vector<uint8_t> pixels;
  PhotoImage() : pixels(SourceRowStride(kWidth, 24) * kHeight) {
    uint32_t noise = 12345;
    const size_t stride = SourceRowStride(kWidth, 24);
    for (int32_t y = 0; y < kHeight; ++y) {
      uint8_t* px = pixels.data() + static_cast<size_t>(y) * stride;
      for (int32_t x = 0; x < kWidth; ++x, px += 3) {
        noise = noise * 1664525u + 1013904223u;
        const int grain = static_cast<int>((noise >> 24) & 15) - 8;
        int b = 40 + x * 150 / kWidth + grain;
        int g = 60 + y * 120 / kHeight + (x * y / 5000) % 40 + grain;
        int r = 200 - y * 100 / kHeight + grain;
        const int dx = x - 1200, dy = y - 700;
        if (dx * dx + dy * dy < 350 * 350) {  // a bright disc
          b = 230 - dx / 4 + grain;
          g = 190 + grain;
          r = 60 + dy / 5 + grain;
        }
        if ((x / 250 + y / 250) % 7 == 0) r = 30 + grain;  // hard-edged tiles
        px[0] = static_cast<uint8_t>(b < 0 ? 0 : (b > 255 ? 255 : b));
        px[1] = static_cast<uint8_t>(g < 0 ? 0 : (g > 255 ? 255 : g));
        px[2] = static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
      }
    }
  }
};

const PhotoImage& Photo() {
  static const PhotoImage photo;
  return photo;
}

void ReduceFrom24(benchmark::State& state) {
  const PhotoImage& photo = Photo();
  DepthConverter converter;
  converter.width = kWidth;
  converter.height = kHeight;
  converter.sourceBitCount = 24;
  converter.targetBitCount = static_cast<int32_t>(state.range(0));
  if (!ComputeRowGeometry(converter)) {
    state.SkipWithError("geometry");
    return;
  }
  std::vector<uint8_t> target(converter.imageBytes);
  Palette palette{};
  for (auto _ : state) {
    if (!ConvertDepth(converter, nullptr, photo.pixels.data(), palette.data(), target.data())) {
      state.SkipWithError("conversion failed");
      return;
    }
    benchmark::DoNotOptimize(target.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(ReduceFrom24)->Arg(8)->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond);

void Expand8To24(benchmark::State& state) {
  // The 8-bit source is the photo reduced to 256 colours.
  DepthConverter reduce;
  reduce.width = kWidth;
  reduce.height = kHeight;
  reduce.sourceBitCount = 24;
  reduce.targetBitCount = 8;
  ComputeRowGeometry(reduce);
  std::vector<uint8_t> indexed(reduce.imageBytes);
  Palette palette{};
  if (!ConvertDepth(reduce, nullptr, Photo().pixels.data(), palette.data(), indexed.data())) {
    state.SkipWithError("reduction failed");
    return;
  }
  DepthConverter converter;
  converter.width = kWidth;
  converter.height = kHeight;
  converter.sourceBitCount = 8;
  converter.targetBitCount = 24;
  ComputeRowGeometry(converter);
  std::vector<uint8_t> target(converter.imageBytes);
  for (auto _ : state) {
    if (!ConvertDepth(converter, palette.data(), indexed.data(), nullptr, target.data())) {
      state.SkipWithError("expansion failed");
      return;
    }
    benchmark::DoNotOptimize(target.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(Expand8To24)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pixlane
