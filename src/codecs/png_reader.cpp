// PNG reader: one parser over a whole file in memory (a mapping or a caller's
// buffer). Chunks are walked once; the first IDAT run is inflated there, one
// filtered row per inflate call into two row buffers, each row reconstructed
// and converted in one pass by a routine chosen once per file. Gamma comes
// after all rows, then transparency is flattened onto white. Every length and
// size product is checked before use; rows the stream does not deliver stay
// zero.
#include "codecs/png_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#include "codecs/codec_support.h"
#include "codecs/data_budget.h"
#include "codecs/png_format.h"
#include "platform/byte_reader.h"

namespace pixlane {
namespace {

constexpr size_t kMinFileBytes = 33;  // signature, IHDR and one chunk header
constexpr uint32_t kIhdrLength = 13;
// Zero bytes in front of each row's data, so that the left and upper-left
// neighbours of the first pixel read as 0 for any filter distance (up to 8).
// The filter type byte is inflated into the last of them and then cleared.
constexpr size_t kRowPad = 16;

uint16_t LoadU16BE(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// --- Row routines ----------------------------------------------------------

// Everything one row routine needs. `cur` points at the row's first data
// byte (after the filter byte), `prev` at the previous row's.
struct RowJob {
  uint8_t* cur = nullptr;
  const uint8_t* prev = nullptr;
  // Pixels in the row; for packed depths the whole bytes before the last.
  size_t units = 0;
  uint32_t lastCount = 0;  // packed depths: pixels in the last byte
  uint8_t* out = nullptr;  // first output pixel
  size_t outStep = 0;      // bytes from one output pixel to the next
  uint8_t* alpha = nullptr;
  size_t alphaStep = 0;
  const uint8_t* key = nullptr;  // transparent sample bytes, as in the file
};

using RowRoutine = void (*)(const RowJob&);

// Undoes filter F for one byte: x the filtered byte, a left, b up, c upper-left.
template <int F>
inline uint8_t Unfilter(uint8_t x, uint8_t a, uint8_t b, uint8_t c) {
  if constexpr (F == 0) {
    (void)a, (void)b, (void)c;
    return x;
  } else if constexpr (F == 1) {
    (void)b, (void)c;
    return static_cast<uint8_t>(x + a);
  } else if constexpr (F == 2) {
    (void)a, (void)c;
    return static_cast<uint8_t>(x + b);
  } else if constexpr (F == 3) {
    (void)c;
    return static_cast<uint8_t>(x + ((a + b) >> 1));
  } else {
    return static_cast<uint8_t>(x + png::PaethPredictor(a, b, c));
  }
}

// Pixel formats of the filtered stream: the filter distance, whether the
// format writes the alpha plane, and the conversion of one reconstructed
// pixel (`px`, as in the file) into the output.
struct Copy8 {  // gray or palette index, depth 8
  static constexpr int kDistance = 1;
  static constexpr bool kAlpha = false;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t*, const uint8_t*) { out[0] = px[0]; }
};
struct GrayAlpha8 {
  static constexpr int kDistance = 2;
  static constexpr bool kAlpha = true;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t* alpha, const uint8_t*) {
    out[0] = px[0];
    alpha[0] = px[1];
  }
};
struct Gray16 {
  static constexpr int kDistance = 2;
  static constexpr bool kAlpha = false;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t*, const uint8_t*) { out[0] = px[0]; }
};
// Gray 16 with a tRNS value: the whole sample is compared, so only exact
// matches become transparent.
struct Gray16Keyed {
  static constexpr int kDistance = 2;
  static constexpr bool kAlpha = true;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t* alpha, const uint8_t* key) {
    out[0] = px[0];
    alpha[0] = (px[0] == key[0] && px[1] == key[1]) ? 0 : 255;
  }
};
struct GrayAlpha16 {
  static constexpr int kDistance = 4;
  static constexpr bool kAlpha = true;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t* alpha, const uint8_t*) {
    out[0] = px[0];
    alpha[0] = px[2];
  }
};
struct Rgb8 {
  static constexpr int kDistance = 3;
  static constexpr bool kAlpha = false;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t*, const uint8_t*) {
    out[0] = px[2];
    out[1] = px[1];
    out[2] = px[0];
  }
};
struct Rgb8Keyed {
  static constexpr int kDistance = 3;
  static constexpr bool kAlpha = true;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t* alpha, const uint8_t* key) {
    out[0] = px[2];
    out[1] = px[1];
    out[2] = px[0];
    alpha[0] = (px[0] == key[0] && px[1] == key[1] && px[2] == key[2]) ? 0 : 255;
  }
};
struct Rgba8 {
  static constexpr int kDistance = 4;
  static constexpr bool kAlpha = true;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t* alpha, const uint8_t*) {
    out[0] = px[2];
    out[1] = px[1];
    out[2] = px[0];
    alpha[0] = px[3];
  }
};
struct Rgb16 {
  static constexpr int kDistance = 6;
  static constexpr bool kAlpha = false;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t*, const uint8_t*) {
    out[0] = px[4];
    out[1] = px[2];
    out[2] = px[0];
  }
};
struct Rgb16Keyed {
  static constexpr int kDistance = 6;
  static constexpr bool kAlpha = true;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t* alpha, const uint8_t* key) {
    out[0] = px[4];
    out[1] = px[2];
    out[2] = px[0];
    alpha[0] = std::memcmp(px, key, 6) == 0 ? 0 : 255;
  }
};
struct Rgba16 {
  static constexpr int kDistance = 8;
  static constexpr bool kAlpha = true;
  static void Emit(const uint8_t* px, uint8_t* out, uint8_t* alpha, const uint8_t*) {
    out[0] = px[4];
    out[1] = px[2];
    out[2] = px[0];
    alpha[0] = px[6];
  }
};

