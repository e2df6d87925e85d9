// Moving files to the recycle bin: the file leaves its folder and, on
// POSIX, lands in the freedesktop.org trash of $XDG_DATA_HOME; a file that
// cannot be moved stays where it is.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/file_system.h"
#include "platform/recycle_bin.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

TEST(RecycleBinTest, MovesTheFileAwayAndRefusesMissingOnes) {
  test::ScratchFolder folder;
#ifndef _WIN32
  // A private trash on the same file system as the scratch folder; GIO reads
  // the variable when it first needs the trash, which is below.
  const std::u16string dataHome = folder.File("data");
  ASSERT_TRUE(CreateFolder(dataHome));
  ::setenv("XDG_DATA_HOME", Utf16ToUtf8(dataHome).c_str(), 1);
#endif
  const std::u16string victim = folder.File("ゴミ箱へ.bmp");
  ASSERT_TRUE(test::WriteWholeFile(victim, {'B', 'M'}));
  EXPECT_TRUE(MoveToRecycleBin(victim));
  EXPECT_FALSE(PathExists(victim));
#ifndef _WIN32
  EXPECT_TRUE(PathExists(JoinPath(dataHome, u"Trash/files/ゴミ箱へ.bmp")));
  EXPECT_TRUE(PathExists(JoinPath(dataHome, u"Trash/info/ゴミ箱へ.bmp.trashinfo")));
#endif
  EXPECT_FALSE(MoveToRecycleBin(folder.File("missing.bmp")));
}

}  // namespace
}  // namespace pixlane
