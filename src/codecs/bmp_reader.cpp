// BMP reader: one parser over a byte source that reads N bytes at an offset,
// backed either by a plain input file (ReadBmp) or by memory (ReadBmpMemory).
// Every offset and length is checked against the source's size before use;
// pixel data the file does not hold stays zero. Headers, palette and masks
// are reset before each read; on failure no pixel buffer is kept.
#include "codecs/bmp_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "codecs/data_budget.h"
#include "platform/byte_reader.h"
#include "platform/file_system.h"

namespace pixlane {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kLargestHeaderBytes = 124;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;
// The three bit-field masks sit at the same file offset for every header
// size: in the 12 bytes after a 40-byte header, or inside a longer one.
constexpr uint64_t kMaskOffset = kFileHeaderBytes + kInfoHeaderBytes;

// Random access to the bytes of one input.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies up to `bytes` bytes from `offset` into `out`; returns how many
  // were copied (fewer only at the end of the input or on a read error).
  virtual size_t ReadAt(uint64_t offset, void* out, size_t bytes) = 0;
};

class FileSource final : public ByteSource {
 public:
  explicit FileSource(InputFile& file) : file_(file), size_(file.Size()) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* out, size_t bytes) override {
    if (offset >= size_ || bytes == 0) return 0;
    if (!file_.Seek(offset)) return 0;
    return file_.Read(out, static_cast<size_t>(std::min<uint64_t>(bytes, size_ - offset)));
  }

 private:
  InputFile& file_;
  uint64_t size_;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* out, size_t bytes) override {
    if (offset >= size_ || bytes == 0) return 0;
    const size_t n = std::min(bytes, size_ - static_cast<size_t>(offset));
    std::memcpy(out, data_ + offset, n);
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool IsKnownHeaderSize(uint32_t size) {
  return size == kCoreHeaderBytes || size == kInfoHeaderBytes || size == 52 || size == 56 ||
         size == 108 || size == kLargestHeaderBytes;
}

// One colour channel of a 16 or 32-bit pixel: (pixel AND mask) >> shift,
// where the shift is the mask's lowest set bit, scaled from 0 … 2^bits − 1
// to 0 … 255 by integer division. Channels of up to 16 bits use a table; a
// channel without bits is always 0. Only contiguous masks are valid.
class MaskChannel {
 public:
  explicit MaskChannel(uint32_t mask)
      : mask_(mask),
        shift_(mask == 0 ? 0u : static_cast<uint32_t>(std::countr_zero(mask))),
        bits_(static_cast<uint32_t>(std::popcount(mask))) {
    if (bits_ == 0) return;
    max_ = (uint64_t{1} << bits_) - 1;
    if (bits_ <= 16) {
      table_.resize(static_cast<size_t>(max_) + 1);
      for (uint64_t v = 0; v <= max_; ++v) table_[static_cast<size_t>(v)] = Scale(v);
    }
  }

  // The set bits form one run: 0x0FF0 does, 0x0F0F does not.
  static bool IsContiguous(uint32_t mask) {
    if (mask == 0) return true;
    const uint32_t field = mask >> std::countr_zero(mask);
    return (field & (field + 1)) == 0;
  }

  uint8_t operator()(uint32_t pixel) const {
    if (bits_ == 0) return 0;
    const uint32_t v = (pixel & mask_) >> shift_;
    return table_.empty() ? Scale(v) : table_[v];
  }

 private:
  uint8_t Scale(uint64_t v) const { return static_cast<uint8_t>(v * 255u / max_); }

  uint32_t mask_;
  uint32_t shift_;
  uint32_t bits_;
  uint64_t max_ = 0;
  std::vector<uint8_t> table_;
};

class BmpParser {
 public:
  BmpParser(BmpReader& reader, ByteSource& source)
      : reader_(reader), image_(reader.image), source_(source), size_(source.Size()) {}

  bool Parse();

 private:
  bool Fail(CodecError error) {
    reader_.error = error;
    return false;
  }
  bool ReadHeaders();
  bool ReadColourTable(RgbQuad* table);
  // Copies the pixel data from the pixel offset into `out`, at most `bytes`
  // bytes; returns how many the file held.
  size_t ReadPixelData(uint8_t* out, size_t bytes);
  // The bytes of pixel data a complete file holds: every row but the last
  // with its padding, the last one without (writers may leave it off).
  size_t PixelBytesNeeded(size_t stride, int bitCount) const {
    return stride * (static_cast<size_t>(height_) - 1) +
           (static_cast<size_t>(width_) * static_cast<size_t>(bitCount) + 7) / 8;
  }
  bool ReadDirect(int bitCount);
  bool ReadIndexed(int bitCount);
  bool ReadMasked(int bitCount);

  BmpReader& reader_;
  ImageBuffer& image_;
  ByteSource& source_;
  uint64_t size_;
  uint32_t headerSize_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

bool BmpParser::Parse() {
  image_.fileSize =
      static_cast<uint32_t>(std::min<uint64_t>(size_, std::numeric_limits<uint32_t>::max()));
  if (!ReadHeaders()) return false;

  const BitmapInfoHeader& info = reader_.infoHeader;
  if (info.width < 1 || info.width > kMaxDimension || info.height < 1 ||
      info.height > kMaxDimension) {
    return Fail(CodecError::BadDimensions);
  }
  width_ = info.width;
  height_ = info.height;
  const int bitCount = info.bitCount;
  image_.sourceBitCount = bitCount;

  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (info.compression != kCompressionNone) return Fail(CodecError::UnsupportedCompression);
      break;
    case 16:
    case 32:
      if (headerSize_ == kCoreHeaderBytes) return Fail(CodecError::UnsupportedDepth);
      if (info.compression != kCompressionNone && info.compression != kCompressionBitFields) {
        return Fail(CodecError::UnsupportedCompression);
      }
      break;
    default:
      return Fail(CodecError::UnsupportedDepth);
  }
  // A file whose pixel data would start at or past its end holds no image.
  if (reader_.fileHeader.pixelOffset >= size_) return Fail(CodecError::Truncated);
  // Uncompressed rows come byte for byte from the file.
  const uint64_t fileStride = (static_cast<uint64_t>(width_) * static_cast<uint64_t>(bitCount) + 31) / 32 * 4;
  if (!DataCanFill(size_ - reader_.fileHeader.pixelOffset,
                   fileStride * static_cast<uint64_t>(height_))) {
    return Fail(CodecError::DataTooSmall);
  }

  bool ok = false;
  switch (bitCount) {
    case 1:
    case 4:
      ok = ReadIndexed(bitCount);
      break;
    case 8:
      ok = ReadColourTable(image_.palette.data()) && ReadDirect(8);
      break;
    case 24:
      ok = ReadDirect(24);
      break;
    default:
      ok = ReadMasked(bitCount);
      break;
  }
  if (!ok) return false;
  image_.sourceFormat = FormatCode::Bmp;
  return true;
}

bool BmpParser::ReadHeaders() {
  std::array<uint8_t, kFileHeaderBytes + kLargestHeaderBytes> head{};
  if (source_.ReadAt(0, head.data(), kFileHeaderBytes + 4) < kFileHeaderBytes + 4) {
    return Fail(CodecError::Truncated);
  }
  BmpFileHeader& fh = reader_.fileHeader;
  fh.type = LoadU16(&head[0]);
  fh.fileSize = LoadU32(&head[2]);
  fh.reserved1 = LoadU16(&head[6]);
  fh.reserved2 = LoadU16(&head[8]);
  fh.pixelOffset = LoadU32(&head[10]);

  headerSize_ = LoadU32(&head[14]);
  if (!IsKnownHeaderSize(headerSize_)) return Fail(CodecError::BadHeader);
  const size_t rest = headerSize_ - 4;
  if (source_.ReadAt(kFileHeaderBytes + 4, &head[kFileHeaderBytes + 4], rest) < rest) {
    return Fail(CodecError::Truncated);
  }

  BitmapInfoHeader& info = reader_.infoHeader;
  const uint8_t* h = &head[kFileHeaderBytes];
  info.size = headerSize_;
  if (headerSize_ == kCoreHeaderBytes) {
    // BITMAPCOREHEADER: unsigned 16-bit width and height, no compression.
    info.width = LoadU16(h + 4);
    info.height = LoadU16(h + 6);
    info.planes = LoadU16(h + 8);
    info.bitCount = LoadU16(h + 10);
    return true;
  }
  info.width = static_cast<int32_t>(LoadU32(h + 4));
  info.height = static_cast<int32_t>(LoadU32(h + 8));
  info.planes = LoadU16(h + 12);
  info.bitCount = LoadU16(h + 14);
  info.compression = LoadU32(h + 16);
  info.sizeImage = LoadU32(h + 20);
  info.xPelsPerMetre = static_cast<int32_t>(LoadU32(h + 24));
  info.yPelsPerMetre = static_cast<int32_t>(LoadU32(h + 28));
  info.clrUsed = LoadU32(h + 32);
  info.clrImportant = LoadU32(h + 36);
  return true;
}

bool BmpParser::ReadColourTable(RgbQuad* table) {
  const BitmapInfoHeader& info = reader_.infoHeader;
  const bool isCore = headerSize_ == kCoreHeaderBytes;
  const uint32_t capacity = uint32_t{1} << info.bitCount;
  // Core files have no colour count: their table always holds 2^depth
  // entries. A count larger than the depth can address is clamped.
  const uint32_t entries =
      (isCore || info.clrUsed == 0) ? capacity : std::min(info.clrUsed, capacity);
  const size_t entryBytes = isCore ? 3 : 4;
  std::array<uint8_t, 256 * 4> raw{};
  const size_t bytes = entries * entryBytes;
  if (source_.ReadAt(kFileHeaderBytes + headerSize_, raw.data(), bytes) < bytes) {
    return Fail(CodecError::Truncated);
  }
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* e = &raw[i * entryBytes];
    table[i] = RgbQuad{e[0], e[1], e[2], 0};
  }
  return true;
}

