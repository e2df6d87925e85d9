// JPEG through the engine: the loader's reduced decoding and Exif date, the
// saver's settings (sampling, grayscale, comment, size limit), the lossless
// TransformFile with its size, Exif date and comment pass (and no temporary
// file left after a failure), and the preview's Exif look-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/jpeg_writer.h"
#include "engine/conversion_pipeline.h"
#include "engine/exif_lookup.h"
#include "engine/load_save_dispatch.h"
#include "platform/file_system.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::ReadWholeFile;
using test::ScratchFolder;
using test::WriteWholeFile;

constexpr char kDate[] = "2009:03:14 15:26:53";

std::vector<uint8_t> Segment(uint8_t code, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> out(4 + payload.size());
  out[0] = 0xFF;
  out[1] = code;
  out[2] = static_cast<uint8_t>((payload.size() + 2) >> 8);
  out[3] = static_cast<uint8_t>(payload.size() + 2);
  std::copy(payload.begin(), payload.end(), out.begin() + 4);
  return out;
}

// A big-endian Exif APP1 segment holding DateTimeOriginal.
std::vector<uint8_t> ExifSegment() {
  std::vector<uint8_t> p = {'E',  'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42, 0,  0,  0, 8, 0, 1, 0x87,
                            0x69, 0,    4,   0,   0, 0, 1,   0,   0, 0,  26, 0,  0, 0, 0, 0, 1,
                            0x90, 0x03, 0,   2,   0, 0, 0,   20,  0, 0,  0,  44, 0, 0, 0, 0};
  p.insert(p.end(), kDate, kDate + 20);
  return Segment(0xE1, p);
}

// A JPEG file of the given size with an Exif segment after SOI.
std::vector<uint8_t> PhotoWithExif(ScratchFolder& folder, int32_t width, int32_t height) {
  ImageBuffer image;
  test::MakePatternImage(image, width, height, 24, 3);
  JpegWriter writer;
  writer.options.quality = 40;
  writer.converter.width = width;
  writer.converter.height = height;
  writer.converter.sourceBitCount = 24;
  const std::u16string path = folder.File("made.jpg");
  EXPECT_TRUE(SaveJpegImage(writer, path, nullptr, image.pixels.data()));
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes));
  const std::vector<uint8_t> exif = ExifSegment();
  bytes.insert(bytes.begin() + 2, exif.begin(), exif.end());
  return bytes;
}

size_t FileCount(const std::u16string& folder) {
  std::vector<DirectoryEntry> entries;
  EXPECT_TRUE(ListDirectory(folder, entries));
  return entries.size();
}

// Component count and luminance sampling of a JPEG file, and its COM text.
struct JpegFacts {
  int components = 0, h = 0, v = 0, width = 0, height = 0;
  std::string comment;
};

JpegFacts FactsOf(const std::u16string& path) {
  std::vector<uint8_t> f;
  EXPECT_TRUE(ReadWholeFile(path, f));
  JpegFacts facts;
  for (size_t pos = 2; pos + 4 <= f.size() && f[pos] == 0xFF && f[pos + 1] != 0xDA;) {
    const size_t length = (static_cast<size_t>(f[pos + 2]) << 8) | f[pos + 3];
    const uint8_t* p = f.data() + pos + 4;
    if (f[pos + 1] == 0xC0 || f[pos + 1] == 0xC2) {
      facts.height = (p[1] << 8) | p[2];
      facts.width = (p[3] << 8) | p[4];
      facts.components = p[5];
      facts.h = p[7] >> 4;
      facts.v = p[7] & 15;
    } else if (f[pos + 1] == 0xFE) {
      facts.comment.assign(reinterpret_cast<const char*>(p), length - 2);
    }
    pos += 2 + length;
  }
  return facts;
}

class JpegEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateWorkObjects(context_, params_));
    input_ = folder_.File("photo.jpg");
    ASSERT_TRUE(WriteWholeFile(input_, PhotoWithExif(folder_, 1600, 1200)));
  }
  void TearDown() override { ReleaseWorkObjects(context_); }

  EngineContext context_;
  ConversionParameters params_;
  ScratchFolder folder_;
  ScratchFolder temporary_;
  std::u16string input_;
};

TEST_F(JpegEngineTest, LoadsReducedAndReadsTheExifDate) {
  params_.RszOpt = 3;
  params_.RszSize = 400;
  params_.NameSet = 1;
  ASSERT_TRUE(LoadImageFile(context_, params_, input_));
  EXPECT_EQ(context_.current.width, 800);
  EXPECT_EQ(context_.current.height, 600);
  EXPECT_EQ(context_.current.bitCount, 24);
  EXPECT_TRUE(context_.exifDate.present);
  EXPECT_EQ(std::string(context_.exifDate.text.data()), kDate);
  ReleaseCurrentImage(context_);

  params_.NameSet = 0;
  params_.RszOpt = 0;
  ASSERT_TRUE(LoadImageFile(context_, params_, input_));
  EXPECT_EQ(context_.current.width, 1600);
  EXPECT_FALSE(context_.exifDate.present);
  ReleaseCurrentImage(context_);
}

