// Depth converter: row geometry, the table of supported depth pairs,
// unpacking, expansion, copies, gray levels, and that targets are written
// exactly up to their size with zeroed row fill.
#include "imaging/depth_converter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "converter_test_images.h"

namespace pixlane::test {
namespace {

TEST(RowGeometry, EveryDepthAndSmallWidths) {
  for (int32_t bits : {1, 2, 4, 8, 24}) {
    for (int32_t width = 1; width <= 9; ++width) {
      SCOPED_TRACE(testing::Message() << bits << " bits, width " << width);
      DepthConverter c;
      c.width = width;
      c.height = 3;
      c.targetBitCount = bits;
      ASSERT_TRUE(ComputeRowGeometry(c));
      const int32_t rowBytes = (width * bits + 7) / 8;
      EXPECT_EQ(c.rowBytes, rowBytes);
      EXPECT_EQ(c.rowStride, (rowBytes + 3) / 4 * 4);
      EXPECT_EQ(c.imageBytes, static_cast<size_t>(c.rowStride) * 3);
      EXPECT_EQ(c.workStride, (3 * width + 3) / 4 * 4);
      EXPECT_EQ(SourceRowStride(width, bits), static_cast<size_t>(c.rowStride));
    }
  }
}

TEST(RowGeometry, RefusesOutOfRangeSizesAndUnknownDepths) {
  struct Case {
    int32_t width, height, bits;
    bool ok;
  };
  const Case cases[] = {
      {25000, 25000, 24, true}, {0, 1, 8, false},  {1, 0, 8, false},  {25001, 1, 8, false},
      {1, 25001, 8, false},     {-5, 1, 8, false}, {4, 4, 3, false},  {4, 4, 16, false},
      {4, 4, 32, false},        {4, 4, 0, false},
  };
  for (const Case& k : cases) {
    DepthConverter c;
    c.width = k.width;
    c.height = k.height;
    c.targetBitCount = k.bits;
    EXPECT_EQ(ComputeRowGeometry(c), k.ok) << k.width << "x" << k.height << " at " << k.bits;
  }
  DepthConverter largest;
  largest.width = largest.height = 25000;
  largest.targetBitCount = 24;
  ASSERT_TRUE(ComputeRowGeometry(largest));
  EXPECT_EQ(largest.imageBytes, size_t{75000} * 25000);
}

// A small source of each depth; indexed ones use 4 (or 2) colours so that
// every reduction stays on a short path.
SourceImage PatternSource(int32_t bits, int32_t width, int32_t height) {
  if (bits == 24) {
    return Make24(width, height, [](int32_t x, int32_t y) {
      return Bgr{static_cast<uint8_t>(40 * x), static_cast<uint8_t>(30 * y), static_cast<uint8_t>(x * y)};
    });
  }
  const int32_t colours = bits == 1 ? 2 : 4;
  SourceImage image = MakeIndexed(width, height, bits, [&](int32_t x, int32_t y) {
    return static_cast<uint8_t>((x + 2 * y) % colours);
  });
  for (int i = 0; i < 256; ++i) {
    image.palette[static_cast<size_t>(i)] =
        RgbQuad{static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3), 0};
  }
  return image;
}

TEST(ConvertDepth, SupportsExactlyTheListedPairs) {
  const std::set<std::pair<int, int>> supported = {
      {1, 8},  {2, 8},  {4, 8},  {1, 24}, {4, 24}, {8, 24}, {8, 8},  {24, 24},
      {8, 1},  {24, 1}, {8, 2},  {8, 4},  {24, 2}, {24, 4}, {24, 8},
  };
  for (int32_t source : {1, 2, 4, 8, 24}) {
    for (int32_t target : {1, 2, 4, 8, 24}) {
      for (int32_t width : {1, 5, 7}) {
        SCOPED_TRACE(testing::Message() << source << " -> " << target << ", width " << width);
        const SourceImage image = PatternSource(source, width, 3);
        const Conversion out = Convert(image, target);
        EXPECT_EQ(out.ok, supported.count({source, target}) == 1);
        EXPECT_TRUE(out.GuardIntact());
        if (!out.ok) continue;
        // Row fill is zero (the copies carry the source's zero fill).
        const DepthConverter& c = out.converter;
        for (int32_t y = 0; y < 3; ++y) {
          const uint8_t* row = out.Row(y, static_cast<size_t>(c.rowStride));
          for (int32_t i = c.rowBytes; i < c.rowStride; ++i) EXPECT_EQ(row[i], 0) << "row " << y;
          // Unused low bits of the last packed byte are zero too.
          const int32_t usedBits = width * target;
          if (target < 8 && usedBits % 8 != 0) {
            EXPECT_EQ(row[c.rowBytes - 1] & ((1 << (8 - usedBits % 8)) - 1), 0) << "row " << y;
          }
        }
      }
    }
  }
}

TEST(ConvertDepth, RefusesMissingBuffersAndBadSizes) {
  const SourceImage image = PatternSource(8, 4, 2);
  Palette target{};
  std::vector<uint8_t> pixels(64);
  DepthConverter c;
  c.width = 4;
  c.height = 2;
  c.sourceBitCount = 8;
  c.targetBitCount = 24;
  EXPECT_FALSE(ConvertDepth(c, nullptr, image.pixels.data(), target.data(), pixels.data()));
  EXPECT_FALSE(ConvertDepth(c, image.palette.data(), nullptr, target.data(), pixels.data()));
  EXPECT_FALSE(ConvertDepth(c, image.palette.data(), image.pixels.data(), target.data(), nullptr));
  c.targetBitCount = 4;
  EXPECT_FALSE(ConvertDepth(c, image.palette.data(), image.pixels.data(), nullptr, pixels.data()));
  c.width = 0;
  c.targetBitCount = 24;
  EXPECT_FALSE(ConvertDepth(c, image.palette.data(), image.pixels.data(), target.data(), pixels.data()));
}

TEST(ConvertDepth, UnpacksMostSignificantBitsFirst) {
  struct Case {
    int32_t bits;
    int32_t width;
    std::vector<uint8_t> row;  // first source row bytes
    std::vector<uint8_t> indices;
  };
  const Case cases[] = {
      {1, 4, {0b10110000}, {1, 0, 1, 1}},
      {1, 9, {0b01000001, 0b10000000}, {0, 1, 0, 0, 0, 0, 0, 1, 1}},
      {2, 5, {0b11100100, 0b10000000}, {3, 2, 1, 0, 2}},
      {4, 3, {0xA5, 0x30}, {10, 5, 3}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.bits << " bits");
    SourceImage image = MakeIndexed(k.width, 2, k.bits, [](int32_t, int32_t) { return uint8_t{0}; });
    std::memcpy(image.Row(0), k.row.data(), k.row.size());
    std::memset(image.Row(1), 0xFF, image.Stride());  // second row: highest index everywhere
    for (int i = 0; i < 256; ++i) image.palette[static_cast<size_t>(i)] = RgbQuad{1, 2, static_cast<uint8_t>(i), 9};
    const Conversion out = Convert(image, 8);
    ASSERT_TRUE(out.ok);
    const size_t stride = static_cast<size_t>(out.converter.rowStride);
    EXPECT_EQ(std::vector<uint8_t>(out.Row(0, stride), out.Row(0, stride) + k.width), k.indices);
    for (int32_t x = 0; x < k.width; ++x) EXPECT_EQ(out.Row(1, stride)[x], (1 << k.bits) - 1);
    // 1 and 4 bits bring their 2 or 16 palette entries; 2 bits leaves the
    // target palette alone.
    const size_t copied = k.bits == 1 ? 2 : (k.bits == 4 ? 16 : 0);
    for (size_t i = 0; i < 256; ++i) {
      const RgbQuad expected = i < copied ? image.palette[i] : RgbQuad{0x77, 0x77, 0x77, 0x77};
      EXPECT_EQ(out.palette[i], expected) << "entry " << i;
    }
  }
}

TEST(ConvertDepth, ExpandsIndexedPixelsThroughThePalette) {
  for (int32_t bits : {1, 4, 8}) {
    for (int32_t width : {1, 3, 6}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, width " << width);
      const int colours = 1 << bits;
      SourceImage image = MakeIndexed(width, 2, bits, [&](int32_t x, int32_t y) {
        return static_cast<uint8_t>((x * 5 + y * 3) % colours);
      });
      for (int i = 0; i < 256; ++i) {
        image.palette[static_cast<size_t>(i)] =
            RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(i ^ 0x5A), static_cast<uint8_t>(255 - i), 0};
      }
      const Conversion out = Convert(image, 24);
      ASSERT_TRUE(out.ok);
      const size_t stride = static_cast<size_t>(out.converter.rowStride);
      for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < width; ++x) {
          const RgbQuad& c = image.palette[static_cast<size_t>((x * 5 + y * 3) % colours)];
          const uint8_t* px = out.Row(y, stride) + 3 * x;
          EXPECT_EQ((Bgr{px[0], px[1], px[2]}), ColourOf(c)) << x << "," << y;
        }
      }
    }
  }
}