template <int F, class Format>
void DecodeRow(const RowJob& job) {
  constexpr int kD = Format::kDistance;
  uint8_t* cur = job.cur;
  const uint8_t* prev = job.prev;
  uint8_t* out = job.out;
  uint8_t* alpha = job.alpha;
  for (size_t n = job.units; n != 0; --n) {
    if constexpr (F != 0) {
      for (int k = 0; k < kD; ++k) cur[k] = Unfilter<F>(cur[k], cur[k - kD], prev[k], prev[k - kD]);
    }
    Format::Emit(cur, out, alpha, job.key);
    cur += kD;
    prev += kD;
    out += job.outStep;
    if constexpr (Format::kAlpha) alpha += job.alphaStep;
  }
}

// Depths 1, 2 and 4: one index per output byte, most significant bits first.
template <int kBits>
inline void EmitPacked(uint8_t byte, uint32_t count, uint8_t*& out, size_t step) {
  constexpr uint32_t kMask = (1u << kBits) - 1;
  for (uint32_t j = 0; j < count; ++j) {
    *out = static_cast<uint8_t>((byte >> (8 - kBits * static_cast<int>(j + 1))) & kMask);
    out += step;
  }
}

template <int F, int kBits>
void DecodePackedRow(const RowJob& job) {
  constexpr uint32_t kPerByte = 8 / kBits;
  uint8_t* cur = job.cur;
  const uint8_t* prev = job.prev;
  uint8_t* out = job.out;
  const auto units = static_cast<ptrdiff_t>(job.units);
  for (ptrdiff_t i = 0; i <= units; ++i) {
    if constexpr (F != 0) cur[i] = Unfilter<F>(cur[i], cur[i - 1], prev[i], prev[i - 1]);
    EmitPacked<kBits>(cur[i], i < units ? kPerByte : job.lastCount, out, job.outStep);
  }
  (void)prev;
}

using RoutineSet = std::array<RowRoutine, 5>;

template <class Format>
constexpr RoutineSet kRoutines = {DecodeRow<0, Format>, DecodeRow<1, Format>, DecodeRow<2, Format>,
                                  DecodeRow<3, Format>, DecodeRow<4, Format>};
template <int kBits>
constexpr RoutineSet kPackedRoutines = {DecodePackedRow<0, kBits>, DecodePackedRow<1, kBits>,
                                        DecodePackedRow<2, kBits>, DecodePackedRow<3, kBits>,
                                        DecodePackedRow<4, kBits>};

// --- Inflate ---------------------------------------------------------------

// An inflate stream over one IDAT run, giving out one filtered row per call.
class RowInflater {
 public:
  enum class Row { More, Last, None };

  RowInflater() = default;
  ~RowInflater() {
    if (initialised_) inflateEnd(&stream_);
  }
  RowInflater(const RowInflater&) = delete;
  RowInflater& operator=(const RowInflater&) = delete;

