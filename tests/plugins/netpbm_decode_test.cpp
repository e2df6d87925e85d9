// The Netpbm plug-in's decoder: header syntax and limits, the support test
// on a file's first bytes, every kind in plain and raw form with row
// padding, sample scaling and clamping, short rasters and the progress
// callback; and the fuzz corpus through the fuzz entry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_corpus_replay.h"
#include "netpbm_decode.h"
#include "netpbm_plugin_fuzz_entry.h"

namespace pixlane::netpbm {
namespace {

struct Decoded {
  Error error = Error::None;
  Header header;
  Layout layout;
  std::vector<uint8_t> rows;
  // Row y counted from the top of the picture.
  const uint8_t* Row(int32_t y) const { return rows.data() + static_cast<size_t>(header.height - 1 - y) * layout.stride; }
};

Decoded Decode(const std::string& file) {
  Decoded d;
  const auto* data = reinterpret_cast<const uint8_t*>(file.data());
  d.error = ParseHeader(data, file.size(), d.header);
  if (d.error != Error::None) return d;
  EXPECT_TRUE(ComputeLayout(d.header, d.layout));
  d.rows.assign(d.layout.imageBytes, 0);
  d.error = DecodeRaster(data, file.size(), d.header, d.layout, d.rows.data(), d.rows.size());
  return d;
}

uint8_t Scaled(uint32_t v, uint32_t maxval) { return static_cast<uint8_t>((v * 255 + maxval / 2) / maxval); }

TEST(NetpbmHeaderTest, AcceptsCommentsAndAnyWhiteSpace) {
  Header h;
  const std::string file = "P6\r\n# made by hand\n 3\t2 # width and height\n\v\f65535#no space\nRASTER";
  ASSERT_EQ(ParseHeader(reinterpret_cast<const uint8_t*>(file.data()), file.size(), h), Error::None);
  EXPECT_EQ(h.kind, Kind::Pixmap);
  EXPECT_FALSE(h.plain);
  EXPECT_EQ(h.width, 3);
  EXPECT_EQ(h.height, 2);
  EXPECT_EQ(h.maxval, 65535u);
  EXPECT_EQ(file.substr(h.rasterOffset), "RASTER");

  ASSERT_EQ(ParseHeader(reinterpret_cast<const uint8_t*>("P1 1 1 0"), 8, h), Error::None);
  EXPECT_EQ(h.kind, Kind::Bitmap);
  EXPECT_TRUE(h.plain);
  EXPECT_EQ(h.maxval, 1u);
}

TEST(NetpbmHeaderTest, RejectsWhatItCannotRead) {
  const struct {
    std::string file;
    Error error;
  } cases[] = {
      {"P7 1 1 255\n", Error::NotNetpbm},      {"P0 1 1\n", Error::NotNetpbm},
      {"Q6 1 1 255\n", Error::NotNetpbm},      {"P6x 1 1 255\n", Error::NotNetpbm},
      {"", Error::NotNetpbm},                  {"P", Error::Truncated},
      {"P6", Error::Truncated},                {"P6 3 2", Error::Truncated},
      {"P6 3 2 255", Error::Truncated},        {"P6 3 2 255#comment to the end", Error::Truncated},
      {"P6 0 2 255\n", Error::BadDimensions},  {"P6 3 25001 255\n", Error::BadDimensions},
      {"P6 99999999999999999999 2 255\n", Error::BadDimensions},
      {"P6 3 2 0\n", Error::BadHeader},        {"P6 3 2 65536\n", Error::BadHeader},
      {"P6 -3 2 255\n", Error::BadHeader},     {"P6 3x 2 255\n", Error::BadHeader},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Header h;
    EXPECT_EQ(ParseHeader(reinterpret_cast<const uint8_t*>(c.file.data()), c.file.size(), h), c.error);
  }
}

TEST(NetpbmHeaderTest, TheSupportTestNeedsOnlyTheFirstBytes) {
  auto looks = [](const std::string& start) {
    std::vector<uint8_t> head(2048, 0);
    std::memcpy(head.data(), start.data(), std::min(start.size(), head.size()));
    return LooksLikeNetpbm(head.data(), head.size());
  };
  EXPECT_TRUE(looks("P5 2 2 255\n\x01\x02\x03\x04"));
  EXPECT_TRUE(looks("P3\n#" + std::string(3000, 'c')));  // the header goes on past the block
  EXPECT_FALSE(looks("P6 3"));                           // the file ends inside its header
  EXPECT_FALSE(looks("BM6\0\0\0"));
  EXPECT_FALSE(looks("P7\nWIDTH 1\n"));
}

TEST(NetpbmDecodeTest, BitmapsKeepTheirBitsAndClearThePadding) {
  for (int32_t width = 1; width <= 9; ++width) {
    SCOPED_TRACE(width);
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    std::string raw = "P4\n" + std::to_string(width) + " 2\n";
    std::string plain = "P1\n" + std::to_string(width) + " 2\n";
    std::vector<int> bits;
    for (int y = 0; y < 2; ++y) {
      std::string row(rowBytes, '\xFF');  // pad bits set in the file
      for (int32_t x = 0; x < width; ++x) {
        const int bit = (x * 7 + y * 3) % 3 == 0 ? 1 : 0;
        bits.push_back(bit);
        if (!bit) row[static_cast<size_t>(x / 8)] = static_cast<char>(row[static_cast<size_t>(x / 8)] & ~(0x80 >> (x % 8)));
        plain += bit ? (x % 2 ? "1" : " 1") : "0";  // white space is optional
      }
      raw += row;
      plain += "\n";
    }
    for (const std::string& file : {raw, plain}) {
      const Decoded d = Decode(file);
      ASSERT_EQ(d.error, Error::None);
      EXPECT_EQ(d.layout.bitCount, 1);
      EXPECT_EQ(d.layout.stride, 4u);
      for (int y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 32; ++x) {
          const int got = (d.Row(y)[x / 8] >> (7 - x % 8)) & 1;
          EXPECT_EQ(got, x < width ? bits[static_cast<size_t>(y * width + x)] : 0) << x << "," << y;
        }
      }
    }
  }
  uint8_t palette[8];
  WritePalette(Header{}, palette);
  EXPECT_EQ(std::vector<uint8_t>(palette, palette + 8), (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 0, 0}));
}

