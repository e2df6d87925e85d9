// PNG writer.
// Supports: truecolour (target 24 bits), 8-bit grayscale (target 8 with the
//   grayscale flag) and palette images at depths 1, 2, 4 and 8, from 8 and
//   24-bit images (and from 1 and 4-bit images as 8-bit palette images);
//   Adam7; adaptive per-row filters for truecolour and gray (palette rows
//   are never filtered); deflate levels 0-9 in one IDAT; a tEXt "Comment".
// Rejects: target depths other than 1, 2, 4, 8 and 24; sources other than 1,
//   4, 8 and 24 bits; a 1 or 4-bit source with a grayscale, 24-bit, 1, 2 or
//   4-bit target; depth pairs the converter does not handle.
// Limits: palettes are compacted to their distinct colours (depth 1 always
//   writes two entries); no gAMA, pHYs, tRNS or bKGD; comments are cut to
//   10000 bytes with their CR bytes dropped. Every write and the close are
//   checked; a partly written file is left for the caller to delete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/codec_error.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"
#include "platform/pixel_memory.h"

namespace pixlane {

inline constexpr size_t kPngMaxCommentBytes = 10000;

struct PngWriter {
  // width, height, sourceBitCount and targetBitCount are set by the caller.
  DepthConverter converter;
  CodecFileState file;
  bool grayscale = false;  // 8-bit gray output (targetBitCount 8)
  bool interlace = false;  // Adam7
  int32_t level = 9;       // deflate level; taken into 0..9
  // 0 adaptive; 1-5 every row with filter type 0-4. Palette images are
  // never filtered.
  int32_t filterMode = 0;
  std::string comment;  // ANSI bytes; empty writes no tEXt chunk

  // Filled by the last write (tests read them).
  int32_t bitDepth = 0;
  int32_t colourType = 0;
  int32_t paletteCount = 0;
  CodecError error = CodecError::None;

  // Per-file buffers, released after each write.
  PixelBlock converted;  // pixels after depth or gray conversion
  PixelBlock unpacked;   // one index per byte for interlaced packed palettes
  PixelBlock filtered;   // the filtered stream, then six row buffers
  PixelBlock compressed;
};

// Writes the image described by writer.converter with the given palette
// (256 entries; unused for 24-bit sources) and pixels (bottom row first,
// source stride) to `path`. False on failure, with the reason in
// writer.error; the file is closed and the buffers released either way.
bool WritePng(PngWriter& writer, std::u16string_view path, const RgbQuad* palette,
              const uint8_t* pixels);

// The same into memory (tests and benchmarks).
bool WritePngMemory(PngWriter& writer, const RgbQuad* palette, const uint8_t* pixels,
                    std::vector<uint8_t>& output);

// The comment setting as tEXt bytes: the text in the ANSI code page, cut at
// the first zero character and to at most kPngMaxCommentBytes bytes without
// splitting a character.
std::string PngCommentBytes(std::u16string_view text);

}  // namespace pixlane
