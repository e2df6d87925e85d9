// GIF reader: header and logical screen, then blocks until the first image,
// whose sub-blocks are joined, LZW-decoded into a frame and composed onto
// the logical screen. Every read goes through a bounds-checked ByteReader
// over the whole file. State is reset before each read and the work buffers
// (joined data, frame) are released after it.
#include "codecs/gif_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "codecs/codec_support.h"
#include "codecs/data_budget.h"
#include "platform/byte_reader.h"

namespace pixlane {
namespace {

constexpr size_t kHeaderBytes = 13;  // signature, version, logical screen
constexpr size_t kDescriptorBytes = 9;
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kPlainTextLabel = 0x01;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kApplicationLabel = 0xFF;

class GifParser {
 public:
  GifParser(GifReader& reader, const uint8_t* data, size_t size)
      : reader_(reader), in_(data, size) {}

  bool Parse();

 private:
  bool Fail(CodecError error) {
    reader_.error = error;
    return false;
  }
  bool ReadScreen();
  bool ReadExtension();
  bool ReadImage();
  bool JoinSubBlocks();
  bool SkipSubBlocks();
  bool Compose();

  GifReader& reader_;
  ByteReader in_;
};

bool GifParser::Parse() {
  reader_.image.fileSize = static_cast<uint32_t>(
      std::min<size_t>(in_.size(), std::numeric_limits<uint32_t>::max()));
  if (!ReadScreen()) return false;
  for (;;) {
    uint8_t introducer = 0;
    if (!in_.ReadU8(introducer)) return Fail(CodecError::Truncated);
    switch (introducer) {
      case kExtensionIntroducer:
        if (!ReadExtension()) return false;
        break;
      case kImageSeparator:
        // Only the first image is read; whatever follows it is ignored.
        return ReadImage();
      case kTrailer:
        return Fail(CodecError::BadHeader);  // no image before the trailer
      default:
        return Fail(CodecError::BadHeader);
    }
  }
}

bool GifParser::ReadScreen() {
  if (in_.size() < kHeaderBytes) return Fail(CodecError::Truncated);
  const uint8_t* h = in_.Take(kHeaderBytes);
  if (std::memcmp(h, "GIF", 3) != 0 ||
      (std::memcmp(h + 3, "87a", 3) != 0 && std::memcmp(h + 3, "89a", 3) != 0)) {
    return Fail(CodecError::BadHeader);
  }
  reader_.screenWidth = h[6] | (h[7] << 8);
  reader_.screenHeight = h[8] | (h[9] << 8);
  if (reader_.screenWidth < 1 || reader_.screenWidth > kMaxDimension ||
      reader_.screenHeight < 1 || reader_.screenHeight > kMaxDimension) {
    return Fail(CodecError::BadDimensions);
  }
  const uint8_t packed = h[10];
  if ((packed & 0x80) != 0) {
    reader_.hasGlobalTable = true;
    reader_.colourBits = (packed & 7) + 1;
    reader_.backgroundIndex = h[11];
    const size_t bytes = size_t{3} << reader_.colourBits;
    if (!in_.ReadBytes(reader_.globalPalette.data(), bytes)) return Fail(CodecError::Truncated);
  }
  return true;
}

bool GifParser::SkipSubBlocks() {
  for (;;) {
    uint8_t size = 0;
    if (!in_.ReadU8(size)) return Fail(CodecError::Truncated);
    if (size == 0) return true;
    if (!in_.Skip(size)) return Fail(CodecError::Truncated);
  }
}

bool GifParser::ReadExtension() {
  uint8_t label = 0;
  if (!in_.ReadU8(label)) return Fail(CodecError::Truncated);
  switch (label) {
    case kPlainTextLabel:
    case kCommentLabel:
    case kApplicationLabel:
      // The fixed header blocks of plain text (12 bytes) and application
      // (11 bytes) extensions are sub-blocks like the rest.
      return SkipSubBlocks();
    case kGraphicControlLabel: {
      // Size byte 4, packed (bit 0: transparency), delay, transparent index,
      // terminator. Delay and disposal do not matter for one image.
      if (in_.remaining() < 6) return Fail(CodecError::Truncated);
      const uint8_t* b = in_.current();
      if (b[0] >= 4) {
        reader_.hasTransparency = (b[1] & 1) != 0;
        reader_.transparentIndex = b[4];
      }
      return SkipSubBlocks();
    }
    default:
      return Fail(CodecError::BadHeader);
  }
}

bool GifParser::JoinSubBlocks() {
  // First pass: measure (and check every sub-block lies inside the file);
  // second pass: copy.
  const size_t start = in_.position();
  size_t total = 0;
  for (;;) {
    uint8_t size = 0;
    if (!in_.ReadU8(size)) return Fail(CodecError::Truncated);
    if (size == 0) break;
    if (!in_.Skip(size)) return Fail(CodecError::Truncated);
    total += size;
  }
  if (total == 0) return Fail(CodecError::Truncated);  // an image without data
  if (!reader_.lzwData.Allocate(total)) return Fail(CodecError::OutOfMemory);
  const uint8_t* p = in_.data() + start;
  uint8_t* out = reader_.lzwData.data();
  for (size_t size = *p++; size != 0; size = *p++) {
    std::memcpy(out, p, size);
    out += size;
    p += size;
  }
  reader_.lzwBytes = total;
  return true;
}

bool GifParser::ReadImage() {
  GifReader& r = reader_;
  const uint8_t* d = in_.Take(kDescriptorBytes);
  if (d == nullptr) return Fail(CodecError::Truncated);
  r.left = d[0] | (d[1] << 8);
  r.top = d[2] | (d[3] << 8);
  r.width = d[4] | (d[5] << 8);
  r.height = d[6] | (d[7] << 8);
  const uint8_t packed = d[8];
  if (r.left + r.width > r.screenWidth || r.top + r.height > r.screenHeight) {
    return Fail(CodecError::BadDimensions);
  }
  if ((packed & 0x80) != 0) {
    r.hasLocalTable = true;
    r.colourBits = (packed & 7) + 1;
    r.localPalette.fill(0);
    if (!in_.ReadBytes(r.localPalette.data(), size_t{3} << r.colourBits)) {
      return Fail(CodecError::Truncated);
    }
  }
  r.isInterlaced = (packed & 0x40) != 0;
  if (!r.hasLocalTable && !r.hasGlobalTable) return Fail(CodecError::BadHeader);

  uint8_t minCodeSize = 0;
  if (!in_.ReadU8(minCodeSize)) return Fail(CodecError::Truncated);
  if (minCodeSize < 2 || minCodeSize > 8) return Fail(CodecError::BadHeader);
  if (!JoinSubBlocks()) return false;

  if (r.width == 0 || r.height == 0) return Fail(CodecError::BadDimensions);
  const size_t frameBytes = static_cast<size_t>(r.width) * static_cast<size_t>(r.height);
  // The pixels the data can decode to, against the screen this allocates.
  const uint64_t producible = std::min<uint64_t>(LzwMaxOutput(r.lzwBytes, minCodeSize + 1), frameBytes);
  if (!DataCanFill(producible, static_cast<uint64_t>(r.screenWidth) *
                                   static_cast<uint64_t>(r.screenHeight))) {
    return Fail(CodecError::DataTooSmall);
  }
  if (!r.frame.Allocate(frameBytes)) return Fail(CodecError::OutOfMemory);
  // Pixels the stream does not reach stay 0.
  const LzwDecodeResult decoded =
      DecodeLzw(r.lzwData.data(), r.lzwBytes, minCodeSize, r.table, r.frame.data(), frameBytes);
  if (!Compose()) return false;
  r.image.isPartial = decoded.pixels < frameBytes;
  return true;
}

bool GifParser::Compose() {
  GifReader& r = reader_;
  ImageBuffer& image = r.image;
  const size_t stride = RowStride(r.screenWidth, 8);
  const size_t screenWidth = static_cast<size_t>(r.screenWidth);
  const size_t screenHeight = static_cast<size_t>(r.screenHeight);
  if (!image.pixels.Allocate(stride * screenHeight)) return Fail(CodecError::OutOfMemory);
  SetImageHeader(image, r.screenWidth, r.screenHeight, 8, 0, 0);

  std::array<uint8_t, 768> active = r.hasLocalTable ? r.localPalette : r.globalPalette;
  if (r.hasTransparency) {
    uint8_t* entry = &active[3 * static_cast<size_t>(r.transparentIndex)];
    if (r.hasGlobalTable) {
      std::memcpy(entry, &r.globalPalette[3 * static_cast<size_t>(r.backgroundIndex)], 3);
    } else {
      std::memset(entry, 255, 3);
    }
  }
  for (size_t i = 0; i < 256; ++i) {
    image.palette[i] = RgbQuad{active[3 * i + 2], active[3 * i + 1], active[3 * i], 0};
  }

  // Screen row y (0 at the top) lives at memory row screenHeight − 1 − y.
  uint8_t* pixels = image.pixels.data();
  const auto background = static_cast<uint8_t>(r.backgroundIndex);
  const size_t left = static_cast<size_t>(r.left);
  const size_t top = static_cast<size_t>(r.top);
  const size_t width = static_cast<size_t>(r.width);
  const size_t height = static_cast<size_t>(r.height);
  for (size_t y = 0; y < screenHeight; ++y) {
    uint8_t* row = pixels + (screenHeight - 1 - y) * stride;
    if (y < top || y >= top + height) {
      std::memset(row, background, screenWidth);
    } else {
      std::memset(row, background, left);
      std::memset(row + left + width, background, screenWidth - left - width);
    }
  }
  // Frame rows in file order; interlaced images come in four passes:
  // every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
  static constexpr size_t kPassStart[4] = {0, 4, 2, 1};
  static constexpr size_t kPassStep[4] = {8, 8, 4, 2};
  const uint8_t* frameRow = r.frame.data();
  const int passes = r.isInterlaced ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const size_t first = r.isInterlaced ? kPassStart[pass] : 0;
    const size_t step = r.isInterlaced ? kPassStep[pass] : 1;
    for (size_t i = first; i < height; i += step, frameRow += width) {
      const size_t y = top + i;
      std::memcpy(pixels + (screenHeight - 1 - y) * stride + left, frameRow, width);
    }
  }

