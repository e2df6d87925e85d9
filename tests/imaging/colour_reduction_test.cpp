// Colour reduction: black and white, exact palettes, histogram palettes and
// the diffused mapping, checked against hand-worked cases and against a
// plain bounds-checked Floyd–Steinberg reference.
#include "imaging/colour_reduction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "converter_test_images.h"

namespace pixlane::test {
namespace {

// Floyd–Steinberg in memory order over `values` (width × height pixels of
// `channels` ints), every neighbour tested against the image bounds.
// pick(values of a pixel) gives the index, level(index, channel) its value.
std::vector<int> ReferenceDither(std::vector<int> values, int width, int height, int channels,
                                 const std::function<int(const int*)>& pick,
                                 const std::function<int(int, int)>& level) {
  struct Share {
    int dx, dy, k;
  };
  const Share shares[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
  std::vector<int> indices;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int* px = &values[static_cast<size_t>((y * width + x) * channels)];
      const int index = pick(px);
      indices.push_back(index);
      for (const Share& s : shares) {
        const int nx = x + s.dx, ny = y + s.dy;
        if (nx < 0 || nx >= width || ny >= height) continue;
        int* n = &values[static_cast<size_t>((ny * width + nx) * channels)];
        for (int c = 0; c < channels; ++c) {
          const int e = px[c] - level(index, c);
          n[c] = std::clamp(n[c] + ((s.k * e) >> 4), 0, 255);
        }
      }
    }
  }
  return indices;
}

// 8-bit image over a gray ramp palette (entry i = (i, i, i), whose gray
// level is i), so the gray work image equals the indices.
SourceImage GrayRampImage(int32_t width, int32_t height, const std::function<uint8_t(int32_t, int32_t)>& level) {
  SourceImage image = MakeIndexed(width, height, 8, level);
  for (int i = 0; i < 256; ++i) {
    const uint8_t v = static_cast<uint8_t>(i);
    image.palette[static_cast<size_t>(i)] = RgbQuad{v, v, v, 0};
  }
  return image;
}

std::vector<int> BlackWhiteReference(const SourceImage& image) {
  std::vector<int> values;
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) values.push_back(image.pixels[static_cast<size_t>(y) * image.Stride() + x]);
  }
  return ReferenceDither(
      values, image.width, image.height, 1, [](const int* v) { return *v >= 128 ? 1 : 0; },
      [](int index, int) { return index * 255; });
}

// The indices of a conversion in memory order, from packed rows or GIF bytes.
std::vector<int> IndicesOf(const Conversion& out, int32_t width, int32_t height, int32_t bits, bool gif) {
  std::vector<int> indices;
  const size_t stride = gif ? static_cast<size_t>(width) : static_cast<size_t>(out.converter.rowStride);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      indices.push_back(gif ? out.Row(y, stride)[x] : IndexAt(out.Row(y, stride), x, bits));
    }
  }
  return indices;
}

std::vector<Bgr> PaletteColours(const Conversion& out, int count) {
  std::vector<Bgr> colours;
  for (int i = 0; i < count; ++i) colours.push_back(ColourOf(out.palette[static_cast<size_t>(i)]));
  return colours;
}

TEST(FixedPalette, SizesAndCubeOrder) {
  for (int size : {4, 8, 15, 27, 64, 125, 216}) {
    const auto palette = FixedPalette(size);
    ASSERT_EQ(palette.size(), static_cast<size_t>(size));
    EXPECT_EQ(palette.front(), (Bgr{0, 0, 0}));
    EXPECT_EQ(palette.back(), (Bgr{255, 255, 255}));
  }
  // Blue varies fastest, then green, then red.
  EXPECT_EQ(FixedPalette(27)[1], (Bgr{128, 0, 0}));
  EXPECT_EQ(FixedPalette(27)[3], (Bgr{0, 128, 0}));
  EXPECT_EQ(FixedPalette(27)[9], (Bgr{0, 0, 128}));
}

