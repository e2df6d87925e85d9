// JPEG writer tests: the frame header for each sampling setting, grayscale
// and progressive output, the COM segment's place, bytes and cap, the
// quality mapping, indexed input, refusals, and the automatic quality
// search (the qualities it tries, the file it writes, tiny images).
#include "codecs/jpeg_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "codecs/jpeg_reader.h"
#include "jpeg_test_util.h"
#include "platform/file_system.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::ReadWholeFile;
using test::ScratchFolder;

class JpegWriterTest : public testing::Test {
 protected:
  void SetUp() override { test::MakePhotoImage(photo_, 96, 64, 3); }

  bool Save(JpegWriter& writer, const ImageBuffer& image, const std::u16string& path) {
    writer.converter.width = image.header.width;
    writer.converter.height = image.header.height;
    writer.converter.sourceBitCount = image.header.bitCount;
    DeleteFilePath(path);  // files are only created anew
    return SaveJpegImage(writer, path, image.palette.data(), image.pixels.data());
  }

  std::vector<uint8_t> Encode(const JpegEncoderOptions& options, const ImageBuffer& image) {
    JpegWriter writer;
    writer.options = options;
    const std::u16string path = folder_.File("out.jpg");
    EXPECT_TRUE(Save(writer, image, path)) << CodecErrorName(writer.error);
    EXPECT_TRUE(writer.expanded.empty());
    EXPECT_FALSE(writer.file.output.IsOpen());
    std::vector<uint8_t> bytes;
    ReadWholeFile(path, bytes);
    return bytes;
  }

  std::vector<uint8_t> EncodeAt(int32_t quality, const ImageBuffer& image) {
    JpegEncoderOptions options;
    options.quality = quality;
    return Encode(options, image);
  }

  ScratchFolder folder_;
  ImageBuffer photo_;
};

TEST_F(JpegWriterTest, WritesTheSamplingGrayscaleAndProgressiveSettings) {
  struct Case {
    int32_t sampling;
    bool grayscale, progressive;
    uint8_t marker;
    std::vector<std::array<int, 3>> components;  // id, h, v
  };
  const Case cases[] = {
      {0, false, false, 0xC0, {{1, 2, 2}, {2, 1, 1}, {3, 1, 1}}},
      {1, false, false, 0xC0, {{1, 2, 1}, {2, 1, 1}, {3, 1, 1}}},
      {2, false, true, 0xC2, {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}}},
      {7, false, false, 0xC0, {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}}},
      {0, true, false, 0xC0, {{1, 1, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "sampling " << c.sampling << " gray " << c.grayscale);
    JpegEncoderOptions options;
    SetJpegEncoderOptions(options, 80, c.progressive ? 1 : 0, c.sampling);
    options.grayscale = c.grayscale;
    test::JpegFrameInfo frame;
    ASSERT_TRUE(test::ReadJpegFrame(Encode(options, photo_), frame));
    EXPECT_EQ(frame.marker, c.marker);
    EXPECT_EQ(frame.width, 96);
    EXPECT_EQ(frame.height, 64);
    ASSERT_EQ(frame.components.size(), c.components.size());
    for (size_t i = 0; i < c.components.size(); ++i) {
      EXPECT_EQ(frame.components[i].id, c.components[i][0]);
      EXPECT_EQ(frame.components[i].h, c.components[i][1]);
      EXPECT_EQ(frame.components[i].v, c.components[i][2]);
    }
  }
}

TEST_F(JpegWriterTest, PutsTheCommentRightAfterJfifAndCapsIt) {
  struct Case {
    std::string comment;
    std::string stored;
  };
  const std::string longText(12000, 'x');
  const Case cases[] = {
      {"line one\r\nline two", "line one\r\nline two"},
      {longText, longText.substr(0, 10000)},
      {std::string("cut\0here", 8), "cut"},
  };
  for (const Case& c : cases) {
    JpegEncoderOptions options;
    options.comment = c.comment;
    const std::vector<test::JpegSegmentCopy> segments =
        test::ListJpegSegments(Encode(options, photo_));
    ASSERT_GE(segments.size(), 3u);
    EXPECT_EQ(segments[0].code, 0xE0);
    EXPECT_EQ(segments[1].code, 0xFE);
    EXPECT_EQ(std::string(segments[1].payload.begin(), segments[1].payload.end()), c.stored);
  }
  JpegEncoderOptions none;
  for (const test::JpegSegmentCopy& s : test::ListJpegSegments(Encode(none, photo_))) {
    EXPECT_NE(s.code, 0xFE);
  }
}

