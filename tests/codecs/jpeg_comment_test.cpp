// Comment tests: the comment setting as COM bytes (line breaks kept or
// dropped, the 10000-byte cap on a character boundary) and the insertion
// into existing files (replacing the first COM, or after the last
// APP0/APP1), with the refusals of files it cannot place a comment in.
#include "codecs/jpeg_comment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jpeg_test_util.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using test::JpegSegmentBytes;

std::vector<uint8_t> Join(const std::vector<std::vector<uint8_t>>& parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const std::vector<uint8_t> kSoi = {0xFF, 0xD8};
const std::vector<uint8_t> kScan = {0xFF, 0xDA, 0x00, 0x02, 0x12, 0x34, 0xFF, 0xD9};

std::vector<uint8_t> Segment(uint8_t code, const char* text) {
  return JpegSegmentBytes(code,
                          std::vector<uint8_t>(text, text + std::char_traits<char>::length(text)));
}

TEST(JpegComment, ConvertsTheSettingToCommentBytes) {
  EXPECT_EQ(JpegCommentBytes(u"a\r\nb", false), "a\r\nb");
  EXPECT_EQ(JpegCommentBytes(u"a\r\nb\rc", true), "a\nbc");
  EXPECT_EQ(JpegCommentBytes(std::u16string(u"ab\0cd", 5), false), "ab");
  EXPECT_EQ(JpegCommentBytes(std::u16string(12000, u'x'), false), std::string(10000, 'x'));
  // CRs are dropped before the cap, so 10000 visible bytes remain.
  std::u16string lines;
  for (int i = 0; i < 3000; ++i) lines += u"abc\r\n";
  EXPECT_EQ(JpegCommentBytes(lines, true).size(), 10000u);
  // A multibyte character is never cut in half: the result is the ANSI form
  // of a prefix of the text.
  const std::u16string wide = std::u16string(9999, u'x') + u"日本";
  const std::string bytes = JpegCommentBytes(wide, false);
  EXPECT_LE(bytes.size(), 10000u);
  bool isPrefix = false;
  for (size_t n = wide.size(); n > 0 && !isPrefix; --n)
    isPrefix = Utf16ToAnsi(wide.substr(0, n)) == bytes;
  EXPECT_TRUE(isPrefix);
}

TEST(JpegComment, ReplacesTheFirstCommentOrFollowsTheLastApp0OrApp1) {
  const auto jfif = Segment(0xE0, "JFIF");
  const auto exif = Segment(0xE1, "Exif");
  const auto app2 = Segment(0xE2, "ICC");
  const auto dqt = Segment(0xDB, "tables");
  const auto old1 = Segment(0xFE, "old one");
  const auto old2 = Segment(0xFE, "old two");
  const auto added = Segment(0xFE, "new\nline");
  struct Case {
    const char* name;
    std::vector<uint8_t> input;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {"after JFIF", Join({kSoi, jfif, dqt, kScan}), Join({kSoi, jfif, added, dqt, kScan})},
      {"after the last APP1", Join({kSoi, jfif, exif, app2, dqt, kScan}),
       Join({kSoi, jfif, exif, added, app2, dqt, kScan})},
      {"first COM replaced", Join({kSoi, jfif, old1, exif, old2, kScan}),
       Join({kSoi, jfif, added, exif, old2, kScan})},
      {"COM only", Join({kSoi, dqt, old1, kScan}), Join({kSoi, dqt, added, kScan})},
      {"no scan", Join({kSoi, exif}), Join({kSoi, exif, added})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> out;
    ASSERT_TRUE(InsertJpegCommentMemory(c.input.data(), c.input.size(), "new\r\nline", out));
    EXPECT_EQ(out, c.expected);
  }
  std::vector<uint8_t> out;
  const auto input = Join({kSoi, jfif, kScan});
  ASSERT_TRUE(InsertJpegCommentMemory(input.data(), input.size(), std::string(12000, 'c'), out));
  EXPECT_EQ(test::ListJpegMetadata(out)[1].payload.size(), 10000u);
}

TEST(JpegComment, RefusesFilesItCannotPlaceACommentIn) {
  const auto jfif = Segment(0xE0, "JFIF");
  std::vector<uint8_t> shortLength = Join({kSoi, jfif, {0xFF, 0xDB, 0x00, 0x01}, kScan});
  std::vector<uint8_t> pastEnd = Join({kSoi, jfif, {0xFF, 0xDB, 0x40, 0x00, 1, 2}});
  std::vector<uint8_t> app0PastEnd = Join({kSoi, {0xFF, 0xE0, 0x40, 0x00, 1, 2}});
  const std::vector<uint8_t> inputs[] = {
      Join({kSoi, Segment(0xDB, "tables"), kScan}),  // no APP0, APP1 or COM
      Join({kSoi, kScan, jfif}),                     // APP0 only behind the scan
      shortLength,
      pastEnd,
      app0PastEnd,
      Join({{0x00, 0x00}, jfif, kScan}),  // no SOI
      {},
  };
  for (size_t i = 0; i < std::size(inputs); ++i) {
    std::vector<uint8_t> out = {1};
    EXPECT_FALSE(InsertJpegCommentMemory(inputs[i].data(), inputs[i].size(), "c", out)) << i;
    EXPECT_TRUE(out.empty());
  }
}

TEST(JpegComment, WritesTheCommentedFile) {
  test::ScratchFolder folder;
  const std::vector<uint8_t> input = Join({kSoi, Segment(0xE0, "JFIF"), kScan});
  ASSERT_TRUE(test::WriteWholeFile(folder.File("in.jpg"), input));
  CodecError error = CodecError::None;
  ASSERT_TRUE(InsertJpegComment(folder.File("in.jpg"), folder.File("out.jpg"), "hi", error));
  std::vector<uint8_t> written;
  ASSERT_TRUE(test::ReadWholeFile(folder.File("out.jpg"), written));
  std::vector<uint8_t> expected;
  ASSERT_TRUE(InsertJpegCommentMemory(input.data(), input.size(), "hi", expected));
  EXPECT_EQ(written, expected);
  EXPECT_FALSE(InsertJpegComment(folder.File("missing.jpg"), folder.File("x.jpg"), "hi", error));
  EXPECT_EQ(error, CodecError::CannotOpen);
  ASSERT_TRUE(test::WriteWholeFile(folder.File("bad.jpg"), Join({kSoi, kScan})));
  EXPECT_FALSE(InsertJpegComment(folder.File("bad.jpg"), folder.File("y.jpg"), "hi", error));
  EXPECT_EQ(error, CodecError::BadHeader);
}

}  // namespace
}  // namespace pixlane
