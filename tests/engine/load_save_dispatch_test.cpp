// Load dispatch by first bytes, the saver table, and BMP files through the
// engine end to end.
#include <gtest/gtest.h>

#include "codecs/bmp_reader.h"
#include "engine/load_save_dispatch.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

struct SaverCase {
  int32_t ofmt;
  int32_t depOpt;
  SaverKind saver;
  const char16_t* extension;
  int32_t depth;
  bool gray;
};

TEST(SelectSaverTest, ChoosesSaverDepthAndExtension) {
  const SaverCase cases[] = {
      {0, 0, SaverKind::Bmp, u".bmp", 0, false},  {0, 1, SaverKind::Bmp, u".bmp", 24, false},
      {0, 2, SaverKind::Bmp, u".bmp", 8, false},  {0, 3, SaverKind::Bmp, u".bmp", 4, false},
      {0, 4, SaverKind::Bmp, u".bmp", 0, false},  {0, 5, SaverKind::Bmp, u".bmp", 1, false},
      {0, 6, SaverKind::Bmp, u".bmp", 0, false},  {1, 4, SaverKind::Png, u".png", 2, false},
      {1, 6, SaverKind::Png, u".png", 8, true},   {2, 3, SaverKind::Jpeg, u".jpg", 24, false},
      {2, 6, SaverKind::Jpeg, u".jpg", 24, true}, {3, 4, SaverKind::Tiff, u".tif", 0, false},
      {3, 6, SaverKind::Tiff, u".tif", 8, true},  {4, 1, SaverKind::Gif, u".gif", 0, false},
      {4, 4, SaverKind::Gif, u".gif", 2, false},  {4, 6, SaverKind::Gif, u".gif", 0, false},
      {5, 2, SaverKind::Bmp, u".bmp", 8, false},  {9, 1, SaverKind::Bmp, u".bmp", 24, false},
  };
  EngineContext context;
  for (const SaverCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "OFmt " << c.ofmt << " DepOpt " << c.depOpt);
    ConversionParameters p;
    p.OFmt = c.ofmt;
    p.DepOpt = c.depOpt;
    SelectSaver(context, p);
    EXPECT_EQ(context.saver.saver, c.saver);
    EXPECT_EQ(context.saver.extension, c.extension);
    EXPECT_EQ(context.saver.targetDepth, c.depth);
    EXPECT_EQ(context.saver.grayscale, c.gray);
  }
  ConversionParameters p;
  p.JTrans = 1;
  p.DepOpt = 6;
  SelectSaver(context, p);
  EXPECT_EQ(context.saver.saver, SaverKind::JpegTransform);
  EXPECT_TRUE(context.saver.grayscale);
}

TEST(LoadImageFileTest, FailsCleanlyOnMissingShortAndForeignFiles) {
  test::ScratchFolder folder;
  ASSERT_TRUE(test::WriteWholeFile(folder.File("one"), {'B'}));
  ASSERT_TRUE(test::WriteWholeFile(folder.File("text"), {'h', 'e', 'l', 'l', 'o'}));
  ASSERT_TRUE(test::WriteWholeFile(folder.File("bad.bmp"), {'B', 'M', 1, 2, 3}));
  EngineContext context;
  ASSERT_TRUE(AllocateWorkObjects(context, ConversionParameters{}));
  // Without and with a plug-in folder: no plug-in takes these files, and a
  // failed load leaves no pixels behind.
  for (const std::u16string& plugins : {std::u16string(), folder.path()}) {
    context.pluginFolder = plugins;
    for (const char* name : {"missing", "one", "text", "bad.bmp"}) {
      SCOPED_TRACE(name);
      EXPECT_FALSE(LoadImageFile(context, folder.File(name)));
      EXPECT_EQ(context.current.record, nullptr);
      EXPECT_TRUE(context.work->bmpReader.image.pixels.empty());
    }
  }
  ReleaseWorkObjects(context);
  ReleaseWorkObjects(context);  // twice is harmless
}

TEST(LoadImageFileTest, ConvertsABmpThroughTheEngine) {
  test::ScratchFolder folder;
  EngineContext context;
  ASSERT_TRUE(AllocateWorkObjects(context, ConversionParameters{}));

  // Write a 24-bit pattern as BMP through the writer, then load it, save
  // it at 8 bits and load that.
  ImageBuffer source;
  test::MakePatternImage(source, 7, 5, 24);
  context.current = {&source, 7, 5, 24};
  ConversionParameters p;
  p.OFmt = 0;
  SelectSaver(context, p);
  ASSERT_TRUE(SaveImageFile(context, p, folder.File("a.bmp")));
  context.current = CurrentImage{};

  ASSERT_TRUE(LoadImageFile(context, folder.File("a.bmp")));
  EXPECT_EQ(context.current.width, 7);
  EXPECT_EQ(context.current.height, 5);
  EXPECT_EQ(context.current.bitCount, 24);
  EXPECT_EQ(test::PixelChecksum(*context.current.record), test::PixelChecksum(source));

  p.DepOpt = 2;
  SelectSaver(context, p);
  ASSERT_TRUE(SaveImageFile(context, p, folder.File("b.bmp")));
  EXPECT_EQ(context.lastSaveDepth, 8);
  ReleaseCurrentImage(context);
  EXPECT_TRUE(context.work->bmpReader.image.pixels.empty());
  ASSERT_TRUE(LoadImageFile(context, folder.File("b.bmp")));
  EXPECT_EQ(context.current.bitCount, 8);
  EXPECT_EQ(context.current.record->sourceFormat, FormatCode::Bmp);
  ReleaseWorkObjects(context);
}

TEST(SaveImageFileTest, RefusesFormatsWithoutAWriterAndImagesThatAreNotLoaded) {
  test::ScratchFolder folder;
  EngineContext context;
  ConversionParameters p;
  SelectSaver(context, p);
  EXPECT_FALSE(SaveImageFile(context, p, folder.File("x.jpg")));  // no work objects
  ASSERT_TRUE(AllocateWorkObjects(context, ConversionParameters{}));
  EXPECT_FALSE(SaveImageFile(context, p, folder.File("x.jpg")));  // no image
  ReleaseWorkObjects(context);
}

}  // namespace
}  // namespace pixlane
