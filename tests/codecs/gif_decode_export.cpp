// Decodes every .gif file in the folders named on the command line with
// ReadGif and writes what it decoded into <output>/<folder name>/, for
// gif_suite_check.py to compare with Pillow: <name>.dec holds "PXG1", width,
// height and sourceBitCount (uint32 LE each), the 256 palette entries as
// red, green, blue, then one index byte per pixel, top row first;
// <name>.err holds the CodecError name of a rejected file.
// Usage: gif_decode_export <output> <folder>...
#include <cstdio>
#include <string>
#include <vector>

#include "codecs/gif_reader.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool EndsWithGif(const std::u16string& name) {
  return name.size() > 4 && (name.substr(name.size() - 4) == u".gif" ||
                             name.substr(name.size() - 4) == u".GIF");
}

int Run(const std::u16string& output, const std::vector<std::u16string>& folders) {
  if (!CreateFolder(output)) {
    std::fprintf(stderr, "cannot create %s\n", Utf16ToUtf8(output).c_str());
    return 1;
  }
  GifReader reader;  // one reader for every file, as in a batch
  int files = 0;
  for (const std::u16string& folder : folders) {
    std::vector<DirectoryEntry> entries;
    if (!ListDirectory(folder, entries)) {
      std::fprintf(stderr, "cannot list %s\n", Utf16ToUtf8(folder).c_str());
      return 1;
    }
    const std::u16string target = JoinPath(output, FileNamePart(folder));
    if (!CreateFolder(target)) return 1;
    for (const DirectoryEntry& e : entries) {
      if (e.isDirectory || !EndsWithGif(e.name)) continue;
      ++files;
      const ImageBuffer* image = ReadGif(reader, JoinPath(folder, e.name));
      std::vector<uint8_t> out;
      std::u16string name = e.name;
      if (image == nullptr) {
        const std::string error = CodecErrorName(reader.error);
        out.assign(error.begin(), error.end());
        name += u".err";
      } else {
        const int32_t w = image->header.width;
        const int32_t h = image->header.height;
        out = {'P', 'X', 'G', '1'};
        PutU32(out, static_cast<uint32_t>(w));
        PutU32(out, static_cast<uint32_t>(h));
        PutU32(out, static_cast<uint32_t>(image->sourceBitCount));
        for (const RgbQuad& q : image->palette) {
          out.push_back(q.red);
          out.push_back(q.green);
          out.push_back(q.blue);
        }
        const size_t stride = RowStride(w, 8);
        for (int32_t y = h - 1; y >= 0; --y) {
          const uint8_t* row = image->pixels.data() + stride * static_cast<size_t>(y);
          out.insert(out.end(), row, row + w);
        }
        name += u".dec";
      }
      if (!test::WriteWholeFile(JoinPath(target, name), out)) {
        std::fprintf(stderr, "cannot write %s\n", Utf16ToUtf8(name).c_str());
        return 1;
      }
    }
  }
  std::printf("%d GIF files decoded\n", files);
  return files > 0 ? 0 : 1;
}

}  // namespace
}  // namespace pixlane

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gif_decode_export <output> <folder>...\n");
    return 2;
  }
  std::vector<std::u16string> folders;
  for (int i = 2; i < argc; ++i) folders.push_back(pixlane::Utf8ToUtf16(argv[i]));
  return pixlane::Run(pixlane::Utf8ToUtf16(argv[1]), folders);
}