TEST(ConvertDepth, CopiesSameDepth) {
  SourceImage image = PatternSource(8, 5, 3);
  image.palette[200] = RgbQuad{1, 2, 3, 4};
  const Conversion eight = Convert(image, 8);
  ASSERT_TRUE(eight.ok);
  EXPECT_EQ(eight.palette, image.palette);
  EXPECT_TRUE(std::equal(image.pixels.begin(), image.pixels.end(), eight.pixels.begin()));

  const SourceImage colour = PatternSource(24, 5, 3);
  const Conversion same = Convert(colour, 24);
  ASSERT_TRUE(same.ok);
  EXPECT_TRUE(std::equal(colour.pixels.begin(), colour.pixels.end(), same.pixels.begin()));
}

TEST(ConvertToGray, UsesWeights117_603_306InBothForms) {
  struct Case {
    Bgr colour;
    uint8_t fromPixel;    // products shifted one by one
    uint8_t fromPalette;  // sum shifted once
  };
  const Case cases[] = {
      {{255, 255, 255}, 255, 255}, {{0, 255, 0}, 150, 150}, {{0, 0, 255}, 76, 76},
      {{255, 0, 0}, 29, 29},       {{0, 0, 0}, 0, 0},       {{200, 100, 50}, 94, 96},
  };
  for (const Case& k : cases) {
    const Bgr c = k.colour;
    const Conversion fromPixels = Convert(Make24(3, 2, [&](int32_t, int32_t) { return c; }), 8, Operation::Gray);
    ASSERT_TRUE(fromPixels.ok);
    EXPECT_TRUE(fromPixels.GuardIntact());
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(fromPixels.pixels[i], k.fromPixel) << int(c.blue) << "," << int(c.green) << "," << int(c.red);

    SourceImage indexed = MakeIndexed(3, 2, 8, [](int32_t, int32_t) { return uint8_t{9}; });
    indexed.palette[9] = RgbQuad{c.blue, c.green, c.red, 0};
    const Conversion fromPalette = Convert(indexed, 8, Operation::Gray);
    ASSERT_TRUE(fromPalette.ok);
    EXPECT_TRUE(fromPalette.GuardIntact());
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(fromPalette.pixels[i], k.fromPalette);
  }
}

TEST(ConvertToGray, RefusesOtherDepths) {
  EXPECT_FALSE(Convert(PatternSource(24, 4, 2), 4, Operation::Gray).ok);
  EXPECT_FALSE(Convert(PatternSource(4, 4, 2), 8, Operation::Gray).ok);
  EXPECT_FALSE(Convert(PatternSource(1, 4, 2), 8, Operation::Gray).ok);
}

}  // namespace
}  // namespace pixlane::test
