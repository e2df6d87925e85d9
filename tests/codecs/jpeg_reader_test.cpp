// JPEG reader tests: what the image record says about gray, colour and
// progressive files, the JFIF density, the size limits (checked before any
// whole-image allocation), reduced decoding for the resize box, and clean
// failures when libjpeg gives up part-way (the error exit's jump back), and
// that pixel blocks reused from an earlier file leave none of its bytes in
// the row padding or in rows a damaged file never delivered.
#include "codecs/jpeg_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "jpeg_test_util.h"
#include "platform/file_system.h"
#include "platform/pixel_memory.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::ReadWholeFile;
using test::TestDataPath;

std::vector<uint8_t> DataFile(const char* name) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(TestDataPath(std::string("jpeg/") + name), bytes));
  return bytes;
}

// Offset of the payload of the first segment with `code`.
size_t PayloadOffset(const std::vector<uint8_t>& file, uint8_t code) {
  size_t pos = 2;
  while (pos + 4 <= file.size()) {
    if (file[pos + 1] == code) return pos + 4;
    pos += 2 + ((static_cast<size_t>(file[pos + 2]) << 8) | file[pos + 3]);
  }
  ADD_FAILURE() << "no segment " << int{code};
  return 0;
}

void PutU16BE(std::vector<uint8_t>& file, size_t at, unsigned value) {
  file[at] = static_cast<uint8_t>(value >> 8);
  file[at + 1] = static_cast<uint8_t>(value);
}

TEST(JpegReader, DescribesGrayColourAndProgressiveFiles) {
  JpegReader reader;
  const std::u16string grayPath = TestDataPath("jpeg/gray.jpg");
  const ImageBuffer* gray = LoadJpegImage(reader, grayPath);
  ASSERT_NE(gray, nullptr) << CodecErrorName(reader.error);
  EXPECT_EQ(gray->header.bitCount, 8);
  EXPECT_TRUE(reader.isGrayscale);
  EXPECT_FALSE(reader.isProgressive);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    EXPECT_EQ(gray->palette[static_cast<size_t>(i)], (RgbQuad{v, v, v, 0}));
  }
  EXPECT_EQ(gray->sourceFormat, FormatCode::Jpeg);
  EXPECT_EQ(gray->sourceBitCount, 8);
  uint64_t size = 0;
  FileTime time = 0;
  ASSERT_TRUE(GetFileSize(grayPath, size));
  ASSERT_TRUE(GetLastWriteTime(grayPath, time));
  EXPECT_EQ(gray->fileSize, size);
  EXPECT_EQ(gray->lastWriteTime, time);
  EXPECT_FALSE(reader.file.mapping.data());  // released after the load

  const ImageBuffer* colour = LoadJpegImage(reader, TestDataPath("jpeg/ycc420_progressive.jpg"));
  ASSERT_NE(colour, nullptr);
  EXPECT_EQ(colour->header.bitCount, 24);
  EXPECT_EQ(colour->sourceBitCount, 24);
  EXPECT_FALSE(reader.isGrayscale);
  EXPECT_TRUE(reader.isProgressive);
  EXPECT_EQ(reader.nominalWidth, 100);
  EXPECT_EQ(reader.nominalHeight, 75);
}

TEST(JpegReader, ConvertsJfifDensityToPixelsPerMetre) {
  struct Case {
    uint8_t unit;
    unsigned x, y;
    int32_t expectedX, expectedY;
  };
  const Case cases[] = {
      {1, 72, 72, 2835, 2835},  // 72 / 0.0254 = 2834.6
      {1, 96, 300, 3780, 11811},
      {2, 28, 40, 2800, 4000},
      {0, 3, 2, 0, 0},
  };
  std::vector<uint8_t> file = test::MakeTestJpeg(8, 8, JpegEncoderOptions{});
  ASSERT_FALSE(file.empty());
  const size_t app0 = PayloadOffset(file, 0xE0);
  for (const Case& c : cases) {
    file[app0 + 7] = c.unit;
    PutU16BE(file, app0 + 8, c.x);
    PutU16BE(file, app0 + 10, c.y);
    JpegReader reader;
    const ImageBuffer* image = LoadJpegImageMemory(reader, file.data(), file.size());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.xPelsPerMetre, c.expectedX) << int{c.unit} << " " << c.x;
    EXPECT_EQ(image->header.yPelsPerMetre, c.expectedY) << int{c.unit} << " " << c.y;
  }
}

