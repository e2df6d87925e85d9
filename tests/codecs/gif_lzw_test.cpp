// GIF LZW tests: encoder-decoder round trips at every minimum code size, the
// exact bytes of a one-pixel stream, the clear code when the table fills,
// sub-block framing (streams of exactly 255 and 510 bytes), and the
// decoder's handling of damaged streams.
#include "codecs/gif_lzw.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace pixlane {
namespace {

std::vector<uint8_t> Encode(const std::vector<uint8_t>& pixels, int32_t minCodeSize) {
  std::vector<uint8_t> out(LzwEncodedBound(pixels.size()));
  static LzwEncoder encoder;
  encoder.Begin(minCodeSize, out.data(), out.size());
  // Fed in uneven runs, as rows would be.
  for (size_t i = 0; i < pixels.size(); i += 7) {
    encoder.Encode(pixels.data() + i, std::min<size_t>(7, pixels.size() - i));
  }
  out.resize(encoder.Finish());
  return out;
}

// The code bytes of framed output, and a check of the framing: full
// 255-byte sub-blocks, a shorter last one, the zero terminator at the end.
std::vector<uint8_t> Unframe(const std::vector<uint8_t>& framed) {
  std::vector<uint8_t> raw;
  size_t p = 0;
  while (p < framed.size() && framed[p] != 0) {
    const size_t n = framed[p];
    EXPECT_LE(p + 1 + n, framed.size());
    raw.insert(raw.end(), framed.begin() + static_cast<ptrdiff_t>(p + 1),
               framed.begin() + static_cast<ptrdiff_t>(p + 1 + n));
    p += 1 + n;
    if (p < framed.size() && framed[p] != 0) {
      EXPECT_EQ(n, 255u) << "short sub-block before the last";
    }
  }
  EXPECT_EQ(p + 1, framed.size()) << "the terminator must end the output";
  return raw;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& raw, int32_t minCodeSize, size_t frameSize,
                            LzwDecodeResult* result = nullptr) {
  std::vector<uint8_t> frame(frameSize, 0);
  static LzwTable table;
  const LzwDecodeResult r =
      DecodeLzw(raw.data(), raw.size(), minCodeSize, table, frame.data(), frame.size());
  if (result != nullptr) *result = r;
  return frame;
}

std::vector<uint8_t> Pack(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> out;
  uint32_t buffer = 0;
  int count = 0;
  for (const auto& [code, bits] : codes) {
    buffer |= static_cast<uint32_t>(code) << count;
    count += bits;
    while (count >= 8) {
      out.push_back(static_cast<uint8_t>(buffer));
      buffer >>= 8;
      count -= 8;
    }
  }
  if (count > 0) out.push_back(static_cast<uint8_t>(buffer));
  return out;
}

// The codes of a raw stream, each read with the width a decoder uses.
struct CodeRead {
  int code;
  int bits;
  int nextFreeBefore;  // the decoder's next free code before this code
};
std::vector<CodeRead> ReadCodes(const std::vector<uint8_t>& raw, int m) {
  const int clear = 1 << m;
  int size = m + 1;
  int nextFree = clear + 2;
  bool first = true;
  std::vector<CodeRead> codes;
  uint32_t buffer = 0;
  int count = 0;
  size_t in = 0;
  for (;;) {
    while (count < size) {
      if (in == raw.size()) return codes;
      buffer |= static_cast<uint32_t>(raw[in++]) << count;
      count += 8;
    }
    const int code = static_cast<int>(buffer & ((1u << size) - 1));
    buffer >>= size;
    count -= size;
    codes.push_back({code, size, nextFree});
    if (code == clear) {
      size = m + 1;
      nextFree = clear + 2;
      first = true;
      continue;
    }
    if (code == clear + 1) return codes;
    if (!first && nextFree < kLzwMaxCodes) {
      ++nextFree;
      if (nextFree == (1 << size) && size < kLzwMaxCodeBits) ++size;
    }
    first = false;
  }
}

TEST(GifLzw, RoundTripsAtEveryCodeSize) {
  std::mt19937 random(7);
  for (int m = 2; m <= 8; ++m) {
    for (size_t length : {1, 2, 3, 100, 9000, 70000}) {
      SCOPED_TRACE(testing::Message() << "m " << m << ", " << length << " pixels");
      std::vector<uint8_t> pixels(length);
      // Noise, then long runs (long strings and the KwKwK case).
      for (size_t i = 0; i < length; ++i) {
        const size_t value = i < length / 2 ? random() : i / 97;
        pixels[i] = static_cast<uint8_t>(value % (1u << m));
      }
      const std::vector<uint8_t> framed = Encode(pixels, m);
      ASSERT_FALSE(framed.empty());
      EXPECT_LE(framed.size(), LzwEncodedBound(length));
      LzwDecodeResult result;
      EXPECT_EQ(Decode(Unframe(framed), m, length, &result), pixels);
      EXPECT_EQ(result.pixels, length);
      EXPECT_TRUE(result.reachedEnd);
    }
  }
}

TEST(GifLzw, OnePixelIsClearPixelEndAndAFinalByte) {
  const uint8_t pixel = 3;
  // Codes 4, 3, 5 at 3 bits, least significant bit first, in one sub-block.
  const std::vector<uint8_t> expected = {2, 4 | 3 << 3 | (5 & 3) << 6, 5 >> 2, 0};
  EXPECT_EQ(Encode({pixel}, 2), expected);
}

TEST(GifLzw, ClearCodeFollowsTheCodeEmittedWithAFullTable) {
  std::mt19937 random(3);
  std::vector<uint8_t> pixels(40000);
  for (uint8_t& p : pixels) p = static_cast<uint8_t>(random());
  const std::vector<CodeRead> codes = ReadCodes(Unframe(Encode(pixels, 8)), 8);
  int clears = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    if (codes[i].code != 256) continue;
    ++clears;
    if (i == 0) continue;
    // Only a full table makes the encoder clear it: the decoder has just
    // taken entry 4095 and the clear is 12 bits wide; the code after it is
    // back at 9 bits.
    EXPECT_EQ(codes[i].nextFreeBefore, kLzwMaxCodes) << "code " << i;
    EXPECT_EQ(codes[i].bits, 12);
    ASSERT_LT(i + 1, codes.size());
    EXPECT_EQ(codes[i + 1].bits, 9);
  }
  EXPECT_GE(clears, 3);
  EXPECT_EQ(codes.back().code, 257);
}

