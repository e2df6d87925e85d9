// Lossless transform tests that need no reference program: identities
// (four quarter turns, a quarter and three quarters, two half turns,
// mirroring twice give back the same pixels), marker copying in input
// order, forced grayscale, progressive output and clean failures. Output
// sizes and pixel agreement with jpegtran are checked by the golden
// manifest and, on Linux, by jpeg_reference_check.py.
#include "codecs/jpeg_transform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/jpeg_reader.h"
#include "jpeg_test_util.h"
#include "platform/file_system.h"
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

std::vector<uint8_t> Apply(const std::vector<uint8_t>& input, const JpegTransformOptions& options,
                           JpegTransformer& transformer) {
  transformer.options = options;
  PixelBlock output;
  size_t produced = 0;
  std::vector<uint8_t> bytes;
  if (TransformJpegMemory(transformer, input.data(), input.size(), output, produced)) {
    bytes.assign(output.data(), output.data() + produced);
  }
  return bytes;
}

std::vector<uint8_t> Apply(const std::vector<uint8_t>& input, JpegTransformKind kind) {
  JpegTransformer transformer;
  JpegTransformOptions options;
  options.transform = kind;
  std::vector<uint8_t> out = Apply(input, options, transformer);
  EXPECT_FALSE(out.empty()) << CodecErrorName(transformer.error) << transformer.lastErrorText;
  return out;
}

uint64_t DecodedChecksum(const std::vector<uint8_t>& file) {
  JpegReader reader;
  const ImageBuffer* image = LoadJpegImageMemory(reader, file.data(), file.size());
  EXPECT_NE(image, nullptr);
  return image != nullptr ? test::PixelChecksum(*image) : 0;
}

TEST(JpegTransform, CompositionsGiveBackTheOriginalPixels) {
  using K = JpegTransformKind;
  const std::vector<std::vector<K>> chains = {
      {K::Rotate90, K::Rotate90, K::Rotate90, K::Rotate90},
      {K::Rotate90, K::Rotate270},
      {K::Rotate270, K::Rotate90},
      {K::Rotate180, K::Rotate180},
      {K::MirrorLeftRight, K::MirrorLeftRight},
      {K::MirrorTopBottom, K::MirrorTopBottom},
      {K::MirrorLeftRight, K::MirrorTopBottom, K::Rotate180},
      {K::Rotate90, K::MirrorLeftRight, K::Rotate90, K::MirrorLeftRight},
  };
  JpegEncoderOptions options;
  for (int32_t sampling : {0, 1, 2}) {
    SetJpegEncoderOptions(options, 90, 0, sampling);
    // 48×32 holds whole MCUs in every layout, so nothing is trimmed.
    const std::vector<uint8_t> original = test::MakeTestJpeg(48, 32, options, 7);
    const uint64_t expected = DecodedChecksum(original);
    for (size_t i = 0; i < chains.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "sampling " << sampling << " chain " << i);
      std::vector<uint8_t> file = original;
      for (K kind : chains[i]) file = Apply(file, kind);
      EXPECT_EQ(DecodedChecksum(file), expected);
    }
  }
}

TEST(JpegTransform, CopiesSegmentsInInputOrderWithoutDuplicates) {
  const std::vector<uint8_t> source = DataFile("ycc420.jpg");
  const std::vector<test::JpegSegmentCopy> own = test::ListJpegMetadata(source);
  ASSERT_EQ(own.size(), 1u);  // cjpeg's JFIF APP0
  const std::vector<uint8_t> exif =
      test::JpegSegmentBytes(0xE1, {'E', 'x', 'i', 'f', 0, 0, 'M', 'M'});
  const std::vector<uint8_t> com1 = test::JpegSegmentBytes(0xFE, {'o', 'n', 'e'});
  const std::vector<uint8_t> app2 = test::JpegSegmentBytes(0xE2, {'I', 'C', 'C'});
  const std::vector<uint8_t> com2 = test::JpegSegmentBytes(0xFE, {'t', 'w', 'o'});
  const std::vector<uint8_t> adobe =
      test::JpegSegmentBytes(0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100});
  // SOI, JFIF, then Exif, COM, APP2, Adobe, COM, then the rest.
  const size_t afterJfif = 2 + 2 + own[0].payload.size() + 2;
  std::vector<uint8_t> input(source.begin(),
                             source.begin() + static_cast<std::ptrdiff_t>(afterJfif));
  for (const auto* s : {&exif, &com1, &app2, &adobe, &com2})
    input.insert(input.end(), s->begin(), s->end());
  input.insert(input.end(), source.begin() + static_cast<std::ptrdiff_t>(afterJfif), source.end());

  struct Case {
    int32_t marker;
    std::vector<uint8_t> codes;
  };
  // The output writes its own JFIF APP0 first; an Adobe APP14 is kept for a
  // YCbCr output, which writes none of its own.
  const Case cases[] = {
      {2, {0xE0, 0xE1, 0xFE, 0xE2, 0xEE, 0xFE}},
      {1, {0xE0, 0xFE, 0xFE}},
      {0, {0xE0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.marker);
    JpegTransformer transformer;
    JpegTransformOptions options;
    SetJpegTransformOptions(options, 1, c.marker, 0);
    const std::vector<uint8_t> out = Apply(input, options, transformer);
    ASSERT_FALSE(out.empty());
    const std::vector<test::JpegSegmentCopy> segments = test::ListJpegMetadata(out);
    std::vector<uint8_t> codes;
    for (const auto& s : segments) codes.push_back(s.code);
    EXPECT_EQ(codes, c.codes);
    if (c.marker == 2) {
      EXPECT_EQ(segments[2].payload, (std::vector<uint8_t>{'o', 'n', 'e'}));
      EXPECT_EQ(segments[5].payload, (std::vector<uint8_t>{'t', 'w', 'o'}));
    }
  }
}

