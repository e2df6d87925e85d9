// TIFF reader tests: the reference files of tests/data/tiff (Pillow,
// ImageMagick and tiffcp files in both byte orders, expected colours from
// Pillow), through the file and the memory path with one reader for all;
// the worked cases spelled out; resolution units; strip edge cases.
#include "codecs/tiff_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif_tiff_test_util.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::ColourAt;
using test::TiffEntry;

TEST(TiffReaderReference, AgreesWithPillowOnEveryReferenceFile) {
  const std::vector<test::ManifestLine> lines = test::LoadManifest("tiff/manifest.txt");
  ASSERT_GE(lines.size(), 60u);
  TiffReader reader;  // shared, so that state left by one file shows in the next
  for (const test::ManifestLine& line : lines) {
    SCOPED_TRACE(line.name);
    const std::u16string path = test::TestDataPath("tiff/" + line.name);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(test::ReadWholeFile(path, bytes));
    TiffReader memoryReader;
    const ImageBuffer* fromMemory = ReadTiffMemory(memoryReader, bytes.data(), bytes.size());
    const ImageBuffer* image = ReadTiff(reader, path);
    if (!line.ok) {
      EXPECT_EQ(image, nullptr);
      EXPECT_EQ(fromMemory, nullptr);
      EXPECT_STREQ(CodecErrorName(reader.error), line.error.c_str());
      EXPECT_EQ(memoryReader.error, reader.error);
      EXPECT_TRUE(reader.image.pixels.empty());
      continue;
    }
    ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
    ASSERT_EQ(line.fields.size(), 7u);
    EXPECT_EQ(image->header.width, std::stoi(line.fields[0]));
    EXPECT_EQ(image->header.height, std::stoi(line.fields[1]));
    EXPECT_EQ(image->header.bitCount, std::stoi(line.fields[2]));
    EXPECT_EQ(image->sourceBitCount, std::stoi(line.fields[3]));
    EXPECT_EQ(image->header.xPelsPerMetre, std::stoi(line.fields[4]));
    EXPECT_EQ(image->header.yPelsPerMetre, std::stoi(line.fields[5]));
    EXPECT_EQ(image->sourceFormat, FormatCode::Tiff);
    EXPECT_EQ(image->fileSize, bytes.size());
    EXPECT_NE(image->lastWriteTime, 0u);
    const uint64_t checksum = std::stoull(line.fields[6], nullptr, 16);
    EXPECT_EQ(test::ColourChecksum(*image), checksum);
    ASSERT_NE(fromMemory, nullptr);
    EXPECT_EQ(test::ColourChecksum(*fromMemory), checksum);
  }
  EXPECT_EQ(reader.file.mapping.data(), nullptr) << "the file must be unmapped";
}

const ImageBuffer* ReadData(TiffReader& reader, const char* name) {
  return ReadTiff(reader, test::TestDataPath(std::string("tiff/") + name));
}

TEST(TiffReaderWorkedCases, PalettesAndSamples) {
  TiffReader reader;
  // "MM" 16-bit RGB 0x1234 0x5678 0x9abc: the high bytes.
  const ImageBuffer* image = ReadData(reader, "gen_rgb16_mm.tif");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(ColourAt(*image, 0, 0), (RgbQuad{0x9a, 0x56, 0x12, 0}));
  // ColorMap 0xFF00 gives 255, 0x80FF gives 128.
  image = ReadData(reader, "gen_colour_map.tif");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[0], (RgbQuad{0xAB, 0x12, 255, 0}));
  EXPECT_EQ(image->palette[1], (RgbQuad{0x80, 0x00, 128, 0}));
  EXPECT_EQ(image->palette[2], RgbQuad{}) << "entries past the map stay zero";
  // WhiteIsZero at 4 bits: entry 0 white, entry 15 black, 16 entries only.
  image = ReadData(reader, "im_gray4_white_is_zero.tif");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[0], (RgbQuad{255, 255, 255, 0}));
  EXPECT_EQ(image->palette[1], (RgbQuad{238, 238, 238, 0}));
  EXPECT_EQ(image->palette[15], (RgbQuad{0, 0, 0, 0}));
  EXPECT_EQ(image->palette[16], RgbQuad{});
  // BlackIsZero at 1 bit.
  image = ReadData(reader, "pil_1bit_w10.tif");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[0], (RgbQuad{0, 0, 0, 0}));
  EXPECT_EQ(image->palette[1], (RgbQuad{255, 255, 255, 0}));
  EXPECT_EQ(image->palette[2], RgbQuad{});
}

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kRational = 5;

