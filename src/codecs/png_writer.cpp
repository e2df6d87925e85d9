// PNG writer: prepares the pixels (depth or gray conversion, palette
// compaction), filters every row of every pass into one buffer, compresses
// that buffer with a single deflate call (zlib or libdeflate, by level) and
// only then creates the output and writes signature, IHDR, PLTE, IDAT, tEXt
// and IEND. Buffers are released and the file closed on every path.
#include "codecs/png_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "codecs/png_filters.h"
#include "codecs/png_format.h"
#include "platform/byte_reader.h"
#include "platform/text.h"

namespace pixlane {
namespace {

constexpr int32_t kColourGray = 0;
constexpr int32_t kColourTruecolour = 2;
constexpr int32_t kColourPalette = 3;
constexpr char kCommentKeyword[] = "Comment";  // written with its NUL

// How each compression setting 0-9 is deflated. libdeflate compresses the
// whole buffer in one call; it is used where, on photos and on the PNG test
// images, it is faster than zlib at the setting's level and no larger:
// 1-3 at its own levels 1-3 (1.5 to 3 times as fast, 7-17 % smaller), and 9
// at its level 10, its first near-optimal parser (about half zlib 9's time
// on photos, a third on small images, 3-7 % smaller). zlib keeps 0 (stored)
// and 4-8, where its "filtered" strategy gives smaller output than any
// libdeflate level of the same speed. Figures in docs/PERFORMANCE.md.
struct DeflateChoice {
  bool libdeflate;
  int level;
};
constexpr std::array<DeflateChoice, 10> kDeflateChoices = {{{false, 0},
                                                            {true, 1},
                                                            {true, 2},
                                                            {true, 3},
                                                            {false, 4},
                                                            {false, 5},
                                                            {false, 6},
                                                            {false, 7},
                                                            {false, 8},
                                                            {true, 10}}};

struct FreeLibdeflateCompressor {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using LibdeflateCompressor = std::unique_ptr<libdeflate_compressor, FreeLibdeflateCompressor>;

// Where the chunks go.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const void* data, size_t bytes) = 0;
};

class FileSink final : public ByteSink {
 public:
  explicit FileSink(OutputFile& file) : file_(file) {}
  bool Write(const void* data, size_t bytes) override { return file_.Write(data, bytes); }

