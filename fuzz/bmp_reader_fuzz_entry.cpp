// Runs one input through SniffFormatBytes and ReadBmpMemory. A failed read
// must leave no pixels and name a reason; a successful one must hold a
// consistent 8 or 24-bit image whose whole pixel block is readable, and a
// second read of the same input with the same reader must give the same image.
#include "bmp_reader_fuzz_entry.h"

#include "codecs/bmp_reader.h"
#include "codecs/format_sniff.h"

namespace pixlane::fuzz {
namespace {

uint32_t LoadU16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
uint32_t LoadU32(const uint8_t* p) { return LoadU16(p) | (LoadU16(p + 2) << 16); }

// False when the header claims a size above the harness's cap.
bool WithinCap(const uint8_t* data, size_t size) {
  if (size < 26) return true;
  int64_t width = 0;
  int64_t height = 0;
  if (LoadU32(data + 14) == 12) {
    width = LoadU16(data + 18);
    height = LoadU16(data + 20);
  } else {
    width = static_cast<int32_t>(LoadU32(data + 18));
    height = static_cast<int32_t>(LoadU32(data + 22));
  }
  return width >= -kFuzzMaxDimension && width <= kFuzzMaxDimension &&
         height >= -kFuzzMaxDimension && height <= kFuzzMaxDimension;
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

// Checks one read; on success stores the image's checksum.
bool CheckRead(const BmpReader& reader, const ImageBuffer* image, uint64_t& checksum) {
  if (image == nullptr) {
    return reader.error != CodecError::None && reader.image.pixels.empty();
  }
  if (image != &reader.image || reader.error != CodecError::None) return false;
  const BitmapInfoHeader& h = image->header;
  if (h.size != 40 || h.planes != 1 || h.compression != 0 || h.clrUsed != 0) return false;
  if (h.width < 1 || h.width > kMaxDimension || h.height < 1 || h.height > kMaxDimension) {
    return false;
  }
  if (image->sourceFormat != FormatCode::Bmp) return false;
  const int source = image->sourceBitCount;
  const bool indexed = source == 1 || source == 4 || source == 8;
  const bool direct = source == 16 || source == 24 || source == 32;
  if (!(indexed && h.bitCount == 8) && !(direct && h.bitCount == 24)) return false;
  // Palette entries the file's depth cannot address stay zero.
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

bool CheckBmpInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  if (!WithinCap(data, size)) return true;
  BmpReader reader;
  uint64_t first = 0;
  uint64_t second = 0;
  if (!CheckRead(reader, ReadBmpMemory(reader, data, size), first)) return false;
  const CodecError firstError = reader.error;
  if (!CheckRead(reader, ReadBmpMemory(reader, data, size), second)) return false;
  return reader.error == firstError && first == second;
}

}  // namespace pixlane::fuzz
