// Exif date: the marker scanner finds the first Exif APP1 segment, then a
// bounds-checked walk of its TIFF structure (offsets relative to the TIFF
// header, reads limited to the segment) finds DateTimeOriginal.
#include "codecs/exif_date.h"

#include <cstring>

#include "codecs/jpeg_markers.h"
#include "platform/byte_reader.h"

namespace pixlane {
namespace {

constexpr uint16_t kTagExifIfd = 34665;
constexpr uint16_t kTagDateTimeOriginal = 36867;
constexpr char kExifSignature[6] = {'E', 'x', 'i', 'f', '\0', '\0'};

class TiffReader {
 public:
  TiffReader(const uint8_t* data, size_t size) : bytes_(data, size) {}

  bool ReadHeader(uint32_t& firstIfd) {
    uint16_t order = 0;
    if (!bytes_.ReadU16LE(order)) return false;
    littleEndian_ = order == 0x4949;  // "II"; anything else is read big-endian
    return bytes_.Seek(4) && Read32(firstIfd);
  }

  // The value field of the first entry with `tag` in the IFD at `offset`.
  bool FindEntry(uint32_t offset, uint16_t tag, uint32_t& value) {
    uint16_t count = 0;
    if (!bytes_.Seek(offset) || !Read16(count)) return false;
    for (uint16_t i = 0; i < count && bytes_.remaining() >= 12; ++i) {
      uint16_t entryTag = 0;
      uint16_t type = 0;
      uint32_t valueCount = 0;
      uint32_t entryValue = 0;
      if (!Read16(entryTag) || !Read16(type) || !Read32(valueCount) || !Read32(entryValue)) {
        return false;
      }
      if (entryTag == tag) {
        value = entryValue;
        return true;
      }
    }
    return false;
  }

  bool ReadAt(uint32_t offset, void* out, size_t bytes) {
    return bytes_.Seek(offset) && bytes_.ReadBytes(out, bytes);
  }

 private:
  bool Read16(uint16_t& v) { return littleEndian_ ? bytes_.ReadU16LE(v) : bytes_.ReadU16BE(v); }
  bool Read32(uint32_t& v) { return littleEndian_ ? bytes_.ReadU32LE(v) : bytes_.ReadU32BE(v); }

  ByteReader bytes_;
  bool littleEndian_ = true;
};

bool DateFromTiff(const uint8_t* tiff, size_t size, ExifDateBytes& date) {
  TiffReader reader(tiff, size);
  uint32_t ifd0 = 0;
  uint32_t exifIfd = 0;
  uint32_t dateOffset = 0;
  if (!reader.ReadHeader(ifd0) || !reader.FindEntry(ifd0, kTagExifIfd, exifIfd) || exifIfd == 0 ||
      !reader.FindEntry(exifIfd, kTagDateTimeOriginal, dateOffset)) {
    return false;
  }
  ExifDateBytes found{};
  if (!reader.ReadAt(dateOffset, found.data(), found.size())) return false;
  date = found;
  return true;
}

}  // namespace

bool ReadExifDate(const uint8_t* data, size_t size, ExifDateBytes& date) {
  date.fill('\0');
  JpegMarkerScanner scanner(data, size);
  JpegSegment segment;
  for (;;) {
    switch (scanner.Next(segment)) {
      case JpegScanStep::Soi: continue;
      case JpegScanStep::Segment: break;
      default: return false;
    }
    if (segment.code == kJpegApp1 && segment.dataLength >= sizeof kExifSignature &&
        std::memcmp(data + segment.dataOffset, kExifSignature, sizeof kExifSignature) == 0) {
      // The first Exif segment decides; a truncated one is read as far as
      // the file goes.
      return DateFromTiff(data + segment.dataOffset + sizeof kExifSignature,
                          segment.dataLength - sizeof kExifSignature, date);
    }
    if (!segment.complete) return false;
  }
}

bool ReadExifDateFile(ExifReader& reader, std::u16string_view path) {
  reader.date.fill('\0');
  reader.present = false;
  reader.file.Release();
  if (MapInputFile(path, reader.file) != 0) {
    const MappedInput& in = reader.file.input;
    reader.present = ReadExifDate(in.begin, in.Size(), reader.date);
  }
  reader.file.Release();
  return reader.present;
}

}  // namespace pixlane
