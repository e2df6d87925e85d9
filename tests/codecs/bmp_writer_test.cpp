// BMP writer tests: round trips through the reader at every depth and at
// widths 1-9, the exact bytes of same-depth files, depth conversions that
// keep every colour, and the refusals (nothing left open or allocated).
#include "codecs/bmp_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codecs/bmp_reader.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::MakePatternImage;
using test::ReadWholeFile;
using test::ScratchFolder;

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t U16At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

const uint8_t* Row(const ImageBuffer& image, int32_t y) {
  return image.pixels.data() + RowStride(image.header.width, image.header.bitCount) * static_cast<size_t>(y);
}

int IndexAt(const ImageBuffer& image, int32_t x, int32_t y) {
  const int bits = image.header.bitCount;
  const size_t bit = static_cast<size_t>(x) * static_cast<size_t>(bits);
  const int shift = 8 - bits - static_cast<int>(bit % 8);
  return (Row(image, y)[bit / 8] >> shift) & ((1 << bits) - 1);
}

RgbQuad ColourAt(const ImageBuffer& image, int32_t x, int32_t y) {
  if (image.header.bitCount == 24) {
    const uint8_t* p = Row(image, y) + 3 * static_cast<size_t>(x);
    return RgbQuad{p[0], p[1], p[2], 0};
  }
  RgbQuad q = image.palette[static_cast<size_t>(IndexAt(image, x, y))];
  q.reserved = 0;
  return q;
}

bool Write(BmpWriter& writer, const ImageBuffer& image, int targetBitCount,
           const std::u16string& path) {
  writer.converter.width = image.header.width;
  writer.converter.height = image.header.height;
  writer.converter.sourceBitCount = image.header.bitCount;
  writer.converter.targetBitCount = targetBitCount;
  DeleteFilePath(path);  // files are only created anew
  return WriteBmp(writer, path, image.palette.data(), image.pixels.data());
}

void ExpectReleased(const BmpWriter& writer) {
  EXPECT_TRUE(writer.converted.empty());
  EXPECT_FALSE(writer.file.output.IsOpen());
}

TEST(BmpWriter, RoundTripsEveryDepthAtWidthsOneToNine) {
  ScratchFolder folder;
  for (int bits : {1, 4, 8, 24}) {
    for (int32_t width = 1; width <= 9; ++width) {
      SCOPED_TRACE(testing::Message() << bits << " bits, width " << width);
      ImageBuffer source;
      MakePatternImage(source, width, 3, bits, static_cast<uint32_t>(width * 31 + bits));
      const std::u16string path = folder.File("round.bmp");
      BmpWriter writer;
      ASSERT_TRUE(Write(writer, source, bits, path)) << CodecErrorName(writer.error);
      ExpectReleased(writer);

      BmpReader reader;
      const ImageBuffer* back = ReadBmp(reader, path);
      ASSERT_NE(back, nullptr) << CodecErrorName(reader.error);
      EXPECT_EQ(back->header.width, width);
      EXPECT_EQ(back->header.height, 3);
      EXPECT_EQ(back->sourceBitCount, bits);
      EXPECT_EQ(back->header.bitCount, bits == 24 ? 24 : 8);
      for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < width; ++x) {
          if (bits == 24) {
            ASSERT_EQ(ColourAt(*back, x, y), ColourAt(source, x, y)) << x << "," << y;
          } else {
            ASSERT_EQ(IndexAt(*back, x, y), IndexAt(source, x, y)) << x << "," << y;
          }
        }
      }
      if (bits <= 8) {
        for (size_t i = 0; i < 256; ++i) {
          const RgbQuad expected = i < (size_t{1} << bits) ? source.palette[i] : RgbQuad{};
          ASSERT_EQ(back->palette[i], expected) << "palette entry " << i;
        }
      }
    }
  }
}

