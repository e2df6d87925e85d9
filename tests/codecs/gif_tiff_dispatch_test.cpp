// GIF and TIFF through the engine's load and save dispatch: the loaders pick
// the reader by the file's bytes, and the savers pass the depth SelectSaver
// chose (GIF: 8 bits when it chose none; TIFF: the image's depth), the
// grayscale flag and Interlace to the writers.
#include <gtest/gtest.h>

#include <string>

#include "engine/load_save_dispatch.h"
#include "gif_tiff_test_util.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

TEST(GifTiffDispatch, LoadsAndSavesEveryDepthOption) {
  struct Case {
    int32_t ofmt;
    int32_t depOpt;
    int32_t interlace;
    int32_t savedDepth;
    int32_t readBackBits;  // sourceBitCount of the written file
  };
  const Case cases[] = {
      {4, 0, 0, 8, 8}, {4, 1, 1, 8, 8}, {4, 2, 0, 8, 8}, {4, 3, 1, 4, 4}, {4, 4, 0, 2, 2},
      {4, 5, 0, 1, 1}, {4, 6, 0, 8, 8}, {3, 0, 0, 24, 24}, {3, 1, 0, 24, 24}, {3, 2, 0, 8, 8},
      {3, 3, 0, 4, 4}, {3, 4, 0, 24, 24}, {3, 5, 0, 1, 1}, {3, 6, 0, 8, 8},
  };
  test::ScratchFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "OFmt " << c.ofmt << " DepOpt " << c.depOpt);
    ConversionParameters params;
    params.OFmt = c.ofmt;
    params.DepOpt = c.depOpt;
    params.Interlace = c.interlace;
    EngineContext context;
    SelectSaver(context, params);
    ASSERT_TRUE(AllocateWorkObjects(context, params));
    ASSERT_TRUE(LoadImageFile(context, test::TestDataPath("tiff/pil_rgb8.tif")));
    EXPECT_EQ(context.current.record->sourceFormat, FormatCode::Tiff);
    const std::u16string out = folder.File(c.ofmt == 4 ? "out.gif" : "out.tif");
    DeleteFilePath(out);  // files are only created anew
    ASSERT_TRUE(SaveImageFile(context, params, out)) << CodecErrorName(context.lastError);
    EXPECT_EQ(context.lastSaveDepth, c.savedDepth);
    ReleaseCurrentImage(context);
    // Read back through the load dispatch.
    ASSERT_TRUE(LoadImageFile(context, out)) << CodecErrorName(context.lastError);
    const ImageBuffer& back = *context.current.record;
    EXPECT_EQ(back.sourceFormat, c.ofmt == 4 ? FormatCode::Gif : FormatCode::Tiff);
    EXPECT_EQ(back.sourceBitCount, c.readBackBits);
    EXPECT_EQ(back.header.width, 5);
    EXPECT_EQ(back.header.height, 3);
    if (c.ofmt == 4) {
      std::vector<uint8_t> bytes;
      ASSERT_TRUE(test::ReadWholeFile(out, bytes));
      const size_t descriptor = 13 + (size_t{3} << c.readBackBits);
      EXPECT_EQ(bytes[descriptor + 9], c.interlace != 0 ? 0x40 : 0);
    }
    ReleaseWorkObjects(context);
  }
}

TEST(GifTiffDispatch, RefusedFilesLeaveNoPixels) {
  EngineContext context;
  ConversionParameters params;
  ASSERT_TRUE(AllocateWorkObjects(context, params));
  EXPECT_FALSE(LoadImageFile(context, test::TestDataPath("gif/gen_unknown_extension.gif")));
  EXPECT_EQ(context.lastError, CodecError::BadHeader);
  EXPECT_TRUE(context.work->gifReader.image.pixels.empty());
  EXPECT_FALSE(LoadImageFile(context, test::TestDataPath("tiff/cp_lzw.tif")));
  EXPECT_EQ(context.lastError, CodecError::UnsupportedCompression);
  EXPECT_TRUE(context.work->tiffReader.image.pixels.empty());
  EXPECT_EQ(context.current.record, nullptr);
  ReleaseWorkObjects(context);
}

}  // namespace
}  // namespace pixlane
