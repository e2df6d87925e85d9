// Runs one input through SniffFormatBytes and ReadTiffMemory. A failed read
// must leave no pixels and name a reason; a successful one must hold a
// consistent 8 or 24-bit image whose whole pixel block is readable, with
// zero palette entries past what its depth addresses, and a second read with
// the same reader must agree.
#include "tiff_reader_fuzz_entry.h"

#include "codecs/format_sniff.h"
#include "codecs/tiff_reader.h"
#include "fuzz_support.h"

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

bool CheckRead(const TiffReader& reader, const ImageBuffer* image, size_t size,
               uint64_t& checksum) {
  if (image == nullptr) return IsCleanFailure(reader);
  if (!IsSoundRecord(reader, *image, FormatCode::Tiff) || image->fileSize != size) return false;
  const BitmapInfoHeader& h = image->header;
  if (h.xPelsPerMetre < 0 || h.yPelsPerMetre < 0) return false;
  const int source = image->sourceBitCount;
  const bool indexed = source == 1 || source == 4 || source == 8;
  const bool rgb = source == 24 || source == 48;
  if (!(indexed && h.bitCount == 8) && !(rgb && h.bitCount == 24)) return false;
  const size_t used = indexed ? size_t{1} << source : 0;
  if (!UnusedPaletteIsZero(*image, used)) return false;
  return ChecksumRows(*image, checksum);
}

}  // namespace

bool CheckTiffInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  if (!WithinCap(data, size)) return true;
  TiffReader reader;
  auto check = [size](const TiffReader& r, const ImageBuffer* image, uint64_t& checksum) {
    return CheckRead(r, image, size, checksum);
  };
  return ReadsTwiceAlike(
             reader, [&](TiffReader& r) { return ReadTiffMemory(r, data, size); }, check) &&
         reader.stripData.empty();
}

}  // namespace pixlane::fuzz