TEST(NearestIndex, TiesKeepTheLowerIndex) {
  const Bgr palette[] = {{20, 0, 0}, {0, 10, 0}, {10, 0, 0}, {0, 0, 10}};
  EXPECT_EQ(NearestIndex(palette, 4, Bgr{0, 0, 0}), 1);
  EXPECT_EQ(NearestIndex(palette, 1, Bgr{0, 0, 0}), 0);
  EXPECT_EQ(NearestIndex(palette, 4, Bgr{15, 0, 0}), 0);
}

TEST(NearestSearch, AgreesWithTheFullSearch) {
  {
    // Entry 1 lies in the colour's box and is looked at first; entry 0 lies
    // outside at the same distance and must still win the tie.
    const Bgr palette[] = {{17, 0, 0}, {13, 0, 0}};
    NearestSearch search;
    ASSERT_TRUE(search.Init(palette, 2));
    EXPECT_EQ(search.Find(Bgr{15, 0, 0}), 0);
  }
  Random random(7);
  for (int trial = 0; trial < 300; ++trial) {
    // Coarse levels make many equal distances; fine ones many entries per box.
    const int count = 1 + static_cast<int>(random.Next() % 256);
    const int step = trial % 3 == 0 ? 85 : (trial % 3 == 1 ? 17 : 1);
    std::vector<Bgr> palette;
    for (int i = 0; i < count; ++i) {
      palette.push_back(Bgr{static_cast<uint8_t>(step * random.Byte(0, 255 / step)),
                            static_cast<uint8_t>(step * random.Byte(0, 255 / step)),
                            static_cast<uint8_t>(step * random.Byte(0, 255 / step))});
    }
    NearestSearch search;
    ASSERT_TRUE(search.Init(palette.data(), count));
    for (int i = 0; i < 300; ++i) {
      const Bgr colour{random.Byte(), random.Byte(), random.Byte()};
      ASSERT_EQ(search.Find(colour), NearestIndex(palette.data(), count, colour))
          << "trial " << trial << " colour " << int(colour.blue) << "," << int(colour.green) << ","
          << int(colour.red);
    }
  }
}

TEST(NearestSearch, LongListsInEveryBoxFallBackToTheFullSearch) {
  // Two close colours repeated: nearly every box lists all 256 entries, more
  // than the list pool holds for 4096 boxes.
  std::vector<Bgr> palette;
  for (int i = 0; i < 256; ++i) palette.push_back(i % 3 == 0 ? Bgr{120, 120, 120} : Bgr{136, 136, 136});
  NearestSearch search;
  ASSERT_TRUE(search.Init(palette.data(), 256));
  for (int box = 0; box < 4096; ++box) {
    const Bgr colour{static_cast<uint8_t>((box & 15) * 16 + 7), static_cast<uint8_t>(((box >> 4) & 15) * 16 + 3),
                     static_cast<uint8_t>((box >> 8) * 16 + 12)};
    ASSERT_EQ(search.Find(colour), NearestIndex(palette.data(), 256, colour)) << "box " << box;
  }
  const Bgr between{128, 128, 128};  // equally far from both: the lowest index
  EXPECT_EQ(search.Find(between), 0);
}

TEST(BlackWhite, Gray128IsWhiteAnd127Black) {
  struct Case {
    SourceImage image;
    int bit;
  };
  auto onePixel = [](Bgr c) { return Make24(1, 1, [=](int32_t, int32_t) { return c; }); };
  const Case cases[] = {
      {GrayRampImage(1, 1, [](int32_t, int32_t) { return uint8_t{128}; }), 1},
      {GrayRampImage(1, 1, [](int32_t, int32_t) { return uint8_t{127}; }), 0},
      {onePixel(Bgr{9, 217, 0}), 1},  // 1 + 127 + 0 = 128
      {onePixel(Bgr{0, 217, 0}), 0},  // 127
  };
  for (const Case& k : cases) {
    const Conversion packed = Convert(k.image, 1);
    ASSERT_TRUE(packed.ok);
    EXPECT_EQ(packed.pixels[0], k.bit << 7);
    EXPECT_EQ(ColourOf(packed.palette[0]), (Bgr{0, 0, 0}));
    EXPECT_EQ(ColourOf(packed.palette[1]), (Bgr{255, 255, 255}));
    const Conversion gif = Convert(k.image, 1, Operation::Gif);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.pixels[0], k.bit);
    EXPECT_TRUE(gif.GuardIntact());
  }
}

