// TIFF writer: the kind follows from the target depth (and the grayscale
// flag) and fixes the whole layout: header, one directory at offset 8, the
// out-of-line values (BitsPerSample for RGB, the two resolution rationals,
// ColorMap) right after it, then the strip. The pixels are converted and
// the strip built top row first in memory before the file is created; the
// head and the strip are then written with one write each.
#include "codecs/tiff_writer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "codecs/codec_support.h"

namespace pixlane {
namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kEntryBytes = 12;
constexpr size_t kLargestHead = 1710;  // 8-bit palette: directory + ColorMap

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;

enum class Kind { Bilevel, Gray, Palette4, Palette8, Rgb };

// Where everything goes for one kind. Offsets follow from the number of
// directory entries and the out-of-line values in front of each field.
struct Layout {
  Kind kind = Kind::Rgb;
  uint16_t photometric = 2;
  uint16_t entries = 12;
  uint16_t bitsPerSample = 8;
  uint32_t bitsPerSampleAt = 0;  // RGB: the three values
  uint32_t xResolutionAt = 0;
  uint32_t yResolutionAt = 0;
  uint32_t colourMapAt = 0;
  uint32_t colourMapCount = 0;   // values: 3 × entries of the palette
  uint32_t dataAt = 0;
};

bool MakeLayout(int32_t target, bool isGrayscale, Layout& layout) {
  switch (target) {
    case 1: layout.kind = Kind::Bilevel; break;
    case 4: layout.kind = Kind::Palette4; break;
    case 8: layout.kind = isGrayscale ? Kind::Gray : Kind::Palette8; break;
    case 24: layout.kind = Kind::Rgb; break;
    default: return false;
  }
  const bool isPalette = layout.kind == Kind::Palette4 || layout.kind == Kind::Palette8;
  const bool isRgb = layout.kind == Kind::Rgb;
  layout.photometric = isRgb ? 2 : (isPalette ? 3 : 1);
  layout.entries = isRgb || isPalette ? 12 : 11;
  layout.bitsPerSample = static_cast<uint16_t>(isRgb ? 8 : target);
  uint32_t at = static_cast<uint32_t>(kHeaderBytes + 2 + kEntryBytes * layout.entries + 4);
  if (isRgb) {
    layout.bitsPerSampleAt = at;
    at += 6;
  }
  layout.xResolutionAt = at;
  layout.yResolutionAt = at + 8;
  at += 16;
  if (isPalette) {
    layout.colourMapAt = at;
    layout.colourMapCount = 3u << target;
    at += 2 * layout.colourMapCount;
  }
  layout.dataAt = at;
  return true;
}

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, v);
  PutU16(p + 2, v >> 16);
}

// Resolution as a rational in pixels per inch: pixels per metre × 254 over
// 10000.
void PutResolution(uint8_t* p, int32_t pelsPerMetre) {
  const uint64_t numerator = static_cast<uint64_t>(std::max(pelsPerMetre, 0)) * 254u;
  PutU32(p, static_cast<uint32_t>(std::min<uint64_t>(numerator, 0xFFFFFFFFu)));
  PutU32(p + 4, 10000);
}

bool Fail(TiffWriter& writer, CodecError error) {
  writer.error = error;
  return false;
}

// Converts the source to the layout's pixels. `rows` and `stride` describe
// the result, bottom row first; `table` its palette.
bool Convert(TiffWriter& writer, const Layout& layout, const RgbQuad* palette,
             const uint8_t* pixels, const uint8_t*& rows, size_t& stride, Palette& table) {
  DepthConverter& converter = writer.converter;
  const int32_t source = converter.sourceBitCount;
  if (!ComputeRowGeometry(converter)) return Fail(writer, CodecError::BadDimensions);
  if (layout.kind == Kind::Rgb && source == 24) {
    rows = pixels;
    stride = static_cast<size_t>(converter.rowStride);
    return true;
  }
  if (layout.kind != Kind::Gray) {
    const CodecError error =
        ConvertIntoBuffer(converter, palette, pixels, table.data(), writer.converted);
    if (error != CodecError::None) return Fail(writer, error);
    rows = writer.converted.data();
    stride = static_cast<size_t>(converter.rowStride);
    return true;
  }
  // One gray level per pixel, rows of exactly width bytes.
  const size_t bytes =
      static_cast<size_t>(converter.width) * static_cast<size_t>(converter.height);
  if (!writer.converted.Allocate(bytes)) return Fail(writer, CodecError::OutOfMemory);
  const Palette noPalette{};
  const bool ok = ConvertToGray(converter, palette != nullptr ? palette : noPalette.data(),
                                pixels, writer.converted.data());
  converter.sourcePalette = nullptr;
  converter.sourcePixels = nullptr;
  converter.targetPalette = nullptr;
  converter.targetPixels = nullptr;
  if (!ok) return Fail(writer, CodecError::ConversionFailed);
  rows = writer.converted.data();
  stride = static_cast<size_t>(converter.width);
  return true;
}

