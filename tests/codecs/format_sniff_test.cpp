// Format recognition from first bytes and from extensions.
#include <gtest/gtest.h>

#include "codecs/format_sniff.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

struct SniffCase {
  const char* label;
  std::vector<uint8_t> bytes;
  FormatCode expected;
};

TEST(FormatSniffTest, RecognisesFormatsFromTheirFirstBytes) {
  const std::vector<SniffCase> cases = {
      {"gif", {'G', 'I', 'F', '8', '9', 'a'}, FormatCode::Gif},
      {"gif three bytes only", {'G', 'I', 'F'}, FormatCode::Gif},
      {"GI then other", {'G', 'I', 'X'}, FormatCode::Unknown},
      {"GI and nothing", {'G', 'I'}, FormatCode::Unreadable},
      {"BM whatever follows", {'B', 'M'}, FormatCode::Bmp},
      {"BM junk", {'B', 'M', 0, 0, 0xFF}, FormatCode::Bmp},
      {"tiff big-endian", {'M', 'M', 0, 0x2A}, FormatCode::Tiff},
      {"MM magic in third byte", {'M', 'M', 0x2A, 0}, FormatCode::Unknown},
      {"MM short", {'M', 'M', 0}, FormatCode::Unreadable},
      {"tiff little-endian", {'I', 'I', 0x2A, 0}, FormatCode::Tiff},
      {"II three bytes", {'I', 'I', 0x2A}, FormatCode::Tiff},
      {"II wrong magic", {'I', 'I', 0x2B, 0}, FormatCode::Unknown},
      {"II short", {'I', 'I'}, FormatCode::Unreadable},
      {"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, FormatCode::Png},
      {"png damaged last byte", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0B}, FormatCode::Unknown},
      {"png cut after 4 bytes", {0x89, 'P', 'N', 'G'}, FormatCode::Unreadable},
      {"png cut after 6 bytes", {0x89, 'P', 'N', 'G', 0x0D, 0x0A}, FormatCode::Unknown},
      {"jpeg", {0xFF, 0xD8}, FormatCode::Jpeg},
      {"jpeg-like second byte", {0xFF, 0xD9, 0xFF}, FormatCode::Unknown},
      {"one byte", {'B'}, FormatCode::Unreadable},
      {"text", {'h', 'e', 'l', 'l', 'o'}, FormatCode::Unknown},
  };
  test::ScratchFolder folder;
  for (const SniffCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(SniffFormatBytes(c.bytes.data(), c.bytes.size()), c.expected);
    const std::u16string path = folder.File("sniff");
    ASSERT_TRUE(test::WriteWholeFile(path, c.bytes));
    EXPECT_EQ(SniffFormat(path), c.expected);
  }
}

TEST(FormatSniffTest, EmptyAndUnopenableFiles) {
  test::ScratchFolder folder;
  ASSERT_TRUE(test::WriteWholeFile(folder.File("empty"), {}));
  EXPECT_EQ(SniffFormat(folder.File("empty")), FormatCode::Unreadable);
  EXPECT_EQ(SniffFormat(folder.File("missing")), FormatCode::Unknown);
  EXPECT_EQ(SniffFormat(folder.path()), FormatCode::Unknown);  // a folder cannot be read
}

TEST(FormatSniffTest, MapsExtensionsCaseInsensitively) {
  const std::pair<std::u16string, FormatCode> cases[] = {
      {u"a.jpg", FormatCode::Jpeg},   {u"a.JPEG", FormatCode::Jpeg}, {u"a.Jpe", FormatCode::Jpeg},
      {u"a.png", FormatCode::Png},    {u"a.GIF", FormatCode::Gif},   {u"a.bmp", FormatCode::Bmp},
      {u"a.tif", FormatCode::Tiff},   {u"a.TIFF", FormatCode::Tiff}, {u"a.b.png", FormatCode::Png},
      {u"a.png.txt", FormatCode::Unknown}, {u"bmp", FormatCode::Unknown},
      {u"a.jpgx", FormatCode::Unknown}, {u"a.", FormatCode::Unknown},
  };
  for (const auto& [name, code] : cases) {
    EXPECT_EQ(FormatFromExtension(name), code) << std::string(name.begin(), name.end());
  }
}

}  // namespace
}  // namespace pixlane
