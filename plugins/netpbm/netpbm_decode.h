// Netpbm decoding for the Netpbm input plug-in, portable so that it is
// tested and fuzzed natively: header parsing, the Windows bitmap layout the
// plug-in returns, and the raster decoder.
//
// Supports: PBM, PGM and PPM in plain (P1, P2, P3) and raw (P4, P5, P6)
//   form; maxval 1..65535 (two bytes big-endian per raw sample above 255);
//   comments wherever the header allows white space; the first image of a
//   file that holds several.
// Delivers: PBM as 1 bit (palette white, black), PGM as 8-bit gray (256
//   gray entries), PPM as 24-bit BGR; samples scaled to 0..255 by
//   (v × 255 + maxval / 2) / maxval, values above maxval taken as maxval.
// Rejects: other magic numbers (PAM included), width or height outside
//   1..25000, maxval outside 1..65535, a file that ends inside its header or
//   before its first row.
// Limits: a raster that ends early, or a plain raster with a character that
//   is not a sample, keeps the rows decoded so far; the rest stay zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::netpbm {

inline constexpr int32_t kMaxDimension = 25000;

enum class Kind { Bitmap, Graymap, Pixmap };

enum class Error {
  None,
  NotNetpbm,      // no "P1".."P6" magic followed by white space
  BadHeader,      // a header token is missing, malformed or out of range
  BadDimensions,  // width or height outside 1..25000
  Truncated,      // the file ends inside the header or before the raster
  Cancelled,      // the progress callback asked to stop
};

struct Header {
  Kind kind = Kind::Bitmap;
  bool plain = false;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t maxval = 1;     // 1 for PBM
  size_t rasterOffset = 0; // where the samples begin
};

// Parses the header at the start of `data`.
Error ParseHeader(const uint8_t* data, size_t size, Header& header);

// Whether the first bytes of a file (`size` of them, zero-filled past the
// file's end) begin a Netpbm header: one that parses, or that is still
// valid where the bytes run out.
bool LooksLikeNetpbm(const uint8_t* data, size_t size);

// The Windows bitmap the plug-in returns for a header.
struct Layout {
  int32_t bitCount = 0;       // 1, 8 or 24
  size_t paletteEntries = 0;  // 2, 256 or 0
  size_t stride = 0;          // row bytes rounded up to 4
  size_t imageBytes = 0;      // stride × height
};

// False when the sizes do not fit (never for a header ParseHeader accepted).
bool ComputeLayout(const Header& header, Layout& layout);

// Writes the palette as blue, green, red, 0 quadruples (4 × paletteEntries
// bytes).
void WritePalette(const Header& header, uint8_t* palette);

// Called with the rows done so far and the height; false asks to stop.
using Progress = bool (*)(int32_t done, int32_t total, void* context);

// Decodes the raster of `data` (the whole file) into `rows`: bottom row
// first, `layout.stride` bytes apart, `rowsSize` >= layout.imageBytes bytes
// that the caller has zero-filled. None also when the raster ended early
// (the rows after it stay zero); Truncated when it has no byte at all.
Error DecodeRaster(const uint8_t* data, size_t size, const Header& header, const Layout& layout,
                   uint8_t* rows, size_t rowsSize, Progress progress = nullptr, void* context = nullptr);

// Bits per pixel of the file itself: 1, 8, 16, 24 or 48.
int32_t StoredBitCount(const Header& header);

}  // namespace pixlane::netpbm