// A 1 x 1 8-bit gray file with the given resolution values and unit.
std::vector<uint8_t> ResolutionFile(uint32_t xNumerator, uint32_t xDenominator,
                                    uint32_t yNumerator, uint32_t yDenominator, uint32_t unit,
                                    bool withY = true) {
  std::vector<TiffEntry> entries = {{256, kShort, 1, 1}, {257, kShort, 1, 1}, {258, kShort, 1, 8},
                                    {262, kShort, 1, 1}, {273, kLong, 1, 0},  {279, kLong, 1, 1},
                                    {282, kRational, 1, 0}, {296, kShort, 1, unit}};
  if (withY) entries.push_back({283, kRational, 1, 0});
  const uint32_t tail = test::TiffTailOffset(entries.size());
  entries[4].value = tail;           // the pixel
  entries[6].value = tail + 1;       // XResolution
  if (withY) entries.back().value = tail + 9;
  std::vector<uint8_t> data = {0x80};
  test::AppendU32(data, xNumerator);
  test::AppendU32(data, xDenominator);
  test::AppendU32(data, yNumerator);
  test::AppendU32(data, yDenominator);
  return test::BuildTiff(entries, data);
}

TEST(TiffReaderResolution, UnitsAndBadValues) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int32_t x;
    int32_t y;
  };
  const Case cases[] = {
      {"72/1 per inch", ResolutionFile(72, 1, 300, 2, 2), 2835, 5906},
      {"10/1 per centimetre", ResolutionFile(10, 1, 7, 2, 3), 1000, 350},
      {"unit 1", ResolutionFile(72, 1, 72, 1, 1), 0, 0},
      {"zero denominator", ResolutionFile(72, 0, 72, 1, 2), 0, 2835},
      {"no YResolution", ResolutionFile(72, 1, 72, 1, 2, false), 0, 0},
      // 50,000,000 per centimetre does not fit pixels per metre; in 32 bits
      // the product by 100 would wrap to 705032704.
      {"too large per centimetre", ResolutionFile(50000000, 1, 1000000, 1, 3), 0, 100000000},
      {"too large per inch", ResolutionFile(4000000000u, 1, 1, 1, 2), 0, 39},
  };
  TiffReader reader;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ImageBuffer* image = ReadTiffMemory(reader, c.file.data(), c.file.size());
    ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
    EXPECT_EQ(image->header.xPelsPerMetre, c.x);
    EXPECT_EQ(image->header.yPelsPerMetre, c.y);
    EXPECT_EQ(ColourAt(*image, 0, 0), (RgbQuad{0x80, 0x80, 0x80, 0}));
  }
}

