// The checked-in JPEG files of tests/data/jpeg against manifest.txt, whose
// checksums come from djpeg and jpegtran (see generate.py there): decoding
// and every lossless transform must give exactly those pixels, natively and
// in the Windows build alike.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/jpeg_reader.h"
#include "codecs/jpeg_transform.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

struct GoldenCase {
  std::string file;
  std::string operation;
  int32_t width = 0;
  int32_t height = 0;
  int bitCount = 0;
  std::string checksum;
};

std::vector<GoldenCase> ReadManifest() {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(test::ReadWholeFile(test::TestDataPath("jpeg/manifest.txt"), bytes));
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  std::vector<GoldenCase> cases;
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    GoldenCase c;
    std::istringstream fields(line);
    fields >> c.file >> c.operation >> c.width >> c.height >> c.bitCount >> c.checksum;
    cases.push_back(c);
  }
  return cases;
}

// "rotate90+gray+progressive" and the like.
bool OptionsFor(const std::string& operation, JpegTransformOptions& options) {
  options.Reset();
  std::istringstream parts(operation);
  std::string part;
  while (std::getline(parts, part, '+')) {
    if (part == "rotate90")
      options.transform = JpegTransformKind::Rotate90;
    else if (part == "rotate180")
      options.transform = JpegTransformKind::Rotate180;
    else if (part == "rotate270")
      options.transform = JpegTransformKind::Rotate270;
    else if (part == "mirror-lr")
      options.transform = JpegTransformKind::MirrorLeftRight;
    else if (part == "mirror-tb")
      options.transform = JpegTransformKind::MirrorTopBottom;
    else if (part == "gray")
      options.forceGrayscale = true;
    else if (part == "progressive")
      options.progressive = true;
    else if (part != "none")
      return false;
  }
  return true;
}

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));  // NOLINT
  return text;
}

TEST(JpegGolden, DecodingAndTransformsMatchDjpegAndJpegtran) {
  const std::vector<GoldenCase> cases = ReadManifest();
  ASSERT_GE(cases.size(), 40u);
  for (const GoldenCase& c : cases) {
    SCOPED_TRACE(c.file + " " + c.operation);
    std::vector<uint8_t> input;
    ASSERT_TRUE(test::ReadWholeFile(test::TestDataPath("jpeg/" + c.file), input));
    std::vector<uint8_t> decoded = input;
    if (c.operation != "decode") {
      JpegTransformer transformer;
      ASSERT_TRUE(OptionsFor(c.operation, transformer.options));
      PixelBlock output;
      size_t produced = 0;
      ASSERT_TRUE(TransformJpegMemory(transformer, input.data(), input.size(), output, produced))
          << CodecErrorName(transformer.error) << " " << transformer.lastErrorText;
      EXPECT_EQ(transformer.outputWidth, c.width);
      EXPECT_EQ(transformer.outputHeight, c.height);
      decoded.assign(output.data(), output.data() + produced);
    }
    JpegReader reader;
    const ImageBuffer* image = LoadJpegImageMemory(reader, decoded.data(), decoded.size());
    ASSERT_NE(image, nullptr) << CodecErrorName(reader.error) << " " << reader.lastErrorText;
    EXPECT_EQ(image->header.width, c.width);
    EXPECT_EQ(image->header.height, c.height);
    EXPECT_EQ(image->header.bitCount, c.bitCount);
    EXPECT_EQ(Hex(test::PixelChecksum(*image)), c.checksum);
  }
}

}  // namespace
}  // namespace pixlane
