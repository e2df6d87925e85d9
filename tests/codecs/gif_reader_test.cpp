// GIF reader tests: the reference files of tests/data/gif (expected pixels
// from Pillow's first frame, composed as the reader composes it), through the
// file and the memory path with one reader for all; the worked cases spelled
// out; screen size limits.
#include "codecs/gif_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif_tiff_test_util.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::ColourAt;
using test::IndexAt;

TEST(GifReaderReference, AgreesWithPillowOnEveryReferenceFile) {
  const std::vector<test::ManifestLine> lines = test::LoadManifest("gif/manifest.txt");
  ASSERT_GE(lines.size(), 40u);
  GifReader reader;  // shared, so that state left by one file shows in the next
  for (const test::ManifestLine& line : lines) {
    SCOPED_TRACE(line.name);
    const std::u16string path = test::TestDataPath("gif/" + line.name);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(test::ReadWholeFile(path, bytes));
    GifReader memoryReader;
    const ImageBuffer* fromMemory = ReadGifMemory(memoryReader, bytes.data(), bytes.size());
    const ImageBuffer* image = ReadGif(reader, path);
    if (!line.ok) {
      EXPECT_EQ(image, nullptr);
      EXPECT_EQ(fromMemory, nullptr);
      EXPECT_STREQ(CodecErrorName(reader.error), line.error.c_str());
      EXPECT_EQ(memoryReader.error, reader.error);
      EXPECT_TRUE(reader.image.pixels.empty());
      continue;
    }
    ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
    ASSERT_EQ(line.fields.size(), 5u);
    EXPECT_EQ(image->header.width, std::stoi(line.fields[0]));
    EXPECT_EQ(image->header.height, std::stoi(line.fields[1]));
    EXPECT_EQ(image->header.bitCount, 8);
    EXPECT_EQ(image->sourceBitCount, std::stoi(line.fields[3]));
    EXPECT_EQ(image->sourceFormat, FormatCode::Gif);
    EXPECT_EQ(image->fileSize, bytes.size());
    EXPECT_NE(image->lastWriteTime, 0u);
    const uint64_t checksum = std::stoull(line.fields[4], nullptr, 16);
    EXPECT_EQ(test::PixelChecksum(*image), checksum);
    ASSERT_NE(fromMemory, nullptr);
    EXPECT_EQ(test::PixelChecksum(*fromMemory), checksum);
  }
  EXPECT_EQ(reader.file.mapping.data(), nullptr) << "the file must be unmapped";
}

ImageBuffer* ReadData(GifReader& reader, const char* name) {
  return ReadGif(reader, test::TestDataPath(std::string("gif/") + name));
}

TEST(GifReaderWorkedCases, FrameInsideALargerScreen) {
  GifReader reader;
  const ImageBuffer* image = ReadData(reader, "gen_frame_in_screen.gif");
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->header.width, 20);
  ASSERT_EQ(image->header.height, 20);
  // Background index 2 around the 10 x 10 frame at (5, 5).
  for (const auto& [x, y] : {std::pair{0, 0}, {4, 5}, {15, 5}, {5, 4}, {5, 15}, {19, 19}}) {
    EXPECT_EQ(IndexAt(*image, x, y), 2) << x << "," << y;
  }
}

TEST(GifReaderWorkedCases, TransparentEntryTakesTheBackgroundOrWhite) {
  GifReader reader;
  const ImageBuffer* image = ReadData(reader, "gen_transparent_global.gif");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[3], (RgbQuad{255, 0, 0, 0}));  // blue, the background entry
  EXPECT_EQ(image->palette[4], (RgbQuad{30, 20, 10, 0}));
  image = ReadData(reader, "gen_transparent_local.gif");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[3], (RgbQuad{255, 255, 255, 0}));
  // The same reader, a file without transparency: nothing carried over.
  image = ReadData(reader, "gen_gce_without_transparency.gif");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[3], (RgbQuad{0, 255, 0, 0}));
}

