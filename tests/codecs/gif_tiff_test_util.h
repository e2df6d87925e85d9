// Helpers of the GIF and TIFF tests: reference manifests under tests/data,
// pixel access by top-down coordinates, a colour checksum, and small
// hand-built files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/image_buffer.h"

namespace pixlane::test {

// One line of tests/data/<format>/manifest.txt: "<name> ok <fields...>" or
// "<name> reject <CodecError name>".
struct ManifestLine {
  std::string name;
  bool ok = false;
  std::vector<std::string> fields;  // after "ok"
  std::string error;                // after "reject"
};

std::vector<ManifestLine> LoadManifest(std::string_view relative);

// The colour of pixel (x, y), y counted from the top row, of a 1, 4, 8 or
// 24-bit image.
RgbQuad ColourAt(const ImageBuffer& image, int32_t x, int32_t y);
// The index byte of pixel (x, y) of an 8-bit image, y from the top.
uint8_t IndexAt(const ImageBuffer& image, int32_t x, int32_t y);

// FNV-1a 64 over every pixel's red, green and blue, rows top to bottom.
uint64_t ColourChecksum(const ImageBuffer& image);

// Little-endian byte appenders for building files.
void AppendU16(std::vector<uint8_t>& out, uint32_t value);
void AppendU32(std::vector<uint8_t>& out, uint32_t value);

// A little-endian TIFF with one directory: entries (tag, type, count, value
// or offset) in the given order, followed by `tail` at offset
// 8 + 2 + 12 × entries + 4 (out-of-line values and strips go there).
struct TiffEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;
};
std::vector<uint8_t> BuildTiff(const std::vector<TiffEntry>& entries,
                               const std::vector<uint8_t>& tail);
// Where BuildTiff puts `tail` for a directory of `entries` entries.
inline uint32_t TiffTailOffset(size_t entries) {
  return static_cast<uint32_t>(8 + 2 + 12 * entries + 4);
}

}  // namespace pixlane::test
