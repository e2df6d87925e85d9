// BMP reader.
// Supports: uncompressed 1, 4, 8, 16, 24 and 32-bit files; bit fields
//   (compression 3) for 16 and 32 bits; info headers of 40, 52, 56, 108 and
//   124 bytes (the colour table and masks follow the real header size) and
//   12-byte core headers (1, 4, 8 and 24 bits, 3-byte colour entries).
// Rejects: top-down files (negative height), RLE and other compressions,
//   width or height outside 1..25000, other bit counts and header sizes,
//   files that end inside their headers or colour table or before their
//   pixel data begins, bit-field masks with holes or sharing bits.
// Limits: colour counts above 2^depth are clamped to 2^depth; each bit-field
//   channel is read from its own mask's position and width, in any order;
//   rows (and 16/32-bit pixels) the file does not contain stay zero.
//   Delivers 8-bit indexed (1/4/8-bit files) or 24-bit data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codecs/codec_error.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"

namespace pixlane {

// Windows BITMAPFILEHEADER as read from the file.
struct BmpFileHeader {
  uint16_t type = 0;
  uint32_t fileSize = 0;
  uint16_t reserved1 = 0;
  uint16_t reserved2 = 0;
  uint32_t pixelOffset = 0;
};

struct BmpReader {
  DepthConverter converter;
  CodecFileState file;
  ImageBuffer image;
  BmpFileHeader fileHeader;
  BitmapInfoHeader infoHeader;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;
  CodecError error = CodecError::None;
};

// Reads a BMP file into the reader's image. Returns null on failure (the
// reason is in reader.error and no pixel buffer is left behind); the
// returned image belongs to the reader and stays valid until its next read.
ImageBuffer* ReadBmp(BmpReader& reader, std::u16string_view path);

// The same over a whole file already in memory (tests and fuzzing).
ImageBuffer* ReadBmpMemory(BmpReader& reader, const uint8_t* data, size_t size);

}  // namespace pixlane