TEST_F(JpegWriterTest, MapsQualityAndExpandsIndexedImages) {
  JpegEncoderOptions options;
  SetJpegEncoderOptions(options, 150, 0, 0);
  EXPECT_EQ(options.quality, 75);
  SetJpegEncoderOptions(options, 100, 0, 0);
  EXPECT_EQ(options.quality, 100);
  SetJpegEncoderOptions(options, 150, 0, 0);
  EXPECT_EQ(Encode(options, photo_), EncodeAt(75, photo_));
  // libjpeg treats 0 and below as 1.
  EXPECT_EQ(EncodeAt(0, photo_), EncodeAt(1, photo_));
  EXPECT_EQ(EncodeAt(-5, photo_), EncodeAt(1, photo_));

  // An indexed image is written exactly like its 24-bit expansion.
  for (int bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    ImageBuffer indexed;
    test::MakePatternImage(indexed, 37, 23, bits, 9);
    DepthConverter converter;
    converter.width = 37;
    converter.height = 23;
    converter.sourceBitCount = bits;
    converter.targetBitCount = 24;
    ASSERT_TRUE(ComputeRowGeometry(converter));
    ImageBuffer expanded;
    SetImageHeader(expanded, 37, 23, 24, 0, 0);
    ASSERT_TRUE(expanded.pixels.Allocate(converter.imageBytes));
    Palette unused{};
    ASSERT_TRUE(ConvertDepth(converter, indexed.palette.data(), indexed.pixels.data(),
                             unused.data(), expanded.pixels.data()));
    EXPECT_EQ(EncodeAt(90, indexed), EncodeAt(90, expanded));
  }
}

TEST_F(JpegWriterTest, RefusesWhatItCannotWrite) {
  ImageBuffer twoBit;
  test::MakePatternImage(twoBit, 8, 8, 24);
  twoBit.header.bitCount = 2;
  JpegWriter writer;
  EXPECT_FALSE(Save(writer, twoBit, folder_.File("a.jpg")));
  EXPECT_EQ(writer.error, CodecError::UnsupportedDepth);
  EXPECT_FALSE(PathExists(folder_.File("a.jpg")));

  ImageBuffer wide;
  test::MakePatternImage(wide, 8, 8, 24);
  wide.header.width = 25001;
  EXPECT_FALSE(Save(writer, wide, folder_.File("b.jpg")));
  EXPECT_EQ(writer.error, CodecError::BadDimensions);

  EXPECT_FALSE(Save(writer, photo_, folder_.File("no/such/folder/c.jpg")));
  EXPECT_EQ(writer.error, CodecError::CannotOpen);
#ifndef _WIN32
  {
    // A full disk: the buffer flush fails inside libjpeg, which jumps back
    // through the error exit.
    test::FileSizeLimit limit(1000);
    EXPECT_FALSE(Save(writer, photo_, folder_.File("full.jpg")));
  }
  EXPECT_EQ(writer.error, CodecError::WriteFailed);
  EXPECT_FALSE(writer.lastErrorText.empty());
  EXPECT_FALSE(writer.file.output.IsOpen());
#endif
}

// The qualities the search must try, given the size each quality produces.
std::vector<int32_t> ExpectedSearch(const std::map<int32_t, size_t>& sizes, size_t limit) {
  std::vector<int32_t> tried = {100};
  if (sizes.at(100) <= limit) return tried;
  int32_t upper = 100;
  int32_t step = 31;
  for (int32_t q = 69; q >= 1;) {
    tried.push_back(q);
    if (sizes.at(q) > limit) {
      upper = q;
      if (q == 7) step = 1;
      q -= step;
    } else {
      if (step == 1) break;
      step /= 2;
      q = upper - step;
    }
  }
  return tried;
}

