// TIFF reader: header, the first directory's entries, the format check, the
// palette or gray ramp, the strips joined (at most the bytes the rows need)
// and the rows unpacked bottom-up into the image. Every offset is checked
// against the end of the file in 64-bit arithmetic before it is read.
#include "codecs/tiff_reader.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>

#include "codecs/codec_support.h"
#include "codecs/data_budget.h"
#include "platform/byte_reader.h"

namespace pixlane {
namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kEntryBytes = 12;

constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

constexpr uint16_t kTagImageWidth = 256;
constexpr uint16_t kTagImageLength = 257;
constexpr uint16_t kTagBitsPerSample = 258;
constexpr uint16_t kTagCompression = 259;
constexpr uint16_t kTagPhotometric = 262;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagSamplesPerPixel = 277;
constexpr uint16_t kTagStripByteCounts = 279;
constexpr uint16_t kTagXResolution = 282;
constexpr uint16_t kTagYResolution = 283;
constexpr uint16_t kTagPlanarConfiguration = 284;
constexpr uint16_t kTagResolutionUnit = 296;
constexpr uint16_t kTagColorMap = 320;

constexpr int32_t kWhiteIsZero = 0;
constexpr int32_t kBlackIsZero = 1;
constexpr int32_t kRgb = 2;
constexpr int32_t kPalette = 3;

// The file's bytes with reads in its byte order. Has() must be checked
// before U16/U32.
class TiffBytes {
 public:
  TiffBytes(const uint8_t* data, size_t size, bool isLittleEndian)
      : data_(data), size_(size), little_(isLittleEndian) {}

  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  bool Has(uint64_t offset, uint64_t bytes) const {
    return offset <= size_ && bytes <= size_ - offset;
  }
  uint16_t U16(size_t at) const {
    const uint8_t* p = data_ + at;
    return little_ ? static_cast<uint16_t>(p[0] | (p[1] << 8))
                   : static_cast<uint16_t>((p[0] << 8) | p[1]);
  }
  uint32_t U32(size_t at) const {
    const uint8_t* p = data_ + at;
    return little_ ? (static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                      (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24))
                   : ((static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                      (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]));
  }

 private:
  const uint8_t* data_;
  size_t size_;
  bool little_;
};

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  size_t valueAt = 0;  // file offset of the 4-byte value field
};

class TiffParser {
 public:
  TiffParser(TiffReader& reader, const uint8_t* data, size_t size)
      : reader_(reader), bytes_(data, size, true) {}

  bool Parse();

 private:
  bool Fail(CodecError error) {
    reader_.error = error;
    return false;
  }
  // A single value: SHORT and BYTE from the start of the value field, LONG
  // as 32 bits; any other type as the 16-bit value.
  uint32_t Scalar(const Entry& e) const {
    if (e.type == kTypeLong) return bytes_.U32(e.valueAt);
    if (e.type == kTypeByte) return bytes_.data()[e.valueAt];
    return bytes_.U16(e.valueAt);
  }
  bool ReadDirectory();
  bool ReadEntry(const Entry& e);
  bool ReadDimension(const Entry& e, int32_t& value);
  bool ReadStripTable(const Entry& e, TiffStripTable& table);
  uint32_t StripValue(const TiffStripTable& table, uint32_t index) const {
    const size_t at = table.valuesAt + static_cast<size_t>(index) * (table.isShort ? 2 : 4);
    return table.isShort ? bytes_.U16(at) : bytes_.U32(at);
  }
  bool CheckFormat();
  bool ReadPalette();
  bool JoinStrips(size_t inputRowBytes, size_t neededBytes, size_t& rows);
  void UnpackRows(size_t inputRowBytes, size_t rows);
  int32_t PixelsPerMetre(uint32_t offset) const;

  TiffReader& reader_;
  TiffBytes bytes_;
};

