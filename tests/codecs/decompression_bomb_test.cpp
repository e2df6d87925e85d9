// Tiny files that declare 25000 x 25000 pixels are refused before the image
// is allocated; the bounds behind that never refuse the most compressible
// images real encoders write (flat images at the highest settings).
#include <gtest/gtest.h>

#include <vector>

#include "codecs/bmp_reader.h"
#include "codecs/data_budget.h"
#include "codecs/gif_reader.h"
#include "codecs/gif_writer.h"
#include "codecs/jpeg_reader.h"
#include "codecs/jpeg_transform.h"
#include "codecs/png_reader.h"
#include "codecs/png_writer.h"
#include "codecs/tiff_reader.h"
#include "platform/pixel_memory.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

std::vector<uint8_t> Bomb(const char* name) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(test::ReadWholeFile(test::TestDataPath(std::string("bombs/") + name), bytes)) << name;
  return bytes;
}

TEST(DecompressionBombTest, EveryReaderRefusesTinyFilesClaimingHugeImages) {
  {
    const std::vector<uint8_t> f = Bomb("png_rgb.png");
    PngReader reader;
    EXPECT_EQ(ReadPngMemory(reader, f.data(), f.size()), nullptr);
    EXPECT_EQ(reader.error, CodecError::DataTooSmall);
  }
  {
    const std::vector<uint8_t> f = Bomb("gif_screen.gif");
    GifReader reader;
    EXPECT_EQ(ReadGifMemory(reader, f.data(), f.size()), nullptr);
    EXPECT_EQ(reader.error, CodecError::DataTooSmall);
  }
  {
    const std::vector<uint8_t> f = Bomb("tiff_gray.tif");
    TiffReader reader;
    EXPECT_EQ(ReadTiffMemory(reader, f.data(), f.size()), nullptr);
    EXPECT_EQ(reader.error, CodecError::DataTooSmall);
  }
  {
    const std::vector<uint8_t> f = Bomb("bmp_24bit.bmp");
    BmpReader reader;
    EXPECT_EQ(ReadBmpMemory(reader, f.data(), f.size()), nullptr);
    EXPECT_EQ(reader.error, CodecError::DataTooSmall);
  }
  for (const char* name : {"jpeg_baseline.jpg", "jpeg_progressive.jpg", "jpeg_arithmetic.jpg"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> f = Bomb(name);
    JpegReader reader;
    EXPECT_EQ(LoadJpegImageMemory(reader, f.data(), f.size()), nullptr);
    EXPECT_EQ(reader.error, CodecError::DataTooSmall);
    // Scaled decoding still reads the whole coded image.
    EXPECT_EQ(LoadJpegImageMemory(reader, f.data(), f.size(), {800, 800}), nullptr);
    EXPECT_EQ(reader.error, CodecError::DataTooSmall);
    // The lossless transform would read every coefficient.
    JpegTransformer transformer;
    PixelBlock out;
    size_t produced = 0;
    EXPECT_FALSE(TransformJpegMemory(transformer, f.data(), f.size(), out, produced));
    EXPECT_EQ(transformer.error, CodecError::DataTooSmall);
  }
}

TEST(DecompressionBombTest, FlatImagesAtTheHighestCompressionStillDecode) {
  // 4000 x 4000 of one colour: deflate and LZW reach their best ratios.
  ImageBuffer image;
  test::MakePatternImage(image, 4000, 4000, 8);
  std::fill(image.pixels.data(), image.pixels.data() + RowStride(4000, 8) * 4000, uint8_t{7});

  PngWriter png;
  png.converter.width = 4000;
  png.converter.height = 4000;
  png.converter.sourceBitCount = 8;
  png.converter.targetBitCount = 8;
  png.level = 9;
  std::vector<uint8_t> pngFile;
  ASSERT_TRUE(WritePngMemory(png, image.palette.data(), image.pixels.data(), pngFile));
  PngReader pngReader;
  EXPECT_NE(ReadPngMemory(pngReader, pngFile.data(), pngFile.size()), nullptr)
      << CodecErrorName(pngReader.error) << " for " << pngFile.size() << " bytes";

  test::ScratchFolder folder;
  GifWriter gif;
  gif.converter.width = 4000;
  gif.converter.height = 4000;
  gif.converter.sourceBitCount = 8;
  gif.converter.targetBitCount = 8;
  ASSERT_TRUE(WriteGif(gif, folder.File("flat.gif"), image.palette.data(), image.pixels.data()));
  GifReader gifReader;
  EXPECT_NE(ReadGif(gifReader, folder.File("flat.gif")), nullptr) << CodecErrorName(gifReader.error);
}

TEST(DecompressionBombTest, BoundsSaturateAndGrowAsTheCodingAllows) {
  EXPECT_EQ(SaturatingMul(UINT64_MAX / 2, 3), UINT64_MAX);
  EXPECT_TRUE(DataCanFill(1, 1000));
  EXPECT_FALSE(DataCanFill(1, 1001));
  EXPECT_GE(DeflateMaxOutput(1000), 1032000u);
  // One byte holds two 3-bit codes: at most 1 + 2 symbols.
  EXPECT_EQ(LzwMaxOutput(1, 3), 3u);
  // Past a full table every code may stand for the longest string.
  EXPECT_EQ(LzwMaxOutput(6144, 12), 4096u * 4097 / 2);
  EXPECT_EQ(LzwMaxOutput(6144 + 3, 12), 4096u * 4097 / 2 + 2 * 4096);
}

}  // namespace
}  // namespace pixlane
