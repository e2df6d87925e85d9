// PNG through the engine's load and save dispatch: the batch's blend table,
// the loader, and the saver's settings (depth, grayscale, level above 9,
// interlacing, the comment with CR LF line breaks).
#include <gtest/gtest.h>

#include <string>

#include "codecs/png_reader.h"
#include "engine/load_save_dispatch.h"
#include "png_test_files.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

TEST(PngDispatch, SavesWithTheSettingsAndLoadsBack) {
  test::ScratchFolder folder;
  ImageBuffer source;
  test::MakePatternImage(source, 11, 7, 24, 5);
  BmpWriter bmp;
  bmp.converter.width = 11;
  bmp.converter.height = 7;
  bmp.converter.sourceBitCount = 24;
  bmp.converter.targetBitCount = 24;
  ASSERT_TRUE(WriteBmp(bmp, folder.File("in.bmp"), source.palette.data(), source.pixels.data()));

  ConversionParameters params;
  params.OFmt = 1;
  params.DepOpt = 6;  // 8-bit gray
  params.Level = 12;
  params.Interlace = 1;
  params.CmtOpt = 1;
  params.CmtStr1 = u"line 1\r\nline 2";
  EngineContext context;
  ASSERT_TRUE(AllocateWorkObjects(context, params));
  BlendTable expected;
  BuildBlendTable(expected);
  EXPECT_EQ(context.work->pngBlend, expected);
  SelectSaver(context, params);
  ASSERT_TRUE(LoadImageFile(context, folder.File("in.bmp")));
  ASSERT_TRUE(SaveImageFile(context, params, folder.File("out.png")));
  EXPECT_EQ(context.lastSaveDepth, 8);
  EXPECT_EQ(context.work->pngWriter.level, 9);

  std::vector<uint8_t> file;
  ASSERT_TRUE(test::ReadWholeFile(folder.File("out.png"), file));
  const auto chunks = test::ParseChunks(file);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].data, test::IhdrData(11, 7, 8, 0, 1));
  EXPECT_EQ(chunks[1].data[1] >> 6, 3);  // level 9
  EXPECT_EQ(std::string(chunks[2].data.begin(), chunks[2].data.end()),
            std::string("Comment\0line 1\nline 2", 21));

  ASSERT_TRUE(LoadImageFile(context, folder.File("out.png")));
  EXPECT_EQ(context.current.width, 11);
  EXPECT_EQ(context.current.height, 7);
  EXPECT_EQ(context.current.bitCount, 8);
  EXPECT_EQ(context.current.record->sourceFormat, FormatCode::Png);
  EXPECT_EQ(context.work->pngReader.blendTable, &context.work->pngBlend);
  ReleaseWorkObjects(context);
}

TEST(PngDispatch, RejectedFileLeavesNoImage) {
  test::ScratchFolder folder;
  std::vector<uint8_t> bytes = test::PngFile(test::IhdrData(2, 2, 8, 0), {});
  ASSERT_TRUE(test::WriteWholeFile(folder.File("no_idat.png"), bytes));
  EngineContext context;
  ASSERT_TRUE(AllocateWorkObjects(context, ConversionParameters{}));
  EXPECT_FALSE(LoadImageFile(context, folder.File("no_idat.png")));
  EXPECT_EQ(context.current.record, nullptr);
  EXPECT_EQ(context.lastError, CodecError::BadHeader);
  EXPECT_TRUE(context.work->pngReader.image.pixels.empty());
}

}  // namespace
}  // namespace pixlane
