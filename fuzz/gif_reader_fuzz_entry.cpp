// Runs one input through SniffFormatBytes and ReadGifMemory. A failed read
// must leave no pixels and name a reason; a successful one must hold a
// consistent 8-bit image the size of the logical screen whose whole pixel
// block is readable, and a second read with the same reader must agree.
#include "gif_reader_fuzz_entry.h"

#include "codecs/format_sniff.h"
#include "codecs/gif_reader.h"
#include "fuzz_support.h"

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

bool CheckRead(const GifReader& reader, const ImageBuffer* image, size_t size,
               uint64_t& checksum) {
  if (image == nullptr) return IsCleanFailure(reader);
  if (!IsSoundRecord(reader, *image, FormatCode::Gif) || image->fileSize != size) return false;
  const BitmapInfoHeader& h = image->header;
  if (h.bitCount != 8) return false;
  if (h.width != reader.screenWidth || h.height != reader.screenHeight) return false;
  if (image->sourceBitCount < 1 || image->sourceBitCount > 8) return false;
  if (reader.left + reader.width > h.width || reader.top + reader.height > h.height) return false;
  return ChecksumRows(*image, checksum);
}

}  // namespace

bool CheckGifInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  if (!WithinCap(data, size)) return true;
  static GifReader reader;  // large (its code table); reused as in a batch
  auto check = [size](const GifReader& r, const ImageBuffer* image, uint64_t& checksum) {
    return CheckRead(r, image, size, checksum);
  };
  return ReadsTwiceAlike(
             reader, [&](GifReader& r) { return ReadGifMemory(r, data, size); }, check) &&
         reader.lzwData.empty() &&
         reader.frame.empty();
}

}  // namespace pixlane::fuzz