TEST(GifLzw, NoiseExpandsBeyondOneBytePerPixelAndStaysWithinTheBound) {
  // Why the writer's buffer is sized by LzwEncodedBound and not by the
  // image: LZW makes 8-bit noise larger.
  std::mt19937 random(11);
  std::vector<uint8_t> pixels(100000);
  for (uint8_t& p : pixels) p = static_cast<uint8_t>(random());
  const std::vector<uint8_t> framed = Encode(pixels, 8);
  EXPECT_GT(framed.size(), pixels.size());
  EXPECT_LE(framed.size(), LzwEncodedBound(pixels.size()));
}

TEST(GifLzw, StreamsOf255And510BytesFillWholeSubBlocks) {
  // Some length of noise encodes to exactly 255 (and 510) code bytes: one
  // (two) full sub-blocks and the terminator, no empty block.
  std::mt19937 random(13);
  std::vector<uint8_t> noise(2000);
  for (uint8_t& p : noise) p = static_cast<uint8_t>(random());
  bool saw255 = false;
  bool saw510 = false;
  for (size_t length = 100; length < noise.size() && !(saw255 && saw510); ++length) {
    const std::vector<uint8_t> framed = Encode(
        std::vector<uint8_t>(noise.begin(), noise.begin() + static_cast<ptrdiff_t>(length)), 8);
    if (framed.size() == 257) {
      saw255 = true;
      EXPECT_EQ(framed[0], 255);
      EXPECT_EQ(framed[256], 0);
    } else if (framed.size() == 513) {
      saw510 = true;
      EXPECT_EQ(framed[0], 255);
      EXPECT_EQ(framed[256], 255);
      EXPECT_EQ(framed[512], 0);
    }
    Unframe(framed);
  }
  EXPECT_TRUE(saw255);
  EXPECT_TRUE(saw510);
}

