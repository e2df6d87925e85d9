// Runs one input through ReadExifDate and LoadJpegImageMemory. No date
// leaves the date zeroed. A failed decode leaves no pixels and names a
// reason; a successful one holds a consistent 8-bit gray or 24-bit image
// within the cap whose whole pixel block is readable, and decoding the same
// input again with the same reader gives the same pixels.
#include "jpeg_reader_fuzz_entry.h"

#include "codecs/exif_date.h"
#include "codecs/format_sniff.h"
#include "codecs/jpeg_reader.h"
#include "fuzz_support.h"

namespace pixlane::fuzz {
namespace {

bool CheckDecode(JpegReader& reader, const ImageBuffer* image, uint64_t& checksum) {
  if (image == nullptr) return IsCleanFailure(reader);
  if (image != &reader.image || reader.error != CodecError::None) return false;
  const BitmapInfoHeader& h = image->header;
  if (h.width < 1 || h.height < 1 || h.width > kJpegFuzzMaxDimension ||
      h.height > kJpegFuzzMaxDimension) {
    return false;
  }
  if (image->sourceFormat != FormatCode::Jpeg || image->sourceBitCount != h.bitCount) return false;
  if (h.bitCount == 8) {
    if (!reader.isGrayscale) return false;
    for (int i = 0; i < 256; ++i) {
      const RgbQuad& q = image->palette[static_cast<size_t>(i)];
      if (q.blue != i || q.green != i || q.red != i) return false;
    }
  } else if (h.bitCount != 24 || reader.isGrayscale) {
    return false;
  }
  if (reader.scaleDenominator == 1 &&
      (reader.nominalWidth != h.width || reader.nominalHeight != h.height)) {
    return false;
  }
  return ChecksumRows(*image, checksum, false);
}

}  // namespace

bool CheckJpegInput(const uint8_t* data, size_t size) {
  (void)SniffFormatBytes(data, size);
  ExifDateBytes date;
  date.fill('x');
  if (!ReadExifDate(data, size, date)) {
    for (char c : date) {
      if (c != '\0') return false;
    }
  }
  JpegReader reader;
  reader.maxDimension = kJpegFuzzMaxDimension;
  reader.maxMemory = kJpegFuzzMaxMemory;
  for (JpegTargetBox box : {JpegTargetBox{}, JpegTargetBox{40, 30}}) {
    if (!ReadsTwiceAlike(
            reader, [&](JpegReader& r) { return LoadJpegImageMemory(r, data, size, box); },
            CheckDecode)) {
      return false;
    }
  }
  return true;
}

}  // namespace pixlane::fuzz
