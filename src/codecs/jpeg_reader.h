// JPEG reader over libjpeg (6b interface).
// Supports: baseline, extended and progressive (and arithmetic-coded, where
//   the library has it) files with 1 component (8-bit gray palette image,
//   flagged grayscale), 3 components (YCbCr or RGB, 24-bit) or 4 (CMYK or
//   YCCK as Adobe writes them, inverted: R = C·K/255, G = M·K/255,
//   B = Y·K/255 truncated, through a 256 × 256 product table); decoding at
//   1/2, 1/4 or 1/8 scale when a target box allows; JFIF density.
// Rejects: files libjpeg refuses, 2 or more than 4 components, an output
//   width or height of 0 or above 25000.
// Limits: a file that ends early is completed by a fake EOI (the missing
//   part decodes as libjpeg fills it); APPn and COM segments are not kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "codecs/codec_error.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"

namespace pixlane {

// A box the decoded image is to be reduced into later; 0 means no limit on
// that side, both 0 no box. Decoding at a reduced scale keeps the image at
// least as large as the box on its constrained side.
struct JpegTargetBox {
  int32_t width = 0;
  int32_t height = 0;
  bool IsSet() const { return width > 0 && height > 0; }
};

// The box of the resize settings: RszOpt 1 → (RszSize, 1), 2 → (1, RszSize),
// 3 → (RszSize, RszSize); RszOpt 0 or RszSize ≤ 0 → none.
JpegTargetBox JpegTargetBoxFromResize(int32_t rszOpt, int32_t rszSize);

// libjpeg's scale_denom for an image of the given size: n = min(width / W,
// height / H); 1 for n ≤ 1, 2 for n 2-3, 4 for n 4-7, 8 for n ≥ 8.
int JpegScaleDenominator(uint32_t imageWidth, uint32_t imageHeight, JpegTargetBox box);

struct JpegReader {
  DepthConverter converter;
  CodecFileState file;
  ImageBuffer image;
  int32_t nominalWidth = 0;  // the frame's size before reduced decoding
  int32_t nominalHeight = 0;
  int32_t scaleDenominator = 1;
  bool isGrayscale = false;
  bool isProgressive = false;
  CodecError error = CodecError::None;
  std::string lastErrorText;  // libjpeg's message for the last failure
  // Tests and fuzzing lower these; the program keeps the defaults.
  int32_t maxDimension = kMaxDimension;
  size_t maxMemory = 0;  // libjpeg's max_memory_to_use; 0 = no limit
  // T[a][k] = a·k/255, built on first use (64 KiB).
  std::unique_ptr<std::array<uint8_t, 256 * 256>> cmykTable;
};

// Decodes the JPEG file at `path` into the reader's image. Returns null on
// failure (reason in reader.error, libjpeg's text in lastErrorText; no pixel
// buffer is kept). The image belongs to the reader until its next read; the
// file mapping is released before returning.
ImageBuffer* LoadJpegImage(JpegReader& reader, std::u16string_view path, JpegTargetBox box = {});

// The same over a whole file in memory (tests and fuzzing).
ImageBuffer* LoadJpegImageMemory(JpegReader& reader, const uint8_t* data, size_t size,
                                 JpegTargetBox box = {});

}  // namespace pixlane
