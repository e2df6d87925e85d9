// Colour reduction behind the depth converter: the clamp, dither and square
// tables, the fixed seed palettes, gray levels, black and white with error
// diffusion, and palette reduction (exact palette, or a histogram palette
// plus Floyd–Steinberg diffusion). Internal to the imaging library and its
// tests; codecs go through depth_converter.h. Pixels are always visited in
// memory order (bottom row first, left to right).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/pixel_memory.h"

namespace pixlane {

// One palette colour as the reduction handles it (the reserved byte of
// RgbQuad plays no part).
struct Bgr {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  friend bool operator==(const Bgr&, const Bgr&) = default;
};

// ClampTable: 766 entries for v = −255 … 510 at index v + 255; 0 for
// negatives, v for 0 … 255, 255 above.
inline constexpr std::array<uint8_t, 766> kClampTable = [] {
  std::array<uint8_t, 766> table{};
  for (int v = -255; v <= 510; ++v) {
    table[static_cast<size_t>(v + 255)] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  return table;
}();

// DitherTables: [0..3] for the shares k = 1, 3, 5, 7; 511 entries for the
// error e = −255 … 255 at index e + 255, holding floor(k × e / 16) (an
// arithmetic shift, so negative errors round down).
inline constexpr std::array<std::array<int16_t, 511>, 4> kDitherTables = [] {
  std::array<std::array<int16_t, 511>, 4> tables{};
  constexpr int kShares[4] = {1, 3, 5, 7};
  for (size_t s = 0; s < 4; ++s) {
    for (int e = -255; e <= 255; ++e) {
      tables[s][static_cast<size_t>(e + 255)] = static_cast<int16_t>((kShares[s] * e) >> 4);
    }
  }
  return tables;
}();

// Squares: e² for e = −255 … 255 at index e + 255.
inline constexpr std::array<int32_t, 511> kSquares = [] {
  std::array<int32_t, 511> table{};
  for (int e = -255; e <= 255; ++e) table[static_cast<size_t>(e + 255)] = e * e;
  return table;
}();

// Above any squared distance of two colours (3 × 255² = 195075).
inline constexpr int32_t kDistanceStart = 195076;

// Squared distance of two colours through the squares table.
inline int32_t SquaredDistance(Bgr a, Bgr b) {
  const int32_t* sq = kSquares.data() + 255;
  return sq[a.blue - b.blue] + sq[a.green - b.green] + sq[a.red - b.red];
}

// The fixed seed palette of 4, 8, 15, 27, 64, 125 or 216 colours, in seeding
// order; empty for any other size.
std::span<const Bgr> FixedPalette(int size);

// Seeds, palette capacity and seeding threshold (squared distance) of a
// histogram palette for `bits` = 2 … 8 index bits.
struct PaletteParams {
  int seeds = 0;
  int capacity = 0;
  int32_t threshold = 0;
};
PaletteParams PaletteParamsForBits(int bits);

// Gray level of a palette colour: (117 b + 603 g + 306 r) >> 10.
inline uint8_t GrayOfPaletteColour(const RgbQuad& c) {
  return static_cast<uint8_t>((117 * c.blue + 603 * c.green + 306 * c.red) >> 10);
}
// Gray level of a 24-bit pixel, each product shifted on its own:
// (117 b >> 10) + (603 g >> 10) + (306 r >> 10).
inline uint8_t GrayOfPixel(uint8_t blue, uint8_t green, uint8_t red) {
  return static_cast<uint8_t>(((117 * blue) >> 10) + ((603 * green) >> 10) + ((306 * red) >> 10));
}

// Index of the smallest squared distance to `colour` among palette[0 …
// count − 1]; ties keep the lower index. count ≥ 1.
int NearestIndex(const Bgr* palette, int count, Bgr colour);

// Nearest colour with exactly the result of NearestIndex, through candidate
// lists per box of 16 × 16 × 16 colours. A box lists the entries whose
// distance to the box is at most the smallest distance any entry has to the
// box's farthest corner (this includes every entry that is nearest, or tied
// nearest, for some colour of the box), ordered by that distance so that a
// search stops at the first entry that cannot be as near as the best so
// far. Lists are built on first use in a 1 MB pool; a box that no longer
// fits is searched in full.
class NearestSearch {
 public:
  // count 1 … 256. False when the pool cannot be allocated.
  bool Init(const Bgr* palette, int count);
  int Find(Bgr colour);

 private:
  struct Candidate {
    uint16_t nearDistance;  // squared distance to the box, saturated at 65535
    uint8_t index;
    uint8_t unused;
  };
  static constexpr size_t kBoxes = 4096;
  static constexpr size_t kPoolCandidates = 262144;
  static constexpr uint16_t kUnbuilt = 0xFFFF;
  static constexpr uint16_t kFullSearch = 0xFFFE;
  void BuildBox(size_t box);

  const Bgr* palette_ = nullptr;
  int count_ = 0;
  PixelBlock pool_;  // kPoolCandidates Candidate records
  size_t poolUsed_ = 0;
  std::array<uint32_t, kBoxes> listStart_{};
  std::array<uint16_t, kBoxes> listSize_{};
};

// Where reduced indices go: `pixels` rows of `stride` bytes, `bitsPerIndex`
// = 1, 2, 4 or 8 packed most significant bits first. Bytes between the end
// of a row's data and the stride are written as zero.
struct IndexTarget {
  uint8_t* pixels = nullptr;
  size_t stride = 0;
  int bitsPerIndex = 8;
};

// Fills converter.workPixels with the 24-bit work copy of the source (8-bit
// expanded through sourcePalette, 24-bit copied), rows of workStride bytes.
// False when the source depth is not 8 or 24 or the block cannot be had.
bool MakeWorkCopy(DepthConverter& converter);

// Builds a histogram palette from the work copy (converter.workPixels): the
// histogram resolution is the finest whose next coarser level fits
// `capacity`; seeds from FixedPalette(seeds) take the nearest cell of at
// least (width × height) >> 16 pixels (never an empty one) closer than
// `threshold`; the most populated remaining cells fill up to `capacity`.
// Writes the colours sorted by blue + green + red (stable) to `palette` and
// returns how many were filled (1 … capacity), or 0 when the cell buffer
// cannot be allocated. The cell buffer is released before returning.
int BuildPalette(DepthConverter& converter, int seeds, int capacity, int32_t threshold,
                 Bgr* palette);

// Black and white: gray levels diffused in memory order, 1 where the gray
// value is ≥ 128. Writes targetPalette entries 0 (black) and 1 (white) and
// one bit per pixel into `target` (bitsPerIndex 1 or 8). Uses the
// converter's width, height, sourceBitCount (8 or 24), sourcePalette and
// sourcePixels. False when the gray image cannot be allocated.
bool ToBlackWhite(DepthConverter& converter, const IndexTarget& target);

// Palette of at most 2^bits colours (bits 2 … 8): exact when the image has
// that few colours (palette = the used colours sorted by blue + green + red,
// no dithering), otherwise BuildPalette with PaletteParamsForBits(bits) and
// Floyd–Steinberg diffusion. Writes the filled entries of targetPalette,
// zeroes its unfilled entries below 2^bits, and writes the indices into
// `target`. False on an allocation failure or an unsupported source depth.
bool ToPalette(DepthConverter& converter, int bits, const IndexTarget& target);

}  // namespace pixlane
