// TIFF writer.
// Supports: uncompressed little-endian files with one directory and one
//   strip, in a fixed layout per kind: bilevel (1 bit, BlackIsZero), 8-bit
//   grayscale, 4 and 8-bit palette, 24-bit RGB; the depth is converted by
//   ConvertDepth or ConvertToGray. Resolution is written in inches from the
//   given pixels per metre.
// Rejects: target depths other than 1, 4, 8 and 24 (before anything is
//   written) and depth pairs the converter does not handle (a 1 or 4-bit
//   source kept at its depth, a 4-bit source to 1 bit). Checks every write
//   and the final close.
// Limits: no compression, no alpha, no 16-bit samples.
#pragma once

#include <cstdint>
#include <string_view>

#include "codecs/codec_error.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"
#include "platform/pixel_memory.h"

namespace pixlane {

struct TiffWriter {
  // width, height, sourceBitCount and targetBitCount are set by the caller.
  DepthConverter converter;
  CodecFileState file;
  bool isGrayscale = false;  // write an 8-bit target as gray levels
  int32_t xPelsPerMetre = 0;
  int32_t yPelsPerMetre = 0;
  PixelBlock converted;  // the converted image, when the depth changes
  PixelBlock data;       // the strip as written
  CodecError error = CodecError::None;
};

// Writes the image described by writer.converter with the given palette
// (256 entries; unused for 24-bit sources) and pixels (source stride) to
// `path`. False on failure; a partly written file is left for the caller to
// delete. Buffers and handles are released before it returns.
bool WriteTiff(TiffWriter& writer, std::u16string_view path, const RgbQuad* palette,
               const uint8_t* pixels);

}  // namespace pixlane