  bool Init(const uint8_t* data, size_t size, bool verifyChecksum) {
    stream_.zalloc = png::ZeroedAlloc;
    stream_.zfree = png::ZeroedFree;
    stream_.opaque = nullptr;
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    if (inflateInit2(&stream_, 15) != Z_OK) return false;
    initialised_ = true;
    if (!verifyChecksum && inflateValidate(&stream_, 0) != Z_OK) return false;
    next_ = data;
    remaining_ = size;
    return true;
  }

  // Inflates exactly `bytes` bytes into `row`. More: a whole row and the
  // stream goes on; Last: a whole row, but the stream ended or broke after
  // it; None: no whole row (end of data, damaged stream).
  Row Next(uint8_t* row, size_t bytes) {
    stream_.next_out = row;
    stream_.avail_out = static_cast<uInt>(bytes);
    for (;;) {
      if (stream_.avail_in == 0 && remaining_ > 0) {
        const size_t piece = std::min<size_t>(remaining_, std::numeric_limits<uInt>::max());
        // zlib's interface is not const-correct; it never writes the input.
        stream_.next_in = const_cast<Bytef*>(next_);
        stream_.avail_in = static_cast<uInt>(piece);
        next_ += piece;
        remaining_ -= piece;
      }
      const int result = inflate(&stream_, Z_NO_FLUSH);
      if (stream_.avail_out == 0) return result == Z_OK ? Row::More : Row::Last;
      if (result != Z_OK) return Row::None;
      if (stream_.avail_in == 0 && remaining_ == 0) return Row::None;
    }
  }

 private:
  z_stream stream_{};
  bool initialised_ = false;
  const uint8_t* next_ = nullptr;
  size_t remaining_ = 0;
};

// --- Parser ----------------------------------------------------------------

const BlendTable& BuiltInBlendTable() {
  static const BlendTable table = [] {
    BlendTable t{};
    BuildBlendTable(t);
    return t;
  }();
  return table;
}

class PngParser {
 public:
  PngParser(PngReader& reader, const uint8_t* data, size_t size, bool verifyChecksums)
      : reader_(reader), image_(reader.image), data_(data), size_(data ? size : 0),
        verify_(verifyChecksums) {}

  bool Parse();

 private:
  struct Chunk {
    uint32_t length = 0;
    uint32_t type = 0;
    const uint8_t* body = nullptr;  // data; the CRC follows it
    size_t offset = 0;              // of the length field
    size_t next = 0;                // offset of the following chunk
  };

  bool Fail(CodecError error) {
    reader_.error = error;
    return false;
  }
  bool CrcMatches(const Chunk& chunk) const {
    return !verify_ ||
           png::ChunkCrc(chunk.type, chunk.body, chunk.length) == png::LoadU32BE(chunk.body + chunk.length);
  }
  // Reads the chunk header at `offset`: false when the header or the chunk
  // does not fit in the file, or the length is 2^31 or more.
  bool ReadChunk(size_t offset, Chunk& chunk) {
    if (offset > size_ || size_ - offset < 8) return Fail(CodecError::Truncated);
    chunk.length = png::LoadU32BE(data_ + offset);
    chunk.type = png::LoadU32BE(data_ + offset + 4);
    if (chunk.length > png::kMaxChunkLength) return Fail(CodecError::BadHeader);
    if (size_ - offset - 8 < size_t{chunk.length} + 4) return Fail(CodecError::Truncated);
    chunk.body = data_ + offset + 8;
    chunk.offset = offset;
    chunk.next = offset + 12 + chunk.length;
    return true;
  }

  bool ReadHeader();
  bool ChooseFormat();
  bool ReadPalette(const Chunk& chunk);
  void ReadGamma(const Chunk& chunk);
  void ReadTransparency(const Chunk& chunk);
  void ReadPhysical(const Chunk& chunk);
  bool ReadImageData(const Chunk& first, size_t& next);
  bool DecodeRows(const uint8_t* input, size_t inputSize);
  void ApplyGamma();
  void Flatten();

  PngReader& reader_;
  ImageBuffer& image_;
  const uint8_t* data_;
  size_t size_;
  bool verify_;

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t depth_ = 0;
  int32_t colour_ = 0;
  bool interlaced_ = false;

  // Chosen from colour type and depth.
  int outBits_ = 8;
  int distance_ = 1;       // filter distance in bytes
  int bytesPerPixel_ = 1;  // of the filtered stream at depths 8 and 16
  bool alphaChannel_ = false;
  RoutineSet routines_{};
  size_t stride_ = 0;

