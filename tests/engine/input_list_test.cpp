// The input file list: patterns per input filter, which files of a folder
// are listed, their order, and the size and time columns.
#include "engine/input_list.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

void Touch(const std::u16string& path, size_t bytes = 0) {
  ASSERT_TRUE(test::WriteWholeFile(path, std::vector<uint8_t>(bytes, 0x5A))) << Utf16ToUtf8(path);
}

std::vector<std::string> Names(const std::vector<InputListEntry>& entries) {
  std::vector<std::string> names;
  for (const InputListEntry& entry : entries) names.push_back(Utf16ToUtf8(entry.name));
  return names;
}

std::vector<std::string> Patterns(const ConversionParameters& params,
                                  const std::vector<std::u16string>& plugins = {}) {
  std::vector<std::string> out;
  for (const std::u16string& p : InputPatterns(params, plugins)) out.push_back(Utf16ToUtf8(p));
  return out;
}

using Strings = std::vector<std::string>;

TEST(InputListTest, PatternsFollowTheInputFilter) {
  ConversionParameters params;
  const Strings expected[] = {
      {".bmp", ".png", ".jpg", ".jpe", ".jpeg", ".tif", ".tiff", ".gif"},
      {".bmp"}, {".png"}, {".jpg", ".jpe", ".jpeg"}, {".tif", ".tiff"}, {".gif"},
      {},  // IFmt 6 with no slot in use
      {},  // out of range
  };
  for (int32_t filter = 0; filter <= 7; ++filter) {
    params.IFmt = filter;
    EXPECT_EQ(Patterns(params), expected[filter]) << "IFmt " << filter;
  }
  // Slots count only with both the flag and a text.
  params.IFmt = 6;
  params.SelExt = {1, 0, 1, 1};
  params.ExtStr = {u"raw", u"psd", u"", u"jp?"};
  EXPECT_EQ(Patterns(params), (Strings{".raw", ".jp?"}));
  // Plug-in extensions follow the native ones for IFmt 0, without those the
  // program reads itself, at most 100 of them.
  params.IFmt = 0;
  std::vector<std::u16string> plugins = {u".pic", u".JPG", u"mag", u".mag"};
  for (int i = 0; i < 150; ++i) plugins.push_back(u".p" + Utf8ToUtf16(std::to_string(i)));
  const Strings withPlugins = Patterns(params, plugins);
  ASSERT_EQ(withPlugins.size(), 8u + 100u);
  EXPECT_EQ(withPlugins[8], ".pic");
  EXPECT_EQ(withPlugins[9], ".mag");
  EXPECT_EQ(withPlugins.back(), ".p97");
}

