// PNG reader: the worked cases (palettes, tRNS, alpha, 16-bit samples, gamma,
// short streams, chunk rules, size limits), the failure table, and the
// checked-in corpus against its reviewed checksums (natively and under Wine).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "codecs/png_reader.h"
#include "platform/text.h"
#include "png_test_files.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::Bytes;
using test::Chunk;
using test::Deflate;
using test::IhdrData;
using test::PngFile;

const uint8_t* Row(const ImageBuffer& image, int32_t pictureRow) {
  const size_t stride = RowStride(image.header.width, image.header.bitCount);
  return image.pixels.data() + stride * static_cast<size_t>(image.header.height - 1 - pictureRow);
}

// Colour of a pixel as red, green, blue (palette resolved).
std::array<uint8_t, 3> Rgb(const ImageBuffer& image, int32_t x, int32_t y) {
  const uint8_t* row = Row(image, y);
  if (image.header.bitCount == 24) return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
  const RgbQuad& q = image.palette[row[x]];
  return {q.red, q.green, q.blue};
}

class PngReaderTest : public ::testing::Test {
 protected:
  const ImageBuffer* Read(const Bytes& file) {
    return ReadPngMemory(reader_, file.data(), file.size());
  }
  PngReader reader_;
};

TEST_F(PngReaderTest, OnePixelPaletteDepth1KeepsTwoEntriesAndBlackRest) {
  const Bytes file = PngFile(IhdrData(1, 1, 1, 3),
                             {Chunk("PLTE", {10, 20, 30, 40, 50, 60}), Chunk("IDAT", Deflate({0, 0x80}))});
  const ImageBuffer* image = Read(file);
  ASSERT_NE(image, nullptr) << CodecErrorName(reader_.error);
  EXPECT_EQ(image->header.bitCount, 8);
  EXPECT_EQ(image->sourceBitCount, 1);
  EXPECT_EQ(image->sourceFormat, FormatCode::Png);
  EXPECT_EQ(Row(*image, 0)[0], 1);
  EXPECT_EQ(image->palette[0], (RgbQuad{30, 20, 10, 0}));
  EXPECT_EQ(image->palette[1], (RgbQuad{60, 50, 40, 0}));
  for (size_t i = 2; i < 256; ++i) EXPECT_EQ(image->palette[i], RgbQuad{}) << i;
}

TEST_F(PngReaderTest, OversizedPaletteContributesOnlyWhatTheDepthAddresses) {
  Bytes plte;
  for (int i = 0; i < 300; ++i) {
    plte.push_back(static_cast<uint8_t>(i));
    plte.push_back(static_cast<uint8_t>(i + 1));
    plte.push_back(static_cast<uint8_t>(i + 2));
  }
  const Bytes file =
      PngFile(IhdrData(2, 1, 4, 3), {Chunk("PLTE", plte), Chunk("IDAT", Deflate({0, 0xF0}))});
  const ImageBuffer* image = Read(file);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(reader_.paletteCount, 16);
  EXPECT_EQ(image->palette[15], (RgbQuad{17, 16, 15, 0}));
  EXPECT_EQ(image->palette[16], RgbQuad{});
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{15, 16, 17}));
  EXPECT_EQ(Rgb(*image, 1, 0), (std::array<uint8_t, 3>{0, 1, 2}));
}

TEST_F(PngReaderTest, GrayTransparencyWhitensOnlyItsRampEntry) {
  // Depth 2, pixels 0..3, transparent level 2.
  const Bytes file = PngFile(IhdrData(4, 1, 2, 0),
                             {Chunk("tRNS", {0, 2}), Chunk("IDAT", Deflate({0, 0x1B}))});
  const ImageBuffer* image = Read(file);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->palette[0], (RgbQuad{0, 0, 0, 0}));
  EXPECT_EQ(image->palette[1], (RgbQuad{85, 85, 85, 0}));
  EXPECT_EQ(image->palette[2], (RgbQuad{255, 255, 255, 0}));
  EXPECT_EQ(image->palette[3], (RgbQuad{255, 255, 255, 0}));
  EXPECT_EQ(image->palette[4], RgbQuad{});
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Row(*image, 0)[x], x);
  EXPECT_TRUE(reader_.transparency);
}