bool WriteTiffFile(TiffWriter& writer, std::u16string_view path, const RgbQuad* palette,
                   const uint8_t* pixels) {
  DepthConverter& converter = writer.converter;
  Layout layout;
  if (!MakeLayout(converter.targetBitCount, writer.isGrayscale, layout)) {
    return Fail(writer, CodecError::UnsupportedDepth);
  }
  const int32_t source = converter.sourceBitCount;
  if (source != 1 && source != 4 && source != 8 && source != 24) {
    return Fail(writer, CodecError::UnsupportedDepth);
  }
  if (pixels == nullptr || (source <= 8 && palette == nullptr)) {
    return Fail(writer, CodecError::BadHeader);
  }
  const int32_t width = converter.width;
  const int32_t height = converter.height;
  if (width < 1 || width > kMaxDimension || height < 1 || height > kMaxDimension) {
    return Fail(writer, CodecError::BadDimensions);
  }

  const uint8_t* rows = nullptr;
  size_t stride = 0;
  Palette table{};
  if (!Convert(writer, layout, palette, pixels, rows, stride, table)) return false;

  // The strip, top row first. Rows of 1 and 4 bits start on a byte and the
  // bits after the last pixel are zero.
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  size_t rowBytes = w;
  uint8_t lastMask = 0xFF;
  switch (layout.kind) {
    case Kind::Bilevel:
      rowBytes = (w + 7) >> 3;
      lastMask = static_cast<uint8_t>(0xFF << ((8 - w % 8) % 8));
      break;
    case Kind::Palette4:
      rowBytes = (w + 1) >> 1;
      lastMask = (w & 1) != 0 ? 0xF0 : 0xFF;
      break;
    case Kind::Rgb: rowBytes = 3 * w; break;
    default: break;
  }
  const size_t dataBytes = rowBytes * h;
  if (!writer.data.Allocate(dataBytes)) return Fail(writer, CodecError::OutOfMemory);
  uint8_t* out = writer.data.data();
  for (size_t y = 0; y < h; ++y, out += rowBytes) {
    const uint8_t* in = rows + (h - 1 - y) * stride;
    if (layout.kind == Kind::Rgb) {
      for (size_t x = 0; x < w; ++x) {
        out[3 * x] = in[3 * x + 2];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x];
      }
    } else {
      std::memcpy(out, in, rowBytes);
      out[rowBytes - 1] &= lastMask;
    }
  }

  // Header, directory and the values it points to.
  std::array<uint8_t, kLargestHead> head{};
  uint8_t* p = head.data();
  p[0] = 'I';
  p[1] = 'I';
  PutU16(p + 2, 42);
  PutU32(p + 4, kHeaderBytes);
  PutU16(p + 8, layout.entries);
  uint8_t* entry = p + 10;
  auto put = [&entry](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    PutU16(entry, tag);
    PutU16(entry + 2, type);
    PutU32(entry + 4, count);
    PutU32(entry + 8, value);
    entry += kEntryBytes;
  };
  const bool isRgb = layout.kind == Kind::Rgb;
  put(256, kTypeLong, 1, static_cast<uint32_t>(width));
  put(257, kTypeLong, 1, static_cast<uint32_t>(height));
  put(258, kTypeShort, isRgb ? 3 : 1, isRgb ? layout.bitsPerSampleAt : layout.bitsPerSample);
  put(259, kTypeShort, 1, 1);
  put(262, kTypeShort, 1, layout.photometric);
  put(273, kTypeLong, 1, layout.dataAt);
  if (isRgb) put(277, kTypeShort, 1, 3);
  put(278, kTypeLong, 1, static_cast<uint32_t>(height));
  put(279, kTypeLong, 1, static_cast<uint32_t>(dataBytes));
  put(282, kTypeRational, 1, layout.xResolutionAt);
  put(283, kTypeRational, 1, layout.yResolutionAt);
  put(296, kTypeShort, 1, 2);
  if (layout.colourMapCount != 0) put(320, kTypeShort, layout.colourMapCount, layout.colourMapAt);
  PutU32(entry, 0);  // no next directory
  if (isRgb) {
    for (size_t i = 0; i < 3; ++i) PutU16(p + layout.bitsPerSampleAt + 2 * i, 8);
  }
  PutResolution(p + layout.xResolutionAt, writer.xPelsPerMetre);
  PutResolution(p + layout.yResolutionAt, writer.yPelsPerMetre);
  if (layout.colourMapCount != 0) {
    // All reds, then all greens, then all blues, each byte in the high half.
    const size_t n = layout.colourMapCount / 3;
    uint8_t* map = p + layout.colourMapAt;
    for (size_t i = 0; i < n; ++i) {
      PutU16(map + 2 * i, static_cast<uint32_t>(table[i].red) << 8);
      PutU16(map + 2 * (n + i), static_cast<uint32_t>(table[i].green) << 8);
      PutU16(map + 2 * (2 * n + i), static_cast<uint32_t>(table[i].blue) << 8);
    }
  }

  const CodecError error = WriteHeadAndBody(writer.file.output, path, head.data(), layout.dataAt,
                                            writer.data.data(), dataBytes);
  if (error != CodecError::None) return Fail(writer, error);
  return true;
}

}  // namespace

bool WriteTiff(TiffWriter& writer, std::u16string_view path, const RgbQuad* palette,
               const uint8_t* pixels) {
  writer.error = CodecError::None;
  const bool ok = WriteTiffFile(writer, path, palette, pixels);
  writer.converted.Release();
  writer.data.Release();
  writer.converter.sourcePixels = nullptr;
  writer.converter.targetPixels = nullptr;
  writer.file.Release();
  return ok;
}

}  // namespace pixlane
