// Speed of the PNG reader and of the writer at level 9. The files come from
// the folder named by PIXLANE_PNG_BENCH_DIR (every .png in it, e.g. the set
// bench/png_compare.py makes for the comparison with ImageMagick and libvips);
// without it, a 2000 × 1500 photo-like image is made and written by our own
// writer as truecolour, truecolour interlaced and 8-bit palette files.
// Decoding runs from memory; encoding re-encodes the decoded image at its
// own depth (gray files as 8-bit gray) and reports the output size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/png_reader.h"
#include "codecs/png_writer.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane {
namespace {

struct BenchFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

// The same photo-like picture as the depth-conversion benchmark: smooth
// gradients, grain, a bright disc and hard-edged tiles.
void MakePhoto(ImageBuffer& image, int32_t width, int32_t height) {
  const size_t stride = RowStride(width, 24);
  image.pixels.Allocate(stride * static_cast<size_t>(height));
  SetImageHeader(image, width, height, 24, 0, 0);
  uint32_t noise = 12345;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* px = image.pixels.data() + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < width; ++x, px += 3) {
      noise = noise * 1664525u + 1013904223u;
      const int grain = static_cast<int>((noise >> 24) & 15) - 8;
      int b = 40 + x * 150 / width + grain;
      int g = 60 + y * 120 / height + (x * y / 5000) % 40 + grain;
      int r = 200 - y * 100 / height + grain;
      const int dx = x - 1200;
      const int dy = y - 700;
      if (dx * dx + dy * dy < 350 * 350) {
        b = 230 - dx / 4 + grain;
        g = 190 + grain;
        r = 60 + dy / 5 + grain;
      }
      if ((x / 250 + y / 250) % 7 == 0) r = 30 + grain;
      px[0] = static_cast<uint8_t>(b < 0 ? 0 : (b > 255 ? 255 : b));
      px[1] = static_cast<uint8_t>(g < 0 ? 0 : (g > 255 ? 255 : g));
      px[2] = static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
    }
  }
}

bool Encode(const ImageBuffer& image, int target, bool interlace, int level, std::vector<uint8_t>& out,
            bool gray = false) {
  PngWriter writer;
  writer.grayscale = gray;
  writer.converter.width = image.header.width;
  writer.converter.height = image.header.height;
  writer.converter.sourceBitCount = image.header.bitCount;
  writer.converter.targetBitCount = target;
  writer.interlace = interlace;
  writer.level = level;
  return WritePngMemory(writer, image.palette.data(), image.pixels.data(), out);
}

std::vector<BenchFile> LoadFiles() {
  std::vector<BenchFile> files;
  const char* dir = std::getenv("PIXLANE_PNG_BENCH_DIR");
  if (dir != nullptr && *dir != '\0') {
    const std::u16string folder = Utf8ToUtf16(dir);
    std::vector<DirectoryEntry> entries;
    if (!ListDirectory(folder, entries)) return files;
    for (const DirectoryEntry& e : entries) {
      const std::string name = Utf16ToUtf8(e.name);
      if (e.isDirectory || name.size() < 5 || name.substr(name.size() - 4) != ".png") continue;
      InputFile in;
      if (!in.Open(JoinPath(folder, e.name))) continue;
      BenchFile f{name, std::vector<uint8_t>(static_cast<size_t>(in.Size()))};
      if (in.Read(f.bytes.data(), f.bytes.size()) != f.bytes.size()) continue;
      files.push_back(std::move(f));
    }
    return files;
  }
  ImageBuffer photo;
  MakePhoto(photo, 2000, 1500);
  BenchFile f;
  if (Encode(photo, 24, false, 6, f.bytes)) files.push_back({"photo_rgb.png", f.bytes});
  if (Encode(photo, 24, true, 6, f.bytes)) files.push_back({"photo_rgb_interlaced.png", f.bytes});
  if (Encode(photo, 8, false, 6, f.bytes)) files.push_back({"photo_palette.png", f.bytes});
  return files;
}

void Decode(benchmark::State& state, const BenchFile* file) {
  PngReader reader;
  for (auto _ : state) {
    const ImageBuffer* image = ReadPngMemory(reader, file->bytes.data(), file->bytes.size());
    if (image == nullptr) {
      state.SkipWithError("the file does not decode");
      return;
    }
    benchmark::DoNotOptimize(image->pixels.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(reader.image.header.width) * reader.image.header.height * 3);
}

void EncodeLevel9(benchmark::State& state, const BenchFile* file) {
  PngReader reader;
  const ImageBuffer* image = ReadPngMemory(reader, file->bytes.data(), file->bytes.size());
  if (image == nullptr) {
    state.SkipWithError("the file does not decode");
    return;
  }
  // Gray files are written as gray (filtered), others at their own depth.
  const bool gray = reader.colourType == 0 || reader.colourType == 4;
  std::vector<uint8_t> out;
  for (auto _ : state) {
    if (!Encode(*image, image->header.bitCount, false, 9, out, gray)) {
      state.SkipWithError("the image does not encode");
      return;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
}

}  // namespace
}  // namespace pixlane

int main(int argc, char** argv) {
  static const std::vector<pixlane::BenchFile> files = pixlane::LoadFiles();
  if (files.empty()) {
    std::fprintf(stderr, "png_bench: no input files\n");
    return 1;
  }
  for (const pixlane::BenchFile& f : files) {
    benchmark::RegisterBenchmark(("Decode/" + f.name).c_str(), pixlane::Decode, &f)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("EncodeLevel9/" + f.name).c_str(), pixlane::EncodeLevel9, &f)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
