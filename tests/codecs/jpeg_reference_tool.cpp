// Command-line access to the JPEG units for jpeg_reference_check.py and the
// transform benchmark, which compare them with libjpeg-turbo's djpeg and
// jpegtran:
//   decode IN OUT [BOX_W BOX_H]  our decoding as binary PPM/PGM (top row
//                                first, RGB); prints "WIDTH HEIGHT SCALE"
//   transform IN OUT [--rotate 90|180|270] [--flip horizontal|vertical]
//             [--copy none|comments|all] [--grayscale] [--progressive]
//             [--no-trim]        prints "WIDTH HEIGHT"
//   encode IN.ppm|IN.pgm OUT QUALITY SAMPLING [--grayscale] [--progressive]
//          [--comment TEXT]      SaveJpegImage (a PGM becomes an 8-bit
//                                gray-palette image)
//   comment IN OUT TEXT          InsertJpegComment
//   exif IN                      prints the Exif date or "none"
// Exits 1 with the reason on stderr when the unit fails, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/exif_date.h"
#include "codecs/jpeg_comment.h"
#include "codecs/jpeg_reader.h"
#include "codecs/jpeg_transform.h"
#include "codecs/jpeg_writer.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane {
namespace {

int Usage() {
  std::fprintf(stderr, "usage: jpeg_reference_tool decode|transform|comment|exif ...\n");
  return 2;
}

int Decode(int argc, char** argv) {
  if (argc != 4 && argc != 6) return Usage();
  JpegTargetBox box;
  if (argc == 6) box = {std::atoi(argv[4]), std::atoi(argv[5])};
  JpegReader reader;
  const ImageBuffer* image = LoadJpegImage(reader, Utf8ToUtf16(argv[2]), box);
  if (image == nullptr) {
    std::fprintf(stderr, "decode failed: %s %s\n", CodecErrorName(reader.error),
                 reader.lastErrorText.c_str());
    return 1;
  }
  const int32_t w = image->header.width;
  const int32_t h = image->header.height;
  const bool gray = image->header.bitCount == 8;
  std::string out =
      (gray ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  const size_t stride = RowStride(w, image->header.bitCount);
  for (int32_t y = h - 1; y >= 0; --y) {
    const uint8_t* row = image->pixels.data() + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < w; ++x) {
      if (gray) {
        out.push_back(static_cast<char>(image->palette[row[x]].red));
      } else {
        out.push_back(static_cast<char>(row[3 * x + 2]));
        out.push_back(static_cast<char>(row[3 * x + 1]));
        out.push_back(static_cast<char>(row[3 * x]));
      }
    }
  }
  OutputFile file;
  if (!file.Create(Utf8ToUtf16(argv[3])) || !file.Write(out.data(), out.size()) || !file.Close()) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  std::printf("%d %d %d\n", w, h, reader.scaleDenominator);
  return 0;
}

int Transform(int argc, char** argv) {
  if (argc < 4) return Usage();
  JpegTransformer transformer;
  JpegTransformOptions& o = transformer.options;
  o.Reset();
  for (int i = 4; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--rotate") {
      o.transform = value == "90"    ? JpegTransformKind::Rotate90
                    : value == "180" ? JpegTransformKind::Rotate180
                                     : JpegTransformKind::Rotate270;
      ++i;
    } else if (arg == "--flip") {
      o.transform = value == "horizontal" ? JpegTransformKind::MirrorLeftRight
                                          : JpegTransformKind::MirrorTopBottom;
      ++i;
    } else if (arg == "--copy") {
      o.markerCopy = value == "none"       ? JpegMarkerCopy::None
                     : value == "comments" ? JpegMarkerCopy::Comments
                                           : JpegMarkerCopy::All;
      ++i;
    } else if (arg == "--grayscale") {
      o.forceGrayscale = true;
    } else if (arg == "--progressive") {
      o.progressive = true;
    } else if (arg == "--no-trim") {
      o.trim = false;
    } else {
      return Usage();
    }
  }
  if (!TransformJpegFile(transformer, Utf8ToUtf16(argv[2]), Utf8ToUtf16(argv[3]))) {
    std::fprintf(stderr, "transform failed: %s %s\n", CodecErrorName(transformer.error),
                 transformer.lastErrorText.c_str());
    return 1;
  }
  std::printf("%d %d\n", transformer.outputWidth, transformer.outputHeight);
  return 0;
}