  bool plteSeen_ = false;
  bool idatSeen_ = false;
  bool gammaSeen_ = false;
  bool trnsSeen_ = false;
  bool physSeen_ = false;
  int32_t fileGamma_ = 0;
  int32_t paletteCount_ = 0;
  std::array<uint8_t, 256> alphaTable_{};
  uint16_t trnsSamples_[3] = {0, 0, 0};  // gray, or red, green, blue
  int32_t xPerMetre_ = 0;
  int32_t yPerMetre_ = 0;

  // Transparency by key colour through the alpha plane (16-bit gray and
  // truecolour tRNS), with the key's bytes as the file stores them.
  bool keyed_ = false;
  uint8_t key_[6] = {0, 0, 0, 0, 0, 0};

  PixelBlock alphaPlane_;  // W × H, bottom row first
  PixelBlock idatCopy_;    // the joined data of a run of several IDATs
  int32_t rowsNeeded_ = 0; // filtered rows of a complete image (all passes)
};

bool PngParser::Parse() {
  image_.fileSize =
      static_cast<uint32_t>(std::min<size_t>(size_, std::numeric_limits<uint32_t>::max()));
  if (!ReadHeader() || !ChooseFormat()) return false;
  alphaTable_.fill(255);

  size_t offset = kMinFileBytes;
  for (;;) {
    Chunk chunk;
    if (!ReadChunk(offset, chunk)) return false;
    offset = chunk.next;
    switch (chunk.type) {
      case png::kIHDR:
        return Fail(CodecError::BadHeader);
      case png::kPLTE:
        if (!ReadPalette(chunk)) return false;
        break;
      case png::kIDAT:
        if (!ReadImageData(chunk, offset)) return false;
        break;
      case png::kIEND:
        if (!CrcMatches(chunk)) return Fail(CodecError::BadChecksum);
        if (!idatSeen_ || (colour_ == 3 && !plteSeen_)) return Fail(CodecError::BadHeader);
        ApplyGamma();
        Flatten();
        SetImageHeader(image_, width_, height_, outBits_, xPerMetre_, yPerMetre_);
        image_.sourceFormat = FormatCode::Png;
        image_.isPartial = reader_.rowsDecoded < rowsNeeded_;
        reader_.paletteCount = paletteCount_;
        reader_.fileGamma = fileGamma_;
        reader_.transparency = trnsSeen_ || alphaChannel_;
        return true;
      case png::kGAMA:
        ReadGamma(chunk);
        break;
      case png::kTRNS:
        ReadTransparency(chunk);
        break;
      case png::kPHYS:
        ReadPhysical(chunk);
        break;
      default:
        // bKGD and tEXt have no effect (the background is always white);
        // every other chunk, critical or not, is skipped unchecked.
        break;
    }
  }
}

bool PngParser::ReadHeader() {
  if (size_ < kMinFileBytes) return Fail(CodecError::Truncated);
  if (std::memcmp(data_, png::kSignature, sizeof png::kSignature) != 0) {
    return Fail(CodecError::BadHeader);
  }
  Chunk ihdr;
  if (!ReadChunk(8, ihdr)) return false;
  if (ihdr.type != png::kIHDR || ihdr.length != kIhdrLength) return Fail(CodecError::BadHeader);
  if (!CrcMatches(ihdr)) return Fail(CodecError::BadChecksum);
  const uint8_t* h = ihdr.body;
  const uint32_t width = png::LoadU32BE(h);
  const uint32_t height = png::LoadU32BE(h + 4);
  if (width < 1 || width > static_cast<uint32_t>(kMaxDimension) || height < 1 ||
      height > static_cast<uint32_t>(kMaxDimension)) {
    return Fail(CodecError::BadDimensions);
  }
  width_ = static_cast<int32_t>(width);
  height_ = static_cast<int32_t>(height);
  depth_ = h[8];
  colour_ = h[9];
  if (h[10] != 0) return Fail(CodecError::UnsupportedCompression);
  if (h[11] != 0 || h[12] > 1) return Fail(CodecError::BadHeader);
  interlaced_ = h[12] == 1;
  reader_.converter.width = width_;
  reader_.converter.height = height_;
  reader_.bitDepth = depth_;
  reader_.colourType = colour_;
  reader_.interlaced = interlaced_;
  return true;
}