TEST_F(JpegEngineTest, SavesWithTheJpegSettings) {
  ASSERT_TRUE(LoadImageFile(context_, params_, input_));
  params_.OFmt = 2;
  params_.Sampling = 1;
  params_.CmtOpt = 1;
  params_.CmtStr1 = u"one\r\ntwo";
  SelectSaver(context_, params_);
  const std::u16string out = folder_.File("out.jpg");
  ASSERT_TRUE(SaveImageFile(context_, params_, out)) << CodecErrorName(context_.lastError);
  JpegFacts facts = FactsOf(out);
  EXPECT_EQ(facts.components, 3);
  EXPECT_EQ(facts.h, 2);
  EXPECT_EQ(facts.v, 1);
  EXPECT_EQ(facts.comment, "one\r\ntwo");

  params_.DepOpt = 6;
  params_.CmtOpt = 0;
  params_.Limit = 1;
  params_.LmtVal = 1;
  SelectSaver(context_, params_);
  ASSERT_TRUE(DeleteFilePath(out));
  ASSERT_TRUE(SaveImageFile(context_, params_, out));
  facts = FactsOf(out);
  EXPECT_EQ(facts.components, 1);
  EXPECT_TRUE(facts.comment.empty());
  EXPECT_EQ(context_.work->jpegWriter.qualitiesTried.back(), 1);
  ReleaseCurrentImage(context_);
}

TEST_F(JpegEngineTest, TransformsLosslesslyWithExifDateAndComment) {
  params_.JTrans = 1;
  params_.TurOpt = 1;
  params_.NameSet = 1;
  params_.CmtOpt = 1;
  params_.CmtStr1 = u"a\r\nb";
  SelectSaver(context_, params_);
  std::u16string temp;
  ASSERT_TRUE(ConvertOrTransformFile(context_, params_, input_, temporary_.path(), temp))
      << CodecErrorName(context_.lastError);
  EXPECT_EQ(FileCount(temporary_.path()), 1u);  // the commented file only
  EXPECT_EQ(context_.current.width, 1200);
  EXPECT_EQ(context_.current.height, 1600);
  EXPECT_TRUE(context_.exifDate.present);
  const JpegFacts facts = FactsOf(temp);
  EXPECT_EQ(facts.width, 1200);
  EXPECT_EQ(facts.comment, "a\nb");
  ASSERT_TRUE(DeleteFilePath(temp));

  // Failures leave no temporary file: a file that is not a JPEG, and a
  // comment pass on a file without APP0, APP1 or COM (Adobe CMYK output).
  ASSERT_TRUE(WriteWholeFile(folder_.File("fake.jpg"), {0xFF, 0xD8, 0xFF, 0xD9}));
  EXPECT_FALSE(TransformFile(context_, params_, folder_.File("fake.jpg"), temporary_.path(), temp));
  EXPECT_FALSE(context_.exifDate.present);
  params_.Marker = 0;
  EXPECT_FALSE(TransformFile(context_, params_, test::TestDataPath("jpeg/cmyk.jpg"),
                             temporary_.path(), temp));
  EXPECT_EQ(context_.lastError, CodecError::BadHeader);
  EXPECT_FALSE(
      TransformFile(context_, params_, folder_.File("missing.jpg"), temporary_.path(), temp));
  EXPECT_TRUE(temp.empty());
  EXPECT_EQ(FileCount(temporary_.path()), 0u);
}

TEST(JpegPreviewExif, ReadsOnlyJpegFiles) {
  ScratchFolder folder;
  ASSERT_TRUE(WriteWholeFile(folder.File("a.jpg"), PhotoWithExif(folder, 8, 8)));
  std::vector<uint8_t> bmpWithExif = {'B', 'M'};
  const std::vector<uint8_t> exif = ExifSegment();
  bmpWithExif.insert(bmpWithExif.end(), exif.begin(), exif.end());
  ASSERT_TRUE(WriteWholeFile(folder.File("b.bmp"), bmpWithExif));
  ExifDate date;
  ReadPreviewExifDate(folder.File("a.jpg"), date);
  EXPECT_TRUE(date.present);
  EXPECT_EQ(std::string(date.text.data()), kDate);
  ReadPreviewExifDate(folder.File("b.bmp"), date);
  EXPECT_FALSE(date.present);
  ReadPreviewExifDate(folder.File("missing.jpg"), date);
  EXPECT_FALSE(date.present);
}

}  // namespace
}  // namespace pixlane