bool TiffParser::Parse() {
  TiffReader& r = reader_;
  r.image.fileSize = static_cast<uint32_t>(
      std::min<size_t>(bytes_.size(), std::numeric_limits<uint32_t>::max()));
  if (bytes_.size() < kHeaderBytes) return Fail(CodecError::Truncated);
  const uint8_t* d = bytes_.data();
  if (d[0] == 'I' && d[1] == 'I') {
    r.isLittleEndian = true;
  } else if (d[0] == 'M' && d[1] == 'M') {
    r.isLittleEndian = false;
  } else {
    return Fail(CodecError::BadHeader);
  }
  bytes_ = TiffBytes(d, bytes_.size(), r.isLittleEndian);
  if (bytes_.U16(2) != 42) return Fail(CodecError::BadHeader);
  if (!ReadDirectory() || !CheckFormat()) return false;

  // Rows of the file: 1 and 4-bit rows start on a byte boundary.
  const size_t width = static_cast<size_t>(r.width);
  const size_t height = static_cast<size_t>(r.height);
  const size_t bitsPerPixel =
      static_cast<size_t>(r.bitsPerSample) * (r.photometric == kRgb ? 3 : 1);
  const size_t inputRowBytes = (width * bitsPerPixel + 7) / 8;
  size_t neededBytes = 0;
  if (!CheckedMul(inputRowBytes, height, neededBytes)) return Fail(CodecError::SizeOverflow);

  if (r.outputBitCount == 8 && !ReadPalette()) return false;
  size_t rows = 0;
  if (!JoinStrips(inputRowBytes, neededBytes, rows)) return false;

  const size_t stride = RowStride(r.width, r.outputBitCount);
  if (!r.image.pixels.Allocate(stride * height)) return Fail(CodecError::OutOfMemory);
  // Rows the strips do not reach stay zero.
  UnpackRows(inputRowBytes, rows);
  r.stripData.Release();

  int32_t xPelsPerMetre = 0;
  int32_t yPelsPerMetre = 0;
  if (r.xResolutionOffset != 0 && r.yResolutionOffset != 0) {
    xPelsPerMetre = PixelsPerMetre(r.xResolutionOffset);
    yPelsPerMetre = PixelsPerMetre(r.yResolutionOffset);
  }
  SetImageHeader(r.image, r.width, r.height, r.outputBitCount, xPelsPerMetre, yPelsPerMetre);
  r.image.sourceFormat = FormatCode::Tiff;
  r.image.sourceBitCount = r.photometric == kRgb ? 3 * r.bitsPerSample : r.bitsPerSample;
  return true;
}

bool TiffParser::ReadDirectory() {
  const uint32_t directory = bytes_.U32(4);
  if (!bytes_.Has(directory, 2)) return Fail(CodecError::Truncated);
  const uint32_t count = bytes_.U16(directory);
  const size_t first = static_cast<size_t>(directory) + 2;
  if (!bytes_.Has(first, uint64_t{count} * kEntryBytes)) return Fail(CodecError::Truncated);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = first + i * kEntryBytes;
    Entry e;
    e.tag = bytes_.U16(at);
    e.type = bytes_.U16(at + 2);
    e.count = bytes_.U32(at + 4);
    e.valueAt = at + 8;
    if (!ReadEntry(e)) return false;
  }
  TiffReader& r = reader_;
  if (!r.stripOffsets.isPresent || !r.stripByteCounts.isPresent ||
      r.stripOffsets.count != r.stripByteCounts.count) {
    return Fail(CodecError::BadHeader);
  }
  if (r.width == 0 || r.height == 0) return Fail(CodecError::BadDimensions);
  return true;
}

bool TiffParser::ReadDimension(const Entry& e, int32_t& value) {
  if (e.type != kTypeShort && e.type != kTypeLong) return Fail(CodecError::BadHeader);
  const uint32_t v = Scalar(e);
  if (v < 1 || v > static_cast<uint32_t>(kMaxDimension)) return Fail(CodecError::BadDimensions);
  value = static_cast<int32_t>(v);
  return true;
}