TEST(NetpbmDecodeTest, GraymapsScaleEverySampleDepth) {
  // Raw, one byte a sample, maxval 15: 0, 7, 15 and 200 (above maxval).
  Decoded d = Decode(std::string("P5 4 1 15\n") + '\0' + '\x07' + '\x0F' + '\xC8');
  ASSERT_EQ(d.error, Error::None);
  EXPECT_EQ(d.layout.bitCount, 8);
  EXPECT_EQ(d.Row(0)[0], 0);
  EXPECT_EQ(d.Row(0)[1], Scaled(7, 15));
  EXPECT_EQ(d.Row(0)[2], 255);
  EXPECT_EQ(d.Row(0)[3], 255);

  // Raw, two bytes big-endian, maxval 1000; and the same in plain form.
  const std::string raw = std::string("P5 3 1 1000\n") + '\x00' + '\x01' + '\x01' + '\xF4' + '\x03' + '\xE8';
  for (const std::string& file : {raw, std::string("P2 3 1 1000\n1 500\n1000")}) {
    d = Decode(file);
    ASSERT_EQ(d.error, Error::None);
    EXPECT_EQ(d.Row(0)[0], Scaled(1, 1000));
    EXPECT_EQ(d.Row(0)[1], Scaled(500, 1000));
    EXPECT_EQ(d.Row(0)[2], 255);
    EXPECT_EQ(d.Row(0)[3], 0);  // row padding
  }
  d = Decode(std::string("P5 1 1 65535\n") + '\x12' + '\x34');
  EXPECT_EQ(d.Row(0)[0], Scaled(0x1234, 65535));
}