TEST_F(PngReaderTest, AlphaZeroBecomesWhiteAndFullAlphaKeepsTheColour) {
  const Bytes file = PngFile(IhdrData(3, 1, 8, 6),
                             {Chunk("IDAT", Deflate({0, 10, 20, 30, 0, 10, 20, 30, 255, 10, 20, 30, 128}))});
  const ImageBuffer* image = Read(file);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->header.bitCount, 24);
  EXPECT_EQ(image->sourceBitCount, 24);
  const uint8_t* row = Row(*image, 0);
  EXPECT_EQ((Bytes{row, row + 9}), (Bytes{255, 255, 255, 30, 20, 10,
                                          // half alpha: m(c, 128) + m(127, 255)
                                          142, 137, 132}));
}

TEST_F(PngReaderTest, SixteenBitSamplesKeepTheirHighByte) {
  const ImageBuffer* image = Read(PngFile(IhdrData(1, 1, 16, 0), {Chunk("IDAT", Deflate({0, 0x12, 0xFF}))}));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Row(*image, 0)[0], 0x12);
  EXPECT_EQ(image->palette[0x12], (RgbQuad{0x12, 0x12, 0x12, 0}));
  EXPECT_EQ(image->sourceBitCount, 16);

  image = Read(PngFile(IhdrData(1, 1, 16, 2), {Chunk("IDAT", Deflate({0, 0xA1, 1, 0xB2, 2, 0xC3, 3}))}));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{0xA1, 0xB2, 0xC3}));
  EXPECT_EQ(image->sourceBitCount, 48);
}

// 4 × 8 gray rows of value 10 + row.
Bytes GrayRows(int rows) {
  Bytes raw;
  for (int y = 0; y < rows; ++y) {
    raw.push_back(0);
    for (int x = 0; x < 4; ++x) raw.push_back(static_cast<uint8_t>(10 + y));
  }
  return raw;
}

TEST_F(PngReaderTest, StreamEndingAfterHalfTheRowsKeepsThem) {
  const Bytes file = PngFile(IhdrData(4, 8, 8, 0), {Chunk("IDAT", test::DeflateUnfinished(GrayRows(4)))});
  const ImageBuffer* image = Read(file);
  ASSERT_NE(image, nullptr) << CodecErrorName(reader_.error);
  EXPECT_EQ(reader_.rowsDecoded, 4);
  EXPECT_EQ(reader_.rowsExpected, 8);
  EXPECT_TRUE(image->isPartial);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(Row(*image, y)[3], y < 4 ? 10 + y : 0) << y;
  // All eight rows, even without the stream's end: complete.
  ASSERT_NE(Read(PngFile(IhdrData(4, 8, 8, 0), {Chunk("IDAT", test::DeflateUnfinished(GrayRows(8)))})),
            nullptr);
  EXPECT_FALSE(reader_.image.isPartial);
}

TEST_F(PngReaderTest, DamagedStreamKeepsTheRowsBeforeTheDamage) {
  // Four rows, then a block of the reserved type 3.
  Bytes data = test::DeflateUnfinished(GrayRows(4));
  data.push_back(0xFF);
  data.push_back(0xFF);
  const ImageBuffer* image = Read(PngFile(IhdrData(4, 8, 8, 0), {Chunk("IDAT", data)}));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(reader_.rowsDecoded, 4);
  EXPECT_TRUE(image->isPartial);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(Row(*image, y)[0], y < 4 ? 10 + y : 0) << y;
}