bool TiffParser::ReadStripTable(const Entry& e, TiffStripTable& table) {
  if (e.type != kTypeShort && e.type != kTypeLong) return Fail(CodecError::BadHeader);
  if (table.isPresent || e.count == 0) return Fail(CodecError::BadHeader);
  table.isPresent = true;
  table.isShort = e.type == kTypeShort;
  table.count = e.count;
  const uint64_t bytes = uint64_t{e.count} * (table.isShort ? 2 : 4);
  // Values that fit in four bytes stand in the entry itself.
  if (bytes <= 4) {
    table.valuesAt = e.valueAt;
  } else {
    const uint32_t offset = bytes_.U32(e.valueAt);
    if (!bytes_.Has(offset, bytes)) return Fail(CodecError::Truncated);
    table.valuesAt = offset;
  }
  return true;
}

bool TiffParser::ReadEntry(const Entry& e) {
  TiffReader& r = reader_;
  switch (e.tag) {
    case kTagImageWidth:
      return ReadDimension(e, r.width);
    case kTagImageLength:
      return ReadDimension(e, r.height);
    case kTagBitsPerSample:
      r.samples = static_cast<int32_t>(std::min<uint32_t>(e.count, 1u << 16));
      if (e.count == 1) {
        r.bitsPerSample = static_cast<int32_t>(Scalar(e));
      } else if (e.count == 3) {
        const uint32_t offset = bytes_.U32(e.valueAt);
        if (!bytes_.Has(offset, 6)) return Fail(CodecError::Truncated);
        const uint16_t a = bytes_.U16(offset);
        if (a != bytes_.U16(offset + 2) || a != bytes_.U16(offset + 4) || (a != 8 && a != 16)) {
          return Fail(CodecError::UnsupportedDepth);
        }
        r.bitsPerSample = a;
      }
      // Other counts (alpha, gray with alpha) keep the bits; the sample
      // count fails the format check.
      return true;
    case kTagCompression:
      r.compression = static_cast<int32_t>(std::min<uint32_t>(Scalar(e), 1u << 16));
      if (r.compression != 1) return Fail(CodecError::UnsupportedCompression);
      return true;
    case kTagPhotometric:
      r.photometric = static_cast<int32_t>(std::min<uint32_t>(Scalar(e), 1u << 16));
      return true;
    case kTagStripOffsets:
      return ReadStripTable(e, r.stripOffsets);
    case kTagStripByteCounts:
      return ReadStripTable(e, r.stripByteCounts);
    case kTagSamplesPerPixel:
      r.samplesPerPixel = static_cast<int32_t>(std::min<uint32_t>(Scalar(e), 1u << 16));
      return true;
    case kTagPlanarConfiguration:
      r.planarConfiguration = static_cast<int32_t>(std::min<uint32_t>(Scalar(e), 1u << 16));
      return true;
    case kTagXResolution:
      r.xResolutionOffset = bytes_.U32(e.valueAt);
      return true;
    case kTagYResolution:
      r.yResolutionOffset = bytes_.U32(e.valueAt);
      return true;
    case kTagResolutionUnit:
      r.resolutionUnit = static_cast<int32_t>(std::min<uint32_t>(Scalar(e), 1u << 16));
      return true;
    case kTagColorMap:
      r.colourMapOffset = bytes_.U32(e.valueAt);
      return true;
    default:
      return true;
  }
}

bool TiffParser::CheckFormat() {
  TiffReader& r = reader_;
  const int32_t samples = r.samplesPerPixel != 0 ? r.samplesPerPixel : r.samples;
  const int32_t bits = r.bitsPerSample;
  const bool indexedBits = bits == 1 || bits == 4 || bits == 8;
  switch (r.photometric) {
    case kWhiteIsZero:
    case kBlackIsZero:
      if (samples != 1 || !indexedBits) return Fail(CodecError::UnsupportedDepth);
      r.outputBitCount = 8;
      return true;
    case kRgb:
      if (samples != 3 || (bits != 8 && bits != 16)) return Fail(CodecError::UnsupportedDepth);
      // Separate planes would need one strip set per colour.
      if (r.planarConfiguration != 1) return Fail(CodecError::UnsupportedFormat);
      r.outputBitCount = 24;
      return true;
    case kPalette:
      if (r.colourMapOffset == 0 || samples != 1 || !indexedBits) {
        return Fail(CodecError::UnsupportedDepth);
      }
      r.outputBitCount = 8;
      return true;
    default:
      return Fail(CodecError::UnsupportedDepth);
  }
}

