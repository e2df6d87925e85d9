// Decodes every .png file in the subfolders of a conformance-suite folder
// (and in further folders given) with ReadPng and writes, for
// png_suite_check.py, one binary PPM per decoded file (the colours, top row
// first) and manifest.txt with one line per file: "<folder>/<name> ok <bit
// count> <source bit count> <width> <height> <pixel checksum>" or
// "<folder>/<name> fail <reason>". Exits non-zero only when the output
// cannot be written; a crash on any file fails the test that runs it.
#include <cstdio>
#include <string>
#include <vector>

#include "codecs/png_reader.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

bool WritePpm(const std::u16string& path, const ImageBuffer& image) {
  const int32_t width = image.header.width;
  const int32_t height = image.header.height;
  const int bits = image.header.bitCount;
  const std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  std::vector<uint8_t> bytes(head.begin(), head.end());
  bytes.reserve(bytes.size() + 3 * static_cast<size_t>(width) * static_cast<size_t>(height));
  const size_t stride = RowStride(width, bits);
  for (int32_t y = height - 1; y >= 0; --y) {
    const uint8_t* row = image.pixels.data() + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < width; ++x) {
      RgbQuad q;
      if (bits == 24) {
        q = RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
      } else {
        q = image.palette[row[x]];
      }
      bytes.push_back(q.red);
      bytes.push_back(q.green);
      bytes.push_back(q.blue);
    }
  }
  return test::WriteWholeFile(path, bytes);
}

std::string Hex64(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

bool EndsWithPng(const std::u16string& name) {
  return name.size() > 4 && EqualsIgnoreCaseAscii(std::u16string_view(name).substr(name.size() - 4), u".png");
}

// Decodes the .png files of `in` into output/<label>/ and the manifest.
bool ExportFolder(const std::u16string& in, const std::u16string& label, const std::u16string& output,
                  std::string& manifest, size_t& decoded) {
  const std::u16string out = JoinPath(output, label);
  std::vector<DirectoryEntry> files;
  if (!CreateFolder(out) || !ListDirectory(in, files)) {
    std::fprintf(stderr, "cannot read %s or write %s\n", Utf16ToUtf8(in).c_str(), Utf16ToUtf8(out).c_str());
    return false;
  }
  PngReader reader;
  for (const DirectoryEntry& file : files) {
    if (file.isDirectory || !EndsWithPng(file.name)) continue;
    const std::string entry = Utf16ToUtf8(label) + "/" + Utf16ToUtf8(file.name);
    const ImageBuffer* image = ReadPng(reader, JoinPath(in, file.name));
    if (image == nullptr) {
      manifest += entry + " fail " + CodecErrorName(reader.error) + "\n";
      continue;
    }
    if (!WritePpm(JoinPath(out, file.name + u".ppm"), *image)) return false;
    manifest += entry + " ok " + std::to_string(image->header.bitCount) + " " +
                std::to_string(image->sourceBitCount) + " " + std::to_string(image->header.width) +
                " " + std::to_string(image->header.height) + " " + Hex64(test::PixelChecksum(*image)) + "\n";
    ++decoded;
  }
  return true;
}

// output, then the suites folder (each subfolder under its own name), then
// further folders (each under its last path component).
int Run(const std::vector<std::u16string>& args) {
  const std::u16string& output = args[0];
  if (!CreateFolder(output)) {
    std::fprintf(stderr, "cannot create %s\n", Utf16ToUtf8(output).c_str());
    return 1;
  }
  std::vector<DirectoryEntry> folders;
  if (!ListDirectory(args[1], folders)) {
    std::fprintf(stderr, "cannot list %s\n", Utf16ToUtf8(args[1]).c_str());
    return 1;
  }
  std::string manifest;
  size_t decoded = 0;
  for (const DirectoryEntry& folder : folders) {
    if (folder.isDirectory &&
        !ExportFolder(JoinPath(args[1], folder.name), folder.name, output, manifest, decoded)) {
      return 1;
    }
  }
  for (size_t i = 2; i < args.size(); ++i) {
    if (!ExportFolder(args[i], std::u16string(FileNamePart(args[i])), output, manifest, decoded)) return 1;
  }
  if (!test::WriteWholeFile(JoinPath(output, u"manifest.txt"),
                            std::vector<uint8_t>(manifest.begin(), manifest.end()))) {
    return 1;
  }
  std::printf("%zu files decoded\n", decoded);
  return 0;
}

}  // namespace
}  // namespace pixlane

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: png_suite_export <output folder> <suites folder> [<folder>...]\n");
    return 2;
  }
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(pixlane::Utf8ToUtf16(argv[i]));
  return pixlane::Run(args);
}
