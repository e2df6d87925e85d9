// Writes BMP files with WriteBmp into the folder named on the command line,
// plus manifest.txt with the colours each file is meant to hold, for
// bmp_pillow_check.py to decode with Pillow and compare. Exits non-zero when
// a file cannot be written.
#include <cstdio>
#include <string>
#include <vector>

#include "codecs/bmp_writer.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

// Colour of one pixel as red, green, blue.
void AppendRgb(const ImageBuffer& image, int32_t x, int32_t y, std::string& hex) {
  const int bits = image.header.bitCount;
  const uint8_t* row = image.pixels.data() + RowStride(image.header.width, bits) * static_cast<size_t>(y);
  RgbQuad q;
  if (bits == 24) {
    q = RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
  } else {
    const size_t bit = static_cast<size_t>(x) * static_cast<size_t>(bits);
    const int index = (row[bit / 8] >> (8 - bits - static_cast<int>(bit % 8))) & ((1 << bits) - 1);
    q = image.palette[static_cast<size_t>(index)];
  }
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02x%02x%02x", q.red, q.green, q.blue);
  hex += buffer;
}

// A 24-bit image using only `count` (2 or 3) colours, which every target
// depth holds exactly.
void MakeFewColourImage(ImageBuffer& image, int32_t width, int32_t height, int count) {
  test::MakePatternImage(image, width, height, 24, 5);
  static constexpr uint8_t kColours[3][3] = {{0, 0, 0}, {255, 255, 255}, {40, 180, 220}};
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image.pixels.data() + RowStride(width, 24) * static_cast<size_t>(y);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* c = kColours[(x * 5 + y) % count];
      row[3 * x] = c[0];
      row[3 * x + 1] = c[1];
      row[3 * x + 2] = c[2];
    }
  }
}

bool Export(const std::u16string& folder, const ImageBuffer& image, int target, std::string& manifest) {
  const int32_t width = image.header.width;
  const int32_t height = image.header.height;
  char name[64];
  std::snprintf(name, sizeof name, "s%d_t%d_w%d.bmp", image.header.bitCount, target,
                static_cast<int>(width));
  BmpWriter writer;
  writer.converter.width = width;
  writer.converter.height = height;
  writer.converter.sourceBitCount = image.header.bitCount;
  writer.converter.targetBitCount = target;
  DeleteFilePath(JoinPath(folder, Utf8ToUtf16(name)));  // left by an earlier run
  if (!WriteBmp(writer, JoinPath(folder, Utf8ToUtf16(name)), image.palette.data(),
                image.pixels.data())) {
    std::fprintf(stderr, "%s: %s\n", name, CodecErrorName(writer.error));
    return false;
  }
  // Rows top to bottom, as Pillow delivers them.
  std::string hex;
  for (int32_t y = height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < width; ++x) AppendRgb(image, x, y, hex);
  }
  char fields[96];
  std::snprintf(fields, sizeof fields, "%s %d %d %d ", name, target, static_cast<int>(width),
                static_cast<int>(height));
  manifest += fields;
  manifest += hex;
  manifest += '\n';
  return true;
}

int Run(const std::u16string& folder) {
  if (!CreateFolder(folder)) {
    std::fprintf(stderr, "cannot create the output folder\n");
    return 1;
  }
  std::string manifest;
  bool ok = true;
  for (int32_t width = 1; width <= 9; ++width) {
    for (int bits : {1, 4, 8, 24}) {
      ImageBuffer image;
      test::MakePatternImage(image, width, 3, bits, static_cast<uint32_t>(width * 7 + bits));
      ok &= Export(folder, image, bits, manifest);
      // Expansions keep every colour.
      if (bits != 24) ok &= Export(folder, image, 24, manifest);
      if (bits < 8) ok &= Export(folder, image, 8, manifest);
    }
    // Reductions of images with few enough colours keep them exactly.
    ImageBuffer twoColours;
    MakeFewColourImage(twoColours, width, 3, 2);
    ok &= Export(folder, twoColours, 1, manifest);
    ImageBuffer threeColours;
    MakeFewColourImage(threeColours, width, 3, 3);
    ok &= Export(folder, threeColours, 4, manifest);
    ok &= Export(folder, threeColours, 8, manifest);
  }
  if (!test::WriteWholeFile(JoinPath(folder, u"manifest.txt"),
                            std::vector<uint8_t>(manifest.begin(), manifest.end()))) {
    std::fprintf(stderr, "cannot write manifest.txt\n");
    return 1;
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace pixlane

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bmp_pillow_export <folder>\n");
    return 2;
  }
  return pixlane::Run(pixlane::Utf8ToUtf16(argv[1]));
}
