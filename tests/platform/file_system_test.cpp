// File access through the platform layer: plain files, attributes,
// temporary files, listing, and pixel memory blocks.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/pixel_memory.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

TEST(FileSystemTest, WritesReadsSeeksAndReportsAttributes) {
  test::ScratchFolder folder;
  const std::u16string path = folder.File("データ.bin");
  {
    OutputFile out;
    ASSERT_TRUE(out.Create(path));
    EXPECT_TRUE(out.Write("0123456789", 10));
    EXPECT_TRUE(out.Close());
  }
  EXPECT_TRUE(PathExists(path));
  EXPECT_FALSE(IsDirectory(path));
  EXPECT_TRUE(IsDirectory(folder.path()));
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize(path, size));
  EXPECT_EQ(size, 10u);
  FileTime time = 0;
  ASSERT_TRUE(GetLastWriteTime(path, time));
  EXPECT_GT(time, 116444736000000000ull);  // after 1970

  InputFile in;
  ASSERT_TRUE(in.Open(path));
  EXPECT_EQ(in.Size(), 10u);
  char buffer[16] = {};
  EXPECT_TRUE(in.Seek(7));
  EXPECT_EQ(in.Read(buffer, sizeof buffer), 3u);  // short read at the end
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(in.Read(buffer, sizeof buffer), 0u);
  in.Close();

  // Create never opens an existing file: it stays as it was.
  {
    OutputFile out;
    EXPECT_FALSE(out.Create(path));
  }
  ASSERT_TRUE(GetFileSize(path, size));
  EXPECT_EQ(size, 10u);

  EXPECT_TRUE(DeleteFilePath(path));
  EXPECT_FALSE(PathExists(path));
  EXPECT_FALSE(DeleteFilePath(path));
  EXPECT_FALSE(in.Open(path));
}

TEST(FileSystemTest, OpeningAFolderAsAFileFails) {
  test::ScratchFolder folder;
  InputFile in;
  EXPECT_FALSE(in.Open(folder.path()));
}

TEST(FileSystemTest, TemporaryFilesAreUniqueAndCarryThePrefix) {
  std::u16string a, b;
  ASSERT_TRUE(MakeTemporaryFile(TemporaryFolder(), u"tmp", a));
  ASSERT_TRUE(MakeTemporaryFile(TemporaryFolder(), u"tmp", b));
  EXPECT_NE(a, b);
  EXPECT_EQ(FileNamePart(a).substr(0, 3), u"tmp");
  EXPECT_TRUE(PathExists(a));
  EXPECT_TRUE(DeleteFilePath(a));
  EXPECT_TRUE(DeleteFilePath(b));
}

TEST(FileSystemTest, ListsEntriesWithFolderAndHiddenFlags) {
  test::ScratchFolder folder;
  ASSERT_TRUE(test::WriteWholeFile(folder.File("b.bmp"), {1, 2, 3}));
  ASSERT_TRUE(test::WriteWholeFile(folder.File("a.png"), {}));
  const std::u16string sub = folder.File("sub");
  ASSERT_TRUE(CreateFolder(sub));
  EXPECT_TRUE(CreateFolder(sub));  // already there counts as success
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(folder.path(), entries));
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& x, const DirectoryEntry& y) { return x.name < y.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, u"a.png");
  EXPECT_EQ(entries[1].name, u"b.bmp");
  EXPECT_EQ(entries[1].size, 3u);
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_TRUE(entries[2].isDirectory);
  for (const DirectoryEntry& e : entries) EXPECT_FALSE(e.isHidden);
  std::vector<DirectoryEntry> none;
  EXPECT_FALSE(ListDirectory(folder.File("missing"), none));
  // Remove the subfolder so the scratch folder can clean up.
  (void)DeleteFilePath(sub);
}

TEST(FileSystemTest, CopiesFiles) {
  test::ScratchFolder folder;
  const std::vector<uint8_t> data(100000, 0x5A);
  ASSERT_TRUE(test::WriteWholeFile(folder.File("from"), data));
  ASSERT_TRUE(CopyFilePath(folder.File("from"), folder.File("to")));
  std::vector<uint8_t> copy;
  ASSERT_TRUE(test::ReadWholeFile(folder.File("to"), copy));
  EXPECT_EQ(copy, data);
  EXPECT_FALSE(CopyFilePath(folder.File("missing"), folder.File("to2")));
  // A copy onto itself fails and leaves the file whole.
  EXPECT_FALSE(CopyFilePath(folder.File("from"), folder.File("from")));
  ASSERT_TRUE(test::ReadWholeFile(folder.File("from"), copy));
  EXPECT_EQ(copy, data);
  // A path with a NUL inside is refused, not cut short.
  std::u16string withNul = folder.File("from");
  withNul += std::u16string(1, u'\0') + u"x";
  InputFile in;
  EXPECT_FALSE(in.Open(withNul));
  EXPECT_FALSE(PathExists(withNul));
}

TEST(FileSystemTest, JoinsAndSplitsPaths) {
  const std::u16string sep(1, kPathSeparator);
  EXPECT_EQ(JoinPath(u"a", u"b"), u"a" + sep + u"b");
  EXPECT_EQ(JoinPath(u"a" + sep, u"b"), u"a" + sep + u"b");
  EXPECT_EQ(JoinPath(u"", u"b"), u"b");
  EXPECT_EQ(FileNamePart(u"a" + sep + u"b.bmp"), u"b.bmp");
  EXPECT_EQ(FileNamePart(u"b.bmp"), u"b.bmp");
  EXPECT_EQ(FolderPart(u"a" + sep + u"b.bmp"), u"a");
  EXPECT_EQ(FolderPart(u"b.bmp"), u"");
  // Rooted paths keep their root on both sides.
  EXPECT_EQ(JoinPath(u"", sep + u"a" + sep + u"b.bmp"), sep + u"a" + sep + u"b.bmp");
  EXPECT_EQ(FolderPart(sep + u"b.bmp"), sep);
#ifdef _WIN32
  EXPECT_EQ(FolderPart(u"C:\\b.bmp"), u"C:\\");
#endif
}

TEST(PixelMemoryTest, BlocksAreZeroFilledMovableAndRefuseZeroBytes) {
  PixelBlock block;
  EXPECT_FALSE(block.Allocate(0));
  EXPECT_TRUE(block.empty());
  ASSERT_TRUE(block.Allocate(100000));
  EXPECT_EQ(block.size(), 100000u);
  EXPECT_TRUE(std::all_of(block.data(), block.data() + block.size(),
                          [](uint8_t b) { return b == 0; }));
  block.data()[99999] = 7;
  PixelBlock moved = std::move(block);
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(moved.data()[99999], 7);
  moved.Release();
  EXPECT_TRUE(moved.empty());
  EXPECT_FALSE(moved.Allocate(SIZE_MAX - 4096));  // refused, not a crash
}

}  // namespace
}  // namespace pixlane
