// GIF writer.
// Supports: one-image GIF 89a files with a global colour table of 2^b
//   entries (b = 1 … 8 target bits), optionally interlaced, from an 8-bit
//   palette or 24-bit image; the colours are reduced by ReduceForGif.
// Rejects: other source depths, target bits outside 1 … 8, sizes outside
//   1..25000. Checks every write and the final close.
// Limits: no extension blocks (no transparency, no animation), no local
//   colour table; background index and aspect ratio are 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "codecs/codec_error.h"
#include "codecs/gif_lzw.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"
#include "platform/pixel_memory.h"

namespace pixlane {

struct GifWriter {
  // width, height, sourceBitCount (8 or 24) and targetBitCount (1 … 8) are
  // set by the caller.
  DepthConverter converter;
  CodecFileState file;
  bool isInterlaced = false;
  PixelBlock indices;  // one index byte per pixel, bottom row first
  PixelBlock encoded;  // the file from its header to the trailer
  LzwEncoder encoder;
  CodecError error = CodecError::None;
};

// Writes the image described by writer.converter with the given palette
// (256 entries; unused for 24-bit sources) and pixels (source stride) to
// `path`. False on failure; a partly written file is left for the caller to
// delete. Buffers and handles are released before it returns.
bool WriteGif(GifWriter& writer, std::u16string_view path, const RgbQuad* palette,
              const uint8_t* pixels);

}  // namespace pixlane