size_t BmpParser::ReadPixelData(uint8_t* out, size_t bytes) {
  return source_.ReadAt(reader_.fileHeader.pixelOffset, out, bytes);
}

bool BmpParser::ReadDirect(int bitCount) {
  const size_t stride = RowStride(width_, bitCount);
  size_t imageBytes = 0;
  if (!CheckedMul(stride, static_cast<size_t>(height_), imageBytes)) {
    return Fail(CodecError::SizeOverflow);
  }
  if (!image_.pixels.Allocate(imageBytes)) return Fail(CodecError::OutOfMemory);
  SetImageHeader(image_, width_, height_, bitCount, reader_.infoHeader.xPelsPerMetre,
                 reader_.infoHeader.yPelsPerMetre);
  // Rows past the end of a short file keep the block's zero fill.
  const size_t got = ReadPixelData(image_.pixels.data(), imageBytes);
  image_.isPartial = got < PixelBytesNeeded(stride, bitCount);
  return true;
}

bool BmpParser::ReadIndexed(int bitCount) {
  Palette table{};
  if (!ReadColourTable(table.data())) return false;

  size_t rawBytes = 0;
  if (!CheckedMul(RowStride(width_, bitCount), static_cast<size_t>(height_), rawBytes)) {
    return Fail(CodecError::SizeOverflow);
  }
  PixelBlock raw;
  if (!raw.Allocate(rawBytes)) return Fail(CodecError::OutOfMemory);
  const size_t got = ReadPixelData(raw.data(), rawBytes);
  image_.isPartial = got < PixelBytesNeeded(RowStride(width_, bitCount), bitCount);

  DepthConverter& converter = reader_.converter;
  converter.width = width_;
  converter.height = height_;
  converter.sourceBitCount = bitCount;
  converter.targetBitCount = 8;
  if (!ComputeRowGeometry(converter)) return Fail(CodecError::ConversionFailed);
  if (!image_.pixels.Allocate(converter.imageBytes)) return Fail(CodecError::OutOfMemory);
  SetImageHeader(image_, width_, height_, 8, reader_.infoHeader.xPelsPerMetre,
                 reader_.infoHeader.yPelsPerMetre);
  const bool converted =
      ConvertDepth(converter, table.data(), raw.data(), image_.palette.data(), image_.pixels.data());
  // The converter must not keep pointers into buffers that are about to go.
  converter.sourcePalette = nullptr;
  converter.sourcePixels = nullptr;
  converter.targetPalette = nullptr;
  converter.targetPixels = nullptr;
  if (!converted) return Fail(CodecError::ConversionFailed);
  return true;
}