TEST(NetpbmDecodeTest, PixmapsAreBgrBottomUpInBothForms) {
  const std::string raw = std::string("P6 2 2 255\n") + "\x01\x02\x03\x04\x05\x06" + "\x07\x08\x09\x0A\x0B\x0C";
  const std::string plain = "P3 2 2 255\n1 2 3 4 5 6\n# a comment in the raster\n7 8 9 10 11 12\n";
  for (const std::string& file : {raw, plain}) {
    const Decoded d = Decode(file);
    ASSERT_EQ(d.error, Error::None);
    EXPECT_EQ(d.layout.bitCount, 24);
    EXPECT_EQ(d.layout.stride, 8u);
    // The file's first row is the bitmap's last.
    EXPECT_EQ(std::vector<uint8_t>(d.rows.begin(), d.rows.end()),
              (std::vector<uint8_t>{9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}));
  }
}

TEST(NetpbmDecodeTest, AShortRasterKeepsTheRowsDecodedSoFar) {
  // Two rows of a 2×2 PPM, cut inside the second pixel of the second row.
  Decoded d = Decode(std::string("P6 2 2 255\n") + "\x01\x02\x03\x04\x05\x06" + "\x07\x08\x09\x0A");
  ASSERT_EQ(d.error, Error::None);
  EXPECT_EQ(d.Row(0)[0], 3);
  EXPECT_EQ(d.Row(1)[0], 9);
  EXPECT_EQ(d.Row(1)[3], 0);

  // A plain raster stops at the first character that is not a sample.
  d = Decode("P2 3 1 255\n10 x 30");
  ASSERT_EQ(d.error, Error::None);
  EXPECT_EQ(d.Row(0)[0], 10);
  EXPECT_EQ(d.Row(0)[2], 0);

  EXPECT_EQ(Decode("P6 2 2 255\n").error, Error::Truncated);
  EXPECT_EQ(Decode("P3 2 2 255\n   \n").error, Error::Truncated);
}

TEST(NetpbmDecodeTest, TheProgressCallbackSeesEveryRowAndCanStop) {
  const std::string file = "P5 1 5 255\n12345";
  Header h;
  const auto* data = reinterpret_cast<const uint8_t*>(file.data());
  ASSERT_EQ(ParseHeader(data, file.size(), h), Error::None);
  Layout layout;
  ASSERT_TRUE(ComputeLayout(h, layout));
  std::vector<uint8_t> rows(layout.imageBytes, 0);
  std::vector<int32_t> seen;
  auto record = [](int32_t done, int32_t total, void* context) {
    auto* calls = static_cast<std::vector<int32_t>*>(context);
    calls->push_back(done * 100 + total);
    return done < 3;
  };
  EXPECT_EQ(DecodeRaster(data, file.size(), h, layout, rows.data(), rows.size(), record, &seen), Error::Cancelled);
  EXPECT_EQ(seen, (std::vector<int32_t>{105, 205, 305}));
}

TEST(NetpbmDecodeTest, LayoutAndStoredDepthFollowTheKind) {
  Header h;
  h.kind = Kind::Pixmap;
  h.width = kMaxDimension;
  h.height = kMaxDimension;
  h.maxval = 4095;
  Layout layout;
  ASSERT_TRUE(ComputeLayout(h, layout));
  EXPECT_EQ(layout.imageBytes, size_t{75000} * 25000);
  EXPECT_EQ(StoredBitCount(h), 48);
  h.kind = Kind::Graymap;
  h.maxval = 255;
  EXPECT_EQ(StoredBitCount(h), 8);
  h.width = 0;
  EXPECT_FALSE(ComputeLayout(h, layout));
}

TEST(NetpbmFuzzCorpus, EveryFileKeepsTheDecodersPromises) {
  EXPECT_GE(test::ReplayFuzzCorpus("netpbm_plugin", fuzz::CheckNetpbmInput), 10u);
}

}  // namespace
}  // namespace pixlane::netpbm
