// PNG writer: every source depth × target × interlacing × grayscale read back
// by our reader against the colours the depth converter gives, palette
// compaction, the filter choice and its tie order, the deflate level, the
// Adam7 layout of tiny images and the comment chunk.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "codecs/png_filters.h"
#include "codecs/png_reader.h"
#include "codecs/png_writer.h"
#include "platform/text.h"
#include "png_test_colours.h"
#include "png_test_files.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::Bytes;
using test::Colours;
using test::ExpectedColours;

struct WriteResult {
  bool ok = false;
  Bytes file;
  PngWriter writer;
};

void Write(const ImageBuffer& image, int target, bool gray, bool interlace, WriteResult& r,
           int level = 9, int filterMode = 0) {
  r.writer.converter.width = image.header.width;
  r.writer.converter.height = image.header.height;
  r.writer.converter.sourceBitCount = image.header.bitCount;
  r.writer.converter.targetBitCount = target;
  r.writer.grayscale = gray;
  r.writer.interlace = interlace;
  r.writer.level = level;
  r.writer.filterMode = filterMode;
  r.ok = WritePngMemory(r.writer, image.palette.data(), image.pixels.data(), r.file);
}

TEST(PngWriter, EveryDepthInterlaceAndGrayCombinationReadsBack) {
  struct Target {
    int bits;
    bool gray;
    int colourType;
  };
  const Target targets[] = {{1, false, 3}, {2, false, 3}, {4, false, 3},
                            {8, false, 3}, {8, true, 0},  {24, false, 2}};
  const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {1, 9}, {2, 7}, {3, 3}, {5, 2},
                                               {7, 8}, {8, 1}, {9, 10}, {33, 17}};
  PngReader reader;
  size_t written = 0;
  for (int sourceBits : {1, 4, 8, 24}) {
    for (const auto& [width, height] : sizes) {
      ImageBuffer source;
      test::MakePatternImage(source, width, height, sourceBits, static_cast<uint32_t>(width * 31 + height));
      for (const Target& t : targets) {
        Bytes expected;
        const bool expectOk = !((sourceBits == 1 || sourceBits == 4) && (t.bits != 8 || t.gray));
        if (expectOk) {
          ASSERT_TRUE(ExpectedColours(source, t.bits, t.gray, expected));
        }
        for (bool interlace : {false, true}) {
          SCOPED_TRACE(testing::Message() << "source " << sourceBits << " target " << t.bits
                                          << (t.gray ? " gray" : "") << (interlace ? " interlaced " : " ")
                                          << width << "x" << height);
          WriteResult r;
          Write(source, t.bits, t.gray, interlace, r);
          ASSERT_EQ(r.ok, expectOk) << CodecErrorName(r.writer.error);
          if (!expectOk) {
            EXPECT_EQ(r.writer.error, CodecError::UnsupportedDepth);
            continue;
          }
          const auto chunks = test::ParseChunks(r.file);
          ASSERT_GE(chunks.size(), 3u);
          EXPECT_EQ(chunks[0].data, test::IhdrData(static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                                   static_cast<uint8_t>(t.colourType == 3 ? t.bits : 8),
                                                   static_cast<uint8_t>(t.colourType), interlace ? 1 : 0));
          const ImageBuffer* back = ReadPngMemory(reader, r.file.data(), r.file.size());
          ASSERT_NE(back, nullptr) << CodecErrorName(reader.error);
          EXPECT_EQ(reader.rowsDecoded, reader.rowsExpected);
          EXPECT_EQ(Colours(*back), expected);
          ++written;
        }
      }
    }
  }
  EXPECT_EQ(written, 252u);
}

TEST(PngWriter, PaletteIsCompactedToItsDistinctColours) {
  ImageBuffer image;
  test::MakePatternImage(image, 16, 16, 8, 3);
  // 256 entries holding 17 colours: entry k has colour k % 17.
  for (size_t k = 0; k < 256; ++k) {
    const auto c = static_cast<uint8_t>(k % 17 * 15);
    image.palette[k] = RgbQuad{c, static_cast<uint8_t>(255 - c), static_cast<uint8_t>(c / 2), 0};
  }
  for (size_t i = 0; i < 256; ++i) image.pixels.data()[i] = static_cast<uint8_t>(255 - i);
  Bytes expected;
  ASSERT_TRUE(ExpectedColours(image, 8, false, expected));
  WriteResult r;
  Write(image, 8, false, false, r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.writer.paletteCount, 17);
  const auto chunks = test::ParseChunks(r.file);
  ASSERT_EQ(chunks[1].type, "PLTE");
  EXPECT_EQ(chunks[1].data.size(), 51u);
  // Every index points into the compacted palette.
  const Bytes data = test::InflatedImageData(r.file);
  ASSERT_EQ(data.size(), 16u * 17u);
  for (size_t y = 0; y < 16; ++y) {
    EXPECT_EQ(data[y * 17], 0);
    for (size_t x = 1; x < 17; ++x) EXPECT_LT(data[y * 17 + x], 17) << y << "," << x;
  }
  PngReader reader;
  const ImageBuffer* back = ReadPngMemory(reader, r.file.data(), r.file.size());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Colours(*back), expected);
}