TEST_F(PngReaderTest, RowsOfAlphaImagesNeverDecodedStayBlack) {
  Bytes raw = {0, 50, 60, 70, 255};
  const Bytes file = PngFile(IhdrData(1, 2, 8, 6), {Chunk("IDAT", test::DeflateUnfinished(raw))});
  const ImageBuffer* image = Read(file);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{50, 60, 70}));
  EXPECT_EQ(Rgb(*image, 0, 1), (std::array<uint8_t, 3>{0, 0, 0}));
}

TEST_F(PngReaderTest, FileCutInsideAChunkFails) {
  const Bytes whole = PngFile(IhdrData(4, 8, 8, 0), {Chunk("IDAT", Deflate(GrayRows(8)))});
  for (size_t cut : {size_t{33}, whole.size() - 20, whole.size() - 12, whole.size() - 1}) {
    const Bytes file(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
    EXPECT_EQ(Read(file), nullptr) << cut;
    EXPECT_EQ(reader_.error, CodecError::Truncated) << cut;
    EXPECT_TRUE(reader_.image.pixels.empty());
  }
}

Bytes GammaFile(uint32_t gamma, uint8_t colour) {
  Bytes g;
  test::PutU32(g, gamma);
  const Bytes raw = colour == 0 ? Bytes{0, 64, 128, 192} : Bytes{0, 64, 128, 192};
  return PngFile(IhdrData(colour == 0 ? 3 : 1, 1, 8, colour), {Chunk("gAMA", g), Chunk("IDAT", Deflate(raw))});
}

TEST_F(PngReaderTest, GammaCorrectsForADisplayGammaOf22) {
  // 1 / (1.0 × 2.2): 64, 128, 192 → 136, 186, 224; 0.45455 × 2.2 ≈ 1: unchanged.
  const ImageBuffer* image = Read(GammaFile(100000, 2));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(reader_.fileGamma, 100000);
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{136, 186, 224}));
  image = Read(GammaFile(100000, 0));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(*image, 0, 0)[0], 136);
  EXPECT_EQ(Rgb(*image, 1, 0)[0], 186);
  EXPECT_EQ(Rgb(*image, 2, 0)[0], 224);

  image = Read(GammaFile(45455, 2));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{64, 128, 192}));
  image = Read(GammaFile(45455, 0));
  ASSERT_NE(image, nullptr);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(image->palette[static_cast<size_t>(i)].red, i);
}

TEST_F(PngReaderTest, GammaAndPhysChunksOnlyCountWhenWellFormed) {
  Bytes g;
  test::PutU32(g, 100000);
  Bytes phys;
  test::PutU32(phys, 3780);
  test::PutU32(phys, 2835);
  phys.push_back(1);
  Bytes physNoUnit = phys;
  physNoUnit[8] = 0;
  const Bytes idat = Chunk("IDAT", Deflate({0, 64}));
  struct Case {
    const char* name;
    std::vector<Bytes> chunks;
    int32_t gamma;
    int32_t xPerMetre;
  };
  const Case cases[] = {
      {"gAMA with a bad CRC", {Chunk("gAMA", g, 1), idat}, 0, 0},
      {"gAMA of 3 bytes", {Chunk("gAMA", {0, 1, 0}), idat}, 0, 0},
      {"gAMA of 0", {Chunk("gAMA", {0, 0, 0, 0}), idat}, 0, 0},
      {"gAMA after IDAT", {idat, Chunk("gAMA", g)}, 0, 0},
      {"second gAMA", {Chunk("gAMA", g), Chunk("gAMA", {0, 0, 0, 1}), idat}, 100000, 0},
      {"pHYs in metres", {Chunk("pHYs", phys), idat}, 0, 3780},
      {"pHYs without unit", {Chunk("pHYs", physNoUnit), idat}, 0, 0},
      {"pHYs with a bad CRC", {Chunk("pHYs", phys, 7), idat}, 0, 0},
      {"pHYs after IDAT", {idat, Chunk("pHYs", phys)}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ImageBuffer* image = Read(PngFile(IhdrData(1, 1, 8, 0), c.chunks));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(reader_.fileGamma, c.gamma);
    EXPECT_EQ(image->header.xPelsPerMetre, c.xPerMetre);
    EXPECT_EQ(image->header.yPelsPerMetre, c.xPerMetre == 0 ? 0 : 2835);
  }
}

TEST_F(PngReaderTest, UnknownAndMisplacedChunksAreSkipped) {
  const Bytes idat = Chunk("IDAT", Deflate({0, 7, 8, 9}));
  // An unknown critical chunk, and a PLTE with a bad CRC in a truecolour file.
  for (const std::vector<Bytes>& chunks :
       {std::vector<Bytes>{Chunk("ABCD", {1, 2, 3}), idat},
        std::vector<Bytes>{Chunk("PLTE", {1, 2, 3}, 5), idat},
        std::vector<Bytes>{Chunk("bKGD", {0, 1, 0, 2, 0, 3}), Chunk("tEXt", {'a', 0, 'b'}), idat,
                           Chunk("zzzz", {}, 9)}}) {
    const ImageBuffer* image = Read(PngFile(IhdrData(1, 1, 8, 2), chunks));
    ASSERT_NE(image, nullptr) << CodecErrorName(reader_.error);
    EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{7, 8, 9}));
  }
}

