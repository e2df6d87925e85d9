// Auto-levels, brightness, contrast and hue/saturation: the worked numbers,
// the 8-bit path through the palette (indices untouched, each entry mapped
// as a 24-bit pixel of its colour would be), the one-level image left alone,
// and the HLS tables against the conversion written out with divisions.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "imaging/colour_corrections.h"
#include "imaging/hue_saturation.h"
#include "processing_test_images.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

struct Tables {
  StretchTables stretch;
  BrightnessTables brightness;
  ContrastTables contrast;
  HlsTables hls;
  Tables() {
    BuildStretchTables(stretch);
    BuildBrightnessTables(brightness);
    BuildHlsTables(hls);
  }
};

Tables& SharedTables() {
  static const std::unique_ptr<Tables> tables = std::make_unique<Tables>();
  return *tables;
}

CorrectionParams ParamsFor(ImageBuffer& image) {
  CorrectionParams p;
  SetCorrectionImage(p, image, image.header.width, image.header.height, image.header.bitCount);
  Tables& t = SharedTables();
  p.stretch = &t.stretch;
  p.brightness = &t.brightness;
  p.contrast = &t.contrast;
  p.hls = &t.hls;
  return p;
}

struct Bgr {
  uint8_t b, g, r;
  friend bool operator==(const Bgr&, const Bgr&) = default;
};

std::ostream& operator<<(std::ostream& os, const Bgr& c) {
  return os << "(" << int{c.b} << ", " << int{c.g} << ", " << int{c.r} << ")";
}

Bgr At(ImageBuffer& image, int32_t x, int32_t y) {
  const uint8_t* p = test::PixelAt(test::ViewOf(image), x, y);
  return {p[0], p[1], p[2]};
}

// One row of 24-bit pixels.
void MakeRow(ImageBuffer& image, const std::vector<Bgr>& colours) {
  test::MakeBlank(image, static_cast<int32_t>(colours.size()), 1, 24);
  for (size_t i = 0; i < colours.size(); ++i) {
    test::SetPixel(test::ViewOf(image), static_cast<int32_t>(i), 0, colours[i].b, colours[i].g,
                   colours[i].r);
  }
}

// HLS conversion with the divisions written out, for comparison with the
// table-driven one.
Bgr ReferenceHls(Bgr in, int32_t hueShift, int32_t satShift) {
  const int32_t b = in.b, g = in.g, r = in.r;
  int32_t max, diff, base;
  if (g >= b) { max = g; diff = b - r; base = 120; } else { max = b; diff = r - g; base = 240; }
  if (r > max) { max = r; diff = g - b; base = 0; }
  const int32_t min = std::min({b, g, r}), sum = max + min, delta = max - min;
  auto wrap = [](int32_t h) { return h < 0 ? h + 360 : (h >= 360 ? h - 360 : h); };
  int32_t s = 0, h = 0;
  if (delta != 0) {
    s = sum <= 255 ? 255 * delta / sum : 255 * delta / (510 - sum);
    h = wrap(base + 60 * diff / delta);
  }
  const int32_t l = sum >> 1;
  const int32_t s2 = std::clamp(s + satShift, 0, 255);
  if (s2 == 0) return {static_cast<uint8_t>(l), static_cast<uint8_t>(l), static_cast<uint8_t>(l)};
  const int32_t h2 = h + hueShift;
  const int32_t m2 = l <= 127 ? l * (255 + s2) / 255 : l + s2 - l * s2 / 255;
  const int32_t m1 = 2 * l - m2, d = m2 - m1;
  auto v = [d](int32_t a) {
    return a < 60 ? a * d / 60 : a < 180 ? d : a < 240 ? (240 - a) * d / 60 : 0;
  };
  return {static_cast<uint8_t>(m1 + v(wrap(h2 - 120))), static_cast<uint8_t>(m1 + v(wrap(h2))),
          static_cast<uint8_t>(m1 + v(wrap(h2 + 120)))};
}