TEST(BmpWriter, SameDepthWritesPaletteAndRowsByteForByte) {
  ScratchFolder folder;
  struct Case {
    int bits;
    uint32_t offset;
    uint32_t colours;
  };
  for (const Case c : {Case{8, 1078, 256}, Case{24, 54, 0}, Case{4, 118, 16}, Case{1, 62, 2}}) {
    SCOPED_TRACE(c.bits);
    ImageBuffer source;
    MakePatternImage(source, 5, 3, c.bits, 7);
    // Reserved palette bytes and row fill bytes are copied as they are.
    source.palette[1].reserved = 0x5A;
    const size_t stride = RowStride(5, c.bits);
    source.pixels.data()[stride - 1] = 0xA5;
    BmpWriter writer;
    const std::u16string path = folder.File("same.bmp");
    ASSERT_TRUE(Write(writer, source, c.bits, path)) << CodecErrorName(writer.error);

    std::vector<uint8_t> file;
    ASSERT_TRUE(ReadWholeFile(path, file));
    const size_t imageBytes = stride * 3;
    ASSERT_EQ(file.size(), c.offset + imageBytes);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(U32At(file, 2), file.size());
    EXPECT_EQ(U32At(file, 6), 0u);  // both reserved words
    EXPECT_EQ(U32At(file, 10), c.offset);
    EXPECT_EQ(U32At(file, 14), 40u);
    EXPECT_EQ(U32At(file, 18), 5u);
    EXPECT_EQ(U32At(file, 22), 3u);
    EXPECT_EQ(U16At(file, 26), 1);
    EXPECT_EQ(U16At(file, 28), c.bits);
    for (size_t at = 30; at < 46; at += 4) EXPECT_EQ(U32At(file, at), 0u) << at;
    EXPECT_EQ(U32At(file, 46), c.colours);
    EXPECT_EQ(U32At(file, 50), 0u);
    EXPECT_EQ(std::memcmp(file.data() + 54, source.palette.data(), 4 * c.colours), 0);
    EXPECT_EQ(std::memcmp(file.data() + c.offset, source.pixels.data(), imageBytes), 0);
  }
}

TEST(BmpWriter, ConvertedDepthsKeepEveryColour) {
  ScratchFolder folder;
  // Images the converter can represent exactly at the target depth:
  // expansions of any pattern, and reductions of images with few colours.
  auto fewColours = [](ImageBuffer& image, int32_t width, int32_t height, int count) {
    MakePatternImage(image, width, height, 24, 3);
    const RgbQuad colours[3] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {10, 200, 90, 0}};
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = image.pixels.data() + RowStride(width, 24) * static_cast<size_t>(y);
      for (int32_t x = 0; x < width; ++x) {
        const RgbQuad& c = colours[(x * 7 + y * 3) % count];
        row[3 * x] = c.blue;
        row[3 * x + 1] = c.green;
        row[3 * x + 2] = c.red;
      }
    }
  };
  struct Case {
    int source;
    int target;
    int colours;  // for 24-bit sources: 2 (black and white) or 3
  };
  const Case cases[] = {{1, 24, 0}, {4, 24, 0}, {8, 24, 0}, {1, 8, 0}, {4, 8, 0},
                        {24, 1, 2}, {24, 4, 3}, {24, 8, 3}};
  for (const Case& c : cases) {
    for (int32_t width : {1, 6, 9}) {
      SCOPED_TRACE(testing::Message() << c.source << " -> " << c.target << ", width " << width);
      ImageBuffer source;
      if (c.source == 24) {
        fewColours(source, width, 4, c.colours);
      } else {
        MakePatternImage(source, width, 4, c.source, 11);
      }
      const std::u16string path = folder.File("converted.bmp");
      BmpWriter writer;
      ASSERT_TRUE(Write(writer, source, c.target, path)) << CodecErrorName(writer.error);
      ExpectReleased(writer);
      BmpReader reader;
      const ImageBuffer* back = ReadBmp(reader, path);
      ASSERT_NE(back, nullptr) << CodecErrorName(reader.error);
      EXPECT_EQ(back->sourceBitCount, c.target);
      for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < width; ++x) {
          ASSERT_EQ(ColourAt(*back, x, y), ColourAt(source, x, y)) << x << "," << y;
        }
      }
    }
  }
}

TEST(BmpWriter, RefusesWhatItCannotWriteAndReleasesEverything) {
  ScratchFolder folder;
  ImageBuffer four;
  MakePatternImage(four, 4, 2, 4);
  struct Case {
    const char* what;
    int32_t width;
    int source;
    int target;
    CodecError error;
  };
  const Case cases[] = {
      {"2-bit output", 4, 4, 2, CodecError::UnsupportedDepth},
      {"16-bit source", 4, 16, 24, CodecError::UnsupportedDepth},
      {"4 to 1 bit", 4, 4, 1, CodecError::ConversionFailed},
      {"width 0", 0, 4, 4, CodecError::BadDimensions},
      {"width 25001", 25001, 4, 4, CodecError::BadDimensions},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string path = folder.File("refused.bmp");
    BmpWriter writer;
    writer.converter.width = c.width;
    writer.converter.height = 2;
    writer.converter.sourceBitCount = c.source;
    writer.converter.targetBitCount = c.target;
    EXPECT_FALSE(WriteBmp(writer, path, four.palette.data(), four.pixels.data()));
    EXPECT_EQ(writer.error, c.error);
    ExpectReleased(writer);
    EXPECT_FALSE(PathExists(path));
  }

  BmpWriter writer;
  EXPECT_FALSE(Write(writer, four, 4, folder.File("missing-folder/x.bmp")));
  EXPECT_EQ(writer.error, CodecError::CannotOpen);
  ExpectReleased(writer);
}

}  // namespace
}  // namespace pixlane
