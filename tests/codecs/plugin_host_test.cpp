// The plug-in host over a scripted loader: enumeration limits, pattern
// filtering, the second IsSupported past a 128-byte header, the checks on
// what a plug-in returns, short pixel blocks, and that every library, lock
// and block is released on every path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/plugin_host.h"
#include "platform/text.h"
#include "support/fake_plugin_loader.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::FakePlugin;
using test::FakePluginLoader;
using test::MakeBitmapInfo;

std::u16string Name(int i) {
  std::string digits = std::to_string(i);
  digits.insert(0, 3 - digits.size(), '0');
  return u"p" + Utf8ToUtf16(digits) + u".spi";
}

bool StartsWith(const uint8_t* head, const char* text) {
  return std::string(reinterpret_cast<const char*>(head), std::strlen(text)) == text;
}

// A plug-in that accepts files starting with "FAKE" and returns a 3×2
// 24-bit image whose bytes count up from 1.
FakePlugin Decoder() {
  FakePlugin p;
  p.info = {"*.fak", "Fake format"};
  p.accepts = [](const uint8_t* head) { return StartsWith(head, "FAKE"); };
  p.bitmapInfo = MakeBitmapInfo(3, 2, 24);
  for (int i = 0; i < 24; ++i) p.bitmapBits.push_back(static_cast<uint8_t>(i + 1));
  return p;
}

class PluginHostTest : public ::testing::Test {
 protected:
  std::u16string WriteInput(const std::string& bytes) {
    const std::u16string path = scratch_.File("input.fak");
    EXPECT_TRUE(test::WriteWholeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end())));
    return path;
  }
  ImageBuffer* Load(const std::string& bytes) {
    return LoadImageWithPlugin(loader_, scratch_.path(), WriteInput(bytes), host_);
  }

  test::ScratchFolder scratch_;
  FakePluginLoader loader_;
  PluginHost host_;
};

