// JPEG writer over libjpeg (6b interface).
// Supports: 1, 4, 8-bit (expanded to 24 bits first) and 24-bit images;
//   quality 1-100, luminance sampling 2×2, 2×1 or 1×1 (chroma 1×1), one-
//   component grayscale output, progressive mode, optimized Huffman tables,
//   one COM segment right after the JFIF APP0 segment; writing to a file
//   through a 1 MiB buffer, and an automatic quality search that keeps the
//   file within a size limit.
// Rejects: other bit depths, sizes outside 1..25000, an output file that
//   cannot be created or written.
// Limits: the JFIF density is libjpeg's default (unit 0, 1:1); comments are
//   cut at 10000 bytes and at their first zero byte.
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

inline constexpr size_t kJpegCommentMaxBytes = 10000;

// The settings of one encode; Reset before each file.
struct JpegEncoderOptions {
  int32_t quality = 75;        // passed to libjpeg as is (≤ 0 acts as 1)
  int32_t lumaHorizontal = 2;  // sampling factors of the first component
  int32_t lumaVertical = 2;
  bool progressive = false;
  bool grayscale = false;  // write one component
  std::string comment;     // bytes in the ANSI code page; empty: none

  void Reset() { *this = JpegEncoderOptions{}; }
};

// Quality (above 100 → 75), "Progressive" and "Sampling" (0 → 2×2, 1 → 2×1,
// anything else → 1×1). Grayscale and comment are left as they are.
void SetJpegEncoderOptions(JpegEncoderOptions& options, int32_t quality, int32_t progressive,
                           int32_t sampling);

struct JpegWriter {
  // width, height and sourceBitCount are set by the caller.
  DepthConverter converter;
  CodecFileState file;
  JpegEncoderOptions options;
  PixelBlock expanded;    // the 24-bit copy of an indexed image, during a save
  PixelBlock trialBlock;  // the automatic-quality output block, during a save
  // The qualities the last SaveJpegWithinSize encoded, in order, and the
  // size of the encoding it wrote.
  std::vector<int32_t> qualitiesTried;
  size_t producedBytes = 0;
  CodecError error = CodecError::None;
  std::string lastErrorText;  // libjpeg's message for the last failure
};

// Encodes the image (converter's size and depth, `palette` for indexed
// images, bottom-up `pixels`) to `path` with the writer's options. False on
// failure; a partly written file is left for the caller to delete. Buffers
// and handles are released before it returns.
bool SaveJpegImage(JpegWriter& writer, std::u16string_view path, const RgbQuad* palette,
                   const uint8_t* pixels);

// Encodes with automatic quality so that the file holds at most
// limitKilobytes × 1024 bytes where possible: quality 100; then 69 with a
// step of 31, halving the step after each fit and keeping it after each
// miss (a miss at 7 sets it to 1), until a fit with step 1 or quality 1 was
// tried. The last encoding is written, also when even quality 1 does not
// fit. False (no file written) when an encode fails.
bool SaveJpegWithinSize(JpegWriter& writer, std::u16string_view path, int32_t limitKilobytes,
                        const RgbQuad* palette, const uint8_t* pixels);

}  // namespace pixlane
