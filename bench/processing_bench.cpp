// Speed of the processing steps on a 6000 × 4000 24-bit photo-like image
// (gradients, grain, a disc and hard-edged tiles): reduction to a long side
// of 800, sharpening, auto-levels, brightness, contrast, hue/saturation and
// the three turns. Items are input pixels, so items/s reads as Mpx/s of
// input. Steps that work in place get a fresh copy of the photo before each
// timed run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "imaging/colour_corrections.h"
#include "imaging/hue_saturation.h"
#include "imaging/processing_image.h"
#include "imaging/resize.h"
#include "imaging/rotation.h"
#include "imaging/sharpen.h"

namespace pixlane {
namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

const PixelBlock& Photo() {
  static const PixelBlock photo = [] {
    PixelBlock block;
    const size_t stride = Stride24(kWidth);
    if (!block.Allocate(stride * kHeight)) return block;
    uint32_t noise = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
      uint8_t* px = block.data() + static_cast<size_t>(y) * stride;
      for (int32_t x = 0; x < kWidth; ++x, px += 3) {
        noise = noise * 1664525u + 1013904223u;
        const int grain = static_cast<int>((noise >> 24) & 15) - 8;
        int b = 40 + x * 150 / kWidth + grain;
        int g = 60 + y * 120 / kHeight + (x * (y / 8) / 3000) % 40 + grain;
        int r = 200 - y * 100 / kHeight + grain;
        const int dx = x - 3600, dy = y - 1800;
        if (dx * dx + dy * dy < 1000 * 1000) {  // a bright disc
          b = 230 - dx / 12 + grain;
          g = 190 + grain;
          r = 60 + dy / 15 + grain;
        }
        if ((x / 700 + y / 700) % 7 == 0) r = 30 + grain;  // hard-edged tiles
        px[0] = static_cast<uint8_t>(b < 0 ? 0 : (b > 255 ? 255 : b));
        px[1] = static_cast<uint8_t>(g < 0 ? 0 : (g > 255 ? 255 : g));
        px[2] = static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
      }
    }
    return block;
  }();
  return photo;
}

// A record holding a copy of the photo.
struct PhotoCopy {
  ImageBuffer record;
  ProcessingImage view;

  bool Reset() {
    const PixelBlock& photo = Photo();
    if (photo.empty()) return false;
    if (record.pixels.size() != photo.size() && !record.pixels.Allocate(photo.size())) return false;
    std::memcpy(record.pixels.data(), photo.data(), photo.size());
    view = {&record, kWidth, kHeight, 24};
    return true;
  }
};

struct AllTables {
  SharpenTables sharpen;
  StretchTables stretch;
  BrightnessTables brightness;
  ContrastTables contrast;
  HlsTables hls;
  AllTables() {
    BuildSharpenTables(sharpen);
    BuildStretchTables(stretch);
    BuildBrightnessTables(brightness);
    BuildHlsTables(hls);
  }
};

AllTables& Tables() {
  static const std::unique_ptr<AllTables> tables = std::make_unique<AllTables>();
  return *tables;
}

void ReduceToLongSide800(benchmark::State& state) {
  PixelBlock target;
  int32_t newWidth = 0, newHeight = 0;
  ComputeReducedSize(kWidth, kHeight, 3, 800, newWidth, newHeight);
  if (!target.Allocate(Stride24(newWidth) * static_cast<size_t>(newHeight))) {
    state.SkipWithError("memory");
    return;
  }
  const GeometryParams params{kWidth, kHeight, Photo().data(), target.data()};
  for (auto _ : state) {
    if (!ScaleImage(params, newWidth, newHeight)) {
      state.SkipWithError("scale failed");
      return;
    }
    benchmark::DoNotOptimize(target.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(ReduceToLongSide800)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole sharpening step: output allocation, blur, detail and gain.
void Sharpen(benchmark::State& state) {
  PhotoCopy image;
  SharpenParams params;
  DepthConverter converter;
  const int32_t usmOpt = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    const bool ready = image.Reset();
    state.ResumeTiming();
    if (!ready || !SharpenImage(image.view, usmOpt, Tables().sharpen, params, converter)) {
      state.SkipWithError("sharpen failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(Sharpen)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

enum class Correction { AutoLevels, Brightness, Contrast, HueSaturation };

void Correct(benchmark::State& state) {
  PhotoCopy image;
  const auto which = static_cast<Correction>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    const bool ready = image.Reset();
    CorrectionParams p;
    SetCorrectionImage(p, image.record, kWidth, kHeight, 24);
    p.stretch = &Tables().stretch;
    p.brightness = &Tables().brightness;
    p.contrast = &Tables().contrast;
    p.hls = &Tables().hls;
    state.ResumeTiming();
    if (!ready) {
      state.SkipWithError("memory");
      return;
    }
    switch (which) {
      case Correction::AutoLevels: AutoLevels(p); break;
      case Correction::Brightness: ApplyBrightness(p, 40); break;
      case Correction::Contrast: ApplyContrast(p, 30); break;
      case Correction::HueSaturation: ApplyHueSaturation(p, 40, 30); break;
    }
    benchmark::DoNotOptimize(image.record.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(Correct)
    ->ArgName("step")  // 0 auto-levels, 1 brightness, 2 contrast, 3 hue/saturation
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The whole rotation step, target allocation included.
void Rotate(benchmark::State& state) {
  PhotoCopy image;
  if (!image.Reset()) {
    state.SkipWithError("memory");
    return;
  }
  GeometryParams params;
  const int32_t turn = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    if (!RotateImage(image.view, turn, params)) {
      state.SkipWithError("rotate failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(Rotate)->ArgName("turn")->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace pixlane