// Binary PPM (P6) or PGM (P5) with maxval 255 and no comments.
bool ReadPnm(const std::string& path, ImageBuffer& image) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char magic[3] = {};
  int w = 0;
  int h = 0;
  int maxval = 0;
  bool ok = std::fscanf(f, "%2s %d %d %d", magic, &w, &h, &maxval) == 4 && maxval == 255 && w > 0 &&
            h > 0 && std::fgetc(f) != EOF;
  const bool gray = std::strcmp(magic, "P5") == 0;
  ok = ok && (gray || std::strcmp(magic, "P6") == 0);
  if (ok) {
    const int bits = gray ? 8 : 24;
    SetImageHeader(image, w, h, bits, 0, 0);
    const size_t stride = RowStride(w, bits);
    ok = image.pixels.Allocate(stride * static_cast<size_t>(h));
    std::vector<uint8_t> row(static_cast<size_t>(w) * (gray ? 1 : 3));
    for (int y = h - 1; ok && y >= 0; --y) {
      ok = std::fread(row.data(), 1, row.size(), f) == row.size();
      uint8_t* out = image.pixels.data() + stride * static_cast<size_t>(y);
      for (int x = 0; ok && x < w; ++x) {
        if (gray) {
          out[x] = row[static_cast<size_t>(x)];
        } else {
          out[3 * x] = row[3 * static_cast<size_t>(x) + 2];
          out[3 * x + 1] = row[3 * static_cast<size_t>(x) + 1];
          out[3 * x + 2] = row[3 * static_cast<size_t>(x)];
        }
      }
    }
    for (unsigned i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      image.palette[i] = RgbQuad{v, v, v, 0};
    }
  }
  std::fclose(f);
  return ok;
}

int Encode(int argc, char** argv) {
  if (argc < 6) return Usage();
  ImageBuffer image;
  if (!ReadPnm(argv[2], image)) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  JpegWriter writer;
  writer.options.Reset();
  SetJpegEncoderOptions(writer.options, std::atoi(argv[4]), 0, std::atoi(argv[5]));
  for (int i = 6; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--grayscale") {
      writer.options.grayscale = true;
    } else if (arg == "--progressive") {
      writer.options.progressive = true;
    } else if (arg == "--comment" && i + 1 < argc) {
      writer.options.comment = argv[++i];
    } else {
      return Usage();
    }
  }
  writer.converter.width = image.header.width;
  writer.converter.height = image.header.height;
  writer.converter.sourceBitCount = image.header.bitCount;
  if (!SaveJpegImage(writer, Utf8ToUtf16(argv[3]), image.palette.data(), image.pixels.data())) {
    std::fprintf(stderr, "encode failed: %s %s\n", CodecErrorName(writer.error),
                 writer.lastErrorText.c_str());
    return 1;
  }
  return 0;
}

int Comment(int argc, char** argv) {
  if (argc != 5) return Usage();
  CodecError error = CodecError::None;
  if (!InsertJpegComment(Utf8ToUtf16(argv[2]), Utf8ToUtf16(argv[3]), argv[4], error)) {
    std::fprintf(stderr, "comment failed: %s\n", CodecErrorName(error));
    return 1;
  }
  return 0;
}

int Exif(int argc, char** argv) {
  if (argc != 3) return Usage();
  ExifReader reader;
  if (!ReadExifDateFile(reader, Utf8ToUtf16(argv[2]))) {
    std::printf("none\n");
    return 0;
  }
  std::printf("%.*s\n", static_cast<int>(strnlen(reader.date.data(), reader.date.size())),
              reader.date.data());
  return 0;
}

}  // namespace
}  // namespace pixlane

int main(int argc, char** argv) {
  if (argc < 2) return pixlane::Usage();
  const std::string command = argv[1];
  // Every command that writes writes argv[3], which the program only ever
  // creates anew: an earlier run's file goes first.
  if (command != "exif" && argc > 3) pixlane::DeleteFilePath(pixlane::Utf8ToUtf16(argv[3]));
  if (command == "decode") return pixlane::Decode(argc, argv);
  if (command == "transform") return pixlane::Transform(argc, argv);
  if (command == "encode") return pixlane::Encode(argc, argv);
  if (command == "comment") return pixlane::Comment(argc, argv);
  if (command == "exif") return pixlane::Exif(argc, argv);
  return pixlane::Usage();
}