  image.sourceFormat = FormatCode::Gif;
  image.sourceBitCount = r.colourBits;
  return true;
}

void ResetReader(GifReader& reader) {
  reader.image.Reset();
  reader.screenWidth = 0;
  reader.screenHeight = 0;
  reader.hasGlobalTable = false;
  reader.backgroundIndex = 0;
  reader.colourBits = 0;
  reader.globalPalette.fill(0);
  reader.localPalette.fill(0);
  reader.left = 0;
  reader.top = 0;
  reader.width = 0;
  reader.height = 0;
  reader.hasLocalTable = false;
  reader.isInterlaced = false;
  reader.hasTransparency = false;
  reader.transparentIndex = 0;
  reader.lzwBytes = 0;
  reader.error = CodecError::None;
}

ImageBuffer* FinishRead(GifReader& reader, bool ok) {
  reader.lzwData.Release();
  reader.lzwBytes = 0;
  reader.frame.Release();
  if (ok) return &reader.image;
  reader.image.Reset();
  return nullptr;
}

}  // namespace

ImageBuffer* ReadGif(GifReader& reader, std::u16string_view path) {
  ResetReader(reader);
  const bool ok = ParseMappedFile(reader, path, [&reader](const uint8_t* data, uint32_t size) {
    return GifParser(reader, data, size).Parse();
  });
  return FinishRead(reader, ok);
}

ImageBuffer* ReadGifMemory(GifReader& reader, const uint8_t* data, size_t size) {
  ResetReader(reader);
  GifParser parser(reader, data, data != nullptr ? size : 0);
  return FinishRead(reader, parser.Parse());
}

}  // namespace pixlane
