// Netpbm header and raster decoding. Every read is checked against the end
// of the data; numbers saturate instead of overflowing; sizes are multiplied
// with overflow checks. No exceptions: the code runs behind a C boundary.
#include "netpbm_decode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/byte_reader.h"

namespace pixlane::netpbm {
namespace {

// Largest value a number token keeps; anything above it is "too large".
constexpr uint32_t kNumberCap = 1u << 30;
constexpr uint32_t kMaxMaxval = 65535;

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

enum class Token { Number, End, Bad };

// A read position over the file's bytes.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size, size_t position) : data_(data), size_(size), pos_(position) {}

  size_t position() const { return pos_; }
  bool AtEnd() const { return pos_ >= size_; }
  uint8_t Peek() const { return data_[pos_]; }
  void Advance() { ++pos_; }

  // Skips white space and "#" comments (to the end of their line). False
  // when the data ends first.
  bool SkipSpace() {
    while (pos_ < size_) {
      const uint8_t c = data_[pos_];
      if (IsSpace(c)) {
        ++pos_;
      } else if (c == '#') {
        SkipComment();
      } else {
        return true;
      }
    }
    return false;
  }

  void SkipComment() {
    while (pos_ < size_ && data_[pos_] != '\n' && data_[pos_] != '\r') ++pos_;
  }

  // An unsigned decimal number after white space, saturating at kNumberCap.
  // End when the data ends before or inside it (more digits may follow in
  // the file); Bad when it is not a number or runs into another character.
  Token ReadNumber(uint32_t& value) {
    if (!SkipSpace()) return Token::End;
    if (!IsDigit(data_[pos_])) return Token::Bad;
    uint64_t v = 0;
    while (pos_ < size_ && IsDigit(data_[pos_])) {
      v = std::min<uint64_t>(v * 10 + (data_[pos_] - '0'), kNumberCap);
      ++pos_;
    }
    if (pos_ == size_) return Token::End;
    if (!IsSpace(data_[pos_]) && data_[pos_] != '#') return Token::Bad;
    value = static_cast<uint32_t>(v);
    return Token::Number;
  }

  // A sample of a plain raster: like ReadNumber, but the data may end right
  // after it. False at the end or at anything that is not a number.
  bool ReadSample(uint32_t& value) {
    if (!SkipSpace() || !IsDigit(data_[pos_])) return false;
    uint64_t v = 0;
    while (pos_ < size_ && IsDigit(data_[pos_])) {
      v = std::min<uint64_t>(v * 10 + (data_[pos_] - '0'), kNumberCap);
      ++pos_;
    }
    value = static_cast<uint32_t>(v);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_;
};

// Samples to 0..255: a table over 0..maxval (values above it are clamped
// before the look-up), or the division when the table cannot be had.
class Scaler {
 public:
  explicit Scaler(uint32_t maxval) : maxval_(maxval), table_(new (std::nothrow) uint8_t[maxval + 1]) {
    if (table_) {
      for (uint32_t v = 0; v <= maxval; ++v) table_[v] = Compute(v);
    }
  }
  uint8_t operator()(uint32_t v) const {
    v = std::min(v, maxval_);
    return table_ ? table_[v] : Compute(v);
  }

 private:
  uint8_t Compute(uint32_t v) const { return static_cast<uint8_t>((v * 255u + maxval_ / 2) / maxval_); }