bool TiffParser::ReadPalette() {
  TiffReader& r = reader_;
  const int32_t bits = r.bitsPerSample;
  const size_t entries = size_t{1} << bits;
  Palette& palette = r.image.palette;
  if (r.photometric == kPalette) {
    // All reds, then all greens, then all blues; each value's high byte.
    const size_t offset = r.colourMapOffset;
    if (!bytes_.Has(offset, 6 * entries)) return Fail(CodecError::Truncated);
    for (size_t k = 0; k < entries; ++k) {
      palette[k].red = static_cast<uint8_t>(bytes_.U16(offset + 2 * k) >> 8);
      palette[k].green = static_cast<uint8_t>(bytes_.U16(offset + 2 * (entries + k)) >> 8);
      palette[k].blue = static_cast<uint8_t>(bytes_.U16(offset + 2 * (2 * entries + k)) >> 8);
    }
    return true;
  }
  const int step = bits == 1 ? 255 : (bits == 4 ? 17 : 1);
  for (size_t k = 0; k < entries; ++k) {
    const int level = static_cast<int>(k) * step;
    const auto gray = static_cast<uint8_t>(r.photometric == kWhiteIsZero ? 255 - level : level);
    palette[k] = RgbQuad{gray, gray, gray, 0};
  }
  return true;
}

bool TiffParser::JoinStrips(size_t inputRowBytes, size_t neededBytes, size_t& rows) {
  TiffReader& r = reader_;
  // Every strip must lie inside the file; only the bytes the rows need are
  // kept, so repeated or oversized strips cannot inflate the buffer. The
  // buffer ends on a whole row: what the strips lack of a last partial row
  // stays zero.
  uint64_t total = 0;
  for (uint32_t i = 0; i < r.stripOffsets.count; ++i) {
    const uint32_t offset = StripValue(r.stripOffsets, i);
    const uint32_t bytes = StripValue(r.stripByteCounts, i);
    if (!bytes_.Has(offset, bytes)) return Fail(CodecError::Truncated);
    total += bytes;
  }
  if (total == 0) return Fail(CodecError::Truncated);  // no pixel data at all
  // Uncompressed strips fill byte for byte; strips listed twice add nothing
  // the file does not hold.
  if (!DataCanFill(std::min<uint64_t>(total, bytes_.size()), neededBytes)) {
    return Fail(CodecError::DataTooSmall);
  }
  const size_t joinedBytes = static_cast<size_t>(std::min<uint64_t>(total, neededBytes));
  r.image.isPartial = joinedBytes < neededBytes;
  rows = (joinedBytes + inputRowBytes - 1) / inputRowBytes;
  if (!r.stripData.Allocate(rows * inputRowBytes)) return Fail(CodecError::OutOfMemory);
  uint8_t* out = r.stripData.data();
  size_t filled = 0;
  for (uint32_t i = 0; i < r.stripOffsets.count && filled < joinedBytes; ++i) {
    const uint32_t offset = StripValue(r.stripOffsets, i);
    const size_t bytes = std::min<size_t>(StripValue(r.stripByteCounts, i), joinedBytes - filled);
    std::memcpy(out + filled, bytes_.data() + offset, bytes);
    filled += bytes;
  }
  return true;
}