TEST(PngWriter, OneBitTargetAlwaysWritesTwoEntries) {
  ImageBuffer image;
  test::MakePatternImage(image, 5, 3, 24, 1);
  std::fill(image.pixels.data(), image.pixels.data() + image.pixels.size(), uint8_t{255});
  WriteResult r;
  Write(image, 1, false, false, r);
  ASSERT_TRUE(r.ok);
  const auto chunks = test::ParseChunks(r.file);
  ASSERT_EQ(chunks[1].type, "PLTE");
  EXPECT_EQ(chunks[1].data.size(), 6u);
}

// Filter type bytes of a non-interlaced image's rows.
std::vector<int> RowFilters(const Bytes& file, size_t rowLength) {
  const Bytes data = test::InflatedImageData(file);
  std::vector<int> types;
  for (size_t i = 0; i < data.size(); i += rowLength) types.push_back(data[i]);
  return types;
}

TEST(PngWriter, PaletteRowsAreNeverFilteredAndOthersChooseAdaptively) {
  ImageBuffer image;
  test::MakePatternImage(image, 24, 12, 24, 9);
  // A smooth gradient: predicting filters win there.
  for (int32_t y = 0; y < 12; ++y) {
    uint8_t* row = image.pixels.data() + RowStride(24, 24) * static_cast<size_t>(y);
    for (int32_t x = 0; x < 24 * 3; ++x) row[x] = static_cast<uint8_t>(x * 3 + y * 5);
  }
  WriteResult palette;
  Write(image, 8, false, false, palette);
  ASSERT_TRUE(palette.ok);
  for (int t : RowFilters(palette.file, 25)) EXPECT_EQ(t, 0);

  WriteResult truecolour;
  Write(image, 24, false, false, truecolour);
  ASSERT_TRUE(truecolour.ok);
  const std::vector<int> types = RowFilters(truecolour.file, 73);
  ASSERT_EQ(types.size(), 12u);
  bool anyFiltered = false;
  for (int t : types) anyFiltered |= t != 0;
  EXPECT_TRUE(anyFiltered);

  // Fixed filter modes write that type on every row and read back the same.
  PngReader reader;
  for (int mode = 1; mode <= 5; ++mode) {
    WriteResult r;
    Write(image, 24, false, false, r, 9, mode);
    ASSERT_TRUE(r.ok);
    for (int t : RowFilters(r.file, 73)) EXPECT_EQ(t, mode - 1);
    const ImageBuffer* back = ReadPngMemory(reader, r.file.data(), r.file.size());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Colours(*back), Colours(image)) << mode;
  }
}

