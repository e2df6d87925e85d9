// Pieces the reader fuzz entries share: little and big-endian loads for the
// harness's size caps, the promises every reader keeps about its record, a
// checksum that touches a whole decoded block, and the read-twice check
// every reader entry ends with. Header only, so that
// the fuzz targets and the corpus replay tests compile it alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/codec_error.h"
#include "imaging/image_buffer.h"

namespace pixlane::fuzz {

inline uint32_t LoadU16LE(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32LE(const uint8_t* p) { return LoadU16LE(p) | (LoadU16LE(p + 2) << 16); }
inline uint32_t LoadU32BE(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// FNV-1a over the first `imageBytes` pixel bytes and, when asked, every
// palette entry: reading all of them lets the sanitizers see the block.
inline uint64_t BlockChecksum(const ImageBuffer& image, size_t imageBytes,
                              bool withPalette = true) {
  uint64_t h = 1469598103934665603ull;
  const uint8_t* p = image.pixels.data();
  for (size_t i = 0; i < imageBytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
  if (withPalette) {
    for (const RgbQuad& q : image.palette) {
      h = (h ^ q.blue) * 1099511628211ull;
      h = (h ^ q.green) * 1099511628211ull;
      h = (h ^ q.red) * 1099511628211ull;
    }
  }
  return h;
}

// A failed read names a reason and leaves no pixels.
template <typename Reader>
bool IsCleanFailure(const Reader& reader) {
  return reader.error != CodecError::None && reader.image.pixels.empty();
}

// A successful read returns the reader's own record with no error: a 40-byte
// header of one plane without compression, a size within 1..kMaxDimension
// and the reader's format.
template <typename Reader>
bool IsSoundRecord(const Reader& reader, const ImageBuffer& image, FormatCode format) {
  if (&image != &reader.image || reader.error != CodecError::None) return false;
  const BitmapInfoHeader& h = image.header;
  if (h.size != 40 || h.planes != 1 || h.compression != 0) return false;
  if (h.width < 1 || h.width > kMaxDimension || h.height < 1 || h.height > kMaxDimension) {
    return false;
  }
  return image.sourceFormat == format;
}

// Palette entries from `used` on (those the file's depth cannot address)
// are zero.
inline bool UnusedPaletteIsZero(const ImageBuffer& image, size_t used) {
  for (size_t i = used; i < image.palette.size(); ++i) {
    if (image.palette[i] != RgbQuad{}) return false;
  }
  return true;
}

// False when the pixel block is smaller than the header's rows; otherwise
// stores BlockChecksum over those rows.
inline bool ChecksumRows(const ImageBuffer& image, uint64_t& checksum, bool withPalette = true) {
  const BitmapInfoHeader& h = image.header;
  const size_t imageBytes = RowStride(h.width, h.bitCount) * static_cast<size_t>(h.height);
  if (image.pixels.size() < imageBytes) return false;
  checksum = BlockChecksum(image, imageBytes, withPalette);
  return true;
}

// Reads the input twice with one reader: `read(reader)` returns the image or
// null, `check(reader, image, checksum)` tests one result and stores its
// checksum. True when both reads keep the promises and agree on the error
// and the pixels.
template <typename Reader, typename Read, typename Check>
bool ReadsTwiceAlike(Reader& reader, Read read, Check check) {
  uint64_t first = 0;
  uint64_t second = 0;
  if (!check(reader, read(reader), first)) return false;
  const CodecError firstError = reader.error;
  if (!check(reader, read(reader), second)) return false;
  return reader.error == firstError && first == second;
}

}  // namespace pixlane::fuzz