TEST_F(PngReaderTest, WidthAndHeightLimits) {
  Bytes raw(1 + 25000, 0);
  EXPECT_NE(Read(PngFile(IhdrData(25000, 1, 8, 0), {Chunk("IDAT", Deflate(raw))})), nullptr);
  EXPECT_EQ(Read(PngFile(IhdrData(25001, 1, 8, 0), {Chunk("IDAT", Deflate(raw))})), nullptr);
  EXPECT_EQ(reader_.error, CodecError::BadDimensions);
  EXPECT_EQ(Read(PngFile(IhdrData(1, 25001, 8, 0), {Chunk("IDAT", Deflate(raw))})), nullptr);
  EXPECT_EQ(Read(PngFile(IhdrData(0, 1, 8, 0), {Chunk("IDAT", Deflate(raw))})), nullptr);
  EXPECT_EQ(reader_.error, CodecError::BadDimensions);
}

TEST_F(PngReaderTest, MalformedFilesFailWithTheirReason) {
  const Bytes ihdr = IhdrData(2, 2, 8, 3);
  const Bytes plte = Chunk("PLTE", {1, 2, 3, 4, 5, 6});
  const Bytes idat = Chunk("IDAT", Deflate({0, 0, 1, 0, 1, 0}));
  const Bytes good = PngFile(ihdr, {plte, idat});
  Bytes badSignature = good;
  badSignature[1] = 'p';
  Bytes hugeLength = good;
  hugeLength[33] = 0x80;  // the PLTE length field
  auto withIhdr = [&](const Bytes& data, uint32_t crcDelta = 0) {
    return test::Join({test::Signature(), Chunk("IHDR", data, crcDelta), plte, idat, Chunk("IEND", {})});
  };
  Bytes ihdr14 = ihdr;
  ihdr14.push_back(0);
  struct Case {
    const char* name;
    Bytes file;
    CodecError error;
  };
  const Case cases[] = {
      {"32 bytes", Bytes(good.begin(), good.begin() + 32), CodecError::Truncated},
      {"bad signature", badSignature, CodecError::BadHeader},
      {"IHDR with a bad CRC", withIhdr(ihdr, 1), CodecError::BadChecksum},
      {"IHDR of 14 bytes", withIhdr(ihdr14), CodecError::BadHeader},
      {"compression method 1", withIhdr([&] { Bytes d = ihdr; d[10] = 1; return d; }()),
       CodecError::UnsupportedCompression},
      {"filter method 1", withIhdr([&] { Bytes d = ihdr; d[11] = 1; return d; }()), CodecError::BadHeader},
      {"interlace method 2", withIhdr([&] { Bytes d = ihdr; d[12] = 2; return d; }()), CodecError::BadHeader},
      {"palette at depth 16", withIhdr(IhdrData(2, 2, 16, 3)), CodecError::UnsupportedDepth},
      {"truecolour at depth 4", withIhdr(IhdrData(2, 2, 4, 2)), CodecError::UnsupportedDepth},
      {"colour type 5", withIhdr(IhdrData(2, 2, 8, 5)), CodecError::UnsupportedDepth},
      {"depth 3", withIhdr(IhdrData(2, 2, 3, 0)), CodecError::UnsupportedDepth},
      {"chunk length 2^31", hugeLength, CodecError::BadHeader},
      {"second IHDR", PngFile(ihdr, {Chunk("IHDR", ihdr), plte, idat}), CodecError::BadHeader},
      {"PLTE twice", PngFile(ihdr, {plte, plte, idat}), CodecError::BadHeader},
      {"PLTE after IDAT", PngFile(ihdr, {idat, plte}), CodecError::BadHeader},
      {"PLTE with a bad CRC", PngFile(ihdr, {Chunk("PLTE", {1, 2, 3}, 1), idat}), CodecError::BadChecksum},
      {"second IDAT run", PngFile(ihdr, {plte, idat, Chunk("tEXt", {'a', 0}), idat}), CodecError::BadHeader},
      {"IDAT with a bad CRC", PngFile(ihdr, {plte, Chunk("IDAT", Deflate({0, 0, 0, 0, 0, 0}), 1)}),
       CodecError::BadChecksum},
      {"later IDAT with a bad CRC", PngFile(ihdr, {plte, idat, Chunk("IDAT", {}, 3)}), CodecError::BadChecksum},
      {"IEND with a bad CRC",
       test::Join({test::Signature(), Chunk("IHDR", ihdr), plte, idat, Chunk("IEND", {}, 1)}),
       CodecError::BadChecksum},
      {"no IEND", test::Join({test::Signature(), Chunk("IHDR", ihdr), plte, idat}), CodecError::Truncated},
      {"IEND without IDAT", PngFile(ihdr, {plte}), CodecError::BadHeader},
      {"palette image without PLTE", PngFile(ihdr, {idat}), CodecError::BadHeader},
  };
  EXPECT_NE(Read(good), nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Read(c.file), nullptr);
    EXPECT_EQ(reader_.error, c.error) << CodecErrorName(reader_.error);
    EXPECT_TRUE(reader_.image.pixels.empty());
  }
}