std::vector<uint8_t> MinimalGif(uint32_t width, uint32_t height, uint8_t padding = 0) {
  // Screen and frame of the given size, a 2-entry table, one pixel of data
  // (and `padding` zero bytes after its end code).
  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  test::AppendU16(out, width);
  test::AppendU16(out, height);
  out.insert(out.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C});
  test::AppendU16(out, 0);
  test::AppendU16(out, 0);
  test::AppendU16(out, width);
  test::AppendU16(out, height);
  out.insert(out.end(), {0, 2, static_cast<uint8_t>(2 + padding), 0x4C, 0x01});  // clear, 1, end
  out.insert(out.end(), padding, 0);
  out.insert(out.end(), {0, 0x3B});
  return out;
}

TEST(GifReaderLimits, ScreenSizesUpTo25000) {
  struct Case {
    uint32_t width;
    uint32_t height;
    bool ok;
  };
  for (const Case& c : {Case{25000, 1, true}, Case{1, 25000, true}, Case{25001, 1, false},
                        Case{1, 25001, false}, Case{0, 1, false}, Case{65535, 65535, false}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    // Enough data that it could fill the 1/1000 of the image a file must.
    const std::vector<uint8_t> bytes = MinimalGif(c.width, c.height, 4);
    GifReader reader;
    const ImageBuffer* image = ReadGifMemory(reader, bytes.data(), bytes.size());
    if (!c.ok) {
      EXPECT_EQ(image, nullptr);
      EXPECT_EQ(reader.error, CodecError::BadDimensions);
      continue;
    }
    ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
    EXPECT_EQ(IndexAt(*image, 0, 0), 1);
    EXPECT_EQ(ColourAt(*image, 0, 0), (RgbQuad{255, 255, 255, 0}));
    const auto last = [](uint32_t v) { return static_cast<int32_t>(v) - 1; };
    EXPECT_EQ(IndexAt(*image, last(c.width), last(c.height)), 0);
  }
}

TEST(GifReaderLimits, EveryPrefixWithoutTheDataTerminatorIsRefused) {
  // The file is complete once the image data's terminator is in; the
  // trailer after it is never needed.
  const std::vector<uint8_t> bytes = MinimalGif(3, 2);
  GifReader reader;
  for (size_t n = 0; n + 1 < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(ReadGifMemory(reader, bytes.data(), n), nullptr);
    EXPECT_EQ(reader.error, CodecError::Truncated);
    EXPECT_TRUE(reader.image.pixels.empty());
  }
  EXPECT_NE(ReadGifMemory(reader, bytes.data(), bytes.size() - 1), nullptr);
  EXPECT_EQ(ReadGif(reader, u"no such file.gif"), nullptr);
  EXPECT_EQ(reader.error, CodecError::CannotOpen);
}

TEST(GifReaderPartial, AStreamThatEndsEarlyMakesThePicturePartial) {
  // A 4 × 4 image of two colours whose data is a clear code, one pixel and
  // the end code (3-bit codes 4, 0, 5): 15 pixels are never given.
  auto build = [](std::vector<uint8_t> lzw) {
    std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0x80, 0, 0,
                                 0,   0,   0,   255, 255, 255};
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0, 2, static_cast<uint8_t>(lzw.size())});
    file.insert(file.end(), lzw.begin(), lzw.end());
    file.insert(file.end(), {0, 0x3B});
    return file;
  };
  GifReader reader;
  const std::vector<uint8_t> shortStream = build({0x44, 0x01});
  ASSERT_NE(ReadGifMemory(reader, shortStream.data(), shortStream.size()), nullptr);
  EXPECT_TRUE(reader.image.isPartial);
  // Sixteen single-pixel codes 1: each after the first defines a table
  // entry, which widens the codes to 4 bits at entry 8 and 5 bits at 16.
  std::vector<uint8_t> whole;
  uint32_t bits = 0;
  int count = 0;
  int codeSize = 3;
  int next = 6;
  auto put = [&](uint32_t code) {
    bits |= code << count;
    count += codeSize;
    while (count >= 8) {
      whole.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  };
  put(4);
  for (int i = 0; i < 16; ++i) {
    put(1);
    if (i > 0 && next < 4096) {
      ++next;
      if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
  }
  put(5);
  if (count > 0) whole.push_back(static_cast<uint8_t>(bits));
  const std::vector<uint8_t> complete = build(whole);
  ASSERT_NE(ReadGifMemory(reader, complete.data(), complete.size()), nullptr);
  EXPECT_FALSE(reader.image.isPartial);
  EXPECT_EQ(IndexAt(reader.image, 3, 3), 1);
}

}  // namespace
}  // namespace pixlane
