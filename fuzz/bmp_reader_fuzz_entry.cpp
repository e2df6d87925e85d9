// Runs one input through SniffFormatBytes and ReadBmpMemory. A failed read
// must leave no pixels and name a reason; a successful one must hold a
// consistent 8 or 24-bit image whose whole pixel block is readable, and a
// second read of the same input with the same reader must give the same image.
#include "bmp_reader_fuzz_entry.h"

#include "codecs/bmp_reader.h"
#include "fuzz_support.h"
#include "codecs/format_sniff.h"

namespace pixlane::fuzz {
namespace {

// False when the header claims a size above the harness's cap.
bool WithinCap(const uint8_t* data, size_t size) {
  if (size < 26) return true;
  int64_t width = 0;
  int64_t height = 0;
  if (LoadU32LE(data + 14) == 12) {
    width = LoadU16LE(data + 18);
    height = LoadU16LE(data + 20);
  } else {
    width = static_cast<int32_t>(LoadU32LE(data + 18));
    height = static_cast<int32_t>(LoadU32LE(data + 22));
  }
  return width >= -kFuzzMaxDimension && width <= kFuzzMaxDimension &&
         height >= -kFuzzMaxDimension && height <= kFuzzMaxDimension;
}

// Checks one read; on success stores the image's checksum.
bool CheckRead(const BmpReader& reader, const ImageBuffer* image, uint64_t& checksum) {
  if (image == nullptr) return IsCleanFailure(reader);
  if (!IsSoundRecord(reader, *image, FormatCode::Bmp)) return false;
  const BitmapInfoHeader& h = image->header;
  if (h.clrUsed != 0) return false;
  const int source = image->sourceBitCount;
  const bool indexed = source == 1 || source == 4 || source == 8;
  const bool direct = source == 16 || source == 24 || source == 32;
  if (!(indexed && h.bitCount == 8) && !(direct && h.bitCount == 24)) return false;
  // Palette entries the file's depth cannot address stay zero.
  const size_t used = indexed ? size_t{1} << source : 0;
  if (!UnusedPaletteIsZero(*image, used)) return false;
  return ChecksumRows(*image, checksum);
}

}  // namespace

bool CheckBmpInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  if (!WithinCap(data, size)) return true;
  BmpReader reader;
  return ReadsTwiceAlike(
      reader, [&](BmpReader& r) { return ReadBmpMemory(r, data, size); }, CheckRead);
}

}  // namespace pixlane::fuzz
