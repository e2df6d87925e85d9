// The in-memory image every reader fills and every writer reads: a Windows
// BITMAPINFOHEADER (positive height, rows bottom-up, each row padded to 4
// bytes; 1, 4, 8 or 24 bits), a 256-entry blue-green-red-reserved palette,
// the source format and the pixel block. Row arithmetic lives here too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"
#include "platform/pixel_memory.h"

namespace pixlane {

// Largest width or height any reader accepts.
inline constexpr int32_t kMaxDimension = 25000;

// What SniffFormat recognises, and the reader that filled an ImageBuffer
// (Unknown there means an image input plug-in).
enum class FormatCode : int32_t {
  Unknown = 0,
  Bmp = 1,
  Png = 2,
  Jpeg = 3,
  Tiff = 4,
  Gif = 5,
  Unreadable = 6,
};

// Windows BITMAPINFOHEADER, field for field (40 bytes, little-endian on disk).
struct BitmapInfoHeader {
  uint32_t size = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMetre = 0;
  int32_t yPelsPerMetre = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// Windows RGBQUAD: blue, green, red, reserved.
struct RgbQuad {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t reserved = 0;
  friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};
static_assert(sizeof(RgbQuad) == 4);

using Palette = std::array<RgbQuad, 256>;

struct ImageBuffer {
  BitmapInfoHeader header;
  Palette palette{};  // entries the image does not use are zero
  FormatCode sourceFormat = FormatCode::Unknown;
  PixelBlock pixels;          // bottom row first, rows padded to 4 bytes
  uint32_t fileSize = 0;      // size of the input file in bytes
  int32_t sourceBitCount = 0; // depth as stored in the file
  FileTime lastWriteTime = 0;
  // Set by a reader that delivered the image although the file ended early
  // or its data was damaged: the rows it could not decode are filled in.
  // Such an input is never deleted after its conversion.
  bool isPartial = false;

  // Clears header and palette and releases the pixels.
  void Reset();
};

// Fills the header: size 40, planes 1, compression 0, size-image 0, colours
// used and important 0, and the given values.
void SetImageHeader(ImageBuffer& image, int32_t width, int32_t height, int bitCount,
                    int32_t xPelsPerMetre, int32_t yPelsPerMetre);

// Bytes from one row to the next for `bitCount` bits per pixel, padded to a
// multiple of 4: ((width × bitCount + 31) / 32) × 4. Width must be
// 0..kMaxDimension and bitCount 1..32.
constexpr size_t RowStride(int32_t width, int bitCount) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31u) / 32u) * 4u;
}

}  // namespace pixlane
