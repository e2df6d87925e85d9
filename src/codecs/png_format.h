// What the PNG reader and writer share: the signature, chunk type codes, the
// Adam7 pass geometry, packed row sizes, the Paeth predictor, the chunk CRC
// (zlib's CRC-32, the polynomial PNG prescribes) and zlib allocation hooks
// that hand out zero-filled memory. No I/O happens here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::png {

inline constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Chunk types as the big-endian value of their four letters.
constexpr uint32_t ChunkType(const char (&name)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}
inline constexpr uint32_t kIHDR = ChunkType("IHDR");
inline constexpr uint32_t kPLTE = ChunkType("PLTE");
inline constexpr uint32_t kIDAT = ChunkType("IDAT");
inline constexpr uint32_t kIEND = ChunkType("IEND");
inline constexpr uint32_t kGAMA = ChunkType("gAMA");
inline constexpr uint32_t kTRNS = ChunkType("tRNS");
inline constexpr uint32_t kPHYS = ChunkType("pHYs");
inline constexpr uint32_t kBKGD = ChunkType("bKGD");
inline constexpr uint32_t kTEXT = ChunkType("tEXt");

// Chunk lengths (and so every chunk) stay below 2^31.
inline constexpr uint32_t kMaxChunkLength = 0x7FFFFFFFu;

// Adam7: pass origins and steps.
struct Adam7Pass {
  int32_t xOrigin;
  int32_t yOrigin;
  int32_t xStep;
  int32_t yStep;
};
inline constexpr Adam7Pass kAdam7[7] = {
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2},
};

// Pixels (or rows) of a pass over `size` pixels (or rows): 0 when the pass
// misses the image in that direction.
constexpr int32_t PassExtent(int32_t size, int32_t origin, int32_t step) {
  return size > origin ? (size - origin + step - 1) / step : 0;
}

// Bytes of one unfiltered row of `width` pixels: packed for depths 1, 2 and
// 4, otherwise width × bytesPerPixel. Width is at most kMaxDimension, so the
// result fits easily.
constexpr size_t PackedRowBytes(int32_t width, int32_t bitDepth, int32_t bytesPerPixel) {
  const size_t w = static_cast<size_t>(width);
  switch (bitDepth) {
    case 1: return (w + 7) >> 3;
    case 2: return (w + 3) >> 2;
    case 4: return (w + 1) >> 1;
    default: return w * static_cast<size_t>(bytesPerPixel);
  }
}

// The PNG predictor: the neighbour nearest to a + b − c; ties prefer a, then b.
inline uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  int pa = p - a;
  int pb = p - b;
  int pc = p - c;
  pa = pa < 0 ? -pa : pa;
  pb = pb < 0 ? -pb : pb;
  pc = pc < 0 ? -pc : pc;
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  if (pb <= pc) return static_cast<uint8_t>(b);
  return static_cast<uint8_t>(c);
}

// CRC-32 of `bytes` bytes continuing from `crc` (start with 0).
uint32_t UpdateCrc(uint32_t crc, const uint8_t* data, size_t bytes);

// CRC of a chunk: over its four type letters and its data.
uint32_t ChunkCrc(uint32_t type, const uint8_t* data, size_t bytes);

uint32_t LoadU32BE(const uint8_t* p);
void StoreU32BE(uint8_t* p, uint32_t value);

// zlib's zalloc/zfree signatures; the memory is zero-filled.
void* ZeroedAlloc(void* opaque, unsigned items, unsigned size);
void ZeroedFree(void* opaque, void* address);

}  // namespace pixlane::png
