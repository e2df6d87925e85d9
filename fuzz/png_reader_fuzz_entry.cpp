// Runs one input through SniffFormatBytes and ReadPngMemory without checksum
// checks. A failed read must leave no pixels and name a reason; a successful
// one must hold a consistent 8 or 24-bit image whose whole pixel block is
// readable, with no more rows decoded than expected, and a second read of
// the same input with the same reader must give the same image.
#include "png_reader_fuzz_entry.h"

#include "codecs/format_sniff.h"
#include "codecs/png_reader.h"
#include "fuzz_support.h"

namespace pixlane::fuzz {
namespace {

// False when the IHDR claims a size above the harness's cap.
bool WithinCap(const uint8_t* data, size_t size) {
  if (size < 24) return true;
  return LoadU32BE(data + 16) <= kPngFuzzMaxDimension && LoadU32BE(data + 20) <= kPngFuzzMaxDimension;
}

bool CheckRead(const PngReader& reader, const ImageBuffer* image, uint64_t& checksum) {
  if (image == nullptr) return IsCleanFailure(reader);
  if (!IsSoundRecord(reader, *image, FormatCode::Png)) return false;
  const BitmapInfoHeader& h = image->header;
  const bool truecolour = reader.colourType == 2 || reader.colourType == 6;
  if (h.bitCount != (truecolour ? 24 : 8)) return false;
  if (reader.rowsDecoded > reader.rowsExpected) return false;
  if (reader.colourType == 3 && reader.paletteCount > (1 << reader.bitDepth)) return false;
  if (h.xPelsPerMetre < 0 || h.yPelsPerMetre < 0) return false;
  return ChecksumRows(*image, checksum);
}

}  // namespace

bool CheckPngInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  if (!WithinCap(data, size)) return true;
  PngReader reader;
  PngReadOptions options;
  options.verifyChecksums = false;
  if (!ReadsTwiceAlike(
          reader, [&](PngReader& r) { return ReadPngMemory(r, data, size, options); },
          CheckRead)) {
    return false;
  }
  // With checksums checked (as for real files) the same promises hold.
  PngReader checked;
  uint64_t third = 0;
  return CheckRead(checked, ReadPngMemory(checked, data, size), third);
}

}  // namespace pixlane::fuzz
