// Sharpening: the worked single-pixel example, the threshold at exactly 20,
// clipping, agreement with a direct 25-neighbour evaluation (edges and
// corners included), and the size and depth rules of SharpenImage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "imaging/sharpen.h"
#include "processing_test_images.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

const SharpenTables& Tables() {
  static const std::unique_ptr<SharpenTables> tables = [] {
    auto t = std::make_unique<SharpenTables>();
    BuildSharpenTables(*t);
    return t;
  }();
  return *tables;
}

// Sharpens a 24-bit image through SharpenImage with UsmOpt `usm`.
ProcessingImage Sharpen(ImageBuffer& image, int32_t usm) {
  ProcessingImage view = test::ViewOf(image);
  SharpenParams params;
  DepthConverter converter;
  EXPECT_TRUE(SharpenImage(view, usm, Tables(), params, converter));
  return view;
}

// The unsharp mask written out directly: 25 clamped neighbours per sample.
void ReferenceSharpen(const ProcessingImage& in, int32_t k, ImageBuffer& result) {
  test::MakeBlank(result, in.width, in.height, 24);
  const ProcessingImage out = test::ViewOf(result);
  for (int32_t y = 0; y < in.height; ++y) {
    for (int32_t x = 0; x < in.width; ++x) {
      int32_t d[3];
      for (int32_t c = 0; c < 3; ++c) {
        int32_t sum = 0;
        for (int32_t j = -2; j <= 2; ++j) {
          for (int32_t i = -2; i <= 2; ++i) {
            sum += test::PixelAt(in, std::clamp(x + i, 0, in.width - 1),
                                 std::clamp(y + j, 0, in.height - 1))[c];
          }
        }
        const int32_t blurred = (2621 * sum + 32768) >> 16;
        d[c] = std::clamp(test::PixelAt(in, x, y)[c] - blurred, -128, 127);
      }
      const bool strong = std::abs(d[0]) + std::abs(d[1]) + std::abs(d[2]) > 20;
      for (int32_t c = 0; c < 3; ++c) {
        const int32_t s = test::PixelAt(in, x, y)[c];
        test::PixelAt(out, x, y)[c] =
            static_cast<uint8_t>(strong ? std::clamp(s + ((k * d[c]) >> 3), 0, 255) : s);
      }
    }
  }
}

TEST(SharpenTablesTest, RoundingFloorAndStrengths) {
  const SharpenTables& t = Tables();
  EXPECT_EQ(t.divide25[25 * 50 + 100], 54);
  EXPECT_EQ(t.divide25[2988], 119);  // 119.52, rounded down by 2621/65536
  EXPECT_EQ(t.gain[2][-1 + 128], -1);  // floor, not truncation
  EXPECT_EQ(SharpenGain(1), 2);
  EXPECT_EQ(SharpenGain(2), 4);
  EXPECT_EQ(SharpenGain(3), 6);
  EXPECT_EQ(SharpenGain(7), 2);
}

TEST(SharpenTest, SingleBrightPixelAtMediumStrength) {
  ImageBuffer image;
  test::MakeUniform24(image, 9, 9, 50, 50, 50);
  test::SetPixel(test::ViewOf(image), 4, 4, 150, 150, 150);
  const ProcessingImage out = Sharpen(image, 2);
  for (int32_t y = 0; y < 9; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      const uint8_t expected = (x == 4 && y == 4) ? 198 : 50;
      for (int32_t c = 0; c < 3; ++c) ASSERT_EQ(test::PixelAt(out, x, y)[c], expected) << x << "," << y;
    }
  }
}

TEST(SharpenTest, ThresholdIsADetailSumAbove20) {
  // A blue step of a on a flat 100: blurred 101, detail a − 1 in blue only.
  struct Case {
    uint8_t blue;
    uint8_t expected;
  };
  const Case cases[] = {{121, 121}, {122, 132}};  // detail 20 stays, 21 gains floor(4 × 21 / 8)
  for (const Case& c : cases) {
    ImageBuffer image;
    test::MakeUniform24(image, 7, 7, 100, 100, 100);
    test::SetPixel(test::ViewOf(image), 3, 3, c.blue, 100, 100);
    const ProcessingImage out = Sharpen(image, 2);
    EXPECT_EQ(test::PixelAt(out, 3, 3)[0], c.expected);
    EXPECT_EQ(test::PixelAt(out, 3, 3)[1], 100);
    EXPECT_EQ(test::PixelAt(out, 2, 3)[0], 100);
  }
}

TEST(SharpenTest, ClipsAtBothEnds) {
  ImageBuffer bright, dark;
  test::MakeUniform24(bright, 7, 7, 0, 0, 0);
  test::SetPixel(test::ViewOf(bright), 3, 3, 255, 255, 255);
  test::MakeUniform24(dark, 7, 7, 255, 255, 255);
  test::SetPixel(test::ViewOf(dark), 3, 3, 0, 0, 0);
  const ProcessingImage b = Sharpen(bright, 3);
  const ProcessingImage d = Sharpen(dark, 3);
  EXPECT_EQ(test::PixelAt(b, 3, 3)[2], 255);  // 255 + 95
  EXPECT_EQ(test::PixelAt(b, 3, 2)[2], 0);    // 0 − 8
  EXPECT_EQ(test::PixelAt(d, 3, 3)[2], 0);    // 0 − 96
  EXPECT_EQ(test::PixelAt(d, 3, 2)[2], 255);  // 255 + 7
}

TEST(SharpenTest, MatchesTheDirectFiveByFiveBlurIncludingEdges) {
  struct Case {
    int32_t w, h, usm;
  };
  const Case cases[] = {{5, 5, 1}, {6, 7, 2}, {17, 9, 3}, {5, 23, 2}, {33, 5, 3}, {64, 41, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " UsmOpt " << c.usm);
    ImageBuffer image, expected;
    test::MakePatternImage(image, c.w, c.h, 24, static_cast<uint32_t>(c.w + 100 * c.h));
    ReferenceSharpen(test::ViewOf(image), SharpenGain(c.usm), expected);
    const ProcessingImage out = Sharpen(image, c.usm);
    EXPECT_TRUE(test::SamePixels(out, test::ViewOf(expected)));
  }
}

TEST(SharpenImageTest, SmallImagesStayAsTheyAreAndIndexedOnesComeOut24Bit) {
  for (auto [w, h] : {std::pair{4, 100}, std::pair{100, 4}}) {
    ImageBuffer image;
    test::MakePatternImage(image, w, h, 8);
    const uint8_t* before = image.pixels.data();
    const ProcessingImage out = Sharpen(image, 3);
    EXPECT_EQ(out.bitCount, 8);
    EXPECT_EQ(image.pixels.data(), before);
  }
  ImageBuffer indexed;
  test::MakePatternImage(indexed, 5, 5, 8);
  const ProcessingImage out = Sharpen(indexed, 1);
  EXPECT_EQ(out.bitCount, 24);
  EXPECT_EQ(out.width, 5);
  EXPECT_GE(indexed.pixels.size(), Stride24(5) * 5);
}

TEST(SharpenImageTest, UniformImageIsUnchanged) {
  ImageBuffer image, copy;
  test::MakeUniform24(image, 12, 8, 10, 200, 77);
  test::CopyImage(image, copy);
  EXPECT_TRUE(test::SamePixels(Sharpen(image, 3), test::ViewOf(copy)));
}

}  // namespace
}  // namespace pixlane
