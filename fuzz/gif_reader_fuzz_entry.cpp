// Runs one input through SniffFormatBytes and ReadGifMemory. A failed read
// must leave no pixels and name a reason; a successful one must hold a
// consistent 8-bit image the size of the logical screen whose whole pixel
// block is readable, and a second read with the same reader must agree.
#include "gif_reader_fuzz_entry.h"

#include "codecs/format_sniff.h"
#include "codecs/gif_reader.h"

namespace pixlane::fuzz {
namespace {

// Screens larger than this (but within what the reader accepts) are skipped
// so that no input makes the harness allocate more than a few tens of MB.
constexpr int32_t kFuzzMaxDimension = 4096;

bool WithinCap(const uint8_t* data, size_t size) {
  if (size < 10) return true;
  const int32_t width = data[6] | (data[7] << 8);
  const int32_t height = data[8] | (data[9] << 8);
  auto fits = [](int32_t v) { return v <= kFuzzMaxDimension || v > kMaxDimension; };
  return fits(width) && fits(height);
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

bool CheckRead(const GifReader& reader, const ImageBuffer* image, size_t size,
               uint64_t& checksum) {
  if (image == nullptr) {
    return reader.error != CodecError::None && reader.image.pixels.empty();
  }
  if (image != &reader.image || reader.error != CodecError::None) return false;
  const BitmapInfoHeader& h = image->header;
  if (h.size != 40 || h.planes != 1 || h.bitCount != 8 || h.compression != 0) return false;
  if (h.width != reader.screenWidth || h.height != reader.screenHeight) return false;
  if (h.width < 1 || h.width > kMaxDimension || h.height < 1 || h.height > kMaxDimension) {
    return false;
  }
  if (image->sourceFormat != FormatCode::Gif || image->fileSize != size) return false;
  if (image->sourceBitCount < 1 || image->sourceBitCount > 8) return false;
  if (reader.left + reader.width > h.width || reader.top + reader.height > h.height) return false;
  const size_t imageBytes = RowStride(h.width, 8) * static_cast<size_t>(h.height);
  if (image->pixels.size() < imageBytes) return false;
  checksum = Checksum(*image, imageBytes);
  return true;
}

}  // namespace

bool CheckGifInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  if (!WithinCap(data, size)) return true;
  static GifReader reader;  // large (its code table); reused as in a batch
  uint64_t first = 0;
  uint64_t second = 0;
  if (!CheckRead(reader, ReadGifMemory(reader, data, size), size, first)) return false;
  const CodecError firstError = reader.error;
  if (!CheckRead(reader, ReadGifMemory(reader, data, size), size, second)) return false;
  return reader.error == firstError && first == second && reader.lzwData.empty() &&
         reader.frame.empty();
}

}  // namespace pixlane::fuzz
