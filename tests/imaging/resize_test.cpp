// Reduction: the size rule, the worked numbers of the 1/32768 filter on
// both passes, agreement with a line-by-line evaluation of the filter, and
// what ReduceImage leaves alone.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/resize.h"
#include "processing_test_images.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

// The filter evaluated one line at a time, exactly as stated: acc and S
// per line, full-size division by x.
std::vector<uint8_t> ReferenceLine(const std::vector<int32_t>& in, int32_t m) {
  const int32_t n = static_cast<int32_t>(in.size());
  const double x = static_cast<double>(n) / m;
  const int32_t span = static_cast<int32_t>(x * 32768.0);
  auto divide = [&](int32_t i) { return static_cast<uint8_t>(static_cast<int32_t>(i / x)); };
  std::vector<uint8_t> out;
  int32_t acc = 0, s = 0;
  for (int32_t k = 0; k < n - 1; ++k) {
    const int32_t v = in[static_cast<size_t>(k)];
    s += v;
    acc += 32768;
    if (acc >= span) {
      const int32_t e = acc - span;
      const int32_t part = v * e / 32768;
      out.push_back(divide(s - part));
      s = part;
      acc = e;
    }
  }
  const int32_t v = in.back();
  s += v;
  acc += 32768;
  const int32_t e = acc >= span ? acc - span : 0;
  out.push_back(divide(s - v * e / 32768));
  return out;
}

// Vertical pass over every column, then horizontal over every row.
void ReferenceScale(const ProcessingImage& source, int32_t newWidth, int32_t newHeight,
                    ImageBuffer& result) {
  const int32_t w = source.width, h = source.height;
  std::vector<std::vector<int32_t>> samples(static_cast<size_t>(h),
                                            std::vector<int32_t>(3 * static_cast<size_t>(w)));
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t i = 0; i < 3 * w; ++i) samples[y][i] = test::PixelAt(source, i / 3, y)[i % 3];
  }
  if (newHeight != h) {
    std::vector<std::vector<int32_t>> scaled(static_cast<size_t>(newHeight),
                                             std::vector<int32_t>(3 * static_cast<size_t>(w)));
    for (int32_t i = 0; i < 3 * w; ++i) {
      std::vector<int32_t> column;
      for (int32_t y = h - 1; y >= 0; --y) column.push_back(samples[y][i]);  // bottom row first
      const std::vector<uint8_t> out = ReferenceLine(column, newHeight);
      for (int32_t j = 0; j < newHeight; ++j) scaled[newHeight - 1 - j][i] = out[j];
    }
    samples = scaled;
  }
  if (newWidth != w) {
    for (auto& row : samples) {
      std::vector<int32_t> next(3 * static_cast<size_t>(newWidth));
      for (int32_t c = 0; c < 3; ++c) {
        std::vector<int32_t> line;
        for (int32_t x = 0; x < w; ++x) line.push_back(row[3 * x + c]);
        const std::vector<uint8_t> out = ReferenceLine(line, newWidth);
        for (int32_t x = 0; x < newWidth; ++x) next[3 * x + c] = out[x];
      }
      row = next;
    }
  }
  test::MakeBlank(result, newWidth, newHeight, 24);
  const ProcessingImage view = test::ViewOf(result);
  for (int32_t y = 0; y < newHeight; ++y) {
    for (int32_t i = 0; i < 3 * newWidth; ++i) {
      test::PixelAt(view, i / 3, y)[i % 3] = static_cast<uint8_t>(samples[y][i]);
    }
  }
}

TEST(ReducedSizeTest, LimitsTheChosenSideAndRoundsTheOther) {
  struct Case {
    int32_t w, h, opt, size;
    bool reduce;
    int32_t newW, newH;
  };
  const Case cases[] = {
      {400, 300, 1, 100, true, 100, 75},   {300, 401, 3, 100, true, 75, 100},
      {200, 200, 3, 100, true, 100, 100},  {1000, 1, 1, 100, true, 100, 1},
      {401, 300, 3, 100, true, 100, 75},   {300, 400, 2, 100, true, 75, 100},
      {300, 299, 1, 100, true, 100, 100},  // 99.67 + 0.5 rounds up
      {400, 300, 2, 300, false, 400, 300}, {400, 300, 1, 400, false, 400, 300},
      {400, 300, 1, 0, false, 400, 300},   {400, 300, 0, 100, false, 400, 300},
      {50, 80, 1, 100, false, 50, 80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " opt " << c.opt << " size " << c.size);
    int32_t w = 0, h = 0;
    EXPECT_EQ(ComputeReducedSize(c.w, c.h, c.opt, c.size, w, h), c.reduce);
    EXPECT_EQ(w, c.newW);
    EXPECT_EQ(h, c.newH);
  }
}