TEST(BrightnessTest, CurvesHoldTheWorkedValues) {
  const BrightnessTables& t = SharedTables().brightness;
  auto curve = [&](int32_t g) { return t.curves[static_cast<size_t>(g + 100)]; };
  for (int32_t g : {0, 1, 2}) {
    for (int32_t v = 0; v < 256; ++v) ASSERT_EQ(curve(g)[v], v) << "g " << g;
  }
  EXPECT_EQ(curve(-1)[128], 125);
  EXPECT_EQ(curve(100)[1], 157);
  EXPECT_EQ(curve(100)[128], 240);
  EXPECT_EQ(curve(-100)[128], 0);
  EXPECT_EQ(curve(-100)[192], 10);
  for (int32_t g = -100; g <= 100; ++g) {
    EXPECT_EQ(curve(g)[0], 0);
    EXPECT_EQ(curve(g)[255], 255);
  }
}

TEST(ContrastTest, LinesPivotOnTheMean) {
  ContrastTables& t = SharedTables().contrast;
  BuildContrastTables(t, 128);
  auto line = [&](int32_t c) { return t.lines[static_cast<size_t>(c + 100)]; };
  EXPECT_EQ(line(32)[100], 72);
  EXPECT_EQ(line(32)[200], 255);
  EXPECT_EQ(line(-64)[0], 64);
  EXPECT_EQ(line(-64)[200], 164);
  for (int32_t v = 0; v < 256; ++v) ASSERT_EQ(line(0)[v], v);
  EXPECT_EQ(line(-1)[0], 1);    // (−512 × −128) >> 16 = 1
  EXPECT_EQ(line(-1)[255], 254);  // (−512 × 127) >> 16 = −1: the shift rounds down
}

TEST(MeanLuminanceTest, ShiftsEachRowSumSeparately) {
  ImageBuffer gray;
  test::MakeUniform24(gray, 3, 2, 128, 128, 128);
  // Per row (117 × 384 >> 10) + (601 × 384 >> 10) + (306 × 384 >> 10) = 382.
  EXPECT_EQ(MeanLuminance(ParamsFor(gray)), 127);
  ImageBuffer white;
  test::MakeUniform24(white, 1000, 3, 255, 255, 255);
  EXPECT_EQ(MeanLuminance(ParamsFor(white)), 254);
}

TEST(AutoLevelsTest, StretchesFiftyToTwoHundred) {
  // Every level 50 … 200 equally often, one 0 and one 255 among them.
  ImageBuffer image;
  test::MakeBlank(image, 151, 4, 24);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 151; ++x) {
      const auto v = static_cast<uint8_t>(50 + x);
      test::SetPixel(test::ViewOf(image), x, y, v, v, v);
    }
  }
  test::PixelAt(test::ViewOf(image), 0, 0)[0] = 0;
  test::PixelAt(test::ViewOf(image), 150, 0)[2] = 255;
  AutoLevels(ParamsFor(image));
  EXPECT_EQ(At(image, 0, 1), (Bgr{0, 0, 0}));          // 50
  EXPECT_EQ(At(image, 75, 1), (Bgr{127, 127, 127}));   // 125
  EXPECT_EQ(At(image, 150, 1), (Bgr{254, 254, 254}));  // 200
  EXPECT_EQ(At(image, 0, 0).b, 0);                     // 0
  EXPECT_EQ(At(image, 150, 0).r, 255);                 // 255
}

TEST(AutoLevelsTest, LeavesAOneLevelImageAlone) {
  // 1200 samples, T = 4: the two samples below 90 and the one above are
  // too few to move either level off 90.
  ImageBuffer image;
  test::MakeUniform24(image, 20, 20, 90, 90, 90);
  test::SetPixel(test::ViewOf(image), 3, 3, 200, 10, 0);
  AutoLevels(ParamsFor(image));
  EXPECT_EQ(At(image, 0, 0), (Bgr{90, 90, 90}));
  EXPECT_EQ(At(image, 3, 3), (Bgr{200, 10, 0}));
}