bool BmpParser::ReadMasked(int bitCount) {
  const BitmapInfoHeader& info = reader_.infoHeader;
  if (info.compression == kCompressionBitFields) {
    std::array<uint8_t, 12> masks{};
    if (source_.ReadAt(kMaskOffset, masks.data(), masks.size()) < masks.size()) {
      return Fail(CodecError::Truncated);
    }
    reader_.redMask = LoadU32(&masks[0]);
    reader_.greenMask = LoadU32(&masks[4]);
    reader_.blueMask = LoadU32(&masks[8]);
  } else if (bitCount == 16) {
    reader_.redMask = 0x7C00;
    reader_.greenMask = 0x03E0;
    reader_.blueMask = 0x001F;
  } else {
    reader_.redMask = 0xFF0000;
    reader_.greenMask = 0x00FF00;
    reader_.blueMask = 0x0000FF;
  }
  // Each channel is read from where its own mask lies, in any order; masks
  // with holes or that share bits describe no colour and are refused.
  const uint32_t masks[] = {reader_.redMask, reader_.greenMask, reader_.blueMask};
  for (uint32_t mask : masks) {
    if (!MaskChannel::IsContiguous(mask)) return Fail(CodecError::BadHeader);
  }
  if ((masks[0] & masks[1]) != 0 || (masks[0] & masks[2]) != 0 || (masks[1] & masks[2]) != 0) {
    return Fail(CodecError::BadHeader);
  }
  const MaskChannel blue(reader_.blueMask);
  const MaskChannel green(reader_.greenMask);
  const MaskChannel red(reader_.redMask);

  const size_t pixelBytes = static_cast<size_t>(bitCount) / 8;
  const size_t rowPixels = bitCount == 16 ? (static_cast<size_t>(width_) + 1) & ~size_t{1}
                                          : static_cast<size_t>(width_);
  const size_t sourceStride = rowPixels * pixelBytes;
  const size_t targetStride = RowStride(width_, 24);
  size_t sourceBytes = 0;
  size_t targetBytes = 0;
  if (!CheckedMul(sourceStride, static_cast<size_t>(height_), sourceBytes) ||
      !CheckedMul(targetStride, static_cast<size_t>(height_), targetBytes)) {
    return Fail(CodecError::SizeOverflow);
  }
  // Only the part of the file the rows can use is read.
  const uint64_t available = size_ - reader_.fileHeader.pixelOffset;
  sourceBytes = static_cast<size_t>(std::min<uint64_t>(sourceBytes, available));
  PixelBlock data;
  if (!data.Allocate(sourceBytes)) return Fail(CodecError::OutOfMemory);
  const size_t got = ReadPixelData(data.data(), sourceBytes);
  if (!image_.pixels.Allocate(targetBytes)) return Fail(CodecError::OutOfMemory);
  SetImageHeader(image_, width_, height_, 24, info.xPelsPerMetre, info.yPelsPerMetre);

  // The last row needs its pixels, not its padding.
  image_.isPartial = got < sourceStride * (static_cast<size_t>(height_) - 1) +
                               static_cast<size_t>(width_) * pixelBytes;
  const uint8_t* in = data.data();
  for (size_t y = 0; y < static_cast<size_t>(height_); ++y) {
    const size_t rowStart = y * sourceStride;
    if (rowStart >= got) break;  // rows the file does not hold stay zero
    const size_t count = std::min(static_cast<size_t>(width_), (got - rowStart) / pixelBytes);
    const uint8_t* src = in + rowStart;
    uint8_t* out = image_.pixels.data() + y * targetStride;
    for (size_t x = 0; x < count; ++x, src += pixelBytes, out += 3) {
      const uint32_t pixel = pixelBytes == 2 ? LoadU16(src) : LoadU32(src);
      out[0] = blue(pixel);
      out[1] = green(pixel);
      out[2] = red(pixel);
    }
  }
  return true;
}

void ResetReader(BmpReader& reader) {
  reader.image.Reset();
  reader.fileHeader = BmpFileHeader{};
  reader.infoHeader = BitmapInfoHeader{};
  reader.redMask = 0;
  reader.greenMask = 0;
  reader.blueMask = 0;
  reader.error = CodecError::None;
}

ImageBuffer* FinishRead(BmpReader& reader, bool ok) {
  if (ok) return &reader.image;
  reader.image.Reset();
  return nullptr;
}

}  // namespace

ImageBuffer* ReadBmp(BmpReader& reader, std::u16string_view path) {
  ResetReader(reader);
  InputFile file;
  if (!file.Open(path)) {
    reader.error = CodecError::CannotOpen;
    return nullptr;
  }
  FileSource source(file);
  BmpParser parser(reader, source);
  const bool ok = parser.Parse();
  if (ok) reader.image.lastWriteTime = file.LastWriteTime();
  return FinishRead(reader, ok);
}

ImageBuffer* ReadBmpMemory(BmpReader& reader, const uint8_t* data, size_t size) {
  ResetReader(reader);
  MemorySource source(data, size);
  BmpParser parser(reader, source);
  return FinishRead(reader, parser.Parse());
}

}  // namespace pixlane