TEST_F(JpegWriterTest, SearchesTheQualityThatFitsTheLimit) {
  ImageBuffer photo;
  test::MakePhotoImage(photo, 320, 240, 5);
  std::map<int32_t, size_t> sizes;
  for (int32_t q = 1; q <= 100; ++q) sizes[q] = EncodeAt(q, photo).size();

  for (int32_t limitKb : {1, 4, 8, 12, 20, 40, 1000}) {
    SCOPED_TRACE(testing::Message() << limitKb << " KB");
    const size_t limit = static_cast<size_t>(limitKb) * 1024;
    JpegWriter writer;
    writer.converter.width = photo.header.width;
    writer.converter.height = photo.header.height;
    writer.converter.sourceBitCount = 24;
    const std::u16string path = folder_.File("limited.jpg");
    DeleteFilePath(path);  // files are only created anew
    ASSERT_TRUE(SaveJpegWithinSize(writer, path, limitKb, nullptr, photo.pixels.data()))
        << CodecErrorName(writer.error);
    EXPECT_EQ(writer.qualitiesTried, ExpectedSearch(sizes, limit));
    EXPECT_TRUE(writer.trialBlock.empty());
    const int32_t last = writer.qualitiesTried.back();
    std::vector<uint8_t> written;
    ASSERT_TRUE(ReadWholeFile(path, written));
    EXPECT_EQ(written, EncodeAt(last, photo));
    if (limitKb == 1) {
      // Nothing fits: the descending chain ends at quality 1, written anyway.
      EXPECT_EQ(writer.qualitiesTried, (std::vector<int32_t>{100, 69, 38, 7, 6, 5, 4, 3, 2, 1}));
      EXPECT_GT(written.size(), limit);
    } else {
      EXPECT_LE(written.size(), limit);
    }
  }
}

TEST_F(JpegWriterTest, HalvesTheStepAfterAFit) {
  // A limit between the sizes at 69 and 100: 100 misses, 69 fits, then 85.
  ImageBuffer photo;
  test::MakePhotoImage(photo, 320, 240, 5);
  const size_t at69 = EncodeAt(69, photo).size();
  const size_t at100 = EncodeAt(100, photo).size();
  const int32_t limitKb = static_cast<int32_t>((at69 + 1023) / 1024);
  ASSERT_LT(static_cast<size_t>(limitKb) * 1024, at100);
  JpegWriter writer;
  writer.converter.width = photo.header.width;
  writer.converter.height = photo.header.height;
  writer.converter.sourceBitCount = 24;
  ASSERT_TRUE(
      SaveJpegWithinSize(writer, folder_.File("x.jpg"), limitKb, nullptr, photo.pixels.data()));
  ASSERT_GE(writer.qualitiesTried.size(), 3u);
  EXPECT_EQ(writer.qualitiesTried[0], 100);
  EXPECT_EQ(writer.qualitiesTried[1], 69);
  EXPECT_EQ(writer.qualitiesTried[2], 85);
}

TEST_F(JpegWriterTest, TinyImagesOutgrowTheSearchBlock) {
  // A 1×1 image: the block starts at 4 bytes, the file takes hundreds.
  for (int bits : {8, 24}) {
    ImageBuffer tiny;
    test::MakePatternImage(tiny, 1, 1, bits, 4);
    JpegWriter writer;
    writer.converter.width = 1;
    writer.converter.height = 1;
    writer.converter.sourceBitCount = bits;
    const std::u16string path = folder_.File("tiny.jpg");
    DeleteFilePath(path);  // files are only created anew
    ASSERT_TRUE(SaveJpegWithinSize(writer, path, 10, tiny.palette.data(), tiny.pixels.data()));
    EXPECT_EQ(writer.qualitiesTried, std::vector<int32_t>{100});
    std::vector<uint8_t> written;
    ASSERT_TRUE(ReadWholeFile(path, written));
    EXPECT_EQ(written, EncodeAt(100, tiny));
    JpegReader reader;
    EXPECT_NE(LoadJpegImageMemory(reader, written.data(), written.size()), nullptr);
  }
}

}  // namespace
}  // namespace pixlane