TEST(HueSaturationTest, WorkedExamples) {
  struct Case {
    Bgr in;
    int32_t hue, sat;
    Bgr out;
  };
  const Case cases[] = {
      {{0, 0, 255}, 0, 0, {0, 0, 254}},           {{100, 100, 100}, 0, 50, {81, 81, 119}},
      {{100, 100, 100}, 120, 50, {81, 119, 81}},  {{0, 0, 255}, 120, 0, {0, 254, 0}},
      {{0, 0, 255}, -120, 0, {254, 0, 0}},        {{50, 100, 200}, 0, -255, {125, 125, 125}},
      {{100, 100, 100}, 90, -20, {100, 100, 100}}, {{100, 100, 100}, 90, 0, {100, 100, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.in << " hue " << c.hue << " sat " << c.sat);
    ImageBuffer image;
    MakeRow(image, {c.in});
    ApplyHueSaturation(ParamsFor(image), c.hue, c.sat);
    EXPECT_EQ(At(image, 0, 0), c.out);
    EXPECT_EQ(ReferenceHls(c.in, c.hue, c.sat), c.out);
  }
}

TEST(HueSaturationTest, TablesAgreeWithTheDivisions) {
  uint32_t state = 99;
  auto next = [&] { return state = state * 1664525u + 1013904223u; };
  for (int32_t round = 0; round < 40; ++round) {
    const int32_t hue = static_cast<int32_t>(next() >> 8) % 361 - 180;
    const int32_t sat = static_cast<int32_t>(next() >> 8) % 511 - 255;
    std::vector<Bgr> colours;
    for (int32_t i = 0; i < 2000; ++i) {
      const uint32_t v = next();
      colours.push_back({static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                         static_cast<uint8_t>(v >> 8)});
    }
    colours.push_back({255, 255, 255});
    colours.push_back({0, 0, 0});
    colours.push_back({0, 255, 255});
    ImageBuffer image;
    MakeRow(image, colours);
    ApplyHueSaturation(ParamsFor(image), hue, sat);
    for (size_t i = 0; i < colours.size(); ++i) {
      ASSERT_EQ(At(image, static_cast<int32_t>(i), 0), ReferenceHls(colours[i], hue, sat))
          << colours[i] << " hue " << hue << " sat " << sat;
    }
  }
}

// Each correction on an 8-bit image changes only the palette, and each
// entry exactly as a 24-bit pixel of that colour changes.
TEST(PaletteCorrectionTest, EntriesChangeLikePixelsAndIndicesStay) {
  ImageBuffer indexed;
  test::MakePatternImage(indexed, 16, 16, 8, 5);  // every index 0 … 255 once
  for (int32_t i = 0; i < 256; ++i) {
    indexed.pixels.data()[static_cast<size_t>(i / 16) * 16 + static_cast<size_t>(i % 16)] =
        static_cast<uint8_t>(i);
    indexed.palette[static_cast<size_t>(i)].reserved = static_cast<uint8_t>(i);
  }
  // The same picture at 24 bits.
  ImageBuffer truecolour;
  test::MakeBlank(truecolour, 16, 16, 24);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      const RgbQuad& c = indexed.palette[*test::PixelAt(test::ViewOf(indexed), x, y)];
      test::SetPixel(test::ViewOf(truecolour), x, y, c.blue, c.green, c.red);
    }
  }
  ImageBuffer indicesBefore;
  test::CopyImage(indexed, indicesBefore);

  using Step = void (*)(const CorrectionParams&);
  const Step steps[] = {
      [](const CorrectionParams& p) { AutoLevels(p); },
      [](const CorrectionParams& p) { ApplyBrightness(p, 37); },
      [](const CorrectionParams& p) { ApplyContrast(p, -45); },
      [](const CorrectionParams& p) { ApplyContrast(p, 60); },
      [](const CorrectionParams& p) { ApplyHueSaturation(p, 120, 30); },
  };
  for (Step step : steps) {
    step(ParamsFor(indexed));
    step(ParamsFor(truecolour));
  }
  EXPECT_TRUE(test::SamePixels(test::ViewOf(indexed), test::ViewOf(indicesBefore)));
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      const uint8_t index = *test::PixelAt(test::ViewOf(indexed), x, y);
      const RgbQuad& c = indexed.palette[index];
      ASSERT_EQ((Bgr{c.blue, c.green, c.red}), At(truecolour, x, y)) << "index " << int{index};
      ASSERT_EQ(c.reserved, index);
    }
  }
}

}  // namespace
}  // namespace pixlane
