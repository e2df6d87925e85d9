// Writes PNG files with WritePng for every source depth, target depth,
// grayscale and interlacing combination the writer accepts, over sizes that
// hit row padding and the Adam7 passes, at compression levels 0-9 in turn
// (both deflate libraries the writer uses), into the folder named on the
// command line. Each file is read back with ReadPng and must give the colours the
// depth converter gives; manifest.txt lists "<name> <width> <height> <colour
// type> <depth> <interlace> <hex>" (colours as red-green-blue, top row
// first) for png_writer_check.py to compare with Pillow and pngcheck.
#include <cstdio>
#include <string>
#include <vector>

#include "codecs/png_reader.h"
#include "codecs/png_writer.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "png_test_colours.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

int Run(const std::u16string& folder) {
  if (!CreateFolder(folder)) {
    std::fprintf(stderr, "cannot create the output folder\n");
    return 1;
  }
  struct Target {
    int bits;
    bool gray;
  };
  const Target targets[] = {{1, false}, {2, false}, {4, false}, {8, false}, {8, true}, {24, false}};
  const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {3, 1}, {1, 5}, {5, 6}, {9, 9}, {17, 11}};
  std::string manifest;
  PngReader reader;
  int failures = 0;
  int written = 0;
  for (int source : {1, 4, 8, 24}) {
    for (const auto& [width, height] : sizes) {
      ImageBuffer image;
      test::MakePatternImage(image, width, height, source, static_cast<uint32_t>(width * 13 + height * 7 + source));
      for (const Target& t : targets) {
        if ((source == 1 || source == 4) && (t.bits != 8 || t.gray)) continue;
        std::vector<uint8_t> expected;
        if (!test::ExpectedColours(image, t.bits, t.gray, expected)) return 1;
        for (int interlace = 0; interlace < 2; ++interlace) {
          char name[96];
          std::snprintf(name, sizeof name, "s%d_t%d%s_%dx%d%s.png", source, t.bits, t.gray ? "g" : "",
                        static_cast<int>(width), static_cast<int>(height), interlace ? "_i" : "");
          PngWriter writer;
          writer.converter.width = width;
          writer.converter.height = height;
          writer.converter.sourceBitCount = source;
          writer.converter.targetBitCount = t.bits;
          writer.grayscale = t.gray;
          writer.interlace = interlace != 0;
          writer.level = written % 10;
          writer.comment = "Pixlane \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\r\nline 2";
          const std::u16string path = JoinPath(folder, Utf8ToUtf16(name));
          DeleteFilePath(path);  // left by an earlier run
          if (!WritePng(writer, path, image.palette.data(), image.pixels.data())) {
            std::fprintf(stderr, "%s: %s\n", name, CodecErrorName(writer.error));
            ++failures;
            continue;
          }
          const ImageBuffer* back = ReadPng(reader, path);
          if (back == nullptr || test::Colours(*back) != expected) {
            std::fprintf(stderr, "%s: our reader reads other colours back\n", name);
            ++failures;
          }
          char fields[160];
          std::snprintf(fields, sizeof fields, "%s %d %d %d %d %d ", name, static_cast<int>(width),
                        static_cast<int>(height), writer.colourType, writer.bitDepth, interlace);
          manifest += fields + Hex(expected) + "\n";
          ++written;
        }
      }
    }
  }
  if (!test::WriteWholeFile(JoinPath(folder, u"manifest.txt"),
                            std::vector<uint8_t>(manifest.begin(), manifest.end()))) {
    std::fprintf(stderr, "cannot write manifest.txt\n");
    return 1;
  }
  std::printf("%d files written, %d failed\n", written, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace pixlane

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: png_writer_export <folder>\n");
    return 2;
  }
  return pixlane::Run(pixlane::Utf8ToUtf16(argv[1]));
}