TEST(BlackWhite, OnePixelWideImagePushesErrorOnlyToTheNextRow) {
  // 100 → 0 (+31 below); 60 + 31 = 91 → 0 (+28 below); 100 + 28 = 128 → 1.
  const uint8_t column[] = {100, 60, 100};
  const SourceImage image = GrayRampImage(1, 3, [&](int32_t, int32_t y) { return column[y]; });
  const Conversion gif = Convert(image, 1, Operation::Gif);
  ASSERT_TRUE(gif.ok);
  EXPECT_EQ(std::vector<uint8_t>(gif.pixels.begin(), gif.pixels.begin() + 3), (std::vector<uint8_t>{0, 0, 1}));
  EXPECT_TRUE(gif.GuardIntact());
}

TEST(BlackWhite, DiffusionMatchesReferenceAtEveryEdge) {
  Random random(11);
  std::vector<std::pair<int32_t, int32_t>> sizes = {{23, 7}, {64, 3}, {7, 200}, {2, 300}};
  for (int32_t w = 1; w <= 5; ++w) {
    for (int32_t h = 1; h <= 4; ++h) sizes.emplace_back(w, h);
  }
  for (const auto& [width, height] : sizes) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    const SourceImage image = GrayRampImage(width, height, [&](int32_t, int32_t) { return random.Byte(); });
    const std::vector<int> expected = BlackWhiteReference(image);
    const Conversion packed = Convert(image, 1);
    ASSERT_TRUE(packed.ok);
    EXPECT_EQ(IndicesOf(packed, width, height, 1, false), expected);
    EXPECT_TRUE(packed.GuardIntact());
    EXPECT_TRUE(packed.converter.workPixels.empty());
    const Conversion gif = Convert(image, 1, Operation::Gif);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(IndicesOf(gif, width, height, 8, true), expected);
    EXPECT_TRUE(gif.GuardIntact());
  }
}

TEST(ExactPalette, ThreeColoursAtTwoBitsSortedBySumWithoutDithering) {
  const Bgr a{200, 200, 200}, b{10, 20, 30}, c{0, 0, 255};
  const Bgr rows[2][5] = {{a, b, c, a, b}, {c, c, a, b, a}};
  const SourceImage image = Make24(5, 2, [&](int32_t x, int32_t y) { return rows[y][x]; });
  const Conversion out = Convert(image, 2);
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(PaletteColours(out, 3), (std::vector<Bgr>{b, c, a}));
  EXPECT_EQ(out.palette[3], RgbQuad{});              // unfilled entry below 2^n
  EXPECT_EQ(out.palette[4], (RgbQuad{0x77, 0x77, 0x77, 0x77}));  // beyond: untouched
  // Indices 2 0 1 2 0 and 1 1 2 0 2, two bits each, then zero fill.
  const std::vector<uint8_t> expected = {0x86, 0x00, 0, 0, 0x58, 0x80, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(out.pixels.begin(), out.pixels.begin() + 8), expected);
  EXPECT_TRUE(out.GuardIntact());
}