TEST(InputListTest, SizeColumnRoundsUpToKilobytesWithThousandsSeparators) {
  const struct {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 KB"},           {1, "1 KB"},          {1023, "1 KB"},
      {1024, "1 KB"},        {1025, "2 KB"},       {999 * 1024, "999 KB"},
      {999 * 1024 + 1, "1,000 KB"}, {1048576, "1,024 KB"}, {1234567ull * 1024 + 1, "1,234,568 KB"},
      {UINT64_MAX, "18,014,398,509,481,984 KB"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16ToUtf8(FormatSizeColumn(c.bytes)), c.text) << c.bytes;
}

TEST(InputListTest, TimeColumnIsLocalTimeWithTwoDigitFields) {
  EXPECT_EQ(FormatTimeColumn({2009, 3, 14, 5, 6, 7}), u"2009/03/14 05:06:07");
  EXPECT_EQ(FormatTimeColumn({1999, 12, 31, 23, 59, 59}), u"1999/12/31 23:59:59");
  // The conversion agrees with the C library's local time on both builds.
  const time_t when = 1236990413;  // 2009-03-14 00:26:53 UTC
  const std::tm* expected = std::localtime(&when);
  ASSERT_NE(expected, nullptr);
  LocalDateTime local;
  ASSERT_TRUE(FileTimeToLocalDateTime((static_cast<FileTime>(when) + 11644473600ull) * 10000000ull,
                                      local));
  EXPECT_EQ(local.year, expected->tm_year + 1900);
  EXPECT_EQ(local.month, expected->tm_mon + 1);
  EXPECT_EQ(local.day, expected->tm_mday);
  EXPECT_EQ(local.hour, expected->tm_hour);
  EXPECT_EQ(local.minute, expected->tm_min);
  EXPECT_EQ(local.second, expected->tm_sec);
}

TEST(InputListTest, ListsMatchingFilesOnceInNameOrder) {
  test::ScratchFolder folder;
  for (const char* name : {"x.bmp", "x+1.bmp", "X2.BMP", "a_b.bmp", "a-b.bmp", "写真.bmp",
                           "y.TIFF", "z.tif", "w.tiff~", "photo.jpeg", "notes.txt", "bmp",
                           ".hidden.bmp"}) {
    Touch(folder.File(name));
  }
  ASSERT_TRUE(CreateFolder(folder.File("dir.bmp")));

  std::vector<DirectoryEntry> listing;
  ASSERT_TRUE(ListDirectory(folder.path(), listing));
  bool dotFileHidden = false;  // POSIX and Wine hide dot files; Windows does not
  for (const DirectoryEntry& e : listing) dotFileHidden |= e.name == u".hidden.bmp" && e.isHidden;

  ConversionParameters params;
  std::vector<InputListEntry> entries;
  ASSERT_TRUE(FillInputList(folder.path(), params, kFileAttributeHidden, entries));
  Strings expected = {"a-b.bmp", "a_b.bmp", "photo.jpeg", "x.bmp",
                      "x+1.bmp", "X2.BMP",  "y.TIFF",     "z.tif", "写真.bmp"};
  if (!dotFileHidden) expected.insert(expected.begin(), ".hidden.bmp");
  EXPECT_EQ(Names(entries), expected);

  // Hidden files appear when the mask is 0.
  ASSERT_TRUE(FillInputList(folder.path(), params, 0, entries));
  EXPECT_EQ(Names(entries).front(), ".hidden.bmp");

  params.IFmt = 4;  // .tif then .tiff: "y.TIFF" must not come twice
  ASSERT_TRUE(FillInputList(folder.path(), params, kFileAttributeHidden, entries));
  EXPECT_EQ(Names(entries), (Strings{"y.TIFF", "z.tif"}));

  // Overlapping extension slots list a file once; wildcards work.
  params.IFmt = 6;
  params.SelExt = {1, 1, 1, 0};
  params.ExtStr = {u"tif", u"TIF", u"jpe?", u""};
  ASSERT_TRUE(FillInputList(folder.path(), params, kFileAttributeHidden, entries));
  EXPECT_EQ(Names(entries), (Strings{"photo.jpeg", "z.tif"}));

  params.SelExt = {0, 0, 0, 0};
  ASSERT_TRUE(FillInputList(folder.path(), params, kFileAttributeHidden, entries));
  EXPECT_TRUE(entries.empty());
  std::error_code ignored;  // ScratchFolder removes files only
  std::filesystem::remove(std::filesystem::path(folder.File("dir.bmp")), ignored);
}

TEST(InputListTest, EntriesCarrySizeAndTime) {
  test::ScratchFolder folder;
  Touch(folder.File("a.png"), 1025);
  ConversionParameters params;
  std::vector<InputListEntry> entries;
  ASSERT_TRUE(FillInputList(folder.path(), params, kFileAttributeHidden, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, 1025u);
  EXPECT_EQ(entries[0].sizeText, u"2 KB");
  FileTime written = 0;
  ASSERT_TRUE(GetLastWriteTime(folder.File("a.png"), written));
  EXPECT_EQ(entries[0].lastWriteTime, written);
  LocalDateTime local;
  ASSERT_TRUE(FileTimeToLocalDateTime(written, local));
  EXPECT_EQ(entries[0].timeText, FormatTimeColumn(local));
  EXPECT_EQ(entries[0].timeText.size(), 19u);
}

TEST(InputListTest, AMissingFolderGivesAnEmptyList) {
  test::ScratchFolder folder;
  Touch(folder.File("a.bmp"));
  std::vector<InputListEntry> entries(3);
  EXPECT_FALSE(FillInputList(folder.File("missing"), ConversionParameters{},
                             kFileAttributeHidden, entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(FillInputList(folder.File("a.bmp"), ConversionParameters{}, kFileAttributeHidden,
                             entries));
}

}  // namespace
}  // namespace pixlane