TEST(JpegTransform, ForcesGrayscaleAndProgressiveOutput) {
  JpegTransformer transformer;
  JpegTransformOptions options;
  options.forceGrayscale = true;
  options.progressive = true;
  const std::vector<uint8_t> colour = DataFile("ycc420.jpg");
  const std::vector<uint8_t> gray = Apply(colour, options, transformer);
  test::JpegFrameInfo frame;
  ASSERT_TRUE(test::ReadJpegFrame(gray, frame));
  EXPECT_EQ(frame.marker, 0xC2);
  EXPECT_EQ(frame.width, 100);
  EXPECT_EQ(frame.height, 75);
  ASSERT_EQ(frame.components.size(), 1u);
  JpegReader reader;
  const ImageBuffer* image = LoadJpegImageMemory(reader, gray.data(), gray.size());
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(reader.isGrayscale);

  EXPECT_TRUE(Apply(DataFile("cmyk.jpg"), options, transformer).empty());
  EXPECT_EQ(transformer.error, CodecError::UnsupportedFormat);
  EXPECT_FALSE(transformer.lastErrorText.empty());
}

TEST(JpegTransform, MapsTheSettings) {
  struct Case {
    int32_t turOpt, marker;
    JpegTransformKind kind;
    JpegMarkerCopy copy;
  };
  const Case cases[] = {
      {0, 0, JpegTransformKind::None, JpegMarkerCopy::None},
      {1, 1, JpegTransformKind::Rotate90, JpegMarkerCopy::Comments},
      {2, 2, JpegTransformKind::Rotate180, JpegMarkerCopy::All},
      {3, 7, JpegTransformKind::Rotate270, JpegMarkerCopy::All},
      {4, -1, JpegTransformKind::MirrorLeftRight, JpegMarkerCopy::All},
      {5, 0, JpegTransformKind::MirrorTopBottom, JpegMarkerCopy::None},
      {6, 0, JpegTransformKind::None, JpegMarkerCopy::None},
  };
  for (const Case& c : cases) {
    JpegTransformOptions options;
    SetJpegTransformOptions(options, c.turOpt, c.marker, 1);
    EXPECT_EQ(options.transform, c.kind) << c.turOpt;
    EXPECT_EQ(options.markerCopy, c.copy) << c.marker;
    EXPECT_TRUE(options.progressive);
    EXPECT_TRUE(options.trim);
  }
}

TEST(JpegTransform, FailsCleanly) {
  test::ScratchFolder folder;
  JpegTransformer transformer;
  EXPECT_FALSE(TransformJpegFile(transformer, folder.File("missing.jpg"), folder.File("out.jpg")));
  EXPECT_EQ(transformer.error, CodecError::CannotOpen);
  const std::u16string input = TestDataPath("jpeg/ycc420.jpg");
  EXPECT_FALSE(TransformJpegFile(transformer, input, folder.File("no/folder/out.jpg")));
  EXPECT_EQ(transformer.error, CodecError::CannotOpen);
  EXPECT_FALSE(transformer.file.output.IsOpen());
  EXPECT_EQ(transformer.file.mapping.data(), nullptr);

  // Corrupt header; and a memory cap that libjpeg hits inside
  // jpeg_read_coefficients, after both objects are set up.
  std::vector<uint8_t> corrupt = DataFile("ycc420.jpg");
  corrupt[1] = 0x00;  // no SOI
  EXPECT_TRUE(Apply(corrupt, JpegTransformOptions{}, transformer).empty());
  EXPECT_EQ(transformer.error, CodecError::BadHeader);
  JpegTransformer capped;
  capped.maxMemory = 4096;
  JpegTransformOptions rotate;
  rotate.transform = JpegTransformKind::Rotate90;
  EXPECT_TRUE(Apply(DataFile("ycc420_progressive.jpg"), rotate, capped).empty());
  EXPECT_EQ(capped.error, CodecError::OutOfMemory);

  // A file transform writes the output and reports its size.
  ASSERT_TRUE(TransformJpegFile(transformer, input, folder.File("ok.jpg")));
  EXPECT_EQ(transformer.outputWidth, 100);
  std::vector<uint8_t> written;
  ASSERT_TRUE(ReadWholeFile(folder.File("ok.jpg"), written));
  EXPECT_EQ(DecodedChecksum(written), DecodedChecksum(DataFile("ycc420.jpg")));
}

}  // namespace
}  // namespace pixlane