bool PngParser::ChooseFormat() {
  const bool lowDepth = depth_ == 1 || depth_ == 2 || depth_ == 4;
  bool valid = true;
  switch (colour_) {
    case 0:
    case 3:
      if (lowDepth) {
        routines_ = depth_ == 1 ? kPackedRoutines<1>
                    : depth_ == 2 ? kPackedRoutines<2>
                                  : kPackedRoutines<4>;
      } else if (depth_ == 8) {
        routines_ = kRoutines<Copy8>;
        bytesPerPixel_ = 1;
      } else if (depth_ == 16 && colour_ == 0) {
        routines_ = kRoutines<Gray16>;
        bytesPerPixel_ = 2;
      } else {
        valid = false;
      }
      break;
    case 4:
      if (depth_ == 8) {
        routines_ = kRoutines<GrayAlpha8>;
        bytesPerPixel_ = 2;
      } else if (depth_ == 16) {
        routines_ = kRoutines<GrayAlpha16>;
        bytesPerPixel_ = 4;
      } else {
        valid = false;
      }
      alphaChannel_ = true;
      break;
    case 2:
    case 6:
      outBits_ = 24;
      if (depth_ == 8) {
        routines_ = colour_ == 2 ? kRoutines<Rgb8> : kRoutines<Rgba8>;
        bytesPerPixel_ = colour_ == 2 ? 3 : 4;
      } else if (depth_ == 16) {
        routines_ = colour_ == 2 ? kRoutines<Rgb16> : kRoutines<Rgba16>;
        bytesPerPixel_ = colour_ == 2 ? 6 : 8;
      } else {
        valid = false;
      }
      alphaChannel_ = colour_ == 6;
      break;
    default:
      valid = false;
      break;
  }
  if (!valid) return Fail(CodecError::UnsupportedDepth);
  distance_ = lowDepth ? 1 : bytesPerPixel_;
  image_.sourceBitCount = (colour_ == 2 || colour_ == 6) ? depth_ * 3 : depth_;
  stride_ = RowStride(width_, outBits_);

  if (colour_ == 0 || colour_ == 4) {
    // Gray ramp: 2, 4, 16 or 256 levels spread over 0..255.
    const int step = depth_ == 1 ? 255 : depth_ == 2 ? 85 : depth_ == 4 ? 17 : 1;
    for (int k = 0; k * step <= 255; ++k) {
      const auto level = static_cast<uint8_t>(k * step);
      image_.palette[static_cast<size_t>(k)] = RgbQuad{level, level, level, 0};
    }
  }
  return true;
}

bool PngParser::ReadPalette(const Chunk& chunk) {
  if (colour_ != 3) return true;  // a suggested palette: not used, not checked
  if (plteSeen_ || idatSeen_) return Fail(CodecError::BadHeader);
  if (!CrcMatches(chunk)) return Fail(CodecError::BadChecksum);
  plteSeen_ = true;
  const uint32_t entries = std::min<uint32_t>(chunk.length / 3, uint32_t{1} << depth_);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* e = chunk.body + 3 * i;
    image_.palette[i] = RgbQuad{e[2], e[1], e[0], 0};
  }
  paletteCount_ = static_cast<int32_t>(entries);
  return true;
}

void PngParser::ReadGamma(const Chunk& chunk) {
  if (gammaSeen_ || plteSeen_ || idatSeen_ || chunk.length != 4 || !CrcMatches(chunk)) return;
  const uint32_t value = png::LoadU32BE(chunk.body);
  if (value < 1 || value > png::kMaxChunkLength) return;
  gammaSeen_ = true;
  fileGamma_ = static_cast<int32_t>(value);
}

void PngParser::ReadTransparency(const Chunk& chunk) {
  if (trnsSeen_ || idatSeen_ || !CrcMatches(chunk)) return;
  const uint8_t* b = chunk.body;
  if (colour_ == 0 && chunk.length == 2) {
    trnsSamples_[0] = LoadU16BE(b);
  } else if (colour_ == 2 && chunk.length == 6) {
    for (int i = 0; i < 3; ++i) trnsSamples_[i] = LoadU16BE(b + 2 * i);
  } else if (colour_ == 3 && plteSeen_ && chunk.length <= static_cast<uint32_t>(paletteCount_)) {
    std::memcpy(alphaTable_.data(), b, chunk.length);
  } else {
    return;
  }
  trnsSeen_ = true;
}