TEST(PngFilters, ChoiceScoresRepeatsOfSmallValuesAndPrefersLowerTypes) {
  // Rows of 6 bytes with distance 1.
  struct Case {
    const char* name;
    Bytes previous;
    Bytes raw;
    int expected;
  };
  const Case cases[] = {
      {"all zero: every filter ties", {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 0},
      {"ramp: Sub gives ones", {0, 0, 0, 0, 0, 0}, {9, 10, 11, 12, 13, 14}, 1},
      {"same as above: Up gives zeros", {90, 91, 140, 7, 66, 200}, {90, 91, 140, 7, 66, 200}, 2},
      {"flat row: Sub and Paeth tie, Sub wins", {0, 0, 0, 0, 0, 0}, {100, 100, 100, 100, 100, 100}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<Bytes, 6> buffers;
    png::FilterRows set;
    for (size_t b = 0; b < 6; ++b) {
      buffers[b].assign(7, 0);
      set.rows[b] = buffers[b].data();
    }
    std::copy(c.previous.begin(), c.previous.end(), buffers[png::kPrevious].begin() + 1);
    std::copy(c.raw.begin(), c.raw.end(), buffers[png::kNone].begin() + 1);
    EXPECT_EQ(png::ChooseRowFilter(set, 6, 1), c.expected);
    // The chosen buffer scores at least as high as every other.
    const uint32_t best = png::FilterScore(set.rows[png::kNone + c.expected], 6);
    for (int t = 0; t < 5; ++t) EXPECT_LE(png::FilterScore(set.rows[png::kNone + t], 6), best);
  }
  // Scores: equal neighbours count only for 0-3 and 252-255.
  EXPECT_EQ(png::FilterScore(Bytes{0, 0, 0, 4, 4, 255, 255}.data(), 6), 3u);
  EXPECT_EQ(png::FilterScore(Bytes{2, 2, 5, 5, 252, 252, 1}.data(), 6), 2u);
}

TEST(PngWriter, LevelAboveNineIsWrittenAsNine) {
  ImageBuffer image;
  test::MakePatternImage(image, 40, 30, 24, 4);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels.data()[i] = static_cast<uint8_t>(i * i % 251 / 50);
  WriteResult nine;
  Write(image, 24, false, false, nine, 9);
  WriteResult twelve;
  Write(image, 24, false, false, twelve, 12);
  ASSERT_TRUE(nine.ok && twelve.ok);
  EXPECT_EQ(twelve.file, nine.file);
  const auto chunks = test::ParseChunks(nine.file);
  ASSERT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[1].data[0], 0x78);         // deflate, 32 KB window
  EXPECT_EQ(chunks[1].data[1] >> 6, 3);       // maximum compression
  WriteResult zero;
  Write(image, 24, false, false, zero, 0);
  ASSERT_TRUE(zero.ok);
  EXPECT_GT(zero.file.size(), nine.file.size());
}

TEST(PngWriter, InterlacedOnePixelImageHasOnlyTheFirstPass) {
  ImageBuffer image;
  test::MakePatternImage(image, 1, 1, 24, 2);
  for (const auto& [target, gray, rowBytes] :
       {std::tuple{24, false, 4u}, std::tuple{8, true, 2u}, std::tuple{8, false, 2u}, std::tuple{1, false, 2u}}) {
    WriteResult r;
    Write(image, target, gray, true, r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(test::InflatedImageData(r.file).size(), rowBytes) << target;
  }
}

TEST(PngWriter, CommentGoesIntoTextChunkWithoutCarriageReturns) {
  ImageBuffer image;
  test::MakePatternImage(image, 2, 2, 24, 2);
  WriteResult r;
  r.writer.comment = "a\r\nb";
  Write(image, 24, false, false, r);
  ASSERT_TRUE(r.ok);
  const auto chunks = test::ParseChunks(r.file);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "tEXt");
  EXPECT_EQ(chunks[3].type, "IEND");
  EXPECT_EQ(std::string(chunks[2].data.begin(), chunks[2].data.end()), std::string("Comment\0a\nb", 11));

  // At most 10000 bytes of comment are kept.
  WriteResult longer;
  longer.writer.comment = std::string(12000, 'x');
  Write(image, 24, false, false, longer);
  ASSERT_TRUE(longer.ok);
  EXPECT_EQ(test::ParseChunks(longer.file)[2].data.size(), 8u + 10000u);
  // Without a comment there is no tEXt.
  WriteResult none;
  Write(image, 24, false, false, none);
  EXPECT_EQ(test::ParseChunks(none.file).size(), 3u);
}

TEST(PngWriter, CommentBytesAreCutAtWholeCharacters) {
  EXPECT_EQ(PngCommentBytes(u"abc"), "abc");
  EXPECT_EQ(PngCommentBytes(std::u16string(u"ab\0cd", 5)), "ab");
  // The longest prefix of whole characters that fits (in UTF-8, the POSIX
  // code page, 3333 of these three-byte characters).
  const std::u16string text(4000, u'\u3042');
  const std::string cut = PngCommentBytes(text);
  EXPECT_LE(cut.size(), kPngMaxCommentBytes);
  const size_t kept = AnsiToUtf16(cut).size();
  EXPECT_EQ(Utf16ToAnsi(text.substr(0, kept)), cut);
  if (kept < text.size()) {
    EXPECT_GT(Utf16ToAnsi(text.substr(0, kept + 1)).size(), kPngMaxCommentBytes);
  }
  // A surrogate pair is never split: the result is the conversion of a
  // prefix of whole pairs.
  std::u16string pairs;
  for (int i = 0; i < 3000; ++i) pairs += u"\U0001F600";
  const std::string pairBytes = PngCommentBytes(pairs);
  bool wholePairs = false;
  for (size_t k = 0; k <= pairs.size() && !wholePairs; k += 2) {
    wholePairs = Utf16ToAnsi(pairs.substr(0, k)) == pairBytes;
  }
  EXPECT_TRUE(wholePairs);
}

TEST(PngWriter, FileIsCreatedOnlyForAWritableImage) {
  test::ScratchFolder folder;
  ImageBuffer image;
  test::MakePatternImage(image, 3, 3, 4, 2);
  PngWriter writer;
  writer.converter.width = 3;
  writer.converter.height = 3;
  writer.converter.sourceBitCount = 4;
  writer.converter.targetBitCount = 24;
  EXPECT_FALSE(WritePng(writer, folder.File("a.png"), image.palette.data(), image.pixels.data()));
  EXPECT_EQ(writer.error, CodecError::UnsupportedDepth);
  EXPECT_FALSE(PathExists(folder.File("a.png")));

  writer.converter.targetBitCount = 8;
  ASSERT_TRUE(WritePng(writer, folder.File("b.png"), image.palette.data(), image.pixels.data()));
  PngReader reader;
  const ImageBuffer* back = ReadPng(reader, folder.File("b.png"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->header.bitCount, 8);
  EXPECT_TRUE(writer.converted.empty() && writer.filtered.empty() && writer.compressed.empty());

  writer.converter.targetBitCount = 16;
  EXPECT_FALSE(WritePng(writer, folder.File("c.png"), image.palette.data(), image.pixels.data()));
  EXPECT_EQ(writer.error, CodecError::UnsupportedDepth);
}

}  // namespace
}  // namespace pixlane
