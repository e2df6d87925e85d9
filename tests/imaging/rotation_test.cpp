// Rotation: the 3 × 2 example for every turn at both depths, strides and
// untouched fill bytes, the identities across tile boundaries, and the
// refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/rotation.h"
#include "processing_test_images.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

// The picture as text, one letter per pixel (blue byte for 24 bits), rows
// from the top separated by '/'.
std::string Picture(const ProcessingImage& image) {
  std::string text;
  for (int32_t y = 0; y < image.height; ++y) {
    if (y > 0) text += '/';
    for (int32_t x = 0; x < image.width; ++x) text += static_cast<char>(*test::PixelAt(image, x, y));
  }
  return text;
}

void MakeLetters(ImageBuffer& image, int bits) {
  test::MakeBlank(image, 3, 2, bits);
  const char* rows[] = {"abc", "def"};
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      const auto v = static_cast<uint8_t>(rows[y][x]);
      uint8_t* p = test::PixelAt(test::ViewOf(image), x, y);
      p[0] = v;
      if (bits == 24) {
        p[1] = static_cast<uint8_t>(v + 1);
        p[2] = static_cast<uint8_t>(v + 2);
      }
    }
  }
}

TEST(RotationTest, ThreeByTwoForEveryTurnAndDepth) {
  const char* expected[] = {"da/eb/fc", "fed/cba", "cf/be/ad"};
  for (int bits : {8, 24}) {
    for (int32_t turn = 1; turn <= 3; ++turn) {
      SCOPED_TRACE(testing::Message() << bits << " bits, turn " << turn);
      ImageBuffer image;
      MakeLetters(image, bits);
      image.palette[7].green = 42;
      ProcessingImage view = test::ViewOf(image);
      GeometryParams params;
      ASSERT_TRUE(RotateImage(view, turn, params));
      EXPECT_EQ(Picture(view), expected[turn - 1]);
      EXPECT_EQ(view.bitCount, bits);
      EXPECT_EQ(image.palette[7].green, 42);
      if (bits == 24) {
        const uint8_t* p = test::PixelAt(view, 0, 0);
        EXPECT_EQ(p[1], p[0] + 1);
        EXPECT_EQ(p[2], p[0] + 2);
      }
    }
  }
}

TEST(RotationTest, OnePixelAndTurnsOutsideOneToThree) {
  for (int32_t turn = 0; turn <= 4; ++turn) {
    ImageBuffer image;
    test::MakeUniform24(image, 1, 1, 1, 2, 3);
    ProcessingImage view = test::ViewOf(image);
    GeometryParams params;
    EXPECT_TRUE(RotateImage(view, turn, params));
    EXPECT_EQ(view.width, 1);
    EXPECT_EQ(std::memcmp(image.pixels.data(), "\x01\x02\x03", 3), 0);
  }
}

TEST(RotationTest, QuarterTurnOfFiveByThreeKeepsStridesAndFillBytes) {
  ImageBuffer source;
  test::MakePatternImage(source, 5, 3, 24);
  // Target 3 × 5 at stride 12 (9 bytes used), pre-filled to spot writes.
  std::vector<uint8_t> target(12 * 5, 0xEE);
  ASSERT_TRUE(RotateBuffer({5, 3, source.pixels.data(), target.data()}, 1, 24));
  for (size_t row = 0; row < 5; ++row) {
    for (size_t i = 9; i < 12; ++i) EXPECT_EQ(target[row * 12 + i], 0xEE) << row;
    // Target row k (from the bottom) is source column 4 − k, bottom row first.
    for (size_t x = 0; x < 3; ++x) {
      const uint8_t* from = source.pixels.data() + x * 16 + (4 - row) * 3;
      EXPECT_EQ(std::memcmp(&target[row * 12 + x * 3], from, 3), 0) << row << "," << x;
    }
  }
}

TEST(RotationTest, TurnsComposeToTheIdentity) {
  struct Case {
    int32_t w, h;
  };
  const Case sizes[] = {{7, 5}, {130, 67}, {64, 64}, {1, 9}, {200, 1}};
  const int32_t sequences[][4] = {{1, 1, 1, 1}, {1, 3, 0, 0}, {3, 1, 0, 0}, {2, 2, 0, 0}};
  for (int bits : {8, 24}) {
    for (const Case& s : sizes) {
      for (const auto& sequence : sequences) {
        SCOPED_TRACE(testing::Message() << bits << " bits, " << s.w << "x" << s.h << ", first "
                                        << sequence[0] << " then " << sequence[1]);
        ImageBuffer image, original;
        test::MakePatternImage(image, s.w, s.h, bits, static_cast<uint32_t>(s.w * s.h));
        test::CopyImage(image, original);
        ProcessingImage view = test::ViewOf(image);
        GeometryParams params;
        for (int32_t turn : sequence) {
          if (turn == 0) break;
          ASSERT_TRUE(RotateImage(view, turn, params));
        }
        EXPECT_TRUE(test::SamePixels(view, test::ViewOf(original)));
      }
    }
  }
}

TEST(RotationTest, QuarterTurnMatchesPictureCoordinatesAcrossTiles) {
  ImageBuffer image, original;
  test::MakePatternImage(image, 150, 70, 24, 3);
  test::CopyImage(image, original);
  ProcessingImage view = test::ViewOf(image);
  const ProcessingImage before = test::ViewOf(original);
  GeometryParams params;
  ASSERT_TRUE(RotateImage(view, 3, params));
  ASSERT_EQ(view.width, 70);
  for (int32_t y = 0; y < view.height; ++y) {
    for (int32_t x = 0; x < view.width; ++x) {
      // Turn 3: (x', y') takes (W − 1 − y', x').
      ASSERT_EQ(std::memcmp(test::PixelAt(view, x, y), test::PixelAt(before, 149 - y, x), 3), 0);
    }
  }
}

TEST(RotationTest, RefusesOtherDepthsAndTurns) {
  ImageBuffer image;
  test::MakePatternImage(image, 6, 4, 4);
  ProcessingImage view = test::ViewOf(image);
  GeometryParams params;
  EXPECT_FALSE(RotateImage(view, 1, params));
  EXPECT_EQ(view.width, 6);
  std::vector<uint8_t> target(64);
  EXPECT_FALSE(RotateBuffer({6, 4, image.pixels.data(), target.data()}, 1, 4));
  EXPECT_FALSE(RotateBuffer({6, 4, image.pixels.data(), target.data()}, 4, 8));
  EXPECT_FALSE(RotateBuffer({0, 4, image.pixels.data(), target.data()}, 2, 8));
}

}  // namespace
}  // namespace pixlane
