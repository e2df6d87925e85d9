// BMP writer.
// Supports: writing 1, 4, 8 and 24-bit uncompressed files (14-byte file
//   header, 40-byte info header, bottom-up rows) from a 1, 4, 8 or 24-bit
//   image, converting the depth through the DepthConverter when needed.
// Rejects: depths other than 1, 4, 8 and 24; depth pairs the converter
//   does not handle (e.g. 4 → 1). Checks every write and the final close.
// Limits: pixels per metre are written as 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "codecs/codec_error.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"
#include "platform/pixel_memory.h"

namespace pixlane {

struct BmpWriter {
  // width, height, sourceBitCount and targetBitCount are set by the caller.
  DepthConverter converter;
  CodecFileState file;
  PixelBlock converted;  // the converted pixels when the depth changes
  CodecError error = CodecError::None;
};

// Writes the image described by writer.converter with the given palette
// (256 entries) and pixels (source stride) to `path`. False on failure; a
// partly written file is left for the caller to delete. Buffers and handles
// are released before it returns.
bool WriteBmp(BmpWriter& writer, std::u16string_view path, const RgbQuad* palette,
              const uint8_t* pixels);

}  // namespace pixlane