void TiffParser::UnpackRows(size_t inputRowBytes, size_t rows) {
  TiffReader& r = reader_;
  const size_t width = static_cast<size_t>(r.width);
  const size_t height = static_cast<size_t>(r.height);
  const size_t stride = RowStride(r.width, r.outputBitCount);
  const uint8_t* in = r.stripData.data();
  uint8_t* pixels = r.image.pixels.data();
  assert(rows <= height);
  for (size_t y = 0; y < rows; ++y, in += inputRowBytes) {
    uint8_t* out = pixels + (height - 1 - y) * stride;
    if (r.photometric == kRgb) {
      if (r.bitsPerSample == 8) {
        for (size_t x = 0; x < width; ++x) {
          out[3 * x] = in[3 * x + 2];
          out[3 * x + 1] = in[3 * x + 1];
          out[3 * x + 2] = in[3 * x];
        }
      } else {
        // The high byte of each 16-bit sample.
        const size_t high = r.isLittleEndian ? 1 : 0;
        for (size_t x = 0; x < width; ++x) {
          const uint8_t* s = in + 6 * x + high;
          out[3 * x] = s[4];
          out[3 * x + 1] = s[2];
          out[3 * x + 2] = s[0];
        }
      }
      continue;
    }
    switch (r.bitsPerSample) {
      case 1:
        for (size_t x = 0; x < width; ++x) {
          out[x] = static_cast<uint8_t>((in[x >> 3] >> (7 - (x & 7))) & 1);
        }
        break;
      case 4:
        for (size_t x = 0; x < width; ++x) {
          out[x] = static_cast<uint8_t>((x & 1) != 0 ? in[x >> 1] & 0x0F : in[x >> 1] >> 4);
        }
        break;
      default:
        std::memcpy(out, in, width);
        break;
    }
  }
}

int32_t TiffParser::PixelsPerMetre(uint32_t offset) const {
  if (!bytes_.Has(offset, 8)) return 0;
  const uint32_t numerator = bytes_.U32(offset);
  const uint32_t denominator = bytes_.U32(size_t{offset} + 4);
  if (denominator == 0) return 0;
  double value = 0;
  switch (reader_.resolutionUnit) {
    case 2:  // inch
      value = std::floor(numerator / 0.0254 / denominator + 0.5);
      break;
    case 3:  // centimetre
      value = static_cast<double>((uint64_t{numerator} * 200 + denominator) /
                                  (uint64_t{denominator} * 2));
      break;
    default:
      return 0;
  }
  return value <= std::numeric_limits<int32_t>::max() ? static_cast<int32_t>(value) : 0;
}

void ResetReader(TiffReader& reader) {
  reader.image.Reset();
  reader.width = 0;
  reader.height = 0;
  reader.photometric = 4;
  reader.colourMapOffset = 0;
  reader.xResolutionOffset = 0;
  reader.yResolutionOffset = 0;
  reader.isLittleEndian = true;
  reader.bitsPerSample = 1;
  reader.outputBitCount = 0;
  reader.compression = 1;
  reader.samples = 1;
  reader.samplesPerPixel = 0;
  reader.planarConfiguration = 1;
  reader.resolutionUnit = 2;
  reader.stripOffsets = TiffStripTable{};
  reader.stripByteCounts = TiffStripTable{};
  reader.stripData.Release();
  reader.error = CodecError::None;
}

ImageBuffer* FinishRead(TiffReader& reader, bool ok) {
  reader.stripData.Release();
  if (ok) return &reader.image;
  reader.image.Reset();
  return nullptr;
}

}  // namespace

ImageBuffer* ReadTiff(TiffReader& reader, std::u16string_view path) {
  ResetReader(reader);
  const bool ok = ParseMappedFile(reader, path, [&reader](const uint8_t* data, uint32_t size) {
    return TiffParser(reader, data, size).Parse();
  });
  return FinishRead(reader, ok);
}

ImageBuffer* ReadTiffMemory(TiffReader& reader, const uint8_t* data, size_t size) {
  ResetReader(reader);
  TiffParser parser(reader, data, data != nullptr ? size : 0);
  return FinishRead(reader, parser.Parse());
}

}  // namespace pixlane
