// TIFF writer tests: round trips through ReadTiff for every kind at widths
// 1 to 10, the fixed layout byte for byte (directory, offsets, sizes,
// ColorMap), and the depth pairs that must fail.
#include "codecs/tiff_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/tiff_reader.h"
#include "gif_tiff_test_util.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

uint32_t U16At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at] | (b[at + 1] << 8));
}
uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return U16At(b, at) | U16At(b, at + 2) << 16;
}

// An image whose colours every target keeps exactly: black and white for
// 1 bit, gray palette levels for grayscale, `count` colours otherwise.
void MakeImage(ImageBuffer& image, int32_t width, int32_t height, int bitCount, int count,
               bool gray = false) {
  test::MakePatternImage(image, width, height, bitCount, 3);
  image.palette = Palette{};
  for (int i = 0; i < count; ++i) {
    const auto v = static_cast<uint8_t>(i * 255 / (count - 1));
    image.palette[static_cast<size_t>(i)] =
        gray || count == 2
            ? RgbQuad{v, v, v, 0}
            : RgbQuad{static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i * 11),
                      static_cast<uint8_t>(i * 73 + 5), 0};
  }
  const size_t stride = RowStride(width, bitCount);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image.pixels.data() + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < width; ++x) {
      const auto index = static_cast<uint8_t>((x * 5 + y * 3 + x * y) % count);
      if (bitCount == 24) {
        const RgbQuad q = image.palette[index];
        row[3 * x] = q.blue;
        row[3 * x + 1] = q.green;
        row[3 * x + 2] = q.red;
      } else if (bitCount == 8) {
        row[x] = index;
      }
    }
  }
}

struct WriteResult {
  bool ok = false;
  CodecError error = CodecError::None;
  std::vector<uint8_t> bytes;
};

WriteResult Write(const ImageBuffer& image, int target, bool gray,
                  const std::u16string& path, int32_t pelsPerMetre = 0) {
  TiffWriter writer;
  writer.converter.width = image.header.width;
  writer.converter.height = image.header.height;
  writer.converter.sourceBitCount = image.header.bitCount;
  writer.converter.targetBitCount = target;
  writer.isGrayscale = gray;
  writer.xPelsPerMetre = pelsPerMetre;
  writer.yPelsPerMetre = pelsPerMetre;
  WriteResult r;
  DeleteFilePath(path);  // files are only created anew
  r.ok = WriteTiff(writer, path, image.palette.data(), image.pixels.data());
  r.error = writer.error;
  if (r.ok) {
    EXPECT_TRUE(test::ReadWholeFile(path, r.bytes));
  }
  return r;
}

TEST(TiffWriter, RoundTripsEveryKindAndWidth) {
  struct Kind {
    const char* what;
    int sourceBits;
    int target;
    bool gray;
    int colours;
    int readBits;
  };
  const Kind kinds[] = {
      {"bilevel from 24", 24, 1, false, 2, 1},     {"bilevel from 8", 8, 1, false, 2, 1},
      {"gray from 8", 8, 8, true, 200, 8},         {"palette 4 from 24", 24, 4, false, 16, 4},
      {"palette 4 from 8", 8, 4, false, 9, 4},     {"palette 8 from 8", 8, 8, false, 256, 8},
      {"palette 8 from 24", 24, 8, false, 100, 8}, {"RGB from 24", 24, 24, false, 250, 24},
      {"RGB from 8", 8, 24, false, 256, 24},
  };
  test::ScratchFolder folder;
  TiffReader reader;
  for (const Kind& k : kinds) {
    for (int32_t width = 1; width <= 10; ++width) {
      SCOPED_TRACE(testing::Message() << k.what << ", width " << width);
      ImageBuffer image;
      MakeImage(image, width, 4, k.sourceBits, k.colours, k.gray);
      const std::u16string path = folder.File("round.tif");
      const WriteResult w = Write(image, k.target, k.gray, path);
      ASSERT_TRUE(w.ok) << CodecErrorName(w.error);
      const ImageBuffer* back = ReadTiff(reader, path);
      ASSERT_NE(back, nullptr) << CodecErrorName(reader.error);
      EXPECT_EQ(back->sourceBitCount, k.readBits);
      EXPECT_EQ(test::ColourChecksum(*back), test::ColourChecksum(image));
    }
  }
}

