// GIF writer tests: round trips through ReadGif at every target depth, the
// header fields of 1 and 8-bit files, the exact bytes of a one-pixel file,
// and refused inputs.
#include "codecs/gif_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/gif_reader.h"
#include "gif_tiff_test_util.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::ColourAt;

// A 24-bit image using `count` colours, which every depth of at least
// log2(count) bits keeps exactly; with `asPalette` an 8-bit copy of it.
void MakeImage(ImageBuffer& image, int32_t width, int32_t height, int count, bool asPalette) {
  test::MakePatternImage(image, width, height, asPalette ? 8 : 24, 1);
  for (int i = 0; i < 256; ++i) {
    image.palette[static_cast<size_t>(i)] =
        i < count ? RgbQuad{static_cast<uint8_t>(i * 53 + 7), static_cast<uint8_t>(i * 101),
                            static_cast<uint8_t>(255 - i * 29), 0}
                  : RgbQuad{};
  }
  if (count == 2) {
    image.palette[0] = RgbQuad{0, 0, 0, 0};
    image.palette[1] = RgbQuad{255, 255, 255, 0};
  }
  const size_t stride = RowStride(width, image.header.bitCount);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image.pixels.data() + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < width; ++x) {
      const auto index = static_cast<uint8_t>((x * 7 + y * 3 + x * y) % count);
      if (asPalette) {
        row[x] = index;
      } else {
        const RgbQuad q = image.palette[index];
        row[3 * x] = q.blue;
        row[3 * x + 1] = q.green;
        row[3 * x + 2] = q.red;
      }
    }
  }
}

bool Write(const ImageBuffer& image, int bits, bool interlaced, const std::u16string& path,
           GifWriter& writer) {
  writer.converter.width = image.header.width;
  writer.converter.height = image.header.height;
  writer.converter.sourceBitCount = image.header.bitCount;
  writer.converter.targetBitCount = bits;
  writer.isInterlaced = interlaced;
  DeleteFilePath(path);  // files are only created anew
  return WriteGif(writer, path, image.palette.data(), image.pixels.data());
}

std::vector<uint8_t> WriteBytes(const ImageBuffer& image, int bits, bool interlaced = false) {
  test::ScratchFolder folder;
  GifWriter writer;
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(Write(image, bits, interlaced, folder.File("out.gif"), writer))
      << CodecErrorName(writer.error);
  EXPECT_TRUE(test::ReadWholeFile(folder.File("out.gif"), bytes));
  return bytes;
}

TEST(GifWriter, RoundTripsEveryDepthWidthAndSource) {
  test::ScratchFolder folder;
  GifWriter writer;  // one writer and one reader for everything
  GifReader reader;
  for (int32_t width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 300}) {
    for (int bits = 1; bits <= 8; ++bits) {
      for (bool asPalette : {false, true}) {
        const bool interlaced = (width + bits) % 2 == 0;
        SCOPED_TRACE(testing::Message() << "width " << width << ", " << bits << " bits, "
                                        << (asPalette ? "8" : "24") << "-bit source"
                                        << (interlaced ? ", interlaced" : ""));
        ImageBuffer image;
        const int32_t height = width == 300 ? 41 : 13;
        MakeImage(image, width, height, bits == 1 ? 2 : (1 << bits), asPalette);
        const std::u16string path = folder.File("round.gif");
        ASSERT_TRUE(Write(image, bits, interlaced, path, writer)) << CodecErrorName(writer.error);
        const ImageBuffer* back = ReadGif(reader, path);
        ASSERT_NE(back, nullptr) << CodecErrorName(reader.error);
        EXPECT_EQ(back->sourceBitCount, bits);
        ASSERT_EQ(back->header.width, width);
        ASSERT_EQ(back->header.height, height);
        EXPECT_EQ(test::ColourChecksum(*back), test::ColourChecksum(image));
      }
    }
  }
}

TEST(GifWriter, HeaderOfOneAndEightBitFiles) {
  ImageBuffer image;
  MakeImage(image, 5, 4, 2, false);
  std::vector<uint8_t> bytes = WriteBytes(image, 1);
  ASSERT_GT(bytes.size(), 30u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
  EXPECT_EQ(bytes[10], 0x80);  // global table of 2 entries
  EXPECT_EQ(bytes[11], 0);     // background
  EXPECT_EQ(bytes[12], 0);     // aspect
  EXPECT_EQ(bytes[13 + 6], 0x2C) << "the image descriptor follows the 2-entry table";
  EXPECT_EQ(bytes[13 + 6 + 10], 2) << "minimum code size 2 for 1-bit images";

  MakeImage(image, 5, 4, 256, true);
  bytes = WriteBytes(image, 8, true);
  EXPECT_EQ(bytes[10], 0xF7);
  EXPECT_EQ(bytes[13 + 768], 0x2C);
  EXPECT_EQ(bytes[13 + 768 + 9], 0x40) << "interlace flag, no local table";
  EXPECT_EQ(bytes[13 + 768 + 10], 8);
  EXPECT_EQ(bytes.back(), 0x3B);
}

TEST(GifWriter, OnePixelFileIsExact) {
  ImageBuffer image;
  MakeImage(image, 1, 1, 2, false);  // one black pixel
  std::vector<uint8_t> expected = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0,
                                   0, 0, 0, 255, 255, 255,  // the black-and-white table
                                   0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0,
                                   2,                        // minimum code size
                                   2, 0x44, 0x01, 0,         // clear 4, pixel 0, end 5
                                   0x3B};
  EXPECT_EQ(WriteBytes(image, 1), expected);
}

TEST(GifWriter, RefusesWhatItCannotWrite) {
  test::ScratchFolder folder;
  struct Case {
    const char* what;
    int sourceBits;
    int targetBits;
    CodecError error;
  };
  const Case cases[] = {
      {"4-bit source", 4, 8, CodecError::UnsupportedDepth},
      {"1-bit source", 1, 1, CodecError::UnsupportedDepth},
      {"0 target bits", 24, 0, CodecError::UnsupportedDepth},
      {"9 target bits", 24, 9, CodecError::UnsupportedDepth},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageBuffer image;
    test::MakePatternImage(image, 4, 4, c.sourceBits);
    GifWriter writer;
    EXPECT_FALSE(Write(image, c.targetBits, false, folder.File("x.gif"), writer));
    EXPECT_EQ(writer.error, c.error);
    EXPECT_FALSE(PathExists(folder.File("x.gif"))) << "nothing is created for a refused image";
  }
  ImageBuffer image;
  MakeImage(image, 4, 4, 2, false);
  GifWriter writer;
  EXPECT_FALSE(Write(image, 1, false, folder.File("missing/x.gif"), writer));
  EXPECT_EQ(writer.error, CodecError::CannotOpen);
  EXPECT_TRUE(writer.indices.empty());
  EXPECT_TRUE(writer.encoded.empty());
}

}  // namespace
}  // namespace pixlane
