// The processing options through the CLI: the command line parsed with
// --set KEY=VALUE pairs, run through the batch driver, a BMP in and a BMP
// out, checked pixel by pixel against worked numbers of each step.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "platform/file_system.h"
#include "support/test_support.h"

namespace pixlane::cli {
namespace {

class CliProcessingTest : public testing::Test {
 protected:
  // An image of `bits` bits whose pixel (x, y), y from the top, is set by
  // `pixel` (an index for 8 bits, one value in every channel for 24).
  template <typename PixelFn>
  void WriteInput(int32_t w, int32_t h, int bits, PixelFn pixel) {
    ImageBuffer image;
    SetImageHeader(image, w, h, bits, 0, 0);
    const size_t stride = RowStride(w, bits);
    ASSERT_TRUE(image.pixels.Allocate(stride * static_cast<size_t>(h)));
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        uint8_t* p = image.pixels.data() + static_cast<size_t>(h - 1 - y) * stride +
                     static_cast<size_t>(x * bits / 8);
        const uint8_t v = pixel(x, y);
        for (int c = 0; c < bits / 8; ++c) p[c] = v;
      }
    }
    image.palette = palette_;
    BmpWriter writer;
    writer.converter.width = w;
    writer.converter.height = h;
    writer.converter.sourceBitCount = bits;
    writer.converter.targetBitCount = bits;
    DeleteFilePath(in_.File("in.bmp"));  // files are only created anew
    ASSERT_TRUE(WriteBmp(writer, in_.File("in.bmp"), image.palette.data(), image.pixels.data()));
  }

  // Runs `pixlane --set OFmt=0 --set <setting>... in.bmp -o out` (the
  // settings file left out) and returns out/in.bmp as read.
  const ImageBuffer* Convert(std::initializer_list<const char16_t*> settings) {
    std::vector<std::u16string> args = {u"--set", u"OFmt=0"};
    for (const char16_t* setting : settings) {
      args.push_back(u"--set");
      args.push_back(setting);
    }
    args.insert(args.end(), {in_.File("in.bmp"), u"-o", out_.path()});
    CliOptions options;
    std::string error;
    EXPECT_TRUE(ParseCommandLine(args, options, error)) << error;
    ConversionParameters params;
    WindowSettings window;
    for (const auto& [key, value] : options.overrides) {
      EXPECT_TRUE(ApplyOverride(params, window, key, value));
    }
    CliOutput output;
    output.out = [](const std::string&) {};
    output.err = [](const std::string& line) { ADD_FAILURE() << line; };
    output.status = [](const std::string&) {};
    EXPECT_EQ(RunCli(options, params, window, output, nullptr), kExitAllConverted);
    return ReadBmp(reader_, out_.File("in.bmp"));
  }

  // Pixel (x, y) of the output, y from the top.
  const uint8_t* At(const ImageBuffer& image, int32_t x, int32_t y) const {
    const int bits = image.header.bitCount;
    const size_t stride = RowStride(image.header.width, bits);
    return image.pixels.data() + static_cast<size_t>(image.header.height - 1 - y) * stride +
           static_cast<size_t>(x * bits / 8);
  }

  test::ScratchFolder in_;
  test::ScratchFolder out_;
  Palette palette_{};
  BmpReader reader_;
};

TEST_F(CliProcessingTest, ReductionOfThreeSamplesToTwo) {
  WriteInput(3, 1, 24, [](int32_t x, int32_t) { return static_cast<uint8_t>(10 * (x + 1)); });
  const ImageBuffer* out = Convert({u"RszOpt=1", u"RszSize=2"});
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->header.width, 2);
  ASSERT_EQ(out->header.height, 1);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(At(*out, 0, 0)[c], 13);
    EXPECT_EQ(At(*out, 1, 0)[c], 26);
  }
}

TEST_F(CliProcessingTest, QuarterTurnsOfThreeByTwo) {
  const char* expected[] = {"da/eb/fc", "fed/cba", "cf/be/ad"};
  for (int turn = 1; turn <= 3; ++turn) {
    SCOPED_TRACE(turn);
    WriteInput(3, 2, 8, [](int32_t x, int32_t y) { return static_cast<uint8_t>("abcdef"[3 * y + x]); });
    const std::u16string setting = u"TurOpt=" + std::u16string(1, static_cast<char16_t>(u'0' + turn));
    const ImageBuffer* out = Convert({setting.c_str()});
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->header.bitCount, 8);
    std::string picture;
    for (int32_t y = 0; y < out->header.height; ++y) {
      if (y > 0) picture += '/';
      for (int32_t x = 0; x < out->header.width; ++x) picture += static_cast<char>(*At(*out, x, y));
    }
    EXPECT_EQ(picture, expected[turn - 1]);
    ASSERT_TRUE(DeleteFilePath(out_.File("in.bmp")));
  }
}

TEST_F(CliProcessingTest, SharpeningOfOneBrightPixel) {
  WriteInput(9, 9, 24, [](int32_t x, int32_t y) { return static_cast<uint8_t>(x == 4 && y == 4 ? 150 : 50); });
  const ImageBuffer* out = Convert({u"UsmOpt=2"});
  ASSERT_NE(out, nullptr);
  for (int32_t y = 0; y < 9; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      const uint8_t expected = x == 4 && y == 4 ? 198 : 50;
      for (int c = 0; c < 3; ++c) ASSERT_EQ(At(*out, x, y)[c], expected) << x << "," << y;
    }
  }
}

TEST_F(CliProcessingTest, BrightnessAndHueOnAPaletteImage) {
  // Entries: pure red, gray 128, gray 1; the pixels use them in turn.
  palette_[0] = {0, 0, 255, 0};
  palette_[1] = {128, 128, 128, 0};
  palette_[2] = {1, 1, 1, 0};
  WriteInput(5, 2, 8, [](int32_t x, int32_t y) { return static_cast<uint8_t>((x + y) % 3); });
  const ImageBuffer* out = Convert({u"GamOpt=1", u"GamVal=100", u"HlsHOpt=1", u"HlsHVal=120"});
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->header.bitCount, 8);
  const RgbQuad expected[] = {{0, 254, 0, 0}, {240, 240, 240, 0}, {157, 157, 157, 0}};
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 5; ++x) {
      const uint8_t index = *At(*out, x, y);
      ASSERT_EQ(index, (x + y) % 3);
      EXPECT_EQ(out->palette[index], expected[index]) << "index " << int{index};
    }
  }
}

}  // namespace
}  // namespace pixlane::cli