 private:
  OutputFile& file_;
};

class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(std::vector<uint8_t>& out) : out_(out) {}
  bool Write(const void* data, size_t bytes) override {
    const auto* p = static_cast<const uint8_t*>(data);
    try {
      out_.insert(out_.end(), p, p + bytes);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

 private:
  std::vector<uint8_t>& out_;
};

bool WriteChunk(ByteSink& sink, uint32_t type, const uint8_t* data, size_t bytes) {
  if (bytes > png::kMaxChunkLength) return false;
  uint8_t head[8];
  png::StoreU32BE(head, static_cast<uint32_t>(bytes));
  png::StoreU32BE(head + 4, type);
  uint8_t crc[4];
  png::StoreU32BE(crc, png::ChunkCrc(type, data, bytes));
  return sink.Write(head, sizeof head) && (bytes == 0 || sink.Write(data, bytes)) &&
         sink.Write(crc, sizeof crc);
}

// The prepared image: rows bottom first as the pixel source of the filters.
struct PreparedRows {
  const uint8_t* pixels = nullptr;
  size_t stride = 0;
  // How a row's bytes are taken: 24-bit BGR pixels, one byte per pixel, or
  // already packed bytes (palette depths 1, 2 and 4 without interlacing).
  enum class Kind { Bgr, Bytes, Packed } kind = Kind::Bytes;
};

// Compacts the first 2^depth palette entries to their distinct colours and
// rewrites every index of the image (rowBytes bytes in each of `height`
// rows of `stride` bytes). Returns the number of entries kept.
int32_t CompactPalette(Palette& palette, int32_t depth, uint8_t* pixels, size_t rowBytes,
                       size_t stride, int32_t height) {
  const int32_t capacity = int32_t{1} << depth;
  Palette kept{};
  int32_t count = 0;
  for (int32_t i = 0; i < capacity; ++i) {
    const RgbQuad& entry = palette[static_cast<size_t>(i)];
    int32_t index = 0;
    while (index < count && !(kept[static_cast<size_t>(index)].blue == entry.blue &&
                              kept[static_cast<size_t>(index)].green == entry.green &&
                              kept[static_cast<size_t>(index)].red == entry.red)) {
      ++index;
    }
    if (index == count) kept[static_cast<size_t>(count++)] = RgbQuad{entry.blue, entry.green, entry.red, 0};
    palette[static_cast<size_t>(i)].reserved = static_cast<uint8_t>(index);
  }
  // A table over whole bytes rewrites every index a byte holds at once.
  std::array<uint8_t, 256> remap{};
  const int perByte = 8 / depth;
  const uint32_t mask = static_cast<uint32_t>(capacity - 1);
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t v = 0;
    for (int k = 0; k < perByte; ++k) {
      const int shift = 8 - depth * (k + 1);
      v |= static_cast<uint32_t>(palette[(b >> shift) & mask].reserved) << shift;
    }
    remap[b] = static_cast<uint8_t>(v);
  }
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = pixels + stride * static_cast<size_t>(y);
    for (size_t x = 0; x < rowBytes; ++x) row[x] = remap[row[x]];
  }
  for (int32_t i = count; i < 256; ++i) kept[static_cast<size_t>(i)] = RgbQuad{};
  palette = kept;
  return count;
}

class PngEncoder {
 public:
  PngEncoder(PngWriter& writer, const RgbQuad* palette, const uint8_t* pixels)
      : writer_(writer), converter_(writer.converter), sourcePalette_(palette),
        sourcePixels_(pixels) {}

  // Everything up to the compressed stream; nothing is written yet.
  bool Prepare();
  bool Emit(ByteSink& sink);

 private:
  bool Fail(CodecError error) {
    writer_.error = error;
    return false;
  }
  bool PreparePixels();
  bool FilterImage();
  void RawRow(int32_t y, int32_t xOrigin, int32_t xStep, int32_t passWidth, uint8_t* raw) const;
  bool Compress();
  bool CompressWithZlib(int level);
  bool CompressWithLibdeflate(int level);

