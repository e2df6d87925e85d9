// The HTML tag file: its name, the exact line bytes, which outputs get a
// line, and the order of recycling, creating and leaving no file.
#include "engine/html_tags.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

std::string ReadText(const std::u16string& path) {
  std::vector<uint8_t> bytes;
  if (!test::ReadWholeFile(path, bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

TEST(HtmlTagsTest, TagFileIsNamedAfterTheLastFolderComponent) {
#ifdef _WIN32
  EXPECT_EQ(HtmlTagFilePath(u"D:\\web\\Output"), u"D:\\web\\Output\\Output.html");
  EXPECT_EQ(HtmlTagFilePath(u"D:\\web\\Output\\"), u"D:\\web\\Output\\Output.html");
  EXPECT_EQ(HtmlTagFilePath(u"D:\\"), u"D:\\D.html");
  EXPECT_EQ(HtmlTagFilePath(u"\\\\server\\share"), u"\\\\server\\share\\share.html");
#else
  EXPECT_EQ(HtmlTagFilePath(u"/srv/web/Output"), u"/srv/web/Output/Output.html");
  EXPECT_EQ(HtmlTagFilePath(u"/srv/web/Output//"), u"/srv/web/Output//Output.html");
  EXPECT_EQ(HtmlTagFilePath(u"/"), u"/root.html");
#endif
}

TEST(HtmlTagsTest, LinesHaveTheExactFormat) {
  EXPECT_EQ(HtmlTagLine({u"photo+1.jpg", 400, 300}),
            "<img src=\"photo+1.jpg\" width=\"400\" height=\"300\" alt=\"\">\r\n");
  // A character the ANSI code page holds is written in it; one it lacks
  // (a bare "?" would name another file) as percent-encoded UTF-8. On POSIX
  // the code page is UTF-8 and holds everything.
  const bool ansiHoldsKanji = AnsiToUtf16(Utf16ToAnsi(u"写真")) == u"写真";
  EXPECT_EQ(HtmlTagLine({u"写真 1.jpg", 1, 25000}),
            "<img src=\"" + (ansiHoldsKanji ? Utf16ToAnsi(u"写真") : "%E5%86%99%E7%9C%9F") +
                " 1.jpg\" width=\"1\" height=\"25000\" alt=\"\">\r\n");
#ifdef _WIN32
  // No Windows code page holds an emoji: its four UTF-8 bytes, and the
  // surrogate pair is never split.
  EXPECT_EQ(HtmlTagLine({u"a\U0001F600.png", 1, 1}),
            "<img src=\"a%F0%9F%98%80.png\" width=\"1\" height=\"1\" alt=\"\">\r\n");
#endif
  // Characters that would end the attribute or turn part of the name into a
  // fragment, query or percent escape.
  EXPECT_EQ(HtmlTagLine({u"a&b#1?\"<x>50%.png", 2, 3}),
            "<img src=\"a&amp;b%231%3F&quot;&lt;x&gt;50%25.png\" width=\"2\" height=\"3\" alt=\"\">\r\n");
}

TEST(HtmlTagsTest, NamesAreCutToTenThousandBytesAtACharacterBoundary) {
  const std::string head = "<img src=\"";
  const std::string line = HtmlTagLine({std::u16string(12000, u'a'), 1, 1});
  EXPECT_EQ(line.find('"', head.size()) - head.size(), kMaxTagNameBytes);
#ifndef _WIN32
  // Three UTF-8 bytes each: 3333 characters fit.
  const std::string wide = HtmlTagLine({std::u16string(4000, u'写'), 1, 1});
  EXPECT_EQ(wide.find('"', head.size()) - head.size(), 9999u);
#endif
}

class WriteHtmlTagsTest : public ::testing::Test {
 protected:
  RecycleFileFunction Recycler(bool succeed) {
    return [this, succeed](std::u16string_view path) {
      recycled_.emplace_back(path);
      return succeed && DeleteFilePath(path);
    };
  }

  test::ScratchFolder folder_;
  std::u16string tagFile_ = HtmlTagFilePath(folder_.path());
  std::vector<std::u16string> recycled_;
};

TEST_F(WriteHtmlTagsTest, WritesLinesOnlyForOutputsUpTo400By400) {
  const HtmlTagEntry entries[] = {
      {u"small.jpg", 400, 300}, {u"wide.jpg", 401, 100}, {u"tall.jpg", 100, 401},
      {u"photo+1.jpg", 400, 400}, {u"", 10, 10}, {u"unsized.jpg", 0, 0},
  };
  EXPECT_EQ(WriteHtmlTags(folder_.path(), entries, Recycler(true)), HtmlTagResult::Written);
  EXPECT_EQ(ReadText(tagFile_),
            "<img src=\"small.jpg\" width=\"400\" height=\"300\" alt=\"\">\r\n"
            "<img src=\"photo+1.jpg\" width=\"400\" height=\"400\" alt=\"\">\r\n");
  EXPECT_TRUE(recycled_.empty());
}

TEST_F(WriteHtmlTagsTest, RecyclesTheOldFileFirst) {
  ASSERT_TRUE(test::WriteWholeFile(tagFile_, {'o', 'l', 'd'}));
  const HtmlTagEntry entries[] = {{u"a.png", 16, 16}};
  EXPECT_EQ(WriteHtmlTags(folder_.path(), entries, Recycler(true)), HtmlTagResult::Written);
  EXPECT_EQ(recycled_, std::vector<std::u16string>{tagFile_});
  EXPECT_EQ(ReadText(tagFile_), "<img src=\"a.png\" width=\"16\" height=\"16\" alt=\"\">\r\n");
}

TEST_F(WriteHtmlTagsTest, LeavesNoFileWhenNothingQualifies) {
  ASSERT_TRUE(test::WriteWholeFile(tagFile_, {'o', 'l', 'd'}));
  const HtmlTagEntry entries[] = {{u"big.jpg", 800, 600}};
  EXPECT_EQ(WriteHtmlTags(folder_.path(), entries, Recycler(true)), HtmlTagResult::NoLine);
  EXPECT_EQ(recycled_.size(), 1u);
  EXPECT_FALSE(PathExists(tagFile_));
}

TEST_F(WriteHtmlTagsTest, ReportsFailuresAndKeepsTheOldFile) {
  ASSERT_TRUE(test::WriteWholeFile(tagFile_, {'o', 'l', 'd'}));
  const HtmlTagEntry entries[] = {{u"a.png", 16, 16}};
  // Recycling fails: nothing changes.
  HtmlTagResult result = WriteHtmlTags(folder_.path(), entries, Recycler(false));
  EXPECT_EQ(result, HtmlTagResult::RecycleFailed);
  EXPECT_TRUE(IsHtmlTagFailure(result));
  EXPECT_EQ(ReadText(tagFile_), "old");
  // No entries (nothing converted): the old file is not touched.
  recycled_.clear();
  EXPECT_EQ(WriteHtmlTags(folder_.path(), {}, Recycler(true)), HtmlTagResult::NoLine);
  EXPECT_TRUE(recycled_.empty());
  EXPECT_EQ(ReadText(tagFile_), "old");
  // The folder is gone: the file cannot be created.
  result = WriteHtmlTags(folder_.File("missing"), entries, Recycler(true));
  EXPECT_EQ(result, HtmlTagResult::CreateFailed);
  EXPECT_TRUE(IsHtmlTagFailure(result));
  EXPECT_FALSE(IsHtmlTagFailure(HtmlTagResult::NoLine));
}

TEST_F(WriteHtmlTagsTest, NeverRecyclesAFolderOfTheTagFilesName) {
  ASSERT_TRUE(CreateFolder(tagFile_));
  const HtmlTagEntry entries[] = {{u"a.png", 16, 16}};
  EXPECT_EQ(WriteHtmlTags(folder_.path(), entries, Recycler(true)), HtmlTagResult::CreateFailed);
  EXPECT_TRUE(recycled_.empty());
  EXPECT_TRUE(IsDirectory(tagFile_));
  std::error_code ignored;  // ScratchFolder removes files only
  std::filesystem::remove(std::filesystem::path(tagFile_), ignored);
}

}  // namespace
}  // namespace pixlane