TEST(ExactPalette, EqualSumsKeepSelectionOrder) {
  // Memory order X, Z (both sum 300), Y (sum 100): Y swaps with X, so the
  // palette is Y, Z, X (a stable sort would give Y, X, Z).
  const Bgr x{100, 100, 100}, z{0, 100, 200}, y{50, 50, 0};
  const Bgr row[3] = {x, z, y};
  const Conversion out = Convert(Make24(3, 1, [&](int32_t i, int32_t) { return row[i]; }), 2);
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(PaletteColours(out, 3), (std::vector<Bgr>{y, z, x}));
  EXPECT_EQ(out.pixels[0], 0b10'01'00'00);
}

TEST(ExactPalette, EightBitSourceUsesTheColoursItsPixelsUse) {
  SourceImage image = MakeIndexed(4, 2, 8, [](int32_t x, int32_t y) {
    const uint8_t indices[2][4] = {{200, 201, 250, 202}, {250, 250, 200, 201}};
    return indices[y][x];
  });
  for (int i = 0; i < 200; ++i) image.palette[static_cast<size_t>(i)] = RgbQuad{static_cast<uint8_t>(i), 7, 0, 0};
  image.palette[200] = RgbQuad{10, 200, 30, 0};
  image.palette[201] = RgbQuad{100, 100, 100, 0};
  image.palette[202] = RgbQuad{10, 200, 30, 0};  // same colour as 200
  image.palette[250] = RgbQuad{0, 0, 5, 0};
  for (int32_t bits : {2, 4}) {
    SCOPED_TRACE(testing::Message() << bits << " bits");
    const Conversion out = Convert(image, bits);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(PaletteColours(out, 3), (std::vector<Bgr>{{0, 0, 5}, {10, 200, 30}, {100, 100, 100}}));
    const std::vector<int> indices = IndicesOf(out, 4, 2, bits, false);
    EXPECT_EQ(indices, (std::vector<int>{1, 2, 0, 1, 0, 0, 1, 2}));
  }
}

TEST(HistogramPalette, SeventeenColoursAtFourBitsGiveSixteenAveragedCells) {
  // Greys 16i + 8 fall in 16 cells; 8 and 11 share the first cell, whose
  // average (8 + 4 × 11) / 5 is 10.
  const uint8_t greys[20] = {8, 11, 24, 11, 40, 56, 11, 72, 88, 104, 11, 120, 136, 152, 168, 184, 200, 216, 232, 248};
  const SourceImage image = Make24(4, 5, [&](int32_t x, int32_t y) {
    const uint8_t v = greys[4 * y + x];
    return Bgr{v, v, v};
  });
  const Conversion out = Convert(image, 4);
  ASSERT_TRUE(out.ok);
  std::vector<Bgr> expected = {{10, 10, 10}};
  for (int i = 1; i < 16; ++i) {
    const uint8_t v = static_cast<uint8_t>(16 * i + 8);
    expected.push_back(Bgr{v, v, v});
  }
  EXPECT_EQ(PaletteColours(out, 16), expected);
  std::vector<int> indices;
  for (uint8_t v : greys) indices.push_back(v < 16 ? 0 : (v - 8) / 16);
  EXPECT_EQ(IndicesOf(out, 4, 5, 4, false), indices);
}

// Four single colours on the bottom row's left, then two large gray areas.
SourceImage SeedingImage(int32_t size, std::array<Bgr, 4> few) {
  return Make24(size, size, [=](int32_t x, int32_t y) {
    if (y == 0 && x < 4) return few[static_cast<size_t>(x)];
    return (x + y) % 2 == 0 ? Bgr{128, 128, 128} : Bgr{64, 64, 64};
  });
}

TEST(HistogramPalette, SeedsTakeNearbyCellsBeforeLargeOnes) {
  struct Case {
    const char* name;
    int32_t size;
    std::array<Bgr, 4> few;
    std::vector<Bgr> palette;
  };
  const Bgr black{0, 0, 0}, white{255, 255, 255}, blue{250, 60, 0}, red{0, 60, 250}, grayA{128, 128, 128},
      grayB{64, 64, 64}, purple{128, 64, 128};
  const Case cases[] = {
      // Every seed finds its cell; the equal sums of blue and red keep seed order.
      {"all seeded", 10, {black, white, blue, red}, {black, blue, red, white}},
      // This red is beyond the threshold (195² = 38025 ≥ 34560): no seed for
      // it, and of the two equal gray cells the lower cell index fills.
      {"one seed misses", 10, {black, white, blue, {0, 64, 60}}, {black, grayB, blue, white}},
      // Purple is the nearest cell for both the blue and the red seed; a
      // cell seeds once, so the red seed finds nothing.
      {"cell taken once", 10, {black, white, purple, purple}, {black, grayB, purple, white}},
      // 160000 pixels: cells need 2 pixels to seed, so the single black,
      // blue and white pixels cannot; filling takes gray A, then the
      // one-pixel cells by cell index.
      {"large image", 400, {black, white, blue, red}, {black, grayB, blue, grayA}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const Conversion out = Convert(SeedingImage(k.size, k.few), 2);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(PaletteColours(out, 4), k.palette);
    EXPECT_TRUE(out.GuardIntact());
  }
}

TEST(HistogramPalette, ResolutionIsTheFinestWhoseCoarserLevelFits) {
  // Greys 2, 8, 24, 40 … 248 take 16 cells at 4 bits per channel, so the
  // histogram uses 5 bits, where 2 and 8 stay apart: 17 cells, and every
  // palette entry is one of the image's own colours (at 4 bits 2 and 8
  // would merge into 5).
  std::vector<uint8_t> greys = {2};
  for (int i = 0; i < 16; ++i) greys.push_back(static_cast<uint8_t>(16 * i + 8));
  const SourceImage image = Make24(17, 1, [&](int32_t x, int32_t) {
    const uint8_t v = greys[static_cast<size_t>(x)];
    return Bgr{v, v, v};
  });
  const Conversion out = Convert(image, 4);
  ASSERT_TRUE(out.ok);
  for (const Bgr& c : PaletteColours(out, 16)) {
    EXPECT_TRUE(c.blue == c.green && c.green == c.red);
    EXPECT_NE(std::find(greys.begin(), greys.end(), c.blue), greys.end()) << int(c.blue);
  }
}

TEST(HistogramPalette, SmallImageWithoutBlackGetsNoBlack) {
  Random random(3);
  const SourceImage image = Make24(24, 24, [&](int32_t, int32_t) {
    return Bgr{random.Byte(200, 255), random.Byte(200, 255), random.Byte(200, 255)};
  });
  const Conversion four = Convert(image, 4);
  ASSERT_TRUE(four.ok);
  for (const Bgr& c : PaletteColours(four, 16)) EXPECT_NE(c, (Bgr{0, 0, 0}));

  const Conversion eight = Convert(image, 8, Operation::Gif);
  ASSERT_TRUE(eight.ok);
  EXPECT_NE(ColourOf(eight.palette[0]), (Bgr{0, 0, 0}));
  for (size_t i = 0; i < 24 * 24; ++i) EXPECT_NE(ColourOf(eight.palette[eight.pixels[i]]), (Bgr{0, 0, 0}));
}

// Random colours with every channel ≥ 1, so no filled palette entry is
// black and the filled entries are the non-black ones.
SourceImage RandomColourImage(int32_t width, int32_t height, uint32_t seed) {
  Random random(seed);
  return Make24(width, height, [&](int32_t x, int32_t y) {
    // Smooth ramps with noise, like a photo, plus a few flat patches.
    if ((x / 4 + y / 3) % 5 == 0) return Bgr{200, 30, 90};
    return Bgr{static_cast<uint8_t>(std::clamp(8 * x + random.Byte(0, 40) - 20, 1, 255)),
               static_cast<uint8_t>(std::clamp(12 * y + random.Byte(0, 40) - 20, 1, 255)),
               random.Byte(1, 255)};
  });
}

TEST(HistogramPalette, DitheredMappingMatchesReference) {
  const std::pair<int32_t, int32_t> sizes[] = {{1, 7}, {2, 5}, {9, 4}, {31, 17}};
  for (int32_t bits = 2; bits <= 8; ++bits) {
    for (const auto& [width, height] : sizes) {
      SCOPED_TRACE(testing::Message() << bits << " bits, " << width << "x" << height);
      const SourceImage image = RandomColourImage(width, height, static_cast<uint32_t>(bits * 100 + width));
      const Conversion gif = Convert(image, bits, Operation::Gif);
      ASSERT_TRUE(gif.ok);
      EXPECT_TRUE(gif.GuardIntact());
      EXPECT_TRUE(gif.converter.workPixels.empty());
      EXPECT_TRUE(gif.converter.cells.empty());
      const int capacity = 1 << bits;
      std::vector<Bgr> palette = PaletteColours(gif, capacity);
      const int filled = static_cast<int>(std::count_if(palette.begin(), palette.end(), [](Bgr c) {
        return c != Bgr{0, 0, 0};
      }));
      ASSERT_GE(filled, 1);
      for (int i = 1; i < filled; ++i) {
        EXPECT_LE(palette[i - 1].blue + palette[i - 1].green + palette[i - 1].red,
                  palette[i].blue + palette[i].green + palette[i].red);
      }
      for (int i = filled; i < capacity; ++i) EXPECT_EQ(gif.palette[static_cast<size_t>(i)], RgbQuad{});
      if (capacity < 256) {
        EXPECT_EQ(gif.palette[static_cast<size_t>(capacity)].blue, 0x77);
      }

      std::vector<int> values;
      for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
          for (int c = 0; c < 3; ++c) values.push_back(image.pixels[static_cast<size_t>(y) * image.Stride() + 3 * x + c]);
        }
      }
      const std::vector<int> expected = ReferenceDither(
          values, width, height, 3,
          [&](const int* v) {
            return NearestIndex(palette.data(), filled,
                                Bgr{static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])});
          },
          [&](int index, int c) {
            const Bgr& p = palette[static_cast<size_t>(index)];
            return c == 0 ? p.blue : (c == 1 ? p.green : p.red);
          });
      EXPECT_EQ(IndicesOf(gif, width, height, 8, true), expected);

      if (bits == 2 || bits == 4 || bits == 8) {
        const Conversion packed = Convert(image, bits);
        ASSERT_TRUE(packed.ok);
        EXPECT_EQ(IndicesOf(packed, width, height, bits, false), expected);
        EXPECT_EQ(PaletteColours(packed, capacity), palette);
      }
    }
  }
}