  PngWriter& writer_;
  DepthConverter& converter_;
  const RgbQuad* sourcePalette_;
  const uint8_t* sourcePixels_;

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t depth_ = 8;
  int32_t colour_ = kColourTruecolour;
  int distance_ = 3;
  Palette palette_{};
  int32_t paletteCount_ = 0;
  PreparedRows rows_;
  size_t filteredBytes_ = 0;
  size_t compressedBytes_ = 0;
};

bool PngEncoder::Prepare() {
  const int32_t source = converter_.sourceBitCount;
  const int32_t target = converter_.targetBitCount;
  width_ = converter_.width;
  height_ = converter_.height;
  if (width_ < 1 || width_ > kMaxDimension || height_ < 1 || height_ > kMaxDimension) {
    return Fail(CodecError::BadDimensions);
  }
  if (!(source == 1 || source == 4 || source == 8 || source == 24) ||
      !(target == 1 || target == 2 || target == 4 || target == 8 || target == 24) ||
      (writer_.grayscale && target != 8)) {
    return Fail(CodecError::UnsupportedDepth);
  }
  if (sourcePixels_ == nullptr || (source <= 8 && sourcePalette_ == nullptr)) {
    return Fail(CodecError::BadHeader);
  }
  if (target == 24) {
    colour_ = kColourTruecolour;
    depth_ = 8;
    distance_ = 3;
  } else if (writer_.grayscale) {
    colour_ = kColourGray;
    depth_ = 8;
    distance_ = 1;
  } else {
    colour_ = kColourPalette;
    depth_ = target;
    distance_ = 1;
  }
  writer_.colourType = colour_;
  writer_.bitDepth = depth_;
  if (!PreparePixels()) return false;
  writer_.paletteCount = paletteCount_;
  return FilterImage() && Compress();
}

bool PngEncoder::PreparePixels() {
  const int32_t source = converter_.sourceBitCount;
  // A 24-bit source has no palette; the converter never reads it, but it
  // gets a valid one all the same.
  static const Palette kNoPalette{};
  const RgbQuad* sourcePalette = sourcePalette_ != nullptr ? sourcePalette_ : kNoPalette.data();

  auto convert = [&](bool toGray) -> bool {
    if (!ComputeRowGeometry(converter_)) return Fail(CodecError::BadDimensions);
    size_t bytes = converter_.imageBytes;
    if (toGray && !CheckedMul(static_cast<size_t>(width_), static_cast<size_t>(height_), bytes)) {
      return Fail(CodecError::SizeOverflow);
    }
    if (!writer_.converted.Allocate(bytes)) return Fail(CodecError::OutOfMemory);
    const bool ok = toGray ? ConvertToGray(converter_, sourcePalette, sourcePixels_,
                                           writer_.converted.data())
                           : ConvertDepth(converter_, sourcePalette, sourcePixels_, palette_.data(),
                                          writer_.converted.data());
    converter_.sourcePalette = nullptr;
    converter_.targetPalette = nullptr;
    converter_.sourcePixels = nullptr;
    converter_.targetPixels = nullptr;
    return ok || Fail(CodecError::ConversionFailed);
  };

  if (colour_ == kColourTruecolour) {
    if (source == 24) {
      rows_ = {sourcePixels_, RowStride(width_, 24), PreparedRows::Kind::Bgr};
      return true;
    }
    if (source != 8) return Fail(CodecError::UnsupportedDepth);
    if (!convert(false)) return false;
    rows_ = {writer_.converted.data(), RowStride(width_, 24), PreparedRows::Kind::Bgr};
    return true;
  }
  if (colour_ == kColourGray) {
    if (source != 8 && source != 24) return Fail(CodecError::UnsupportedDepth);
    if (!convert(true)) return false;
    rows_ = {writer_.converted.data(), static_cast<size_t>(width_), PreparedRows::Kind::Bytes};
    return true;
  }

  // Palette: 1 and 4-bit sources only unpacked to 8 bits.
  if ((source == 1 || source == 4) && depth_ != 8) return Fail(CodecError::UnsupportedDepth);
  if (!convert(false)) return false;
  const size_t stride = static_cast<size_t>(converter_.rowStride);
  if (depth_ == 1) {
    paletteCount_ = 2;
  } else {
    paletteCount_ = CompactPalette(palette_, depth_, writer_.converted.data(),
                                   static_cast<size_t>(converter_.rowBytes), stride, height_);
  }
  if (depth_ == 8) {
    rows_ = {writer_.converted.data(), stride, PreparedRows::Kind::Bytes};
    return true;
  }
  if (!writer_.interlace) {
    rows_ = {writer_.converted.data(), stride, PreparedRows::Kind::Packed};
    return true;
  }
  // Interlaced packed rows pick single pixels: unpack to one index per byte.
  DepthConverter unpack;
  unpack.width = width_;
  unpack.height = height_;
  unpack.sourceBitCount = depth_;
  unpack.targetBitCount = 8;
  if (!ComputeRowGeometry(unpack)) return Fail(CodecError::BadDimensions);
  if (!writer_.unpacked.Allocate(unpack.imageBytes)) return Fail(CodecError::OutOfMemory);
  Palette scratch{};
  if (!ConvertDepth(unpack, palette_.data(), writer_.converted.data(), scratch.data(),
                    writer_.unpacked.data())) {
    return Fail(CodecError::ConversionFailed);
  }
  rows_ = {writer_.unpacked.data(), static_cast<size_t>(unpack.rowStride), PreparedRows::Kind::Bytes};
  return true;
}

// Fills raw[0 .. bytes(passWidth) − 1] with the pixels x = xOrigin + k ×
// xStep of picture row y (0 = top).
void PngEncoder::RawRow(int32_t y, int32_t xOrigin, int32_t xStep, int32_t passWidth,
                        uint8_t* raw) const {
  const uint8_t* src = rows_.pixels + rows_.stride * static_cast<size_t>(height_ - 1 - y);
  const size_t count = static_cast<size_t>(passWidth);
  const size_t step = static_cast<size_t>(xStep);
  size_t x = static_cast<size_t>(xOrigin);
  switch (rows_.kind) {
    case PreparedRows::Kind::Bgr:
      for (size_t k = 0; k < count; ++k, x += step, raw += 3) {
        const uint8_t* p = src + 3 * x;
        raw[0] = p[2];
        raw[1] = p[1];
        raw[2] = p[0];
      }
      break;
    case PreparedRows::Kind::Packed:
      std::memcpy(raw, src, png::PackedRowBytes(passWidth, depth_, 1));
      break;
    case PreparedRows::Kind::Bytes:
      if (depth_ == 8) {
        if (step == 1) {
          std::memcpy(raw, src + x, count);
        } else {
          for (size_t k = 0; k < count; ++k, x += step) raw[k] = src[x];
        }
      } else {
        // Pack the pass's indices most significant bits first; the unused
        // bits of a partly filled last byte stay zero.
        std::memset(raw, 0, png::PackedRowBytes(passWidth, depth_, 1));
        const size_t bits = static_cast<size_t>(depth_);
        for (size_t k = 0; k < count; ++k, x += step) {
          const size_t bit = k * bits;
          raw[bit >> 3] = static_cast<uint8_t>(raw[bit >> 3] | (src[x] << (8 - bits - (bit & 7))));
        }
      }
      break;
  }
}

bool PngEncoder::FilterImage() {
  // Pass geometry: one pass over the whole image without interlacing.
  struct PassShape {
    png::Adam7Pass origin;
    int32_t width;
    int32_t height;
    size_t rowLength;  // filter byte included; 0 for an empty pass
  };
  PassShape passes[7];
  const int passCount = writer_.interlace ? 7 : 1;
  size_t total = 0;
  size_t longest = 0;
  for (int p = 0; p < passCount; ++p) {
    const png::Adam7Pass o = writer_.interlace ? png::kAdam7[p] : png::Adam7Pass{0, 0, 1, 1};
    PassShape& s = passes[p];
    s.origin = o;
    s.width = png::PassExtent(width_, o.xOrigin, o.xStep);
    s.height = png::PassExtent(height_, o.yOrigin, o.yStep);
    s.rowLength = (s.width == 0 || s.height == 0) ? 0 : png::PackedRowBytes(s.width, depth_, distance_) + 1;
    size_t passBytes = 0;
    if (!CheckedMul(s.rowLength, static_cast<size_t>(s.height), passBytes) ||
        !CheckedAdd(total, passBytes, total)) {
      return Fail(CodecError::SizeOverflow);
    }
    longest = std::max(longest, s.rowLength);
  }
  size_t allocation = 0;
  if (!CheckedMul(longest, 6, allocation) || !CheckedAdd(allocation, total, allocation)) {
    return Fail(CodecError::SizeOverflow);
  }
  if (!writer_.filtered.Allocate(allocation)) return Fail(CodecError::OutOfMemory);
  filteredBytes_ = total;

  uint8_t* stream = writer_.filtered.data();
  png::FilterRows set;
  for (int b = 0; b < 6; ++b) set.rows[b] = stream + total + longest * static_cast<size_t>(b);
  const bool palette = colour_ == kColourPalette;
  const int fixedType = writer_.filterMode >= 1 && writer_.filterMode <= 5 ? writer_.filterMode - 1 : -1;

  uint8_t* out = stream;
  for (int p = 0; p < passCount; ++p) {
    const PassShape& s = passes[p];
    if (s.rowLength == 0) continue;
    // Every pass starts against a zero row.
    std::memset(set.rows[0], 0, longest * 6);
    const size_t n = s.rowLength - 1;
    for (int32_t j = 0; j < s.height; ++j) {
      const int32_t y = s.origin.yOrigin + j * s.origin.yStep;
      RawRow(y, s.origin.xOrigin, s.origin.xStep, s.width, set.rows[png::kNone] + 1);
      int type = 0;
      if (palette) {
        set.rows[png::kNone][0] = 0;
      } else if (fixedType >= 0) {
        type = fixedType;
        png::FilterRow(set, n, distance_, type);
      } else {
        type = png::ChooseRowFilter(set, n, distance_);
      }
      std::memcpy(out, set.rows[png::kNone + type], s.rowLength);
      out += s.rowLength;
      std::memcpy(set.rows[png::kPrevious], set.rows[png::kNone], s.rowLength);
    }
  }
  // The converted pixels are not needed any more.
  writer_.unpacked.Release();
  writer_.converted.Release();
  return true;
}

bool PngEncoder::Compress() {
  const DeflateChoice choice = kDeflateChoices[static_cast<size_t>(std::clamp(writer_.level, 0, 9))];
  if (!(choice.libdeflate ? CompressWithLibdeflate(choice.level) : CompressWithZlib(choice.level))) return false;
  if (compressedBytes_ > png::kMaxChunkLength) return Fail(CodecError::SizeOverflow);
  writer_.filtered.Release();
  return true;
}

bool PngEncoder::CompressWithZlib(int level) {
  const size_t in = filteredBytes_;
  // zlib's conservative bound for any settings.
  size_t bound = in + ((in + 7) >> 3) + ((in + 63) >> 6) + 11;
  if (bound > std::numeric_limits<uInt>::max() || in > std::numeric_limits<uInt>::max()) {
    return Fail(CodecError::SizeOverflow);
  }
  z_stream stream{};
  stream.zalloc = png::ZeroedAlloc;
  stream.zfree = png::ZeroedFree;
  stream.opaque = nullptr;
  const int strategy = colour_ == kColourPalette ? Z_DEFAULT_STRATEGY : Z_FILTERED;
  if (deflateInit2(&stream, level, Z_DEFLATED, 15, 9, strategy) != Z_OK) {
    return Fail(CodecError::OutOfMemory);
  }
  bound = std::max<size_t>(bound, deflateBound(&stream, static_cast<uLong>(in)));
  if (bound > std::numeric_limits<uInt>::max() || !writer_.compressed.Allocate(bound)) {
    deflateEnd(&stream);
    return Fail(CodecError::OutOfMemory);
  }
  stream.next_in = writer_.filtered.data();
  stream.avail_in = static_cast<uInt>(in);
  stream.next_out = writer_.compressed.data();
  stream.avail_out = static_cast<uInt>(bound);
  const int result = deflate(&stream, Z_FINISH);
  compressedBytes_ = bound - stream.avail_out;
  const int end = deflateEnd(&stream);
  if (result != Z_STREAM_END || end != Z_OK) return Fail(CodecError::WriteFailed);
  return true;
}

bool PngEncoder::CompressWithLibdeflate(int level) {
  const size_t in = filteredBytes_;
  const LibdeflateCompressor compressor(libdeflate_alloc_compressor(level));
  if (!compressor) return Fail(CodecError::OutOfMemory);
  const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), in);
  if (bound < in) return Fail(CodecError::SizeOverflow);
  if (!writer_.compressed.Allocate(bound)) return Fail(CodecError::OutOfMemory);
  compressedBytes_ =
      libdeflate_zlib_compress(compressor.get(), writer_.filtered.data(), in, writer_.compressed.data(), bound);
  if (compressedBytes_ == 0) return Fail(CodecError::WriteFailed);
  return true;
}