void PngParser::ReadPhysical(const Chunk& chunk) {
  if (physSeen_ || idatSeen_ || chunk.length != 9 || !CrcMatches(chunk)) return;
  if (chunk.body[8] != 1) return;  // unit not the metre
  const uint32_t x = png::LoadU32BE(chunk.body);
  const uint32_t y = png::LoadU32BE(chunk.body + 4);
  if (x > png::kMaxChunkLength || y > png::kMaxChunkLength) return;
  physSeen_ = true;
  xPerMetre_ = static_cast<int32_t>(x);
  yPerMetre_ = static_cast<int32_t>(y);
}

bool PngParser::ReadImageData(const Chunk& first, size_t& next) {
  if (idatSeen_) return Fail(CodecError::BadHeader);  // a second IDAT run
  idatSeen_ = true;

  // The run of directly consecutive IDAT chunks: each whole and checked.
  size_t total = 0;
  size_t count = 0;
  Chunk chunk = first;
  for (;;) {
    if (!CrcMatches(chunk)) return Fail(CodecError::BadChecksum);
    total += chunk.length;  // cannot overflow: every chunk lies inside the file
    ++count;
    next = chunk.next;
    if (size_ - next < 8 || png::LoadU32BE(data_ + next + 4) != png::kIDAT) break;
    if (!ReadChunk(next, chunk)) return false;
  }
  const uint8_t* input = first.body;
  if (count > 1 && total > 0) {
    if (!idatCopy_.Allocate(total)) return Fail(CodecError::OutOfMemory);
    uint8_t* out = idatCopy_.data();
    size_t offset = first.offset;
    for (size_t i = 0; i < count; ++i) {
      Chunk piece;
      ReadChunk(offset, piece);  // checked above
      if (piece.length != 0) std::memcpy(out, piece.body, piece.length);
      out += piece.length;
      offset = piece.next;
    }
    input = idatCopy_.data();
  }
  const bool ok = DecodeRows(input, total);
  idatCopy_.Release();
  return ok;
}