TEST_F(PngReaderTest, IdatSplitIntoManyChunksDecodesLikeOne) {
  Bytes raw;
  for (int y = 0; y < 5; ++y) {
    raw.push_back(static_cast<uint8_t>(y));  // filter types 0..4
    for (int x = 0; x < 7 * 3; ++x) raw.push_back(static_cast<uint8_t>(x * 13 + y * 7));
  }
  const Bytes data = Deflate(raw);
  std::vector<Bytes> pieces;
  for (size_t i = 0; i < data.size(); i += 3) {
    pieces.push_back(Chunk("IDAT", Bytes(data.begin() + static_cast<ptrdiff_t>(i),
                                         data.begin() + static_cast<ptrdiff_t>(std::min(i + 3, data.size())))));
  }
  pieces.insert(pieces.begin() + 2, Chunk("IDAT", {}));  // an empty one in the run
  const ImageBuffer* image = Read(PngFile(IhdrData(7, 5, 8, 2), {Chunk("IDAT", data)}));
  ASSERT_NE(image, nullptr);
  const uint64_t single = test::PixelChecksum(*image);
  image = Read(PngFile(IhdrData(7, 5, 8, 2), pieces));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(test::PixelChecksum(*image), single);
  EXPECT_EQ(reader_.rowsDecoded, 5);
}

