// Runs one input through SniffFormatBytes and ReadTiffMemory. A failed read
// must leave no pixels and name a reason; a successful one must hold a
// consistent 8 or 24-bit image whose whole pixel block is readable, with
// zero palette entries past what its depth addresses, and a second read with
// the same reader must agree.
#include "tiff_reader_fuzz_entry.h"

#include "codecs/format_sniff.h"
#include "codecs/tiff_reader.h"

namespace pixlane::fuzz {
namespace {

// Images larger than this (but within what the reader accepts) are skipped
// so that no input makes the harness allocate more than a few tens of MB.
constexpr uint32_t kFuzzMaxDimension = 4096;

// False when the first directory names a width or height above the cap.
bool WithinCap(const uint8_t* data, size_t size) {
  if (size < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))) {
    return true;
  }
  const bool little = data[0] == 'I';
  auto u16 = [&](size_t at) {
    return little ? static_cast<uint32_t>(data[at] | (data[at + 1] << 8))
                  : static_cast<uint32_t>((data[at] << 8) | data[at + 1]);
  };
  auto u32 = [&](size_t at) {
    return little ? (u16(at) | (u16(at + 2) << 16)) : ((u16(at) << 16) | u16(at + 2));
  };
  const uint64_t directory = u32(4);
  if (directory + 2 > size) return true;
  const uint32_t count = u16(static_cast<size_t>(directory));
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = directory + 2 + 12ull * i;
    if (at + 12 > size) break;
    const size_t e = static_cast<size_t>(at);
    const uint32_t tag = u16(e);
    if (tag != 256 && tag != 257) continue;
    const uint32_t value = u16(e + 2) == 4 ? u32(e + 8) : u16(e + 8);
    if (value > kFuzzMaxDimension && value <= 25000) return false;
  }
  return true;
}

uint64_t Checksum(const ImageBuffer& image, size_t imageBytes) {
  uint64_t h = 1469598103934665603ull;
  const uint8_t* p = image.pixels.data();
  for (size_t i = 0; i < imageBytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
  for (const RgbQuad& q : image.palette) {
    h = (h ^ q.blue) * 1099511628211ull;
    h = (h ^ q.green) * 1099511628211ull;
    h = (h ^ q.red) * 1099511628211ull;
  }
  return h;
}

bool CheckRead(const TiffReader& reader, const ImageBuffer* image, size_t size,
               uint64_t& checksum) {
  if (image == nullptr) {
    return reader.error != CodecError::None && reader.image.pixels.empty();
  }
  if (image != &reader.image || reader.error != CodecError::None) return false;
  const BitmapInfoHeader& h = image->header;
  if (h.size != 40 || h.planes != 1 || h.compression != 0) return false;
  if (h.width < 1 || h.width > kMaxDimension || h.height < 1 || h.height > kMaxDimension) {
    return false;
  }
  if (image->sourceFormat != FormatCode::Tiff || image->fileSize != size) return false;
  if (h.xPelsPerMetre < 0 || h.yPelsPerMetre < 0) return false;
  const int source = image->sourceBitCount;
  const bool indexed = source == 1 || source == 4 || source == 8;
  const bool rgb = source == 24 || source == 48;
  if (!(indexed && h.bitCount == 8) && !(rgb && h.bitCount == 24)) return false;
  const size_t used = indexed ? size_t{1} << source : 0;
  for (size_t i = used; i < image->palette.size(); ++i) {
    if (image->palette[i] != RgbQuad{}) return false;
  }
  const size_t imageBytes = RowStride(h.width, h.bitCount) * static_cast<size_t>(h.height);
  if (image->pixels.size() < imageBytes) return false;
  checksum = Checksum(*image, imageBytes);
  return true;
}

}  // namespace

bool CheckTiffInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  if (!WithinCap(data, size)) return true;
  TiffReader reader;
  uint64_t first = 0;
  uint64_t second = 0;
  if (!CheckRead(reader, ReadTiffMemory(reader, data, size), size, first)) return false;
  const CodecError firstError = reader.error;
  if (!CheckRead(reader, ReadTiffMemory(reader, data, size), size, second)) return false;
  return reader.error == firstError && first == second && reader.stripData.empty();
}

}  // namespace pixlane::fuzz