bool PngEncoder::Emit(ByteSink& sink) {
  uint8_t ihdr[13];
  png::StoreU32BE(ihdr, static_cast<uint32_t>(width_));
  png::StoreU32BE(ihdr + 4, static_cast<uint32_t>(height_));
  ihdr[8] = static_cast<uint8_t>(depth_);
  ihdr[9] = static_cast<uint8_t>(colour_);
  ihdr[10] = 0;
  ihdr[11] = 0;
  ihdr[12] = writer_.interlace ? 1 : 0;
  bool ok = sink.Write(png::kSignature, sizeof png::kSignature) &&
            WriteChunk(sink, png::kIHDR, ihdr, sizeof ihdr);
  if (ok && colour_ == kColourPalette) {
    uint8_t plte[256 * 3];
    for (int32_t i = 0; i < paletteCount_; ++i) {
      const RgbQuad& q = palette_[static_cast<size_t>(i)];
      plte[3 * i] = q.red;
      plte[3 * i + 1] = q.green;
      plte[3 * i + 2] = q.blue;
    }
    ok = WriteChunk(sink, png::kPLTE, plte, 3 * static_cast<size_t>(paletteCount_));
  }
  ok = ok && WriteChunk(sink, png::kIDAT, writer_.compressed.data(), compressedBytes_);
  if (ok && !writer_.comment.empty()) {
    // Keyword and NUL, then the text without CR bytes, stopping at a NUL.
    std::string text(kCommentKeyword, sizeof kCommentKeyword);
    const std::string& comment = writer_.comment;
    const size_t limit = std::min(comment.size(), kPngMaxCommentBytes);
    for (size_t i = 0; i < limit && comment[i] != '\0'; ++i) {
      if (comment[i] != '\r') text += comment[i];
    }
    ok = WriteChunk(sink, png::kTEXT, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  ok = ok && WriteChunk(sink, png::kIEND, nullptr, 0);
  return ok || Fail(CodecError::WriteFailed);
}

void ReleaseBuffers(PngWriter& writer) {
  writer.converted.Release();
  writer.unpacked.Release();
  writer.filtered.Release();
  writer.compressed.Release();
  writer.converter.sourcePixels = nullptr;
  writer.converter.targetPixels = nullptr;
  writer.converter.sourcePalette = nullptr;
  writer.converter.targetPalette = nullptr;
}

void ResetResults(PngWriter& writer) {
  writer.error = CodecError::None;
  writer.bitDepth = 0;
  writer.colourType = 0;
  writer.paletteCount = 0;
}

}  // namespace

bool WritePng(PngWriter& writer, std::u16string_view path, const RgbQuad* palette,
              const uint8_t* pixels) {
  ResetResults(writer);
  PngEncoder encoder(writer, palette, pixels);
  bool ok = encoder.Prepare();
  if (ok) {
    OutputFile& out = writer.file.output;
    if (!out.Create(path)) {
      writer.error = CodecError::CannotOpen;
      ok = false;
    } else {
      FileSink sink(out);
      ok = encoder.Emit(sink);
      if (!out.Close() && ok) {
        writer.error = CodecError::WriteFailed;
        ok = false;
      }
    }
  }
  ReleaseBuffers(writer);
  writer.file.Release();
  return ok;
}

bool WritePngMemory(PngWriter& writer, const RgbQuad* palette, const uint8_t* pixels,
                    std::vector<uint8_t>& output) {
  ResetResults(writer);
  output.clear();
  PngEncoder encoder(writer, palette, pixels);
  MemorySink sink(output);
  const bool ok = encoder.Prepare() && encoder.Emit(sink);
  ReleaseBuffers(writer);
  return ok;
}

std::string PngCommentBytes(std::u16string_view text) {
  return Utf16ToAnsiWithin(text, kPngMaxCommentBytes);
}

}  // namespace pixlane