TEST_F(PluginHostTest, OnlyTheFirstHundredInputPluginsAreListedOrTried) {
  for (int i = 0; i < 150; ++i) {
    FakePlugin& p = loader_.Add(Name(i));
    p.info = {"*.e" + std::to_string(i), "Format " + std::to_string(i)};
    p.accepts = [i](const uint8_t* head) { return i == 120 && StartsWith(head, "FAKE"); };
  }
  const std::vector<std::u16string> names = ListInputPlugins(loader_, scratch_.path(), PluginListMode::Names);
  ASSERT_EQ(names.size(), 100u);
  EXPECT_EQ(names.front(), Name(0));
  EXPECT_EQ(names.back(), Name(99));
  EXPECT_EQ(loader_.loads(), 100);

  const auto patterns = ListInputPlugins(loader_, scratch_.path(), PluginListMode::Extensions);
  ASSERT_EQ(patterns.size(), 100u);
  EXPECT_EQ(patterns.back(), u"*.e99");

  // Plug-in 120 would take the file, but it is not among the first 100.
  EXPECT_EQ(Load("FAKE"), nullptr);
  EXPECT_EQ(host_.error, CodecError::None);
  EXPECT_EQ(loader_[99].isSupportedCalls, 2);
  EXPECT_EQ(loader_[100].isSupportedCalls, 0);
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, PatternsAreLowerCasedWithoutNativeExtensionsOrDuplicates) {
  loader_.Add(u"a.spi").info = {"*.JPG;*.Pic", "Pictures", " *.PI2 ; ;*.tiff", "More"};
  loader_.Add(u"b.spi").info = {"*.pic;*.new", "Same again"};
  FakePlugin& archive = loader_.Add(u"c.spi");
  archive.version = "00AM";
  archive.info = {"*.am", "Archive"};
  FakePlugin& broken = loader_.Add(u"d.spi");
  broken.loads = false;
  broken.info = {"*.gone", "Broken"};
  loader_.Add(u"e.spi").hasGetPluginInfo = false;
  loader_.Add(u"f.spi2").info = {"*.short", "Found through a short name"};
  EXPECT_EQ(ListInputPlugins(loader_, scratch_.path(), PluginListMode::Extensions),
            (std::vector<std::u16string>{u"*.pic", u"*.pi2", u"*.new"}));
  EXPECT_EQ(ListInputPlugins(loader_, scratch_.path(), PluginListMode::Names),
            (std::vector<std::u16string>{u"a.spi", u"b.spi"}));
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, HostileInformationEntriesAreBounded) {
  // Answers every entry number, and writes past the length it is given
  // without a terminator.
  FakePlugin& endless = loader_.Add(u"a.spi");
  endless.hasEveryEntry = true;
  endless.everyEntry = "*.dup";
  FakePlugin& sloppy = loader_.Add(u"b.spi");
  sloppy.info = {"*.x", "X"};
  sloppy.overrunInfoBy = 400;
  const auto patterns = ListInputPlugins(loader_, scratch_.path(), PluginListMode::Extensions);
  ASSERT_EQ(patterns.size(), 2u);
  EXPECT_EQ(patterns[0], u"*.dup");
  EXPECT_EQ(patterns[1], std::u16string(260, u'x'));

  const PluginDescription endlessText = DescribePlugin(loader_, scratch_.File("a.spi"));
  EXPECT_LE(endlessText.extensions.size(), 259u);
  EXPECT_EQ(endlessText.extensions.substr(0, 11), u"*.dup;*.dup");
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, DescriptionJoinsPatternsAndNamesWithinTheirLength) {
  loader_.Add(u"a.spi").info = {"*.pbm", "PBM", "*.pgm", "PGM", "*.ppm", "PPM", "*.orphan"};
  PluginDescription d = DescribePlugin(loader_, scratch_.File("a.spi"));
  EXPECT_EQ(d.extensions, u"*.pbm;*.pgm;*.ppm");
  EXPECT_EQ(d.formats, u"PBM/PGM/PPM");

  loader_.Add(u"b.spi").info = {std::string(253, 'p'), "one", "*.more", "two"};
  d = DescribePlugin(loader_, scratch_.File("b.spi"));
  EXPECT_EQ(d.extensions.size(), 253u);  // 253 + ";*.more" would pass 259
  EXPECT_EQ(d.formats, u"one");

  EXPECT_EQ(DescribePlugin(loader_, scratch_.File("missing.spi")).extensions, u"");
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, SettingsDialogIsCalledWithFunctionOne) {
  loader_.Add(u"a.spi").hasConfigurationDlg = true;
  loader_.Add(u"b.spi");
  int parent = 0;
  EXPECT_TRUE(ShowPluginSettings(loader_, scratch_.File("a.spi"), &parent));
  EXPECT_EQ(loader_[0].lastFunction, 1);
  EXPECT_EQ(loader_[0].lastParent, &parent);
  EXPECT_FALSE(ShowPluginSettings(loader_, scratch_.File("b.spi"), &parent));
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, FirstAcceptingPluginDecodesAndEverythingIsReleased) {
  loader_.Add(u"a.spi").accepts = [](const uint8_t*) { return false; };
  FakePlugin& decoder = loader_.Add(u"b.spi", Decoder());
  decoder.colourDepth = 48;
  decoder.infoText = 0x1234;
  loader_.Add(u"c.spi", Decoder());
  ImageBuffer* image = Load("FAKE and more");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image, &host_.image);
  EXPECT_EQ(image->header.width, 3);
  EXPECT_EQ(image->header.height, 2);
  EXPECT_EQ(image->header.bitCount, 24);
  EXPECT_EQ(image->sourceBitCount, 48);
  EXPECT_EQ(image->sourceFormat, FormatCode::Unknown);
  EXPECT_EQ(image->fileSize, 13u);
  ASSERT_GE(image->pixels.size(), 24u);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(image->pixels.data()[i], i + 1);
  EXPECT_EQ(decoder.lastOffset, 0);
  EXPECT_EQ(decoder.lastFileName, Utf16ToUtf8(scratch_.File("input.fak")));
  EXPECT_EQ(loader_[2].isSupportedCalls, 0);
  EXPECT_EQ(loader_.infoTextsFreed(), 1);
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, AFileBehindA128ByteHeaderIsDecodedWithOffset128) {
  FakePlugin& decoder = loader_.Add(u"a.spi", Decoder());
  decoder.accepts = [](const uint8_t* head) { return StartsWith(head, "FAKE"); };
  ASSERT_NE(Load(std::string(128, 'M') + "FAKE"), nullptr);
  EXPECT_EQ(decoder.isSupportedCalls, 2);
  EXPECT_EQ(decoder.lastOffset, 128);
  EXPECT_EQ(host_.offset, 128);
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, AnEmptyFileOrNoAcceptingPluginGivesNoImage) {
  loader_.Add(u"a.spi", Decoder());
  EXPECT_EQ(Load(""), nullptr);
  EXPECT_EQ(loader_.loads(), 0);
  EXPECT_EQ(Load("JUNK"), nullptr);
  EXPECT_EQ(host_.error, CodecError::None);
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, BitmapsTheHostCannotUseEndTheLoadWithoutTryingOthers) {
  struct Case {
    const char* what;
    void (*spoil)(FakePlugin&);
    CodecError error;
  };
  const Case cases[] = {
      {"32 bits", [](FakePlugin& p) { p.bitmapInfo = MakeBitmapInfo(3, 2, 32); }, CodecError::UnsupportedDepth},
      {"16 bits", [](FakePlugin& p) { p.bitmapInfo = MakeBitmapInfo(3, 2, 16); }, CodecError::UnsupportedDepth},
      {"top-down", [](FakePlugin& p) { p.bitmapInfo = MakeBitmapInfo(3, -2, 24); }, CodecError::BadDimensions},
      {"too wide", [](FakePlugin& p) { p.bitmapInfo = MakeBitmapInfo(25001, 1, 24); }, CodecError::BadDimensions},
      {"compressed", [](FakePlugin& p) { p.bitmapInfo = MakeBitmapInfo(3, 2, 24, 1); },
       CodecError::UnsupportedCompression},
      {"header block of 39 bytes", [](FakePlugin& p) { p.bitmapInfo.resize(39); }, CodecError::BadHeader},
      {"empty header block", [](FakePlugin& p) { p.bitmapInfo.clear(); }, CodecError::BadHeader},
      {"header size beyond its block",
       [](FakePlugin& p) { p.bitmapInfo[0] = 80; }, CodecError::BadHeader},
      {"palette larger than the block",
       [](FakePlugin& p) { p.bitmapInfo = MakeBitmapInfo(3, 2, 8, 0, 200, 199); }, CodecError::BadHeader},
      {"full palette announced, two entries given",
       [](FakePlugin& p) { p.bitmapInfo = MakeBitmapInfo(3, 2, 4, 0, 0, 2); }, CodecError::BadHeader},
      {"empty pixel block", [](FakePlugin& p) { p.bitmapBits.clear(); }, CodecError::Truncated},
      {"no pixel block", [](FakePlugin& p) { p.nullBits = true; }, CodecError::Truncated},
      {"pixel block that cannot be locked", [](FakePlugin& p) { p.lockFails = true; }, CodecError::PluginFailed},
      {"GetPicture fails", [](FakePlugin& p) { p.pictureResult = 2; }, CodecError::PluginFailed},
      {"no GetPicture", [](FakePlugin& p) { p.hasGetPicture = false; }, CodecError::PluginFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePluginLoader loader;
    FakePlugin& broken = loader.Add(u"a.spi", Decoder());
    c.spoil(broken);
    loader.Add(u"b.spi", Decoder());
    EXPECT_EQ(LoadImageWithPlugin(loader, scratch_.path(), WriteInput("FAKE"), host_), nullptr);
    EXPECT_EQ(host_.error, c.error);
    EXPECT_TRUE(host_.image.pixels.empty());
    EXPECT_EQ(loader[1].isSupportedCalls, 0);
    EXPECT_TRUE(loader.Balanced());
  }
}

TEST_F(PluginHostTest, AShortPixelBlockGivesZeroRowsAfterIt) {
  FakePlugin& decoder = loader_.Add(u"a.spi", Decoder());
  decoder.bitmapInfo = MakeBitmapInfo(5, 4, 24);  // stride 16
  decoder.bitmapBits.assign(20, 0xAB);            // one row and 4 bytes
  ImageBuffer* image = Load("FAKE");
  ASSERT_NE(image, nullptr);
  ASSERT_GE(image->pixels.size(), 64u);
  for (size_t i = 0; i < 64; ++i) {
    ASSERT_EQ(image->pixels.data()[i], i < 20 ? 0xAB : 0) << i;
  }
  EXPECT_TRUE(loader_.Balanced());
}

TEST_F(PluginHostTest, OneAndFourBitImagesArriveAsEightBits) {
  FakePlugin& decoder = loader_.Add(u"a.spi", Decoder());
  decoder.bitmapInfo = MakeBitmapInfo(9, 2, 1, 0, 0, 2);
  // Rows of 4 bytes: 1010 1010 1 …, then all ones.
  decoder.bitmapBits = {0xAA, 0x80, 0, 0, 0xFF, 0xFF, 0, 0};
  ImageBuffer* image = Load("FAKE");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->header.bitCount, 8);
  EXPECT_EQ(image->sourceBitCount, 1);
  EXPECT_EQ(image->palette[1], (RgbQuad{1, 2, 3, 0}));
  const uint8_t* rows = image->pixels.data();
  const uint8_t first[9] = {1, 0, 1, 0, 1, 0, 1, 0, 1};
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(rows[x], first[x]) << x;
    EXPECT_EQ(rows[12 + x], 1) << x;
  }

  // A 4-bit image with a 3-entry palette (clrUsed 3).
  decoder.bitmapInfo = MakeBitmapInfo(2, 1, 4, 0, 3, 3);
  decoder.bitmapBits = {0x12, 0, 0, 0};
  image = Load("FAKE");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->pixels.data()[0], 1);
  EXPECT_EQ(image->pixels.data()[1], 2);
  EXPECT_EQ(image->palette[2], (RgbQuad{2, 4, 6, 0}));
  EXPECT_EQ(image->palette[3], RgbQuad{});
  EXPECT_TRUE(loader_.Balanced());
}

}  // namespace
}  // namespace pixlane
