// The load dispatch's plug-in fallback and the plug-in extensions of the
// input list, over a scripted loader: which files are offered to plug-ins,
// when no library is loaded at all, and a plug-in image through the
// pipeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "codecs/bmp_reader.h"
#include "engine/conversion_pipeline.h"
#include "engine/input_list.h"
#include "engine/load_save_dispatch.h"
#include "support/fake_plugin_loader.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::FakePlugin;
using test::FakePluginLoader;

// Takes files that start with "FAKE" or "BM" and returns a 1-bit 9×3 image.
FakePlugin OneBitDecoder() {
  FakePlugin p;
  p.info = {"*.FAK;*.bmp", "Fake"};
  p.accepts = [](const uint8_t* head) {
    return std::memcmp(head, "FAKE", 4) == 0 || std::memcmp(head, "BM", 2) == 0;
  };
  p.bitmapInfo = test::MakeBitmapInfo(9, 3, 1, 0, 0, 2);
  p.bitmapBits = {0xFF, 0x80, 0, 0, 0x55, 0x00, 0, 0, 0x0F, 0x80, 0, 0};
  return p;
}

class PluginDispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateWorkObjects(context_, ConversionParameters{}));
    context_.pluginLoader = &loader_;
    context_.pluginFolder = plugins_.path();
    loader_.Add(u"fake.spi", OneBitDecoder());
    ASSERT_TRUE(test::WriteWholeFile(files_.File("a.fak"), {'F', 'A', 'K', 'E'}));
  }
  void TearDown() override {
    ReleaseWorkObjects(context_);
    EXPECT_TRUE(loader_.Balanced());
  }

  test::ScratchFolder plugins_;
  test::ScratchFolder files_;
  FakePluginLoader loader_;
  EngineContext context_;
};

TEST_F(PluginDispatchTest, UnknownFilesAndFailedNativeReadsGoToThePlugins) {
  ASSERT_TRUE(LoadImageFile(context_, files_.File("a.fak")));
  EXPECT_EQ(context_.current.record, &context_.work->pluginHost.image);
  EXPECT_EQ(context_.current.width, 9);
  EXPECT_EQ(context_.current.bitCount, 8);
  ReleaseCurrentImage(context_);

  // "BM" picks the BMP reader, which refuses the rest; the plug-in decodes.
  ASSERT_TRUE(test::WriteWholeFile(files_.File("b.bmp"), {'B', 'M', 1, 2, 3}));
  ASSERT_TRUE(LoadImageFile(context_, files_.File("b.bmp")));
  EXPECT_TRUE(context_.work->bmpReader.image.pixels.empty());
  ReleaseCurrentImage(context_);
}

TEST_F(PluginDispatchTest, NoLibraryIsLoadedForUnreadableFilesOrWithoutAFolder) {
  ASSERT_TRUE(test::WriteWholeFile(files_.File("one"), {'F'}));
  EXPECT_FALSE(LoadImageFile(context_, files_.File("one")));  // one byte: unreadable
  context_.pluginFolder.clear();
  EXPECT_FALSE(LoadImageFile(context_, files_.File("a.fak")));
  context_.pluginFolder = files_.File("a.fak");  // not a directory
  EXPECT_FALSE(LoadImageFile(context_, files_.File("a.fak")));
  EXPECT_EQ(loader_.loads(), 0);
  EXPECT_EQ(context_.lastError, CodecError::UnsupportedFormat);
}

TEST_F(PluginDispatchTest, APluginThatFailsLeavesItsReasonAndNoPixels) {
  loader_[0].bitmapInfo = test::MakeBitmapInfo(9, 3, 32);
  EXPECT_FALSE(LoadImageFile(context_, files_.File("a.fak")));
  EXPECT_EQ(context_.lastError, CodecError::UnsupportedDepth);
  EXPECT_EQ(context_.current.record, nullptr);
  EXPECT_TRUE(context_.work->pluginHost.image.pixels.empty());
}

TEST_F(PluginDispatchTest, APluginImageGoesThroughRotationAndTheSaver) {
  ConversionParameters params;
  params.TurOpt = 1;
  params.OFmt = 0;
  SelectSaver(context_, params);
  std::u16string written;
  ASSERT_TRUE(ConvertFile(context_, params, files_.File("a.fak"), files_.path(), written));
  BmpReader reader;
  ImageBuffer* image = ReadBmp(reader, written);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->header.width, 3);
  EXPECT_EQ(image->header.height, 9);
  DeleteFilePath(written);
}

TEST_F(PluginDispatchTest, TheInputListAddsPluginExtensionsOnlyForAllFormats) {
  for (const char* name : {"b.bmp", "c.xyz", "d.FAK"}) {
    ASSERT_TRUE(test::WriteWholeFile(files_.File(name), {'x'}));
  }
  ConversionParameters params;
  std::vector<InputListEntry> entries;
  const auto extensions = PluginInputExtensions(params, plugins_.path(), loader_);
  EXPECT_EQ(extensions, std::vector<std::u16string>{u".fak"});
  ASSERT_TRUE(FillInputList(files_.path(), params, 0, entries, extensions));
  std::vector<std::u16string> names;
  for (const InputListEntry& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"a.fak", u"b.bmp", u"d.FAK"}));

  const int loadsBefore = loader_.loads();
  params.IFmt = 1;
  EXPECT_TRUE(PluginInputExtensions(params, plugins_.path(), loader_).empty());
  params.IFmt = 0;
  EXPECT_TRUE(PluginInputExtensions(params, u"", loader_).empty());
  EXPECT_EQ(loader_.loads(), loadsBefore);
}

}  // namespace
}  // namespace pixlane