  uint32_t maxval_;
  std::unique_ptr<uint8_t[]> table_;
};

uint8_t* RowAt(uint8_t* rows, const Header& header, const Layout& layout, int32_t y) {
  // Row y of the file (top first) is row height - 1 - y of the bitmap.
  return rows + static_cast<size_t>(header.height - 1 - y) * layout.stride;
}

bool Report(Progress progress, void* context, int32_t done, int32_t total) {
  return progress == nullptr || progress(done, total, context);
}

size_t SamplesPerPixel(const Header& header) { return header.kind == Kind::Pixmap ? 3 : 1; }

// Stores one pixel's scaled samples (gray, or red, green, blue).
void PutPixel(uint8_t* row, const Header& header, int32_t x, const uint8_t* samples) {
  if (header.kind == Kind::Pixmap) {
    uint8_t* p = row + 3 * static_cast<size_t>(x);
    p[0] = samples[2];
    p[1] = samples[1];
    p[2] = samples[0];
  } else {
    row[x] = samples[0];
  }
}

Error DecodeRawBitmap(const uint8_t* data, size_t size, const Header& header, const Layout& layout, uint8_t* rows,
                      Progress progress, void* context) {
  const size_t rowBytes = (static_cast<size_t>(header.width) + 7) / 8;
  const uint8_t lastMask = static_cast<uint8_t>(0xFF << ((8 - header.width % 8) % 8));
  size_t position = header.rasterOffset;
  for (int32_t y = 0; y < header.height && position < size; ++y) {
    const size_t n = std::min(rowBytes, size - position);
    uint8_t* row = RowAt(rows, header, layout, y);
    std::memcpy(row, data + position, n);
    // The bits past the last pixel are the file's padding: keep them clear.
    if (n == rowBytes) row[rowBytes - 1] &= lastMask;
    position += n;
    if (!Report(progress, context, y + 1, header.height)) return Error::Cancelled;
  }
  return Error::None;
}

Error DecodeRawSamples(const uint8_t* data, size_t size, const Header& header, const Layout& layout, uint8_t* rows,
                       Progress progress, void* context) {
  const Scaler scale(header.maxval);
  const size_t sampleBytes = header.maxval > 255 ? 2 : 1;
  const size_t perPixel = SamplesPerPixel(header);
  const size_t pixelBytes = sampleBytes * perPixel;
  size_t position = header.rasterOffset;
  for (int32_t y = 0; y < header.height; ++y) {
    uint8_t* row = RowAt(rows, header, layout, y);
    for (int32_t x = 0; x < header.width; ++x) {
      if (size - position < pixelBytes) return Error::None;  // the rest stays zero
      uint8_t samples[3] = {};
      for (size_t s = 0; s < perPixel; ++s) {
        const uint8_t* p = data + position + s * sampleBytes;
        samples[s] = scale(sampleBytes == 2 ? static_cast<uint32_t>((p[0] << 8) | p[1]) : p[0]);
      }
      PutPixel(row, header, x, samples);
      position += pixelBytes;
    }
    if (!Report(progress, context, y + 1, header.height)) return Error::Cancelled;
  }
  return Error::None;
}

Error DecodePlain(const uint8_t* data, size_t size, const Header& header, const Layout& layout, uint8_t* rows,
                  Progress progress, void* context, bool& anySample) {
  Cursor cursor(data, size, header.rasterOffset);
  const Scaler scale(header.maxval);
  const size_t perPixel = SamplesPerPixel(header);
  for (int32_t y = 0; y < header.height; ++y) {
    uint8_t* row = RowAt(rows, header, layout, y);
    for (int32_t x = 0; x < header.width; ++x) {
      if (header.kind == Kind::Bitmap) {
        // One character per pixel; white space between them is optional.
        if (!cursor.SkipSpace()) return Error::None;
        const uint8_t c = cursor.Peek();
        if (c != '0' && c != '1') return Error::None;
        cursor.Advance();
        if (c == '1') row[x / 8] = static_cast<uint8_t>(row[x / 8] | (0x80 >> (x % 8)));
      } else {
        uint8_t samples[3] = {};
        for (size_t s = 0; s < perPixel; ++s) {
          uint32_t value = 0;
          if (!cursor.ReadSample(value)) return Error::None;
          samples[s] = scale(value);
        }
        PutPixel(row, header, x, samples);
      }
      anySample = true;
    }
    if (!Report(progress, context, y + 1, header.height)) return Error::Cancelled;
  }
  return Error::None;
}

}  // namespace

Error ParseHeader(const uint8_t* data, size_t size, Header& header) {
  header = Header{};
  if (data == nullptr || size == 0 || data[0] != 'P') return Error::NotNetpbm;
  if (size < 2) return Error::Truncated;
  if (data[1] < '1' || data[1] > '6') return Error::NotNetpbm;
  if (size < 3) return Error::Truncated;
  if (!IsSpace(data[2]) && data[2] != '#') return Error::NotNetpbm;
  const int type = data[1] - '0';
  header.plain = type <= 3;
  header.kind = static_cast<Kind>((type - 1) % 3);

  Cursor cursor(data, size, 2);
  uint32_t values[3] = {0, 0, 1};
  const int count = header.kind == Kind::Bitmap ? 2 : 3;
  for (int i = 0; i < count; ++i) {
    const Token token = cursor.ReadNumber(values[i]);
    if (token == Token::End) return Error::Truncated;
    if (token == Token::Bad) return Error::BadHeader;
  }
  if (values[0] < 1 || values[0] > kMaxDimension || values[1] < 1 || values[1] > kMaxDimension) {
    return Error::BadDimensions;
  }
  if (values[2] < 1 || values[2] > kMaxMaxval) return Error::BadHeader;
  header.width = static_cast<int32_t>(values[0]);
  header.height = static_cast<int32_t>(values[1]);
  header.maxval = values[2];
  // One white space character ends the header (a comment may come first).
  if (cursor.Peek() == '#') cursor.SkipComment();
  if (cursor.AtEnd()) return Error::Truncated;
  header.rasterOffset = cursor.position() + 1;
  return Error::None;
}

bool LooksLikeNetpbm(const uint8_t* data, size_t size) {
  Header header;
  const Error error = ParseHeader(data, size, header);
  return error == Error::None || (error == Error::Truncated && size >= 3);
}

bool ComputeLayout(const Header& header, Layout& layout) {
  layout = Layout{};
  if (header.width < 1 || header.width > kMaxDimension || header.height < 1 || header.height > kMaxDimension) {
    return false;
  }
  const size_t width = static_cast<size_t>(header.width);
  size_t rowBytes = 0;
  switch (header.kind) {
    case Kind::Bitmap:
      layout.bitCount = 1;
      layout.paletteEntries = 2;
      rowBytes = (width + 7) / 8;
      break;
    case Kind::Graymap:
      layout.bitCount = 8;
      layout.paletteEntries = 256;
      rowBytes = width;
      break;
    case Kind::Pixmap:
      layout.bitCount = 24;
      layout.paletteEntries = 0;
      if (!CheckedMul(width, 3, rowBytes)) return false;
      break;
  }
  if (!CheckedAdd(rowBytes, 3, layout.stride)) return false;
  layout.stride &= ~size_t{3};
  return CheckedMul(layout.stride, static_cast<size_t>(header.height), layout.imageBytes);
}

void WritePalette(const Header& header, uint8_t* palette) {
  if (header.kind == Kind::Bitmap) {
    // PBM: 0 is white, 1 is black; the rows keep the file's bits.
    const uint8_t entries[8] = {255, 255, 255, 0, 0, 0, 0, 0};
    std::memcpy(palette, entries, sizeof entries);
  } else if (header.kind == Kind::Graymap) {
    for (int i = 0; i < 256; ++i) {
      uint8_t* entry = palette + 4 * i;
      entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
      entry[3] = 0;
    }
  }
}

Error DecodeRaster(const uint8_t* data, size_t size, const Header& header, const Layout& layout, uint8_t* rows,
                   size_t rowsSize, Progress progress, void* context) {
  if (rows == nullptr || rowsSize < layout.imageBytes || layout.imageBytes == 0) return Error::BadHeader;
  if (header.rasterOffset >= size) return Error::Truncated;
  if (header.plain) {
    bool anySample = false;
    const Error error = DecodePlain(data, size, header, layout, rows, progress, context, anySample);
    return error == Error::None && !anySample ? Error::Truncated : error;
  }
  if (header.kind == Kind::Bitmap) return DecodeRawBitmap(data, size, header, layout, rows, progress, context);
  return DecodeRawSamples(data, size, header, layout, rows, progress, context);
}

int32_t StoredBitCount(const Header& header) {
  if (header.kind == Kind::Bitmap) return 1;
  const int32_t sample = header.maxval > 255 ? 16 : 8;
  return header.kind == Kind::Graymap ? sample : 3 * sample;
}

}  // namespace pixlane::netpbm
