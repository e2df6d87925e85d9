// The processing steps inside ProcessAndSave: tables prepared only for the
// switches that are on, the fixed order and hand-over (checked against the
// steps run one by one), the 8-bit palette path, and the steps that return
// early leaving the image, bit depth included, as it was.
#include <gtest/gtest.h>

#include <memory>

#include "codecs/bmp_reader.h"
#include "engine/conversion_pipeline.h"
#include "engine/load_save_dispatch.h"
#include "imaging/colour_corrections.h"
#include "imaging/hue_saturation.h"
#include "imaging/processing_image.h"
#include "imaging/resize.h"
#include "imaging/rotation.h"
#include "imaging/sharpen.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

struct Tables {
  SharpenTables sharpen;
  StretchTables stretch;
  BrightnessTables brightness;
  ContrastTables contrast;
  HlsTables hls;
  Tables() {
    BuildSharpenTables(sharpen);
    BuildStretchTables(stretch);
    BuildBrightnessTables(brightness);
    BuildHlsTables(hls);
  }
};

// The enabled steps of `p` run one by one, in the pipeline's order.
void RunStepsByHand(ImageBuffer& image, const ConversionParameters& p) {
  static const std::unique_ptr<Tables> tables = std::make_unique<Tables>();
  ProcessingImage view{&image, image.header.width, image.header.height, image.header.bitCount};
  GeometryParams geometry;
  DepthConverter converter;
  if (p.TurOpt != 0) {
    ASSERT_TRUE(RotateImage(view, p.TurOpt, geometry));
  }
  auto params = [&] {
    CorrectionParams c;
    SetCorrectionImage(c, image, view.width, view.height, view.bitCount);
    c.stretch = &tables->stretch;
    c.brightness = &tables->brightness;
    c.contrast = &tables->contrast;
    c.hls = &tables->hls;
    return c;
  };
  if (p.HgmOpt != 0) AutoLevels(params());
  if (p.GamOpt != 0) ApplyBrightness(params(), p.GamVal);
  if (p.CrtOpt != 0) ApplyContrast(params(), p.CrtVal);
  if (p.HlsSOpt != 0 || p.HlsHOpt != 0) {
    ApplyHueSaturation(params(), p.HlsHOpt != 0 ? p.HlsHVal : 0, p.HlsSOpt != 0 ? p.HlsSVal : 0);
  }
  if (p.RszOpt != 0) {
    ASSERT_TRUE(ReduceImage(view, p.RszOpt, p.RszSize, geometry, converter));
  }
  SharpenParams sharpen;
  if (p.UsmOpt != 0) {
    ASSERT_TRUE(SharpenImage(view, p.UsmOpt, tables->sharpen, sharpen, converter));
  }
  SetImageHeader(image, view.width, view.height, view.bitCount, 0, 0);
}

class PipelineTest : public testing::Test {
 protected:
  // Runs ProcessAndSave on a copy of `source` into a BMP and reads it back.
  const ImageBuffer* Convert(const ImageBuffer& source, ConversionParameters p) {
    p.OFmt = 0;
    const BitmapInfoHeader& h = source.header;
    image_.Reset();
    image_.header = h;
    image_.palette = source.palette;
    EXPECT_TRUE(image_.pixels.Allocate(source.pixels.size()));
    std::copy_n(source.pixels.data(), source.pixels.size(), image_.pixels.data());
    EngineContext context;
    EXPECT_TRUE(AllocateWorkObjects(context, p));
    SelectSaver(context, p);
    context.current = {&image_, h.width, h.height, h.bitCount};
    const std::u16string path = folder_.File("out.bmp");
    DeleteFilePath(path);  // files are only created anew
    ok_ = ProcessAndSave(context, p, path);
    ReleaseWorkObjects(context);
    return ok_ ? ReadBmp(reader_, path) : nullptr;
  }

  // Visible pixels, and for 8-bit images the colours the indices stand for.
  static void ExpectSamePicture(const ImageBuffer& a, const ImageBuffer& b) {
    ASSERT_EQ(a.header.width, b.header.width);
    ASSERT_EQ(a.header.height, b.header.height);
    ASSERT_EQ(a.header.bitCount, b.header.bitCount);
    EXPECT_EQ(test::PixelChecksum(a), test::PixelChecksum(b));
  }

  test::ScratchFolder folder_;
  ImageBuffer image_;
  BmpReader reader_;
  bool ok_ = false;
};