bool PngParser::DecodeRows(const uint8_t* input, size_t inputSize) {
  size_t imageBytes = 0;
  if (!CheckedMul(stride_, static_cast<size_t>(height_), imageBytes)) {
    return Fail(CodecError::SizeOverflow);
  }
  // The filtered rows of a non-interlaced image (interlacing only adds
  // bytes) against what the compressed data can inflate to.
  const uint64_t filteredBytes =
      SaturatingMul(png::PackedRowBytes(width_, depth_, bytesPerPixel_) + 1,
                    static_cast<uint64_t>(height_));
  if (!DataCanFill(DeflateMaxOutput(inputSize), filteredBytes)) {
    return Fail(CodecError::DataTooSmall);
  }
  if (!image_.pixels.Allocate(imageBytes)) return Fail(CodecError::OutOfMemory);

  // A key colour that no sample can hold (beyond the depth) matches nothing.
  if (trnsSeen_ && depth_ >= 8 && (colour_ == 2 || (colour_ == 0 && depth_ == 16))) {
    const int samples = colour_ == 2 ? 3 : 1;
    bool representable = true;
    for (int i = 0; i < samples; ++i) {
      const uint16_t v = trnsSamples_[i];
      if (depth_ == 8) {
        representable &= v <= 255;
        key_[i] = static_cast<uint8_t>(v);
      } else {
        key_[2 * i] = static_cast<uint8_t>(v >> 8);
        key_[2 * i + 1] = static_cast<uint8_t>(v);
      }
    }
    if (representable) {
      keyed_ = true;
      routines_ = colour_ == 0          ? kRoutines<Gray16Keyed>
                  : depth_ == 8         ? kRoutines<Rgb8Keyed>
                                        : kRoutines<Rgb16Keyed>;
    }
  }
  if (alphaChannel_ || keyed_) {
    size_t planeBytes = 0;
    if (!CheckedMul(static_cast<size_t>(width_), static_cast<size_t>(height_), planeBytes)) {
      return Fail(CodecError::SizeOverflow);
    }
    if (!alphaPlane_.Allocate(planeBytes)) return Fail(CodecError::OutOfMemory);
    // Opaque until decoded: rows the stream never delivers stay black.
    std::memset(alphaPlane_.data(), 255, planeBytes);
  }

  const size_t maxRowBytes = png::PackedRowBytes(width_, depth_, bytesPerPixel_) + 1;
  const size_t bufferBytes = kRowPad + maxRowBytes;
  PixelBlock rows;
  if (!rows.Allocate(2 * bufferBytes)) return Fail(CodecError::OutOfMemory);
  uint8_t* cur = rows.data();
  uint8_t* prev = rows.data() + bufferBytes;

  RowInflater inflater;
  if (!inflater.Init(input, inputSize, verify_)) return Fail(CodecError::OutOfMemory);

  const size_t outBytes = static_cast<size_t>(outBits_ / 8);
  const bool packed = depth_ < 8;
  const int passes = interlaced_ ? 7 : 1;
  // Every row of every pass that has pixels: fewer decoded means the image
  // is partial.
  for (int pass = 0; pass < passes; ++pass) {
    const png::Adam7Pass geometry = interlaced_ ? png::kAdam7[pass] : png::Adam7Pass{0, 0, 1, 1};
    if (png::PassExtent(width_, geometry.xOrigin, geometry.xStep) == 0) continue;
    rowsNeeded_ += png::PassExtent(height_, geometry.yOrigin, geometry.yStep);
  }
  for (int pass = 0; pass < passes; ++pass) {
    const png::Adam7Pass geometry = interlaced_ ? png::kAdam7[pass] : png::Adam7Pass{0, 0, 1, 1};
    const int32_t passWidth = png::PassExtent(width_, geometry.xOrigin, geometry.xStep);
    const int32_t passHeight = png::PassExtent(height_, geometry.yOrigin, geometry.yStep);
    if (passWidth == 0 || passHeight == 0) continue;
    const size_t dataBytes = png::PackedRowBytes(passWidth, depth_, bytesPerPixel_);
    reader_.rowsExpected += passHeight;
    std::memset(rows.data(), 0, rows.size());

    RowJob job;
    if (packed) {
      const uint32_t perByte = static_cast<uint32_t>(8 / depth_);
      job.units = dataBytes - 1;
      job.lastCount = static_cast<uint32_t>(passWidth) - static_cast<uint32_t>(job.units) * perByte;
    } else {
      job.units = static_cast<size_t>(passWidth);
    }
    job.outStep = outBytes * static_cast<size_t>(geometry.xStep);
    job.alphaStep = static_cast<size_t>(geometry.xStep);
    job.key = key_;

    for (int32_t j = 0; j < passHeight; ++j) {
      const RowInflater::Row got = inflater.Next(cur + kRowPad - 1, dataBytes + 1);
      if (got == RowInflater::Row::None) return true;  // the rows so far remain
      uint8_t filter = cur[kRowPad - 1];
      cur[kRowPad - 1] = 0;
      if (filter > 4) filter = 0;
      const size_t y = static_cast<size_t>(geometry.yOrigin) +
                       static_cast<size_t>(j) * static_cast<size_t>(geometry.yStep);
      const size_t memoryRow = static_cast<size_t>(height_) - 1 - y;
      job.cur = cur + kRowPad;
      job.prev = prev + kRowPad;
      job.out = image_.pixels.data() + memoryRow * stride_ +
                static_cast<size_t>(geometry.xOrigin) * outBytes;
      job.alpha = alphaPlane_.empty() ? nullptr
                                      : alphaPlane_.data() + memoryRow * static_cast<size_t>(width_) +
                                            static_cast<size_t>(geometry.xOrigin);
      routines_[filter](job);
      ++reader_.rowsDecoded;
      std::swap(cur, prev);
      if (got == RowInflater::Row::Last) return true;
    }
  }
  return true;
}

// g(0) = 0, g(i) = floor(255 × (i / 255)^e + 0.5), e = 1 / (file gamma × display gamma).
void BuildGammaTable(int32_t fileGamma, int32_t displayGamma, uint8_t (&table)[256]) {
  const double exponent = 1.0 / (static_cast<double>(fileGamma) * displayGamma / 100000000.0);
  table[0] = 0;
  for (int i = 1; i < 256; ++i) {
    const double v = std::floor(255.0 * std::pow(i / 255.0, exponent) + 0.5);
    table[i] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
  }
}

void PngParser::ApplyGamma() {
  uint8_t table[256];
  const bool active = gammaSeen_ && reader_.displayGamma != 0;
  if (active) {
    BuildGammaTable(fileGamma_, reader_.displayGamma, table);
  }
  // Gray with an alpha plane: the levels are corrected while flattening,
  // before they are blended, so the ramp stays as it is.
  if (!active || (outBits_ == 8 && !alphaPlane_.empty())) return;
  if (outBits_ == 8) {
    for (RgbQuad& q : image_.palette) {
      q.blue = table[q.blue];
      q.green = table[q.green];
      q.red = table[q.red];
    }
  } else {
    uint8_t* p = image_.pixels.data();
    for (size_t i = 0, n = image_.pixels.size(); i < n; ++i) p[i] = table[p[i]];
  }
}

