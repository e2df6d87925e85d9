// The CLI's conversion run over a folder: expansion, output names that
// never overwrite, failures counted and reported, partial files removed.
#include <gtest/gtest.h>

#include "cli/cli_convert.h"
#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "platform/file_system.h"
#include "support/test_support.h"

namespace pixlane::cli {
namespace {

void WritePatternBmp(const std::u16string& path, int32_t w, int32_t h, int bits) {
  ImageBuffer image;
  test::MakePatternImage(image, w, h, bits);
  BmpWriter writer;
  writer.converter.width = w;
  writer.converter.height = h;
  writer.converter.sourceBitCount = bits;
  writer.converter.targetBitCount = bits;
  ASSERT_TRUE(WriteBmp(writer, path, image.palette.data(), image.pixels.data()));
}

TEST(CliConvertTest, ConvertsAFolderAndKeepsExistingOutputs) {
  test::ScratchFolder in;
  test::ScratchFolder out;
  WritePatternBmp(in.File("a.bmp"), 9, 4, 24);
  WritePatternBmp(in.File("b.bmp"), 3, 3, 8);
  ASSERT_TRUE(test::WriteWholeFile(in.File("broken.bmp"), {'B', 'M', 0}));
  ASSERT_TRUE(test::WriteWholeFile(in.File("notes.txt"), {'x'}));  // not an image name
  ASSERT_TRUE(test::WriteWholeFile(out.File("a.bmp"), {'k', 'e', 'e', 'p'}));

  CliOptions options;
  options.inputs = {in.path()};
  options.outputFolder = out.path();
  options.params.OFmt = 0;
  options.params.DepOpt = 5;  // 1 bit
  std::vector<std::string> errors;
  ConversionSummary summary;
  ASSERT_TRUE(RunConversion(
      options, [&](const std::string& line, bool isError) { if (isError) errors.push_back(line); },
      summary));
  EXPECT_EQ(summary.converted, 2);
  EXPECT_EQ(summary.failed, 1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("broken.bmp"), std::string::npos);

  std::vector<uint8_t> kept;
  ASSERT_TRUE(test::ReadWholeFile(out.File("a.bmp"), kept));
  EXPECT_EQ(kept.size(), 4u);  // untouched
  BmpReader reader;
  const ImageBuffer* a = ReadBmp(reader, out.File("a+1.bmp"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->sourceBitCount, 1);
  EXPECT_EQ(a->header.width, 9);
  EXPECT_TRUE(PathExists(out.File("b.bmp")));
  EXPECT_FALSE(PathExists(out.File("broken.bmp")));
}

TEST(CliConvertTest, OutputsWithoutAWriterAreReportedNotLeftBehind) {
  test::ScratchFolder in;
  test::ScratchFolder out;
  WritePatternBmp(in.File("a.bmp"), 2, 2, 24);
  CliOptions options;
  options.inputs = {in.File("a.bmp")};
  options.outputFolder = out.path();
  options.params.OFmt = 3;  // no TIFF writer yet
  ConversionSummary summary;
  ASSERT_TRUE(RunConversion(options, [](const std::string&, bool) {}, summary));
  EXPECT_EQ(summary.failed, 1);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(out.path(), entries));
  EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace pixlane::cli