TEST(TiffWriter, LayoutOfEveryKind) {
  struct Layout {
    const char* what;
    int sourceBits;
    int target;
    bool gray;
    uint32_t entries;
    uint32_t photometric;
    uint32_t bitsPerSample;  // inline value, or the offset of three
    uint32_t xResolutionAt;
    uint32_t colourMapAt;    // 0: none
    uint32_t dataAt;
    uint32_t dataBytes;      // for 10 x 3
  };
  const Layout layouts[] = {
      {"bilevel", 24, 1, false, 11, 1, 1, 146, 0, 162, 3 * 2},
      {"gray", 24, 8, true, 11, 1, 8, 146, 0, 162, 3 * 10},
      {"palette 4", 24, 4, false, 12, 3, 4, 158, 174, 270, 3 * 5},
      {"palette 8", 24, 8, false, 12, 3, 8, 158, 174, 1710, 3 * 10},
      {"RGB", 24, 24, false, 12, 2, 158, 164, 0, 180, 3 * 30},
  };
  test::ScratchFolder folder;
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.what);
    ImageBuffer image;
    MakeImage(image, 10, 3, l.sourceBits, 2);
    const WriteResult w = Write(image, l.target, l.gray, folder.File("layout.tif"), 2835);
    ASSERT_TRUE(w.ok) << CodecErrorName(w.error);
    const std::vector<uint8_t>& b = w.bytes;
    ASSERT_EQ(b.size(), l.dataAt + l.dataBytes);
    EXPECT_EQ(U32At(b, 0), 0x002A4949u);  // "II", 42
    EXPECT_EQ(U32At(b, 4), 8u);
    ASSERT_EQ(U16At(b, 8), l.entries);
    // Tag, type, count, value of each entry, in order.
    std::vector<std::vector<uint32_t>> want = {
        {256, 4, 1, 10}, {257, 4, 1, 3}, {258, 3, l.target == 24 ? 3u : 1u, l.bitsPerSample},
        {259, 3, 1, 1},  {262, 3, 1, l.photometric}, {273, 4, 1, l.dataAt}};
    if (l.target == 24) want.push_back({277, 3, 1, 3});
    want.push_back({278, 4, 1, 3});
    want.push_back({279, 4, 1, l.dataBytes});
    want.push_back({282, 5, 1, l.xResolutionAt});
    want.push_back({283, 5, 1, l.xResolutionAt + 8});
    want.push_back({296, 3, 1, 2});
    if (l.colourMapAt != 0) want.push_back({320, 3, l.target == 4 ? 48u : 768u, l.colourMapAt});
    ASSERT_EQ(want.size(), l.entries);
    for (size_t i = 0; i < want.size(); ++i) {
      const size_t at = 10 + 12 * i;
      EXPECT_EQ((std::vector<uint32_t>{U16At(b, at), U16At(b, at + 2), U32At(b, at + 4),
                                       U32At(b, at + 8)}),
                want[i])
          << "entry " << i;
    }
    EXPECT_EQ(U32At(b, 10 + 12 * want.size()), 0u) << "one directory only";
    // 2835 pixels per metre: 2835 × 254 / 10000 per inch.
    EXPECT_EQ(U32At(b, l.xResolutionAt), 2835u * 254u);
    EXPECT_EQ(U32At(b, l.xResolutionAt + 4), 10000u);
    EXPECT_EQ(U32At(b, l.xResolutionAt + 8), 2835u * 254u);
    if (l.target == 24) {
      EXPECT_EQ(U16At(b, 158), 8u);
      EXPECT_EQ(U16At(b, 160), 8u);
      EXPECT_EQ(U16At(b, 162), 8u);
    }
  }
}