TEST_F(PipelineTest, TablesArePreparedOnlyForTheSwitchesThatAreOn) {
  EngineContext context;
  ConversionParameters p;
  ASSERT_TRUE(AllocateWorkObjects(context, p));
  const ProcessingTables& t = context.work->tables;
  EXPECT_FALSE(t.sharpen || t.stretch || t.brightness || t.contrast || t.hls);
  ReleaseWorkObjects(context);
  p.UsmOpt = 1;
  p.GamOpt = 1;
  p.HlsHOpt = 1;
  ASSERT_TRUE(AllocateWorkObjects(context, p));
  const ProcessingTables& u = context.work->tables;
  EXPECT_TRUE(u.sharpen && u.brightness && u.hls);
  EXPECT_FALSE(u.stretch || u.contrast);
  ReleaseWorkObjects(context);
}

TEST_F(PipelineTest, EveryStepInOrderMatchesTheStepsRunOneByOne) {
  ConversionParameters p;
  p.TurOpt = 3;
  p.HgmOpt = 1;
  p.GamOpt = 1;
  p.GamVal = -30;
  p.CrtOpt = 1;
  p.CrtVal = 40;
  p.HlsSOpt = 1;
  p.HlsSVal = 20;
  p.HlsHOpt = 1;
  p.HlsHVal = -60;
  p.RszOpt = 3;
  p.RszSize = 12;
  p.UsmOpt = 2;
  for (int bits : {24, 8}) {
    SCOPED_TRACE(bits);
    ImageBuffer source, expected;
    test::MakePatternImage(source, 23, 17, bits, 4);
    test::MakePatternImage(expected, 23, 17, bits, 4);
    RunStepsByHand(expected, p);
    const ImageBuffer* out = Convert(source, p);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->header.width, 9);  // turned to 17 × 23, long side 23 → 12
    EXPECT_EQ(out->header.height, 12);
    ExpectSamePicture(*out, expected);
  }
}

TEST_F(PipelineTest, PaletteImageIsCorrectedThroughItsPalette) {
  ImageBuffer source, expected;
  test::MakePatternImage(source, 9, 7, 8, 2);
  test::MakePatternImage(expected, 9, 7, 8, 2);
  ConversionParameters p;
  p.GamOpt = 1;
  p.GamVal = 50;
  RunStepsByHand(expected, p);
  const ImageBuffer* out = Convert(source, p);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->header.bitCount, 8);
  ExpectSamePicture(*out, expected);
  // The indices themselves are those of the source.
  for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(out->pixels.data()[i], source.pixels.data()[i]);

  // With a reduction as well: corrected through the palette, then 24 bits.
  p.RszOpt = 1;
  p.RszSize = 4;
  test::MakePatternImage(expected, 9, 7, 8, 2);
  RunStepsByHand(expected, p);
  out = Convert(source, p);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->header.bitCount, 24);
  EXPECT_EQ(out->header.width, 4);
  EXPECT_EQ(out->header.height, 3);
  ExpectSamePicture(*out, expected);
}

TEST_F(PipelineTest, ReductionAfterRotationLimitsTheTurnedWidth) {
  ImageBuffer source;
  test::MakePatternImage(source, 40, 20, 24);
  ConversionParameters p;
  p.TurOpt = 1;
  p.RszOpt = 1;
  p.RszSize = 10;
  const ImageBuffer* out = Convert(source, p);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->header.width, 10);
  EXPECT_EQ(out->header.height, 20);
}

TEST_F(PipelineTest, StepsThatReturnEarlyChangeNothing) {
  struct Case {
    int32_t w, h, usm, rszOpt, rszSize;
  };
  const Case cases[] = {
      {4, 4, 3, 0, 0},     // too small to sharpen
      {9, 7, 0, 3, 100},   // within the size limit
      {9, 7, 0, 1, 9},     // exactly at it
      {4, 30, 1, 2, 30},   // both
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    ImageBuffer source;
    test::MakePatternImage(source, c.w, c.h, 8, 9);
    ConversionParameters p;
    p.UsmOpt = c.usm;
    p.RszOpt = c.rszOpt;
    p.RszSize = c.rszSize;
    const ImageBuffer* out = Convert(source, p);
    ASSERT_NE(out, nullptr);
    ExpectSamePicture(*out, source);
  }
}

TEST_F(PipelineTest, AFailedStepAbandonsTheFile) {
  // Rotation has no 4-bit copy; the file is not written.
  ImageBuffer source;
  test::MakePatternImage(source, 6, 5, 4);
  ConversionParameters p;
  p.TurOpt = 2;
  EXPECT_EQ(Convert(source, p), nullptr);
  EXPECT_FALSE(ok_);
}

}  // namespace
}  // namespace pixlane