TEST(TiffReaderStrips, ManyStripsOverTheSameBytesStayBounded) {
  // 20000 strips, each the same 6 bytes: only the 6 bytes the single row
  // of a 2 x 1 RGB image needs are kept.
  const uint32_t strips = 20000;
  std::vector<TiffEntry> entries = {{256, kShort, 1, 2}, {257, kShort, 1, 1}, {258, kShort, 3, 0},
                                    {262, kShort, 1, 2}, {273, kLong, strips, 0},
                                    {277, kShort, 1, 3}, {279, kLong, strips, 0}};
  const uint32_t tail = test::TiffTailOffset(entries.size());
  entries[2].value = tail;                 // 8, 8, 8
  const uint32_t pixelsAt = tail + 6;
  entries[4].value = pixelsAt + 6;         // offsets
  entries[6].value = pixelsAt + 6 + 4 * strips;  // byte counts
  std::vector<uint8_t> data;
  for (int i = 0; i < 3; ++i) test::AppendU16(data, 8);
  data.insert(data.end(), {1, 2, 3, 4, 5, 6});
  for (uint32_t i = 0; i < strips; ++i) test::AppendU32(data, pixelsAt);
  for (uint32_t i = 0; i < strips; ++i) test::AppendU32(data, 6);
  const std::vector<uint8_t> file = test::BuildTiff(entries, data);
  TiffReader reader;
  const ImageBuffer* image = ReadTiffMemory(reader, file.data(), file.size());
  ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
  EXPECT_EQ(ColourAt(*image, 0, 0), (RgbQuad{3, 2, 1, 0}));
  EXPECT_EQ(ColourAt(*image, 1, 0), (RgbQuad{6, 5, 4, 0}));
  EXPECT_TRUE(reader.stripData.empty());
  EXPECT_FALSE(image->isPartial);
}

TEST(TiffReaderStrips, StripsShorterThanTheImageMakeItPartial) {
  // 2 x 2 RGB needs 12 bytes; the one strip holds the first row only.
  std::vector<TiffEntry> entries = {{256, kShort, 1, 2}, {257, kShort, 1, 2}, {258, kShort, 3, 0},
                                    {262, kShort, 1, 2}, {273, kLong, 1, 0},
                                    {277, kShort, 1, 3}, {279, kLong, 1, 6}};
  const uint32_t tail = test::TiffTailOffset(entries.size());
  entries[2].value = tail;
  entries[4].value = tail + 6;
  std::vector<uint8_t> data;
  for (int i = 0; i < 3; ++i) test::AppendU16(data, 8);
  data.insert(data.end(), {1, 2, 3, 4, 5, 6});
  std::vector<uint8_t> file = test::BuildTiff(entries, data);
  TiffReader reader;
  const ImageBuffer* image = ReadTiffMemory(reader, file.data(), file.size());
  ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
  EXPECT_TRUE(image->isPartial);
  EXPECT_EQ(ColourAt(*image, 1, 0), (RgbQuad{6, 5, 4, 0}));
  EXPECT_EQ(ColourAt(*image, 1, 1), (RgbQuad{0, 0, 0, 0}));
}

TEST(TiffReaderLimits, MissingFile) {
  TiffReader reader;
  EXPECT_EQ(ReadTiff(reader, u"no such file.tif"), nullptr);
  EXPECT_EQ(reader.error, CodecError::CannotOpen);
}

TEST(TiffReaderLimits, WidthsUpTo25000) {
  for (const auto& [width, ok] : {std::pair{25000u, true}, {25001u, false}}) {
    SCOPED_TRACE(width);
    std::vector<TiffEntry> entries = {{256, kLong, 1, width}, {257, kShort, 1, 1},
                                      {258, kShort, 1, 1},   {262, kShort, 1, 0},
                                      {273, kLong, 1, 0},    {279, kLong, 1, 4}};
    entries[4].value = test::TiffTailOffset(entries.size());
    // 4 of the row's 3125 bytes: more than the 1/1000 a file must hold.
    const std::vector<uint8_t> file = test::BuildTiff(entries, {0x40, 0, 0, 0});
    TiffReader reader;
    const ImageBuffer* image = ReadTiffMemory(reader, file.data(), file.size());
    if (!ok) {
      EXPECT_EQ(image, nullptr);
      EXPECT_EQ(reader.error, CodecError::BadDimensions);
      continue;
    }
    ASSERT_NE(image, nullptr);
    // WhiteIsZero bits 0 1 0 ...: white, black, white; the rest of the row
    // is missing and stays index 0 (white).
    EXPECT_EQ(ColourAt(*image, 0, 0), (RgbQuad{255, 255, 255, 0}));
    EXPECT_EQ(ColourAt(*image, 1, 0), (RgbQuad{0, 0, 0, 0}));
    EXPECT_EQ(ColourAt(*image, 24999, 0), (RgbQuad{255, 255, 255, 0}));
  }
}

}  // namespace
}  // namespace pixlane