TEST(TiffWriter, BilevelRowsStartOnABytePaddedWithZeros) {
  // 10 x 2: two bytes per row, the last six bits of each second byte 0.
  ImageBuffer image;
  test::MakePatternImage(image, 10, 2, 24, 1);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels.data()[i] = 255;  // all white
  test::ScratchFolder folder;
  const WriteResult w = Write(image, 1, false, folder.File("b.tif"));
  ASSERT_TRUE(w.ok);
  ASSERT_EQ(w.bytes.size(), 162u + 4u);
  EXPECT_EQ((std::vector<uint8_t>(w.bytes.begin() + 162, w.bytes.end())),
            (std::vector<uint8_t>{0xFF, 0xC0, 0xFF, 0xC0}));
  // A 3 x 3 gray image: nine bytes, rows back to back, top row first.
  MakeImage(image, 3, 3, 8, 9, true);
  const WriteResult g = Write(image, 8, true, folder.File("g.tif"));
  ASSERT_TRUE(g.ok);
  ASSERT_EQ(g.bytes.size(), 162u + 9u);
  EXPECT_EQ(g.bytes[162], test::ColourAt(image, 0, 0).red);
  EXPECT_EQ(g.bytes[170], test::ColourAt(image, 2, 2).red);
}

TEST(TiffWriter, ColourMapHoldsEachByteInTheHighHalf) {
  ImageBuffer image;
  MakeImage(image, 2, 1, 8, 2);
  image.palette[0] = RgbQuad{10, 20, 30, 0};  // blue, green, red
  image.pixels.data()[0] = 0;
  image.pixels.data()[1] = 0;
  test::ScratchFolder folder;
  const WriteResult w = Write(image, 8, false, folder.File("map.tif"));
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(U16At(w.bytes, 174), 0x1E00u);            // red
  EXPECT_EQ(U16At(w.bytes, 174 + 512), 0x1400u);      // green
  EXPECT_EQ(U16At(w.bytes, 174 + 1024), 0x0A00u);     // blue
  EXPECT_EQ(w.bytes.size(), 1710u + 2u);
  ImageBuffer rgb;
  MakeImage(rgb, 7, 5, 24, 10);
  EXPECT_EQ(Write(rgb, 24, false, folder.File("rgb.tif")).bytes.size(), 180u + 3u * 7u * 5u);
}

TEST(TiffWriter, RefusedDepthsLeaveNoFile) {
  struct Case {
    const char* what;
    int sourceBits;
    int target;
    bool ok;
    CodecError error;
  };
  const Case cases[] = {
      {"1 bit kept", 1, 1, false, CodecError::ConversionFailed},
      {"4 bits kept", 4, 4, false, CodecError::ConversionFailed},
      {"4 to 1 bit", 4, 1, false, CodecError::ConversionFailed},
      {"2-bit target", 24, 2, false, CodecError::UnsupportedDepth},
      {"16-bit target", 24, 16, false, CodecError::UnsupportedDepth},
      {"1 to 8 bits", 1, 8, true, CodecError::None},
      {"4 to 8 bits", 4, 8, true, CodecError::None},
      {"4 to 24 bits", 4, 24, true, CodecError::None},
  };
  test::ScratchFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageBuffer image;
    test::MakePatternImage(image, 5, 3, c.sourceBits);
    const std::u16string path = folder.File("d.tif");
    DeleteFilePath(path);
    const WriteResult w = Write(image, c.target, false, path);
    EXPECT_EQ(w.ok, c.ok);
    EXPECT_EQ(w.error, c.error);
    EXPECT_EQ(PathExists(path), c.ok);
    if (c.ok) {
      TiffReader reader;
      const ImageBuffer* back = ReadTiff(reader, path);
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(test::ColourChecksum(*back), test::ColourChecksum(image));
    }
  }
}

}  // namespace
}  // namespace pixlane
