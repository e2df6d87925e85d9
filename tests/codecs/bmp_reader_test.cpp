// BMP reader tests: the reference files of tests/data/bmp, whose expected
// pixels Pillow decoded when they were generated, read through both the file
// and the memory path; then hand-built files for size limits, refused
// layouts, bit-field masks, short data and the reset between reads.
#include "codecs/bmp_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace pixlane {
namespace {

using test::PixelChecksum;
using test::ReadWholeFile;
using test::TestDataPath;

struct ManifestEntry {
  std::string name;
  bool ok = false;
  int32_t width = 0;
  int32_t height = 0;
  int bitCount = 0;
  int sourceBitCount = 0;
  uint64_t checksum = 0;
  std::string error;
};

std::vector<ManifestEntry> LoadManifest() {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(TestDataPath("bmp/manifest.txt"), bytes));
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::vector<ManifestEntry> entries;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ManifestEntry e;
    std::string outcome;
    fields >> e.name >> outcome;
    e.ok = outcome == "ok";
    if (e.ok) {
      std::string sum;
      fields >> e.width >> e.height >> e.bitCount >> e.sourceBitCount >> sum;
      e.checksum = std::stoull(sum, nullptr, 16);
    } else {
      fields >> e.error;
    }
    EXPECT_FALSE(fields.fail()) << line;
    entries.push_back(e);
  }
  return entries;
}

TEST(BmpReaderReference, AgreesWithPillowOnEveryReferenceFile) {
  const std::vector<ManifestEntry> entries = LoadManifest();
  ASSERT_GE(entries.size(), 60u);
  // One reader for every file, so that state left by one read shows up in
  // the next.
  BmpReader reader;
  for (const ManifestEntry& e : entries) {
    SCOPED_TRACE(e.name);
    const std::u16string path = TestDataPath("bmp/" + e.name);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    BmpReader memoryReader;
    const ImageBuffer* fromMemory = ReadBmpMemory(memoryReader, bytes.data(), bytes.size());
    const ImageBuffer* image = ReadBmp(reader, path);
    if (!e.ok) {
      EXPECT_EQ(image, nullptr);
      EXPECT_EQ(fromMemory, nullptr);
      EXPECT_STREQ(CodecErrorName(reader.error), e.error.c_str());
      EXPECT_EQ(memoryReader.error, reader.error);
      EXPECT_TRUE(reader.image.pixels.empty());
      continue;
    }
    ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
    EXPECT_EQ(image->header.width, e.width);
    EXPECT_EQ(image->header.height, e.height);
    EXPECT_EQ(image->header.bitCount, e.bitCount);
    EXPECT_EQ(image->sourceBitCount, e.sourceBitCount);
    EXPECT_EQ(image->sourceFormat, FormatCode::Bmp);
    EXPECT_EQ(image->fileSize, bytes.size());
    EXPECT_NE(image->lastWriteTime, 0u);
    EXPECT_EQ(PixelChecksum(*image), e.checksum);
    ASSERT_NE(fromMemory, nullptr);
    EXPECT_EQ(PixelChecksum(*fromMemory), e.checksum);
    EXPECT_EQ(fromMemory->lastWriteTime, 0u);
  }
}

// A hand-built file: 14-byte file header, info header of `headerSize`
// bytes, masks (after a 40-byte header, inside a longer one), colour table,
// pixel data.
struct BmpSpec {
  uint32_t headerSize = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t clrUsed = 0;
  std::vector<uint32_t> masks;  // red, green, blue
  std::vector<uint8_t> table;
  std::vector<uint8_t> pixels;
  int64_t pixelOffset = -1;  // -1: directly after the table
};

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> BuildBmp(const BmpSpec& s) {
  const size_t maskBytes = s.headerSize == 40 ? 4 * s.masks.size() : 0;
  std::vector<uint8_t> out(14 + s.headerSize + maskBytes, 0);
  out[0] = 'B';
  out[1] = 'M';
  const size_t tableAt = out.size();
  const size_t pixelsAt = tableAt + s.table.size();
  Put32(out, 10, static_cast<uint32_t>(s.pixelOffset < 0 ? pixelsAt : s.pixelOffset));
  Put32(out, 14, s.headerSize);
  if (s.headerSize == 12) {
    out[18] = static_cast<uint8_t>(s.width);
    out[19] = static_cast<uint8_t>(s.width >> 8);
    out[20] = static_cast<uint8_t>(s.height);
    out[21] = static_cast<uint8_t>(s.height >> 8);
    out[22] = 1;
    out[24] = static_cast<uint8_t>(s.bitCount);
  } else {
    Put32(out, 18, static_cast<uint32_t>(s.width));
    Put32(out, 22, static_cast<uint32_t>(s.height));
    out[26] = 1;
    out[28] = static_cast<uint8_t>(s.bitCount);
    Put32(out, 30, s.compression);
    Put32(out, 46, s.clrUsed);
    for (size_t i = 0; i < s.masks.size(); ++i) Put32(out, 54 + 4 * i, s.masks[i]);
  }
  out.insert(out.end(), s.table.begin(), s.table.end());
  out.insert(out.end(), s.pixels.begin(), s.pixels.end());
  Put32(out, 2, static_cast<uint32_t>(out.size()));
  return out;
}