void PngParser::Flatten() {
  const BlendTable& m = reader_.blendTable != nullptr ? *reader_.blendTable : BuiltInBlendTable();
  // White blended in with weight 255 − a: m(255 − a, 255).
  auto over = [&m](uint32_t v, uint32_t a) -> uint8_t {
    return static_cast<uint8_t>(m[(a << 8) | v] + m[((255 - a) << 8) | 255]);
  };

  if (colour_ == 3 && trnsSeen_) {
    for (size_t i = 0; i < 256; ++i) {
      RgbQuad& q = image_.palette[i];
      const uint32_t a = alphaTable_[i];
      q = RgbQuad{over(q.blue, a), over(q.green, a), over(q.red, a), 0};
    }
    return;
  }
  if (colour_ == 0 && trnsSeen_ && !keyed_) {
    // Depths 1 to 8: the ramp entry of the transparent level turns white,
    // when the level exists at this depth.
    const uint32_t gray = trnsSamples_[0];
    if (depth_ < 16 && gray < (uint32_t{1} << depth_)) image_.palette[gray] = RgbQuad{255, 255, 255, 0};
    return;
  }
  if (alphaPlane_.empty()) return;

  const size_t width = static_cast<size_t>(width_);
  const uint8_t* alpha = alphaPlane_.data();
  uint8_t* rows = image_.pixels.data();
  if (outBits_ == 8) {
    uint8_t gamma[256];
    if (gammaSeen_ && reader_.displayGamma != 0) {
      BuildGammaTable(fileGamma_, reader_.displayGamma, gamma);
    } else {
      for (int i = 0; i < 256; ++i) gamma[i] = static_cast<uint8_t>(i);
    }
    for (int32_t y = 0; y < height_; ++y, rows += stride_, alpha += width) {
      for (size_t x = 0; x < width; ++x) rows[x] = over(gamma[rows[x]], alpha[x]);
    }
    return;
  }
  for (int32_t y = 0; y < height_; ++y, rows += stride_, alpha += width) {
    uint8_t* p = rows;
    for (size_t x = 0; x < width; ++x, p += 3) {
      const uint32_t a = alpha[x];
      if (a == 255) continue;
      p[0] = over(p[0], a);
      p[1] = over(p[1], a);
      p[2] = over(p[2], a);
    }
  }
}

void ResetReader(PngReader& reader) {
  reader.image.Reset();
  reader.bitDepth = 0;
  reader.colourType = 0;
  reader.interlaced = false;
  reader.paletteCount = 0;
  reader.fileGamma = 0;
  reader.transparency = false;
  reader.rowsDecoded = 0;
  reader.rowsExpected = 0;
  reader.error = CodecError::None;
}

ImageBuffer* FinishRead(PngReader& reader, bool ok) {
  if (ok) return &reader.image;
  reader.image.Reset();
  return nullptr;
}

}  // namespace

void BuildBlendTable(BlendTable& table) {
  for (uint32_t x = 0; x < 256; ++x) {
    for (uint32_t y = x; y < 256; ++y) {
      uint32_t v = 0;
      if (x == 0) {
        v = 0;
      } else if (y == 255) {
        v = x;
      } else {
        v = (y * ((65536u * x) / 255u) + 32768u) >> 16;
      }
      table[(x << 8) | y] = static_cast<uint8_t>(v);
      table[(y << 8) | x] = static_cast<uint8_t>(v);
    }
  }
}

ImageBuffer* ReadPng(PngReader& reader, std::u16string_view path) {
  ResetReader(reader);
  reader.file.Release();
  const bool ok = ParseMappedFile(reader, path, [&reader](const uint8_t* data, uint32_t size) {
    return PngParser(reader, data, size, true).Parse();
  });
  return FinishRead(reader, ok);
}

ImageBuffer* ReadPngMemory(PngReader& reader, const uint8_t* data, size_t size,
                           const PngReadOptions& options) {
  ResetReader(reader);
  PngParser parser(reader, data, size, options.verifyChecksums);
  return FinishRead(reader, parser.Parse());
}

}  // namespace pixlane