TEST(ScaleTest, WorkedNumbersOnBothPasses) {
  struct Case {
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
  };
  const Case cases[] = {
      {{10, 20, 30}, {13, 26}},
      {{255, 255, 255, 255}, {255, 255}},
      {{255, 255, 255, 255, 255, 255}, {255, 254, 255, 254}},
      {{255, 255, 255, 255, 255, 255, 255}, {254, 254, 254}},
  };
  for (const Case& c : cases) {
    const int32_t n = static_cast<int32_t>(c.in.size());
    const int32_t m = static_cast<int32_t>(c.out.size());
    SCOPED_TRACE(testing::Message() << n << " to " << m);
    // A row of n pixels (the samples in every channel), and its transpose.
    ImageBuffer row, column, rowOut, columnOut;
    test::MakeBlank(row, n, 1, 24);
    test::MakeBlank(column, 1, n, 24);
    test::MakeBlank(rowOut, m, 1, 24);
    test::MakeBlank(columnOut, 1, m, 24);
    for (int32_t k = 0; k < n; ++k) {
      const uint8_t v = c.in[static_cast<size_t>(k)];
      test::SetPixel(test::ViewOf(row), k, 0, v, v, v);
      test::SetPixel(test::ViewOf(column), 0, n - 1 - k, v, v, v);  // bottom row first
    }
    ASSERT_TRUE(ScaleImage({n, 1, row.pixels.data(), rowOut.pixels.data()}, m, 1));
    ASSERT_TRUE(ScaleImage({1, n, column.pixels.data(), columnOut.pixels.data()}, 1, m));
    for (int32_t j = 0; j < m; ++j) {
      for (int32_t ch = 0; ch < 3; ++ch) {
        EXPECT_EQ(test::PixelAt(test::ViewOf(rowOut), j, 0)[ch], c.out[j]) << "row " << j;
        EXPECT_EQ(test::PixelAt(test::ViewOf(columnOut), 0, m - 1 - j)[ch], c.out[j])
            << "column " << j;
      }
    }
  }
}

TEST(ScaleTest, MatchesTheLineByLineFilter) {
  struct Case {
    int32_t w, h, newW, newH;
  };
  const Case cases[] = {
      {37, 23, 10, 7},  {13, 50, 13, 7},  {50, 13, 7, 13}, {9, 9, 8, 1},
      {1000, 1, 100, 1}, {5, 401, 2, 3}, {101, 67, 100, 66}, {64, 48, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " to " << c.newW << "x" << c.newH);
    ImageBuffer source, target, expected;
    test::MakePatternImage(source, c.w, c.h, 24, static_cast<uint32_t>(c.w * 31 + c.h));
    test::MakeBlank(target, c.newW, c.newH, 24);
    ASSERT_TRUE(ScaleImage({c.w, c.h, source.pixels.data(), target.pixels.data()}, c.newW, c.newH));
    ReferenceScale(test::ViewOf(source), c.newW, c.newH, expected);
    EXPECT_TRUE(test::SamePixels(test::ViewOf(target), test::ViewOf(expected)));
  }
}

TEST(ScaleTest, RefusesEnlargementsUnchangedSizesAndBadSides) {
  ImageBuffer source, target;
  test::MakePatternImage(source, 8, 6, 24);
  test::MakeBlank(target, 16, 12, 24);
  const GeometryParams p{8, 6, source.pixels.data(), target.pixels.data()};
  EXPECT_FALSE(ScaleImage(p, 8, 6));
  EXPECT_FALSE(ScaleImage(p, 9, 6));
  EXPECT_FALSE(ScaleImage(p, 4, 7));
  EXPECT_FALSE(ScaleImage(p, 0, 3));
  EXPECT_FALSE(ScaleImage(p, 4, -1));
  EXPECT_FALSE(ScaleImage({8, 6, nullptr, target.pixels.data()}, 4, 3));
  EXPECT_FALSE(ScaleVertical(p, 6));
  EXPECT_FALSE(ScaleHorizontal(p, 0));
  EXPECT_TRUE(ScaleImage(p, 4, 3));
}

TEST(ReduceImageTest, LeavesAnImageWithinTheLimitExactlyAsItIs) {
  for (int bits : {8, 24}) {
    SCOPED_TRACE(bits);
    ImageBuffer image;
    test::MakePatternImage(image, 40, 30, bits);
    const uint8_t* before = image.pixels.data();
    ProcessingImage view = test::ViewOf(image);
    GeometryParams params;
    DepthConverter converter;
    EXPECT_TRUE(ReduceImage(view, 3, 40, params, converter));
    EXPECT_TRUE(ReduceImage(view, 2, 0, params, converter));
    EXPECT_EQ(view.bitCount, bits);
    EXPECT_EQ(view.width, 40);
    EXPECT_EQ(view.height, 30);
    EXPECT_EQ(image.pixels.data(), before);
  }
}

TEST(ReduceImageTest, ExpandsAnIndexedImageAndScalesIt) {
  ImageBuffer indexed, expanded, expected;
  test::MakePatternImage(indexed, 30, 20, 8, 7);
  // The same picture at 24 bits, reduced directly.
  test::MakeBlank(expanded, 30, 20, 24);
  const ProcessingImage indexedView = test::ViewOf(indexed);
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 30; ++x) {
      const RgbQuad& c = indexed.palette[*test::PixelAt(indexedView, x, y)];
      test::SetPixel(test::ViewOf(expanded), x, y, c.blue, c.green, c.red);
    }
  }
  test::MakeBlank(expected, 12, 8, 24);
  ASSERT_TRUE(ScaleImage({30, 20, expanded.pixels.data(), expected.pixels.data()}, 12, 8));

  ProcessingImage view = test::ViewOf(indexed);
  GeometryParams params;
  DepthConverter converter;
  ASSERT_TRUE(ReduceImage(view, 1, 12, params, converter));
  EXPECT_EQ(view.bitCount, 24);
  EXPECT_EQ(view.width, 12);
  EXPECT_EQ(view.height, 8);
  EXPECT_TRUE(test::SamePixels(view, test::ViewOf(expected)));
}

}  // namespace
}  // namespace pixlane