TEST_F(PngReaderTest, TruecolourKeyMatchesWholeSamplesBeforeGamma) {
  Bytes g;
  test::PutU32(g, 100000);
  // 16-bit: the key 0x1235 0x0000 0xFFFF; the first pixel's high bytes equal
  // it but its red sample does not, the second matches exactly.
  const Bytes raw16 = {0, 0x12, 0x34, 0, 0, 0xFF, 0xFF, 0x12, 0x35, 0, 0, 0xFF, 0xFF};
  const ImageBuffer* image = Read(PngFile(
      IhdrData(2, 1, 16, 2), {Chunk("tRNS", {0x12, 0x35, 0, 0, 0xFF, 0xFF}), Chunk("IDAT", Deflate(raw16))}));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{0x12, 0, 0xFF}));
  EXPECT_EQ(Rgb(*image, 1, 0), (std::array<uint8_t, 3>{255, 255, 255}));

  // 8-bit with gamma: the key is found among the file's samples, not the
  // corrected ones.
  const Bytes raw8 = {0, 64, 128, 192, 10, 20, 30};
  image = Read(PngFile(IhdrData(2, 1, 8, 2), {Chunk("gAMA", g), Chunk("tRNS", {0, 64, 0, 128, 0, 192}),
                                              Chunk("IDAT", Deflate(raw8))}));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{255, 255, 255}));
  EXPECT_NE(Rgb(*image, 1, 0), (std::array<uint8_t, 3>{255, 255, 255}));

  // A key beyond the depth matches nothing.
  image = Read(PngFile(IhdrData(1, 1, 8, 2), {Chunk("tRNS", {1, 64, 0, 128, 0, 192}),
                                              Chunk("IDAT", Deflate({0, 64, 128, 192}))}));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{64, 128, 192}));
}

TEST_F(PngReaderTest, SixteenBitGrayKeyMatchesWholeSamples) {
  const Bytes raw = {0, 0x40, 0x01, 0x40, 0x02};
  const ImageBuffer* image =
      Read(PngFile(IhdrData(2, 1, 16, 0), {Chunk("tRNS", {0x40, 0x02}), Chunk("IDAT", Deflate(raw))}));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(*image, 0, 0), (std::array<uint8_t, 3>{0x40, 0x40, 0x40}));
  EXPECT_EQ(Rgb(*image, 1, 0), (std::array<uint8_t, 3>{255, 255, 255}));
}

TEST_F(PngReaderTest, GrayAlphaIsCorrectedBeforeItIsBlended) {
  Bytes g;
  test::PutU32(g, 100000);
  const Bytes raw = {0, 64, 128, 64, 255};
  const ImageBuffer* image =
      Read(PngFile(IhdrData(2, 1, 8, 4), {Chunk("gAMA", g), Chunk("IDAT", Deflate(raw))}));
  ASSERT_NE(image, nullptr);
  BlendTable m;
  BuildBlendTable(m);
  // g(64) = 136 blended with alpha 128 onto white, and g(64) opaque.
  EXPECT_EQ(Rgb(*image, 0, 0)[0], m[128 * 256 + 136] + m[127 * 256 + 255]);
  EXPECT_EQ(Rgb(*image, 1, 0)[0], 136);
}

