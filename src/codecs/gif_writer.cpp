// GIF writer: ReduceForGif turns the image into one index byte per pixel,
// then the whole file (header, global table, image descriptor, LZW data in
// sub-blocks, trailer) is built in one buffer sized for LZW's worst case and
// written at once. Interlaced rows are fed to the encoder in pass order
// straight from the index buffer. Buffers are released and the file closed
// on every path.
#include "codecs/gif_writer.h"

#include <cstring>

#include "platform/byte_reader.h"

namespace pixlane {
namespace {

constexpr size_t kHeaderBytes = 13;
constexpr size_t kDescriptorBytes = 10;

bool Fail(GifWriter& writer, CodecError error) {
  writer.error = error;
  return false;
}

void PutU16(uint8_t* p, int32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

bool WriteGifFile(GifWriter& writer, std::u16string_view path, const RgbQuad* palette,
                  const uint8_t* pixels) {
  DepthConverter& converter = writer.converter;
  const int32_t bits = converter.targetBitCount;
  const int32_t source = converter.sourceBitCount;
  if (bits < 1 || bits > 8 || (source != 8 && source != 24)) {
    return Fail(writer, CodecError::UnsupportedDepth);
  }
  if (pixels == nullptr || (source == 8 && palette == nullptr)) {
    return Fail(writer, CodecError::BadHeader);
  }
  const int32_t width = converter.width;
  const int32_t height = converter.height;
  if (width < 1 || width > kMaxDimension || height < 1 || height > kMaxDimension) {
    return Fail(writer, CodecError::BadDimensions);
  }
  const size_t rowBytes = static_cast<size_t>(width);
  const size_t pixelCount = rowBytes * static_cast<size_t>(height);

  if (!writer.indices.Allocate(pixelCount)) return Fail(writer, CodecError::OutOfMemory);
  Palette reduced{};
  const bool ok = ReduceForGif(converter, palette, pixels, reduced.data(), writer.indices.data());
  converter.sourcePalette = nullptr;
  converter.sourcePixels = nullptr;
  converter.targetPalette = nullptr;
  converter.targetPixels = nullptr;
  if (!ok) return Fail(writer, CodecError::ConversionFailed);

  const size_t colours = size_t{1} << bits;
  const size_t prefixBytes = kHeaderBytes + 3 * colours + kDescriptorBytes + 1;
  size_t total = 0;
  if (!CheckedAdd(prefixBytes + 1, LzwEncodedBound(pixelCount), total)) {
    return Fail(writer, CodecError::SizeOverflow);
  }
  if (!writer.encoded.Allocate(total)) return Fail(writer, CodecError::OutOfMemory);
  uint8_t* out = writer.encoded.data();

  // Header and logical screen: global table of 2^bits entries, colour
  // resolution bits, not sorted; background index and aspect 0.
  std::memcpy(out, "GIF89a", 6);
  PutU16(out + 6, width);
  PutU16(out + 8, height);
  out[10] = static_cast<uint8_t>(0x80 | ((bits - 1) << 4) | (bits - 1));
  uint8_t* p = out + kHeaderBytes;
  for (size_t i = 0; i < colours; ++i) {
    *p++ = reduced[i].red;
    *p++ = reduced[i].green;
    *p++ = reduced[i].blue;
  }
  // Image descriptor covering the screen, no local table.
  *p++ = 0x2C;
  PutU16(p, 0);
  PutU16(p + 2, 0);
  PutU16(p + 4, width);
  PutU16(p + 6, height);
  p[8] = writer.isInterlaced ? 0x40 : 0;
  p += 9;
  // GIF needs a minimum code size of at least 2.
  const int32_t minCodeSize = bits == 1 ? 2 : bits;
  *p++ = static_cast<uint8_t>(minCodeSize);

  // The index buffer is bottom row first; the file wants the top row first
  // (or the interlace passes).
  LzwEncoder& encoder = writer.encoder;
  encoder.Begin(minCodeSize, p, total - prefixBytes - 1);
  const uint8_t* bottom = writer.indices.data();
  const size_t rows = static_cast<size_t>(height);
  auto encodeRow = [&](size_t y) { encoder.Encode(bottom + (rows - 1 - y) * rowBytes, rowBytes); };
  if (writer.isInterlaced) {
    static constexpr size_t kPassStart[4] = {0, 4, 2, 1};
    static constexpr size_t kPassStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (size_t y = kPassStart[pass]; y < rows; y += kPassStep[pass]) encodeRow(y);
    }
  } else {
    for (size_t y = 0; y < rows; ++y) encodeRow(y);
  }
  const size_t dataBytes = encoder.Finish();
  if (dataBytes == 0) return Fail(writer, CodecError::SizeOverflow);
  p += dataBytes;
  *p++ = 0x3B;

  OutputFile& file = writer.file.output;
  if (!file.Create(path)) return Fail(writer, CodecError::CannotOpen);
  if (!file.Write(out, static_cast<size_t>(p - out)) || !file.Close()) {
    return Fail(writer, CodecError::WriteFailed);
  }
  return true;
}

}  // namespace

bool WriteGif(GifWriter& writer, std::u16string_view path, const RgbQuad* palette,
              const uint8_t* pixels) {
  writer.error = CodecError::None;
  const bool ok = WriteGifFile(writer, path, palette, pixels);
  writer.indices.Release();
  writer.encoded.Release();
  writer.file.Release();
  return ok;
}

}  // namespace pixlane
