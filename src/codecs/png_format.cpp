// The CRC, byte-order and zlib allocation helpers shared by the PNG reader
// and writer. The CRC is zlib's crc32, which computes the CRC-32 that PNG
// chunks carry and is much faster than a byte-at-a-time table.
#include "codecs/png_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace pixlane::png {

uint32_t UpdateCrc(uint32_t crc, const uint8_t* data, size_t bytes) {
  uLong value = crc;
  while (bytes > 0) {
    const uInt piece = static_cast<uInt>(std::min<size_t>(bytes, std::numeric_limits<uInt>::max()));
    value = crc32(value, data, piece);
    data += piece;
    bytes -= piece;
  }
  return static_cast<uint32_t>(value);
}

uint32_t ChunkCrc(uint32_t type, const uint8_t* data, size_t bytes) {
  uint8_t letters[4];
  StoreU32BE(letters, type);
  return UpdateCrc(UpdateCrc(0, letters, 4), data, bytes);
}

uint32_t LoadU32BE(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

void StoreU32BE(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

void* ZeroedAlloc(void* /*opaque*/, unsigned items, unsigned size) {
  // calloc checks items × size for overflow itself.
  return std::calloc(items, size);
}

void ZeroedFree(void* /*opaque*/, void* address) { std::free(address); }

}  // namespace pixlane::png
