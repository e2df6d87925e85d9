// The real Netpbm plug-in (pixlane_netpbm.spi of this build) through the
// host's Win32 loader: it lists itself with its patterns and format names,
// decodes every kind, is found past a 128-byte header, and broken files and
// foreign libraries end cleanly. Windows only (runs under Wine).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/plugin_host.h"
#include "engine/input_list.h"
#include "engine/load_save_dispatch.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

constexpr char16_t kPluginName[] = u"pixlane_netpbm.spi";

std::u16string BuiltPlugin() {
  std::string path = PIXLANE_NETPBM_SPI;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;  // the Linux tree is drive Z:
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return Utf8ToUtf16(path);
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class NetpbmPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFilePath(BuiltPlugin(), plugins_.File("pixlane_netpbm.spi")));
    // Neither of these is an input plug-in the host can load.
    ASSERT_TRUE(test::WriteWholeFile(plugins_.File("broken.spi"), Bytes("MZ not really a library")));
    ASSERT_TRUE(test::WriteWholeFile(plugins_.File("notes.txt"), Bytes("P6 1 1 255\n")));
  }
  ImageBuffer* Load(const std::string& name, const std::string& bytes) {
    const std::u16string path = files_.File(name);
    EXPECT_TRUE(test::WriteWholeFile(path, Bytes(bytes)));
    return LoadImageWithPlugin(SystemPluginLoader(), plugins_.path(), path, host_);
  }

  test::ScratchFolder plugins_;
  test::ScratchFolder files_;
  PluginHost host_;
};

TEST_F(NetpbmPluginTest, ListsItselfWithItsPatternsAndFormatNames) {
  PluginLoader& loader = SystemPluginLoader();
  EXPECT_EQ(ListInputPlugins(loader, plugins_.path(), PluginListMode::Names),
            std::vector<std::u16string>{kPluginName});
  EXPECT_EQ(ListInputPlugins(loader, plugins_.path(), PluginListMode::Extensions),
            (std::vector<std::u16string>{u"*.pbm", u"*.pgm", u"*.ppm", u"*.pnm"}));
  const PluginDescription d = DescribePlugin(loader, plugins_.File("pixlane_netpbm.spi"));
  EXPECT_EQ(d.extensions, u"*.pbm;*.pgm;*.ppm;*.pnm");
  EXPECT_EQ(d.formats, u"Portable Bitmap/Portable Graymap/Portable Pixmap/Portable Anymap");
  EXPECT_TRUE(ListInputPlugins(loader, plugins_.File("missing"), PluginListMode::Names).empty());
  ConversionParameters params;
  EXPECT_EQ(PluginInputExtensions(params, plugins_.path()),
            (std::vector<std::u16string>{u".pbm", u".pgm", u".ppm", u".pnm"}));
}

TEST_F(NetpbmPluginTest, DecodesEveryKind) {
  // A raw 9×2 bitmap: 1 is black (palette entry 1), rows bottom-up.
  ImageBuffer* image = Load("a.pbm", std::string("P4 9 2\n") + std::string("\xAA\x80\x00\x00", 4));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->header.bitCount, 8);
  EXPECT_EQ(image->sourceBitCount, 1);
  EXPECT_EQ(image->palette[0], (RgbQuad{255, 255, 255, 0}));
  EXPECT_EQ(image->palette[1], (RgbQuad{0, 0, 0, 0}));
  const uint8_t* bottom = image->pixels.data();
  const uint8_t* top = bottom + 12;
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(top[x], x % 2 == 0 ? 1 : 0) << x;
    EXPECT_EQ(bottom[x], 0) << x;
  }

  // A raw 16-bit graymap: 0x8000 of 65535 is 128 of 255.
  image = Load("b.pgm", std::string("P5 2 1 65535\n") + std::string("\x80\x00\xFF\xFF", 4));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->sourceBitCount, 16);
  EXPECT_EQ(image->palette[200], (RgbQuad{200, 200, 200, 0}));
  EXPECT_EQ(image->pixels.data()[0], 128);
  EXPECT_EQ(image->pixels.data()[1], 255);

  // A plain pixmap arrives as BGR.
  const std::string plain = "P3\n# plain\n2 1\n15\n15 0 0 0 15 7\n";
  image = Load("c.ppm", plain);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->header.bitCount, 24);
  EXPECT_EQ(image->sourceBitCount, 24);
  EXPECT_EQ(std::vector<uint8_t>(image->pixels.data(), image->pixels.data() + 6),
            (std::vector<uint8_t>{0, 0, 255, 119, 255, 0}));
  EXPECT_EQ(image->fileSize, plain.size());
}

TEST_F(NetpbmPluginTest, AFileBehindA128ByteHeaderIsReadPastIt) {
  ImageBuffer* image = Load("d.ppm", std::string(128, '\0') + "P6 1 1 255\n" + "\x01\x02\x03");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(host_.offset, 128);
  EXPECT_EQ(image->pixels.data()[0], 3);
  EXPECT_EQ(image->pixels.data()[2], 1);
}

TEST_F(NetpbmPluginTest, ForeignAndBrokenFilesEndCleanly) {
  EXPECT_EQ(Load("e.bin", "GIF89a not Netpbm"), nullptr);
  EXPECT_EQ(host_.error, CodecError::None);
  // The header passes the support test; the picture has no raster.
  EXPECT_EQ(Load("f.ppm", "P6 2 2 255\n"), nullptr);
  EXPECT_EQ(host_.error, CodecError::PluginFailed);
  EXPECT_TRUE(host_.image.pixels.empty());
}

TEST_F(NetpbmPluginTest, TheEngineConvertsThroughThePlugin) {
  EngineContext context;
  ASSERT_TRUE(AllocateWorkObjects(context, ConversionParameters{}));
  context.pluginFolder = plugins_.path();
  const std::u16string path = files_.File("g.pgm");
  ASSERT_TRUE(test::WriteWholeFile(path, Bytes("P2 1 1 3\n2\n")));
  ASSERT_TRUE(LoadImageFile(context, path));
  EXPECT_EQ(context.current.width, 1);
  EXPECT_EQ(context.current.record->pixels.data()[0], 170);
  context.pluginFolder = plugins_.File("missing");
  EXPECT_FALSE(LoadImageFile(context, path));
  ReleaseWorkObjects(context);
}

}  // namespace
}  // namespace pixlane
