// BMP writer: 14-byte file header, 40-byte info header, a colour table of
// 2^depth entries for 1/4/8-bit output, then the bottom-up rows. A depth
// change goes through the DepthConverter before the file is created; every
// write and the final close are checked. The conversion buffer is released
// and the file closed on every path.
#include "codecs/bmp_writer.h"

#include <array>
#include <cstring>
#include <limits>

#include "codecs/codec_support.h"
#include "platform/byte_reader.h"

namespace pixlane {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr size_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderBytes;

bool IsBmpDepth(int32_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24;
}

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, v);
  PutU16(p + 2, v >> 16);
}

bool Fail(BmpWriter& writer, CodecError error) {
  writer.error = error;
  return false;
}

bool WriteBmpFile(BmpWriter& writer, std::u16string_view path, const RgbQuad* palette,
                  const uint8_t* pixels) {
  DepthConverter& converter = writer.converter;
  const int32_t source = converter.sourceBitCount;
  const int32_t target = converter.targetBitCount;
  if (!IsBmpDepth(source) || !IsBmpDepth(target)) return Fail(writer, CodecError::UnsupportedDepth);
  if (pixels == nullptr || (source <= 8 && palette == nullptr)) {
    return Fail(writer, CodecError::BadHeader);
  }
  if (!ComputeRowGeometry(converter)) return Fail(writer, CodecError::BadDimensions);

  const uint32_t colours = target <= 8 ? uint32_t{1} << target : 0;
  const size_t offset = kHeadersBytes + 4 * size_t{colours};
  size_t fileSize = 0;
  if (!CheckedAdd(offset, converter.imageBytes, fileSize) ||
      fileSize > std::numeric_limits<uint32_t>::max()) {
    return Fail(writer, CodecError::SizeOverflow);
  }

  const uint8_t* rows = pixels;
  const RgbQuad* table = palette;
  Palette outputPalette{};
  if (source != target) {
    const CodecError error =
        ConvertIntoBuffer(converter, palette, pixels, outputPalette.data(), writer.converted);
    if (error != CodecError::None) return Fail(writer, error);
    rows = writer.converted.data();
    table = outputPalette.data();
  }

  std::array<uint8_t, kHeadersBytes + 256 * 4> head{};
  uint8_t* h = head.data();
  h[0] = 'B';
  h[1] = 'M';
  PutU32(h + 2, static_cast<uint32_t>(fileSize));
  PutU32(h + 10, static_cast<uint32_t>(offset));
  uint8_t* info = h + kFileHeaderBytes;
  PutU32(info + 0, static_cast<uint32_t>(kInfoHeaderBytes));
  PutU32(info + 4, static_cast<uint32_t>(converter.width));
  PutU32(info + 8, static_cast<uint32_t>(converter.height));
  PutU16(info + 12, 1);
  PutU16(info + 14, static_cast<uint32_t>(target));
  // Compression, size-image and pixels per metre stay 0.
  PutU32(info + 32, colours);
  if (colours != 0) std::memcpy(h + kHeadersBytes, table, 4 * size_t{colours});

  const CodecError error = WriteHeadAndBody(writer.file.output, path, head.data(), offset, rows,
                                            converter.imageBytes);
  if (error != CodecError::None) return Fail(writer, error);
  return true;
}

}  // namespace

bool WriteBmp(BmpWriter& writer, std::u16string_view path, const RgbQuad* palette,
              const uint8_t* pixels) {
  writer.error = CodecError::None;
  const bool ok = WriteBmpFile(writer, path, palette, pixels);
  writer.converted.Release();
  writer.converter.sourcePixels = nullptr;
  writer.converter.targetPixels = nullptr;
  writer.file.Release();
  return ok;
}

}  // namespace pixlane
