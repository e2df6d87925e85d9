// Writes GIF and TIFF files with WriteGif and WriteTiff into the folder named
// on the command line, plus manifest.txt with what each file must hold, for
// gif_tiff_write_check.py to check with Pillow, giflib's tools and libtiff's
// tools. Every image uses few enough colours that its target depth keeps
// them exactly. Manifest lines: <name> <width> <height> <bits> <extra> <hex>
// where extra is the interlace flag (GIF) or the exact file size (TIFF) and
// hex the colours as red-green-blue, rows top to bottom.
#include <cstdio>
#include <string>
#include <vector>

#include "codecs/gif_writer.h"
#include "codecs/tiff_writer.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

struct Rgb {
  uint8_t red, green, blue;
};

// A source image whose pixel (x, y) has colour colours[pick(x, y)], as an
// 8-bit palette image or a 24-bit image.
struct Source {
  ImageBuffer image;
  std::vector<Rgb> topDown;  // the intended colours, top row first
};

void MakeSource(Source& s, int32_t width, int32_t height, int bitCount,
                const std::vector<Rgb>& colours, uint32_t seed) {
  s.image.Reset();
  SetImageHeader(s.image, width, height, bitCount, 0, 0);
  const size_t stride = RowStride(width, bitCount);
  if (!s.image.pixels.Allocate(stride * static_cast<size_t>(height))) return;
  for (size_t i = 0; i < colours.size() && bitCount == 8; ++i) {
    s.image.palette[i] = RgbQuad{colours[i].blue, colours[i].green, colours[i].red, 0};
  }
  s.topDown.assign(static_cast<size_t>(width) * static_cast<size_t>(height), Rgb{});
  uint32_t state = seed * 2654435761u + 7u;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = s.image.pixels.data() + stride * static_cast<size_t>(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      // Every colour appears once before the choice turns random.
      const size_t n = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
      const size_t pick = n < colours.size() ? n : (state >> 16) % colours.size();
      const Rgb c = colours[pick];
      s.topDown[n] = c;
      if (bitCount == 8) {
        row[x] = static_cast<uint8_t>(pick);
      } else {
        row[3 * x] = c.blue;
        row[3 * x + 1] = c.green;
        row[3 * x + 2] = c.red;
      }
    }
  }
}

std::vector<Rgb> DistinctColours(size_t count, uint32_t seed) {
  std::vector<Rgb> colours;
  uint32_t state = seed;
  while (colours.size() < count) {
    state = state * 1664525u + 1013904223u;
    const Rgb c{static_cast<uint8_t>(state >> 24), static_cast<uint8_t>(state >> 16),
                static_cast<uint8_t>(state >> 8)};
    bool seen = false;
    for (const Rgb& o : colours) {
      seen |= o.red == c.red && o.green == c.green && o.blue == c.blue;
    }
    if (!seen) colours.push_back(c);
  }
  return colours;
}

std::vector<Rgb> Grays(size_t count, uint32_t seed) {
  std::vector<Rgb> colours;
  for (size_t i = 0; i < count; ++i) {
    const auto v = static_cast<uint8_t>((i * 255 / (count > 1 ? count - 1 : 1) + seed) & 0xFF);
    colours.push_back(Rgb{v, v, v});
  }
  return colours;
}

void AppendLine(std::string& manifest, const std::string& name, const Source& s, int bits,
                long extra) {
  char head[160];
  std::snprintf(head, sizeof head, "%s %d %d %d %ld ", name.c_str(),
                static_cast<int>(s.image.header.width), static_cast<int>(s.image.header.height),
                bits, extra);
  manifest += head;
  for (const Rgb& c : s.topDown) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02x%02x%02x", c.red, c.green, c.blue);
    manifest += hex;
  }
  manifest += '\n';
}

bool ExportGif(const std::u16string& folder, const Source& s, int bits, bool interlaced,
               std::string& manifest) {
  char name[64];
  std::snprintf(name, sizeof name, "s%d_b%d_w%d_h%d%s.gif", s.image.header.bitCount, bits,
                static_cast<int>(s.image.header.width), static_cast<int>(s.image.header.height),
                interlaced ? "_i" : "");
  GifWriter writer;
  writer.converter.width = s.image.header.width;
  writer.converter.height = s.image.header.height;
  writer.converter.sourceBitCount = s.image.header.bitCount;
  writer.converter.targetBitCount = bits;
  writer.isInterlaced = interlaced;
  DeleteFilePath(JoinPath(folder, Utf8ToUtf16(name)));  // left by an earlier run
  if (!WriteGif(writer, JoinPath(folder, Utf8ToUtf16(name)), s.image.palette.data(),
                s.image.pixels.data())) {
    std::fprintf(stderr, "%s: %s\n", name, CodecErrorName(writer.error));
    return false;
  }
  AppendLine(manifest, name, s, bits, interlaced ? 1 : 0);
  return true;
}