ImageBuffer* Read(BmpReader& reader, const std::vector<uint8_t>& bytes) {
  return ReadBmpMemory(reader, bytes.data(), bytes.size());
}

TEST(BmpReaderLimits, AcceptsSizesUpTo25000AndRejectsTheRest) {
  struct Case {
    int32_t width;
    int32_t height;
    bool ok;
  };
  const Case cases[] = {{25000, 1, true}, {1, 25000, true},  {25001, 1, false},
                        {1, 25001, false}, {0, 1, false},     {1, 0, false},
                        {1, -1, false},    {-1, 1, false},    {INT32_MIN, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    BmpSpec spec;
    spec.width = c.width;
    spec.height = c.height;
    spec.bitCount = 8;
    spec.table.assign(1024, 0x40);
    // 1/1000 of the largest image's rows: as little as a file may hold.
    spec.pixels.assign(100, 0);
    spec.pixels[0] = 1;
    BmpReader reader;
    const ImageBuffer* image = Read(reader, BuildBmp(spec));
    if (c.ok) {
      ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
      // Only the first bytes are in the file; the rest is zero.
      const size_t stride = RowStride(c.width, 8);
      EXPECT_EQ(image->pixels.data()[0], 1);
      EXPECT_EQ(image->pixels.data()[stride * static_cast<size_t>(c.height) - 1], 0);
    } else {
      EXPECT_EQ(image, nullptr);
      EXPECT_EQ(reader.error, CodecError::BadDimensions);
    }
  }
}

TEST(BmpReaderLimits, RefusesUnsupportedLayouts) {
  struct Case {
    const char* what;
    uint32_t headerSize;
    uint16_t bitCount;
    uint32_t compression;
    CodecError error;
  };
  const Case cases[] = {
      {"2 bits", 40, 2, 0, CodecError::UnsupportedDepth},
      {"0 bits", 40, 0, 0, CodecError::UnsupportedDepth},
      {"64 bits", 40, 64, 0, CodecError::UnsupportedDepth},
      {"RLE8", 40, 8, 1, CodecError::UnsupportedCompression},
      {"RLE4", 40, 4, 2, CodecError::UnsupportedCompression},
      {"bit fields on 24 bits", 40, 24, 3, CodecError::UnsupportedCompression},
      {"JPEG inside", 40, 24, 4, CodecError::UnsupportedCompression},
      {"alpha bit fields", 40, 32, 6, CodecError::UnsupportedCompression},
      {"16 bits in a core header", 12, 16, 0, CodecError::UnsupportedDepth},
      {"header of 64 bytes", 64, 24, 0, CodecError::BadHeader},
      {"header of 0 bytes", 0, 24, 0, CodecError::BadHeader},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BmpSpec spec;
    spec.headerSize = c.headerSize == 0 ? 40 : c.headerSize;
    spec.bitCount = c.bitCount;
    spec.compression = c.compression;
    spec.table.assign(64, 0);
    spec.pixels.assign(64, 0x55);
    std::vector<uint8_t> bytes = BuildBmp(spec);
    if (c.headerSize == 0) Put32(bytes, 14, 0);
    BmpReader reader;
    EXPECT_EQ(Read(reader, bytes), nullptr);
    EXPECT_EQ(reader.error, c.error);
    EXPECT_TRUE(reader.image.pixels.empty());
  }
}

TEST(BmpReaderLimits, RefusesFilesThatEndBeforeTheirData) {
  BmpSpec spec;
  spec.width = 2;
  spec.pixels.assign(8, 0x11);
  const std::vector<uint8_t> whole = BuildBmp(spec);
  BmpReader reader;
  for (size_t size : {size_t{0}, size_t{1}, size_t{17}, size_t{30}, size_t{53}, size_t{54}}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(ReadBmpMemory(reader, whole.data(), size), nullptr);
    EXPECT_EQ(reader.error, CodecError::Truncated);
  }
  EXPECT_EQ(ReadBmpMemory(reader, nullptr, 100), nullptr);
  EXPECT_EQ(reader.error, CodecError::Truncated);

  for (int64_t offset : {int64_t{62}, int64_t{1000}, int64_t{0xFFFFFFFF}}) {
    SCOPED_TRACE(offset);
    spec.pixelOffset = offset;
    EXPECT_EQ(Read(reader, BuildBmp(spec)), nullptr);
    EXPECT_EQ(reader.error, CodecError::Truncated);
  }

  // The masks of a bit-field file lie beyond its end.
  BmpSpec masked;
  masked.bitCount = 16;
  masked.compression = 3;
  std::vector<uint8_t> bytes = BuildBmp(masked);
  bytes.resize(60);
  Put32(bytes, 10, 58);
  EXPECT_EQ(Read(reader, bytes), nullptr);
  EXPECT_EQ(reader.error, CodecError::Truncated);

  BmpReader fileReader;
  EXPECT_EQ(ReadBmp(fileReader, TestDataPath("bmp/does-not-exist.bmp")), nullptr);
  EXPECT_EQ(fileReader.error, CodecError::CannotOpen);
}

struct MaskCase {
  const char* what;
  uint16_t bitCount;
  std::vector<uint32_t> masks;  // empty: compression 0
  uint32_t pixel;
  std::array<uint8_t, 3> bgr;
};

TEST(BmpReaderMasks, ScalesEachFieldToFullRange) {
  const MaskCase cases[] = {
      {"5-6-5 white", 16, {0xF800, 0x07E0, 0x001F}, 0xFFFF, {255, 255, 255}},
      {"5-6-5 green 63", 16, {0xF800, 0x07E0, 0x001F}, 0x07E0, {0, 255, 0}},
      {"5-6-5 green 1, red 16", 16, {0xF800, 0x07E0, 0x001F}, 0x8020, {0, 4, 131}},
      {"5-5-5 default", 16, {}, 0x7C1F, {255, 0, 255}},
      {"5-5-5 ignores the top bit", 16, {}, 0x8000, {0, 0, 0}},
      {"32-bit default ignores alpha", 32, {}, 0xAB102030, {0x30, 0x20, 0x10}},
      {"no masks at all", 16, {0, 0, 0}, 0xFFFF, {0, 0, 0}},
      {"no blue mask", 16, {0x7C00, 0x03E0, 0}, 0x7FFF, {0, 255, 255}},
      {"blue above green above red", 16, {0x001F, 0x07E0, 0xF800}, 0x883F, {139, 4, 255}},
      {"one 32-bit blue field", 32, {0, 0, 0xFFFFFFFF}, 0x80000000, {127, 0, 0}},
      {"one 32-bit red field", 32, {0xFFFFFFFF, 0, 0}, 0xFFFFFFFF, {0, 0, 255}},
      {"10-10-10", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF00200, {127, 0, 255}},
  };
  for (const MaskCase& c : cases) {
    SCOPED_TRACE(c.what);
    BmpSpec spec;
    spec.bitCount = c.bitCount;
    spec.compression = c.masks.empty() ? 0 : 3;
    spec.masks = c.masks;
    spec.pixels.assign(4, 0);
    for (int i = 0; i < c.bitCount / 8; ++i) {
      spec.pixels[static_cast<size_t>(i)] = static_cast<uint8_t>(c.pixel >> (8 * i));
    }
    for (uint32_t headerSize : {40u, 124u}) {
      spec.headerSize = headerSize;
      BmpReader reader;
      const ImageBuffer* image = Read(reader, BuildBmp(spec));
      ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
      EXPECT_EQ(image->header.bitCount, 24);
      EXPECT_EQ(image->sourceBitCount, c.bitCount);
      const uint8_t* p = image->pixels.data();
      EXPECT_EQ((std::array<uint8_t, 3>{p[0], p[1], p[2]}), c.bgr) << "header " << headerSize;
    }
  }
}

TEST(BmpReaderMasks, ShortDataKeepsWholePixelsAndLeavesTheRestZero) {
  // 3 × 2 pixels of 16 bits: rows of 4 pixels (8 bytes). The file holds the
  // first row, one pixel of the second and one byte of its next pixel.
  BmpSpec spec;
  spec.width = 3;
  spec.height = 2;
  spec.bitCount = 16;
  spec.pixels = {0x1F, 0, 0x1F, 0, 0x1F, 0, 0xEE, 0xEE, 0xE0, 0x03, 0xFF};
  BmpReader reader;
  const ImageBuffer* image = Read(reader, BuildBmp(spec));
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(image->isPartial);
  const uint8_t* row0 = image->pixels.data();
  const uint8_t* row1 = row0 + RowStride(3, 24);
  EXPECT_EQ((std::array<uint8_t, 9>{row0[0], row0[1], row0[2], row0[3], row0[4], row0[5],
                                    row0[6], row0[7], row0[8]}),
            (std::array<uint8_t, 9>{255, 0, 0, 255, 0, 0, 255, 0, 0}));
  EXPECT_EQ((std::array<uint8_t, 9>{row1[0], row1[1], row1[2], row1[3], row1[4], row1[5],
                                    row1[6], row1[7], row1[8]}),
            (std::array<uint8_t, 9>{0, 255, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BmpReaderPalette, ClampsTheColourCountAndClearsTheReservedByte) {
  BmpSpec spec;
  spec.width = 2;
  spec.bitCount = 8;
  spec.clrUsed = 1000;
  for (int i = 0; i < 256; ++i) {
    spec.table.insert(spec.table.end(), {static_cast<uint8_t>(i), 1, 2, 0x99});
  }
  spec.pixels = {255, 7, 0, 0};
  BmpReader reader;
  const ImageBuffer* image = Read(reader, BuildBmp(spec));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[255], (RgbQuad{255, 1, 2, 0}));

  spec.clrUsed = 3;
  image = Read(reader, BuildBmp(spec));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[2], (RgbQuad{2, 1, 2, 0}));
  EXPECT_EQ(image->palette[3], RgbQuad{});

  // 4 bits with 20 colours: only the 16 that 4 bits address are read.
  spec.bitCount = 4;
  spec.clrUsed = 20;
  spec.table.resize(20 * 4);
  spec.pixels = {0xF0, 0, 0, 0};
  image = Read(reader, BuildBmp(spec));
  ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
  EXPECT_EQ(image->palette[15], (RgbQuad{15, 1, 2, 0}));
  EXPECT_EQ(image->palette[16], RgbQuad{});
  EXPECT_EQ(image->pixels.data()[0], 15);
}

TEST(BmpReaderReset, NothingCarriesOverFromThePreviousRead) {
  BmpReader reader;
  BmpSpec indexed;
  indexed.bitCount = 8;
  indexed.table.assign(1024, 0x77);
  indexed.pixels = {5, 0, 0, 0};
  ASSERT_NE(Read(reader, BuildBmp(indexed)), nullptr);
  ASSERT_EQ(reader.image.palette[5].blue, 0x77);

  BmpSpec masked;
  masked.bitCount = 16;
  masked.compression = 3;
  masked.masks = {0xF800, 0x07E0, 0x001F};
  masked.pixels = {0, 0, 0, 0};
  ASSERT_NE(Read(reader, BuildBmp(masked)), nullptr);
  EXPECT_EQ(reader.image.palette[5], RgbQuad{});
  EXPECT_EQ(reader.greenMask, 0x07E0u);

  BmpSpec direct;
  direct.pixels = {1, 2, 3, 0};
  ASSERT_NE(Read(reader, BuildBmp(direct)), nullptr);
  EXPECT_EQ(reader.greenMask, 0u);

  // A failed read leaves neither pixels nor the previous header behind.
  EXPECT_EQ(ReadBmpMemory(reader, BuildBmp(direct).data(), 20), nullptr);
  EXPECT_TRUE(reader.image.pixels.empty());
  EXPECT_EQ(reader.image.header.width, 0);
  EXPECT_EQ(reader.infoHeader.width, 0);
}

TEST(BmpReaderPartial, OnlyMissingPixelsMakeAnImagePartial) {
  // 3 × 2 pixels of 24 bits: rows of 9 pixel bytes padded to 12.
  BmpSpec spec;
  spec.width = 3;
  spec.height = 2;
  spec.bitCount = 24;
  spec.pixels = std::vector<uint8_t>(24, 0x40);
  BmpReader reader;
  ASSERT_NE(Read(reader, BuildBmp(spec)), nullptr);
  EXPECT_FALSE(reader.image.isPartial);
  // Without the last row's padding (some writers leave it off): complete.
  spec.pixels.resize(21);
  ASSERT_NE(Read(reader, BuildBmp(spec)), nullptr);
  EXPECT_FALSE(reader.image.isPartial);
  // One pixel byte short: partial.
  spec.pixels.resize(20);
  ASSERT_NE(Read(reader, BuildBmp(spec)), nullptr);
  EXPECT_TRUE(reader.image.isPartial);
  // The same for indexed data: 4 bits, 3 pixels take 2 bytes of a 4-byte row.
  spec.bitCount = 4;
  spec.table = std::vector<uint8_t>(16 * 4, 0x80);
  spec.pixels = {0x12, 0x30, 0, 0, 0x45};
  ASSERT_NE(Read(reader, BuildBmp(spec)), nullptr);
  EXPECT_TRUE(reader.image.isPartial);
  spec.pixels.push_back(0x60);
  ASSERT_NE(Read(reader, BuildBmp(spec)), nullptr);
  EXPECT_FALSE(reader.image.isPartial);
}

}  // namespace
}  // namespace pixlane
