// GIF reader.
// Supports: GIF 87a and 89a; global and local colour tables; plain text,
//   graphic control (transparency), comment and application extensions;
//   interlaced images. Decodes the first image only, composed onto the
//   logical screen: pixels outside its rectangle take the background index,
//   and the transparent colour is replaced by the global background colour
//   (white without a global table). Delivers an 8-bit palette image the size
//   of the logical screen; sourceBitCount is the colour table's bits.
// Rejects: other signatures, screens outside 1..25000, unknown extension
//   labels or block types, a trailer before any image, an image rectangle
//   outside the screen or of zero size, an image without any colour table,
//   minimum code sizes outside 2..8, images without data, and any table,
//   extension or sub-block that runs past the end of the file.
// Limits: animation and disposal are ignored. A damaged LZW stream is not an
//   error: decoding stops and the pixels it did not reach stay index 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codecs/codec_error.h"
#include "codecs/gif_lzw.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"
#include "platform/pixel_memory.h"

namespace pixlane {

struct GifReader {
  CodecFileState file;
  ImageBuffer image;
  // The logical screen.
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  bool hasGlobalTable = false;
  int32_t backgroundIndex = 0;
  int32_t colourBits = 0;  // bits of the colour table (1..8)
  std::array<uint8_t, 768> globalPalette{};  // red, green, blue
  std::array<uint8_t, 768> localPalette{};
  // The first image.
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool hasLocalTable = false;
  bool isInterlaced = false;
  bool hasTransparency = false;
  int32_t transparentIndex = 0;
  PixelBlock lzwData;  // the image's sub-blocks joined
  size_t lzwBytes = 0;
  PixelBlock frame;    // width × height indices, rows in file order
  LzwTable table;
  CodecError error = CodecError::None;
};

// Reads the first image of a GIF file into the reader's image. Returns null
// on failure (the reason is in reader.error and no pixel buffer is left);
// the returned image belongs to the reader and stays valid until its next
// read. The file is unmapped before returning.
ImageBuffer* ReadGif(GifReader& reader, std::u16string_view path);

// The same over a whole file already in memory (tests and fuzzing);
// lastWriteTime stays 0.
ImageBuffer* ReadGifMemory(GifReader& reader, const uint8_t* data, size_t size);

}  // namespace pixlane
