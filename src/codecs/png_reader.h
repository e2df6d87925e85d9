// PNG reader.
// Supports: every colour type and bit depth of the format (gray 1/2/4/8/16,
//   truecolour 8/16, palette 1/2/4/8, gray + alpha 8/16, truecolour + alpha
//   8/16), Adam7, IDAT runs split over any number of chunks, gAMA (applied
//   for a display gamma of 2.2), tRNS and alpha channels (flattened onto
//   white), pHYs in pixels per metre. Every image leaves the reader opaque.
// Rejects: a bad signature; a missing, malformed or repeated IHDR; width or
//   height outside 1..25000; invalid depth/colour pairs; a chunk length of
//   2^31 or more or a chunk running past the end of the file; a bad CRC on
//   IHDR, PLTE (palette images), IDAT or IEND; PLTE twice or after IDAT; a
//   second IDAT run; IEND without IDAT (or without PLTE for palette images).
// Limits: 16-bit samples keep their high byte; bKGD, tEXt and every other
//   chunk are skipped (ancillary ones with a bad CRC or length are ignored);
//   a damaged or short zlib stream keeps the rows decoded so far (the rest
//   stay black). Delivers 8-bit indexed (gray ramp or palette) or 24-bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codecs/codec_error.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"
#include "platform/pixel_memory.h"

namespace pixlane {

// The product table used to flatten transparency: m(x, y) at x × 256 + y,
// m(0, y) = 0, m(255, y) = y, and for 1 ≤ x ≤ y ≤ 254
// m(x, y) = (y × floor(65536 × x / 255) + 32768) >> 16; symmetric.
using BlendTable = std::array<uint8_t, 65536>;
void BuildBlendTable(BlendTable& table);

// Options for the memory entry point; the file entry point always checks.
struct PngReadOptions {
  // Off only in the fuzzing harness, so that mutated inputs reach the
  // decoder: chunk CRCs are taken as correct and zlib's Adler-32 is not
  // checked.
  bool verifyChecksums = true;
};

struct PngReader {
  DepthConverter converter;  // width and height of the image being read
  CodecFileState file;
  ImageBuffer image;
  // The shared table of the batch; null uses a table built on first use.
  const BlendTable* blendTable = nullptr;
  // Display gamma × 1000 for gAMA correction; 0 turns the correction off.
  int32_t displayGamma = 2200;

  // What the last read found (valid after a successful read).
  int32_t bitDepth = 0;
  int32_t colourType = 0;
  bool interlaced = false;
  int32_t paletteCount = 0;   // PLTE entries used
  int32_t fileGamma = 0;      // accepted gAMA × 100000, 0 when none
  bool transparency = false;  // tRNS accepted or an alpha channel
  int32_t rowsDecoded = 0;    // filtered rows inflated (all passes)
  int32_t rowsExpected = 0;
  CodecError error = CodecError::None;
};

// Reads a PNG file through a mapping of it. Returns null on failure (the
// reason is in reader.error and no pixel buffer is left behind); the
// returned image belongs to the reader and stays valid until its next read.
// The mapping is released before it returns.
ImageBuffer* ReadPng(PngReader& reader, std::u16string_view path);

// The same over a whole file already in memory (tests, fuzzing, benchmarks).
ImageBuffer* ReadPngMemory(PngReader& reader, const uint8_t* data, size_t size,
                           const PngReadOptions& options = {});

}  // namespace pixlane
