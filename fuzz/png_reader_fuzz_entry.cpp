// Runs one input through SniffFormatBytes and ReadPngMemory without checksum
// checks. A failed read must leave no pixels and name a reason; a successful
// one must hold a consistent 8 or 24-bit image whose whole pixel block is
// readable, with no more rows decoded than expected, and a second read of
// the same input with the same reader must give the same image.
#include "png_reader_fuzz_entry.h"

#include "codecs/format_sniff.h"
#include "codecs/png_reader.h"

namespace pixlane::fuzz {
namespace {

uint32_t LoadU32BE(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// False when the IHDR claims a size above the harness's cap.
bool WithinCap(const uint8_t* data, size_t size) {
  if (size < 24) return true;
  return LoadU32BE(data + 16) <= kPngFuzzMaxDimension && LoadU32BE(data + 20) <= kPngFuzzMaxDimension;
}

// FNV-1a over every row byte and palette entry: touches the whole block.
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

bool CheckRead(const PngReader& reader, const ImageBuffer* image, uint64_t& checksum) {
  if (image == nullptr) {
    return reader.error != CodecError::None && reader.image.pixels.empty();
  }
  if (image != &reader.image || reader.error != CodecError::None) return false;
  const BitmapInfoHeader& h = image->header;
  if (h.size != 40 || h.planes != 1 || h.compression != 0) return false;
  if (h.width < 1 || h.width > kMaxDimension || h.height < 1 || h.height > kMaxDimension) return false;
  if (image->sourceFormat != FormatCode::Png) return false;
  const bool truecolour = reader.colourType == 2 || reader.colourType == 6;
  if (h.bitCount != (truecolour ? 24 : 8)) return false;
  if (reader.rowsDecoded > reader.rowsExpected) return false;
  if (reader.colourType == 3 && reader.paletteCount > (1 << reader.bitDepth)) return false;
  if (h.xPelsPerMetre < 0 || h.yPelsPerMetre < 0) return false;
  const size_t imageBytes = RowStride(h.width, h.bitCount) * static_cast<size_t>(h.height);
  if (image->pixels.size() < imageBytes) return false;
  checksum = Checksum(*image, imageBytes);
  return true;
}

}  // namespace

bool CheckPngInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  if (!WithinCap(data, size)) return true;
  PngReader reader;
  PngReadOptions options;
  options.verifyChecksums = false;
  uint64_t first = 0;
  uint64_t second = 0;
  if (!CheckRead(reader, ReadPngMemory(reader, data, size, options), first)) return false;
  const CodecError firstError = reader.error;
  if (!CheckRead(reader, ReadPngMemory(reader, data, size, options), second)) return false;
  if (reader.error != firstError || first != second) return false;
  // With checksums checked (as for real files) the same promises hold.
  PngReader checked;
  uint64_t third = 0;
  return CheckRead(checked, ReadPngMemory(checked, data, size), third);
}

}  // namespace pixlane::fuzz