bool ExportTiff(const std::u16string& folder, const Source& s, int bits, bool gray,
                std::string& manifest) {
  const int32_t w = s.image.header.width;
  const int32_t h = s.image.header.height;
  char name[64];
  std::snprintf(name, sizeof name, "s%d_b%d%s_w%d_h%d.tif", s.image.header.bitCount, bits,
                gray ? "g" : "", static_cast<int>(w), static_cast<int>(h));
  TiffWriter writer;
  writer.converter.width = w;
  writer.converter.height = h;
  writer.converter.sourceBitCount = s.image.header.bitCount;
  writer.converter.targetBitCount = bits;
  writer.isGrayscale = gray;
  DeleteFilePath(JoinPath(folder, Utf8ToUtf16(name)));  // left by an earlier run
  if (!WriteTiff(writer, JoinPath(folder, Utf8ToUtf16(name)), s.image.palette.data(),
                 s.image.pixels.data())) {
    std::fprintf(stderr, "%s: %s\n", name, CodecErrorName(writer.error));
    return false;
  }
  // The fixed layouts: head bytes, then the rows.
  long size = 0;
  const long lw = w;
  const long lh = h;
  switch (bits) {
    case 1: size = 162 + lh * ((lw + 7) / 8); break;
    case 4: size = 270 + lh * ((lw + 1) / 2); break;
    case 8: size = gray ? 162 + lw * lh : 1710 + lw * lh; break;
    default: size = 180 + 3 * lw * lh; break;
  }
  AppendLine(manifest, name, s, gray ? 8 : bits, size);
  return true;
}

int Run(const std::u16string& folder) {
  if (!CreateFolder(folder)) {
    std::fprintf(stderr, "cannot create the output folder\n");
    return 1;
  }
  std::string gifs;
  std::string tiffs;
  bool ok = true;
  const std::vector<Rgb> blackWhite = {{0, 0, 0}, {255, 255, 255}};
  Source s;
  for (int32_t width = 1; width <= 9; ++width) {
    const auto seed = static_cast<uint32_t>(width);
    for (int bits = 1; bits <= 8; ++bits) {
      const std::vector<Rgb> colours =
          bits == 1 ? blackWhite
                    : DistinctColours(size_t{1} << bits, seed * 31u + static_cast<uint32_t>(bits));
      for (int source : {8, 24}) {
        MakeSource(s, width, 11, source, colours, seed + static_cast<uint32_t>(bits));
        ok &= ExportGif(folder, s, bits, width % 2 == 1, gifs);
      }
    }
    MakeSource(s, width, 3, 24, blackWhite, seed);
    ok &= ExportTiff(folder, s, 1, false, tiffs);
    MakeSource(s, width, 3, 8, Grays(200, seed), seed);
    ok &= ExportTiff(folder, s, 8, true, tiffs);
    MakeSource(s, width, 3, 24, DistinctColours(16, seed), seed);
    ok &= ExportTiff(folder, s, 4, false, tiffs);
    MakeSource(s, width, 3, 8, DistinctColours(256, seed), seed);
    ok &= ExportTiff(folder, s, 8, false, tiffs);
    MakeSource(s, width, 3, 24, DistinctColours(100, seed), seed);
    ok &= ExportTiff(folder, s, 8, false, tiffs);
    MakeSource(s, width, 3, 24, DistinctColours(500, seed), seed);
    ok &= ExportTiff(folder, s, 24, false, tiffs);
    MakeSource(s, width, 3, 8, DistinctColours(200, seed), seed);
    ok &= ExportTiff(folder, s, 24, false, tiffs);
  }
  // Long streams: the code table fills and restarts several times.
  MakeSource(s, 256, 64, 8, DistinctColours(256, 99), 99);
  ok &= ExportGif(folder, s, 8, false, gifs);
  ok &= ExportGif(folder, s, 8, true, gifs);
  MakeSource(s, 400, 100, 24, blackWhite, 98);
  ok &= ExportGif(folder, s, 1, false, gifs);
  MakeSource(s, 300, 90, 24, DistinctColours(8, 97), 97);
  ok &= ExportGif(folder, s, 3, true, gifs);

  if (!test::WriteWholeFile(JoinPath(folder, u"gif_manifest.txt"),
                            std::vector<uint8_t>(gifs.begin(), gifs.end())) ||
      !test::WriteWholeFile(JoinPath(folder, u"tiff_manifest.txt"),
                            std::vector<uint8_t>(tiffs.begin(), tiffs.end()))) {
    std::fprintf(stderr, "cannot write the manifests\n");
    return 1;
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace pixlane

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gif_tiff_write_export <folder>\n");
    return 2;
  }
  return pixlane::Run(pixlane::Utf8ToUtf16(argv[1]));
}