TEST_F(PngReaderTest, PaletteTransparencyBlendsEntriesOntoWhite) {
  const Bytes plte = {200, 100, 50, 0, 0, 0, 9, 9, 9};
  struct Case {
    const char* name;
    std::vector<Bytes> chunks;
    std::array<uint8_t, 3> first;
  };
  const Bytes idat = Chunk("IDAT", Deflate({0, 0}));
  const Case cases[] = {
      {"alpha 0", {Chunk("PLTE", plte), Chunk("tRNS", {0}), idat}, {255, 255, 255}},
      {"alpha 255", {Chunk("PLTE", plte), Chunk("tRNS", {255, 0}), idat}, {200, 100, 50}},
      {"tRNS longer than PLTE: skipped", {Chunk("PLTE", plte), Chunk("tRNS", {0, 0, 0, 0}), idat}, {200, 100, 50}},
      {"tRNS before PLTE: skipped", {Chunk("tRNS", {0}), Chunk("PLTE", plte), idat}, {200, 100, 50}},
      {"tRNS with a bad CRC: skipped", {Chunk("PLTE", plte), Chunk("tRNS", {0}, 1), idat}, {200, 100, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ImageBuffer* image = Read(PngFile(IhdrData(1, 1, 8, 3), c.chunks));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Rgb(*image, 0, 0), c.first);
  }
}

// The gamma tables are built with floating point: both builds must agree
// on every entry. Each table is read as the palette of a 256-level gray
// image; the expected values are FNV-1a hashes of the 256 levels.
TEST(PngGamma, TablesMatchTheReviewedHashes) {
  const std::pair<uint32_t, uint64_t> cases[] = {
      {1, 0xdce4591df8548dcaull},       {25000, 0x6c44679bfb5fe772ull},
      {45455, 0x16d173bdfcdae583ull},   {50000, 0xf90b3d6c2add6ae8ull},
      {55556, 0xbec600744657b2e6ull},   {100000, 0x273ac2217c21099bull},
      {250000, 0x68db883cede68307ull},  {2147483647u, 0x1b35dc8af10ac27cull}};
  Bytes raw = {0};
  for (int i = 0; i < 256; ++i) raw.push_back(static_cast<uint8_t>(i));
  PngReader reader;
  for (const auto& [gamma, hash] : cases) {
    Bytes g;
    test::PutU32(g, gamma);
    const Bytes file = PngFile(IhdrData(256, 1, 8, 0), {Chunk("gAMA", g), Chunk("IDAT", Deflate(raw))});
    const ImageBuffer* image = ReadPngMemory(reader, file.data(), file.size());
    ASSERT_NE(image, nullptr);
    uint64_t h = 1469598103934665603ull;
    for (const RgbQuad& q : image->palette) h = (h ^ q.red) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    char expected[17];
    std::snprintf(expected, sizeof expected, "%016llx", static_cast<unsigned long long>(hash));
    EXPECT_STREQ(text, expected) << gamma;
  }
}

TEST(PngBlendTable, FollowsItsDefinition) {
  BlendTable m;
  BuildBlendTable(m);
  for (uint32_t x = 0; x < 256; ++x) {
    EXPECT_EQ(m[x], 0);
    EXPECT_EQ(m[255 * 256 + x], x);
    for (uint32_t y = 0; y < 256; ++y) ASSERT_EQ(m[x * 256 + y], m[y * 256 + x]);
  }
  EXPECT_EQ(m[128 * 256 + 200], (200 * ((65536 * 128) / 255) + 32768) >> 16);
}

// tests/data/png: small files made with Pillow and ImageMagick (every colour
// type, depth and interlacing, and damaged files), and checksums.txt with
// the reviewed result of each: "<name> <bit count> <checksum>" or
// "<name> fail <reason>".
TEST(PngCorpus, DecodesToTheReviewedChecksums) {
  std::vector<uint8_t> manifest;
  ASSERT_TRUE(test::ReadWholeFile(test::TestDataPath("png/checksums.txt"), manifest));
  std::istringstream lines(std::string(manifest.begin(), manifest.end()));
  std::string line;
  size_t checked = 0;
  PngReader reader;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, bits, value;
    fields >> name >> bits >> value;
    SCOPED_TRACE(name);
    const ImageBuffer* image = ReadPng(reader, test::TestDataPath("png/" + name));
    if (bits == "fail") {
      EXPECT_EQ(image, nullptr);
      EXPECT_STREQ(CodecErrorName(reader.error), value.c_str());
    } else {
      ASSERT_NE(image, nullptr) << CodecErrorName(reader.error);
      EXPECT_EQ(std::to_string(image->header.bitCount), bits);
      char hex[17];
      std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(test::PixelChecksum(*image)));
      EXPECT_EQ(hex, value);
    }
    ++checked;
  }
  EXPECT_GE(checked, 20u);
}

}  // namespace
}  // namespace pixlane