TEST(JpegReader, LimitsTheDecodedSizeTo25000) {
  std::vector<uint8_t> file = test::MakeTestJpeg(8, 8, JpegEncoderOptions{});
  ASSERT_FALSE(file.empty());
  const size_t sof = PayloadOffset(file, 0xC0);
  struct Case {
    unsigned width, height;
    JpegTargetBox box;
    bool loads;
  };
  const Case cases[] = {
      {25000, 8, {}, true},          {25001, 8, {}, false},
      {8, 25001, {}, false},         {60000, 8, {400, 1}, true},  // decoded at 1/8: 7500 wide
      {60000, 8, {20000, 1}, false}, {8, 0, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    PutU16BE(file, sof + 1, c.height);
    PutU16BE(file, sof + 3, c.width);
    JpegReader reader;
    const ImageBuffer* image = LoadJpegImageMemory(reader, file.data(), file.size(), c.box);
    EXPECT_EQ(image != nullptr, c.loads) << reader.lastErrorText;
    if (!c.loads) {
      EXPECT_EQ(reader.error, CodecError::BadDimensions);
      EXPECT_TRUE(reader.image.pixels.empty());
    }
  }
}

TEST(JpegReader, ChoosesTheReducedScaleFromTheResizeBox) {
  EXPECT_EQ(JpegTargetBoxFromResize(3, 400).width, 400);
  EXPECT_EQ(JpegTargetBoxFromResize(1, 400).height, 1);
  EXPECT_EQ(JpegTargetBoxFromResize(2, 400).width, 1);
  EXPECT_FALSE(JpegTargetBoxFromResize(0, 400).IsSet());
  EXPECT_FALSE(JpegTargetBoxFromResize(3, 0).IsSet());

  JpegEncoderOptions options;
  options.quality = 30;
  struct Case {
    int32_t width, height, expectedWidth, expectedHeight;
    int scale;
  };
  for (const Case& c : {Case{3200, 2400, 800, 600, 4}, Case{1600, 1200, 800, 600, 2},
                        Case{700, 500, 700, 500, 1}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const std::vector<uint8_t> file = test::MakeTestJpeg(c.width, c.height, options);
    ASSERT_FALSE(file.empty());
    JpegReader reader;
    const ImageBuffer* image =
        LoadJpegImageMemory(reader, file.data(), file.size(), JpegTargetBoxFromResize(3, 400));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(reader.scaleDenominator, c.scale);
    EXPECT_EQ(image->header.width, c.expectedWidth);
    EXPECT_EQ(image->header.height, c.expectedHeight);
    EXPECT_EQ(reader.nominalWidth, c.width);
  }
  // Width-only and height-only boxes constrain one side.
  EXPECT_EQ(JpegScaleDenominator(3200, 2400, JpegTargetBoxFromResize(1, 1000)), 2);
  EXPECT_EQ(JpegScaleDenominator(3200, 2400, JpegTargetBoxFromResize(2, 1000)), 2);
  EXPECT_EQ(JpegScaleDenominator(3200, 2400, JpegTargetBoxFromResize(2, 300)), 8);
  EXPECT_EQ(JpegScaleDenominator(3200, 2400, JpegTargetBoxFromResize(3, 3200)), 1);
}

TEST(JpegReader, FailsCleanlyOnBrokenFiles) {
  const std::vector<uint8_t> good = DataFile("ycc420.jpg");
  std::vector<uint8_t> badTable = good;
  // Huffman code counts whose sum exceeds 256: refused while decoding starts.
  const size_t dht = PayloadOffset(badTable, 0xC4);
  for (size_t i = 1; i <= 16; ++i) badTable[dht + i] = 200;
  std::vector<uint8_t> noImage(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(dht - 4));
  std::vector<uint8_t> notJpeg = {'B', 'M', 0, 0, 0, 0};
  struct Case {
    const char* name;
    const std::vector<uint8_t>* bytes;
  };
  for (const Case& c : {Case{"bad table", &badTable}, Case{"headers only", &noImage},
                        Case{"not a JPEG", &notJpeg}}) {
    SCOPED_TRACE(c.name);
    JpegReader reader;
    EXPECT_EQ(LoadJpegImageMemory(reader, c.bytes->data(), c.bytes->size()), nullptr);
    EXPECT_EQ(reader.error, CodecError::BadHeader);
    EXPECT_FALSE(reader.lastErrorText.empty());
    EXPECT_TRUE(reader.image.pixels.empty());
    // The same reader decodes a good file afterwards.
    EXPECT_NE(LoadJpegImageMemory(reader, good.data(), good.size()), nullptr);
  }
  JpegReader reader;
  EXPECT_EQ(LoadJpegImage(reader, TestDataPath("jpeg/missing.jpg")), nullptr);
  EXPECT_EQ(reader.error, CodecError::CannotOpen);
}

TEST(JpegReader, MarksImagesCutShortOrDamagedAsPartial) {
  const std::vector<uint8_t> good = DataFile("ycc420.jpg");
  JpegReader reader;
  ASSERT_NE(LoadJpegImageMemory(reader, good.data(), good.size()), nullptr);
  EXPECT_FALSE(reader.image.isPartial);
  // Cut inside the scan: the rows so far are kept, the rest filled in.
  const size_t sos = PayloadOffset(good, 0xDA);
  const std::vector<uint8_t> cut(good.begin(),
                                 good.begin() + static_cast<std::ptrdiff_t>(sos + (good.size() - sos) / 3));
  ASSERT_NE(LoadJpegImageMemory(reader, cut.data(), cut.size()), nullptr);
  EXPECT_TRUE(reader.image.isPartial);
  // Garbage in the middle of the entropy-coded data.
  std::vector<uint8_t> damaged = good;
  for (size_t i = sos + 40; i < sos + 200 && i + 2 < damaged.size(); ++i) damaged[i] = 0xFF;
  if (LoadJpegImageMemory(reader, damaged.data(), damaged.size()) != nullptr) {
    EXPECT_TRUE(reader.image.isPartial);
  }
  // The flag does not carry over to the next file.
  ASSERT_NE(LoadJpegImageMemory(reader, good.data(), good.size()), nullptr);
  EXPECT_FALSE(reader.image.isPartial);
}

// Decodes `file` and returns the whole pixel block (row padding included);
// empty when the file fails.
std::vector<uint8_t> DecodedBlock(const std::vector<uint8_t>& file, bool& partial) {
  JpegReader reader;
  ImageBuffer* image = LoadJpegImageMemory(reader, file.data(), file.size());
  if (image == nullptr) return {};
  partial = image->isPartial;
  return std::vector<uint8_t>(image->pixels.data(), image->pixels.data() + image->pixels.size());
}

TEST(JpegReader, ReusedPixelBlocksDecodeExactlyLikeFreshOnes) {
  JpegEncoderOptions gray;
  gray.grayscale = true;
  std::vector<std::vector<uint8_t>> files = {
      test::MakeTestJpeg(101, 67, JpegEncoderOptions{}, 3),  // rows padded by 1 byte
      test::MakeTestJpeg(99, 67, gray, 4),                   // and by 1 byte gray
  };
  const std::vector<uint8_t>& whole = files[0];
  const size_t sos = PayloadOffset(whole, 0xDA);
  files.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(sos + 60));
  std::vector<std::vector<uint8_t>> fresh;
  std::vector<bool> freshPartial;
  for (const std::vector<uint8_t>& file : files) {
    bool partial = false;
    fresh.push_back(DecodedBlock(file, partial));
    ASSERT_FALSE(fresh.back().empty());
    freshPartial.push_back(partial);
  }
  EXPECT_TRUE(freshPartial.back());

  const PixelPoolScope pool;
  for (size_t i = 0; i < files.size(); ++i) {
    // Leave blocks of every likely size full of 0xEE in the pool.
    std::vector<PixelBlock> dirty(4);
    for (size_t k = 0; k < dirty.size(); ++k) {
      ASSERT_TRUE(dirty[k].AllocateForOverwrite(fresh[i].size() + k * 1024));
      std::memset(dirty[k].data(), 0xEE, dirty[k].size());
    }
    dirty.clear();
    bool partial = false;
    EXPECT_EQ(DecodedBlock(files[i], partial), fresh[i]) << "file " << i;
    EXPECT_EQ(partial, freshPartial[i]);
  }
  EXPECT_GT(GetPixelPoolStats().reused, 0u);
}

}  // namespace
}  // namespace pixlane