TEST(GifLzw, TooSmallOutputFailsInsteadOfOverrunning) {
  std::vector<uint8_t> pixels(1000, 1);
  std::vector<uint8_t> out(8, 0xEE);
  LzwEncoder encoder;
  encoder.Begin(2, out.data(), 4);
  encoder.Encode(pixels.data(), pixels.size());
  EXPECT_EQ(encoder.Finish(), 0u);
  EXPECT_EQ(out[4], 0xEE);
}

TEST(GifLzw, DecoderSurvivesDamagedStreams) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> codes;  // m = 2: clear 4, end 5
    size_t frameSize;
    std::vector<uint8_t> frame;
    bool reachedEnd;
  };
  const Case cases[] = {
      {"no data", {}, 3, {0, 0, 0}, false},
      {"first code not a clear code", {{1, 3}, {2, 3}, {6, 3}, {5, 4}}, 4, {1, 2, 1, 2}, true},
      {"KwKwK ending exactly at the frame's end",
       {{4, 3}, {1, 3}, {6, 3}, {5, 3}}, 3, {1, 1, 1}, true},
      {"KwKwK past the frame's end", {{4, 3}, {1, 3}, {6, 3}, {5, 3}}, 2, {1, 0}, false},
      {"string longer than the rest of the frame",
       {{4, 3}, {1, 3}, {2, 3}, {6, 3}, {5, 3}}, 3, {1, 2, 0}, false},
      {"code beyond the next free code",
       {{4, 3}, {1, 3}, {7, 3}, {2, 3}, {5, 3}}, 4, {1, 0, 0, 0}, false},
      {"non-root code after a clear code", {{4, 3}, {6, 3}, {1, 3}, {5, 3}}, 2, {0, 0}, false},
      {"clear codes in a row", {{4, 3}, {4, 3}, {3, 3}, {4, 3}, {2, 3}, {5, 3}}, 2, {3, 2}, true},
      {"pixels past the frame", {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 3}}, 2, {1, 2}, false},
      {"end code first", {{4, 3}, {5, 3}, {1, 3}}, 2, {0, 0}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LzwDecodeResult result;
    EXPECT_EQ(Decode(Pack(c.codes), 2, c.frameSize, &result), c.frame);
    EXPECT_EQ(result.reachedEnd, c.reachedEnd);
  }
}

TEST(GifLzw, FullTableKeepsDecodingWithoutNewEntries) {
  // Literal codes only, never a clear code after the first: the table fills
  // at 4096 and the 12-bit codes that follow still decode.
  std::mt19937 random(5);
  std::vector<std::pair<int, int>> codes = {{4, 3}};
  std::vector<uint8_t> pixels;
  int size = 3;
  int nextFree = 6;
  for (int i = 0; i < 6000; ++i) {
    const int v = static_cast<int>(random() % 4);
    codes.push_back({v, size});
    pixels.push_back(static_cast<uint8_t>(v));
    if (i > 0 && nextFree < kLzwMaxCodes) {
      ++nextFree;
      if (nextFree == (1 << size) && size < 12) ++size;
    }
  }
  codes.push_back({5, size});
  ASSERT_EQ(nextFree, kLzwMaxCodes);
  LzwDecodeResult result;
  EXPECT_EQ(Decode(Pack(codes), 2, pixels.size(), &result), pixels);
  EXPECT_TRUE(result.reachedEnd);
}

}  // namespace
}  // namespace pixlane
