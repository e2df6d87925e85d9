// The preview arithmetic: the fitted picture's rectangle, the output
// preview's size and percentage on a work area, its caption and the input
// preview's size line.
#include "ui/preview_model.h"

#include <gtest/gtest.h>

namespace pixlane::ui {
namespace {

TEST(FitImageRect, SmallImagesKeepTheirSizeAndAreCentred) {
  EXPECT_EQ(FitImageRect(200, 200, 100, 50), (FittedRect{50, 75, 100, 50}));
  EXPECT_EQ(FitImageRect(200, 200, 200, 200), (FittedRect{0, 0, 200, 200}));
  // Odd margins put the extra pixel after the picture.
  EXPECT_EQ(FitImageRect(200, 200, 1, 1), (FittedRect{99, 99, 1, 1}));
  EXPECT_EQ(FitImageRect(200, 200, 199, 3), (FittedRect{0, 98, 199, 3}));
}

TEST(FitImageRect, LargeImagesAreFittedInFourteenBitFixedPoint) {
  // sx = 819, sy = 1092: the width limits; (819 · 3000) >> 14 = 149.
  EXPECT_EQ(FitImageRect(200, 200, 4000, 3000), (FittedRect{0, 25, 200, 149}));
  // Portrait: the height limits; (3000 · 819) >> 14 = 149, centred across.
  EXPECT_EQ(FitImageRect(200, 200, 3000, 4000), (FittedRect{25, 0, 149, 200}));
  // Equal factors take the height branch and fill the area exactly.
  EXPECT_EQ(FitImageRect(200, 200, 400, 400), (FittedRect{0, 0, 200, 200}));
  // Only one side too large: still scaled as a whole.
  // sx = 10922: (10922 · 100) >> 14 = 66.
  EXPECT_EQ(FitImageRect(200, 200, 300, 100), (FittedRect{0, 67, 200, 66}));
}

TEST(FitImageRect, ExtremeShapesKeepAtLeastOnePixel) {
  EXPECT_EQ(FitImageRect(200, 200, 25000, 1), (FittedRect{0, 99, 200, 1}));
  EXPECT_EQ(FitImageRect(200, 200, 1, 25000), (FittedRect{99, 0, 1, 200}));
  // A wide client area and the largest image: no overflow in the products.
  // sy = 13107: (25000 · 13107) >> 14 = 19999.
  EXPECT_EQ(FitImageRect(30000, 20000, 25000, 25000), (FittedRect{5000, 0, 19999, 20000}));
  const FittedRect wide = FitImageRect(100000, 100, 25000, 25000);
  EXPECT_EQ(wide.height, 100);
  EXPECT_EQ(wide.width, 99);  // (25000 · 65) >> 14
  EXPECT_EQ(wide.x, (100000 - 99) / 2);
}

TEST(FitImageRect, NothingToDrawGivesAnEmptyRectangle) {
  EXPECT_EQ(FitImageRect(0, 200, 10, 10), FittedRect{});
  EXPECT_EQ(FitImageRect(200, 200, 0, 10), FittedRect{});
  EXPECT_EQ(FitImageRect(200, -1, 10, 10), FittedRect{});
}

TEST(ScaleOutputPreview, ImagesThatFitOpenAtOneHundredPercent) {
  EXPECT_EQ(ScaleOutputPreview(640, 480, 1914, 1015), (OutputPreviewSize{640, 480, 100}));
  EXPECT_EQ(ScaleOutputPreview(1914, 1015, 1914, 1015), (OutputPreviewSize{1914, 1015, 100}));
}

TEST(ScaleOutputPreview, LargeImagesAreScaledToTheWorkArea) {
  // A 1920 × 1040 work area less a 3-pixel dialog frame on each side and a
  // 19-pixel caption leaves 1914 × 1015: f = min(3190, 2537) + 1 = 2538.
  EXPECT_EQ(ScaleOutputPreview(6000, 4000, 1914, 1015), (OutputPreviewSize{1522, 1015, 25}));
  // Too wide only: the width decides (f = 9570 + 1).
  EXPECT_EQ(ScaleOutputPreview(2000, 100, 1914, 1015), (OutputPreviewSize{1914, 95, 95}));
  // The added ten-thousandth shows in the percentage: 5000/10000 + 1 = 5001.
  EXPECT_EQ(ScaleOutputPreview(2000, 2000, 1000, 1000).percent, 50);
  EXPECT_EQ(ScaleOutputPreview(3000, 3000, 999, 999).percent, 33);  // 3330 + 1
}

TEST(ScaleOutputPreview, TheAddedStepNeverPassesTheWorkArea) {
  // 25000 · (2 + 1) / 10000 = 7 for an area of 6: kept at 6.
  const OutputPreviewSize size = ScaleOutputPreview(25000, 25000, 6, 6);
  EXPECT_EQ(size.width, 6);
  EXPECT_EQ(size.height, 6);
  EXPECT_EQ(size.percent, 0);
  // A tiny area still shows one pixel.
  EXPECT_EQ(ScaleOutputPreview(25000, 1, 1, 1).height, 1);
}

TEST(OutputPreviewCaption, PercentAndWholeKilobytesWithCommas) {
  EXPECT_EQ(OutputPreviewCaption(37, 1234567), u"37% / 1,205KB");
  EXPECT_EQ(OutputPreviewCaption(100, 1023), u"100% / 0KB");
  EXPECT_EQ(OutputPreviewCaption(100, 1024), u"100% / 1KB");
  EXPECT_EQ(OutputPreviewCaption(5, 1024ull * 1234), u"5% / 1,234KB");
  EXPECT_EQ(OutputPreviewCaption(25, 1024ull * 1234567), u"25% / 1,234,567KB");
}

TEST(GroupedDecimal, CommaEveryThreeDigits) {
  EXPECT_EQ(GroupedDecimal(0), u"0");
  EXPECT_EQ(GroupedDecimal(999), u"999");
  EXPECT_EQ(GroupedDecimal(1000), u"1,000");
  EXPECT_EQ(GroupedDecimal(123456), u"123,456");
  EXPECT_EQ(GroupedDecimal(18446744073709551615ull), u"18,446,744,073,709,551,615");
}

TEST(InputPreviewInfoText, SizeThenFourBlanksThenDepth) {
  EXPECT_EQ(InputPreviewInfoText(1024, 768, 24), u"1024 x 768    24bit");
  EXPECT_EQ(InputPreviewInfoText(1, 1, 1), u"1 x 1    1bit");
}

}  // namespace
}  // namespace pixlane::ui