TEST(ReduceForGif, ExactPaletteAtThreeBits) {
  const Bgr colours[5] = {{90, 90, 90}, {0, 0, 1}, {255, 0, 0}, {1, 2, 3}, {0, 255, 255}};
  const SourceImage image = Make24(7, 3, [&](int32_t x, int32_t y) { return colours[(x + 3 * y) % 5]; });
  const Conversion out = Convert(image, 3, Operation::Gif);
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(PaletteColours(out, 5),
            (std::vector<Bgr>{{0, 0, 1}, {1, 2, 3}, {255, 0, 0}, {90, 90, 90}, {0, 255, 255}}));
  for (int i = 5; i < 8; ++i) EXPECT_EQ(out.palette[static_cast<size_t>(i)], RgbQuad{});
  EXPECT_EQ(out.palette[8], (RgbQuad{0x77, 0x77, 0x77, 0x77}));
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 7; ++x) {
      EXPECT_EQ(ColourOf(out.palette[out.pixels[static_cast<size_t>(7 * y + x)]]), colours[(x + 3 * y) % 5]);
    }
  }
  EXPECT_TRUE(out.GuardIntact());
}

TEST(ReduceForGif, EightBitSourceOfAllEntriesStaysExact) {
  SourceImage image = MakeIndexed(16, 16, 8, [](int32_t x, int32_t y) { return static_cast<uint8_t>(255 - (16 * y + x)); });
  for (int i = 0; i < 256; ++i) {
    image.palette[static_cast<size_t>(i)] =
        RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>((i * 3) % 256), 0};
  }
  const Conversion out = Convert(image, 8, Operation::Gif);
  ASSERT_TRUE(out.ok);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      EXPECT_EQ(ColourOf(out.palette[out.pixels[static_cast<size_t>(16 * y + x)]]),
                ColourOf(image.palette[static_cast<size_t>(255 - (16 * y + x))]));
    }
  }
}

TEST(ReduceForGif, RefusesOtherDepths) {
  const SourceImage colour = RandomColourImage(4, 4, 1);
  EXPECT_FALSE(Convert(colour, 0, Operation::Gif).ok);
  EXPECT_FALSE(Convert(colour, 9, Operation::Gif).ok);
  EXPECT_FALSE(Convert(colour, 24, Operation::Gif).ok);
  const SourceImage four = MakeIndexed(4, 4, 4, [](int32_t x, int32_t) { return static_cast<uint8_t>(x); });
  EXPECT_FALSE(Convert(four, 4, Operation::Gif).ok);
}

}  // namespace
}  // namespace pixlane::test
