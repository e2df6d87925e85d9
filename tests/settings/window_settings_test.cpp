// The main-window settings: the initial position, the first-start rule,
// reading the registered folders and the histories.
#include "settings/window_settings.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/file_system.h"
#include "settings/settings_store.h"
#include "settings_test_support.h"

namespace pixlane {
namespace {

TEST(WindowSettingsTest, InitialPositionArithmetic) {
  struct Case {
    WorkArea area;
    int32_t centredX, centredY;
  };
  const Case cases[] = {
      {{0, 0, 1920, 1040}, 600, 270},
      {{0, 40, 1366, 768}, 323, 114},   // a taskbar at the top: 728 high
      {{-1280, 0, 0, 1024}, 280, 262},  // a monitor left of the primary
      {{0, 0, 721, 501}, 0, 0},         // odd remainders are dropped
      {{0, 0, 640, 480}, -40, -10},     // smaller than the window
      {{0, 0, 719, 499}, 0, 0},         // -1 / 2 truncates toward zero
  };
  for (const Case& c : cases) {
    const WindowPosition offset = CentredWindowOffset(c.area);
    EXPECT_EQ(offset.x, c.centredX);
    EXPECT_EQ(offset.y, c.centredY);
    WindowSettings s;
    s.WinX = offset.x;
    s.WinY = offset.y;
    const WindowPosition screen = InitialWindowPosition(c.area, s);
    EXPECT_EQ(screen.x, c.area.left + c.centredX);
    EXPECT_EQ(screen.y, c.area.top + c.centredY);
  }
  // Stored positions from a damaged file cannot overflow.
  WindowSettings far;
  far.WinX = INT32_MAX;
  far.WinY = INT32_MIN;
  const WindowPosition clamped = InitialWindowPosition({100, -100, 200, 200}, far);
  EXPECT_EQ(clamped.x, INT32_MAX);
  EXPECT_EQ(clamped.y, INT32_MIN);
}

TEST(WindowSettingsTest, FirstStartCentresAndRegistersThePicturesFolder) {
  test::ScratchTree dir;
  const std::u16string pictures = dir.Folder("Pictures");
  WindowSettings s;
  s.FolderList = {u"stale"};
  const WindowPosition pos =
      LoadWindowSettings(dir.File("none.ini"), {10, 20, 1930, 1060}, pictures, s);
  EXPECT_EQ(pos.x, 10 + 600);
  EXPECT_EQ(pos.y, 20 + 270);
  EXPECT_EQ(s.FolderList, std::vector<std::u16string>{pictures});
  const WindowSettings defaults;
  EXPECT_EQ(s.TvIOSet, 2);
  EXPECT_EQ(s.Hidden, 2);
  EXPECT_EQ(s.Reset, 1);
  EXPECT_EQ(s.EndMes, 1);
  EXPECT_EQ(s.SdToCvt, 0);
  EXPECT_EQ(s.IH, defaults.IH);
  EXPECT_FALSE(PathExists(dir.File("none.ini")));
}

TEST(WindowSettingsTest, ReadsStoredValuesAndTheFolderListUpToTheFirstGap) {
  test::ScratchTree dir;
  const std::u16string a = dir.Folder("a");
  const std::u16string c = dir.Folder("c");
  const std::u16string d = dir.Folder("d");
  const std::u16string ini = dir.File("Pixlane.ini");
  std::u16string text =
      u"[MWin]\nWinX=-8\nWinY=12\nTopMost=3\nTvIOSet=7\nHidden=0\nReset=0\n"
      u"ISPath=C:\\in\nIH0=C:\\h0\nOH7=C:\\o7\n[FolderList]\n";
  text.append(u"0=").append(a).append(u"\n1=").append(JoinPath(dir.path(), u"gone"));
  text.append(u"\n2=").append(c).append(u"\n4=").append(d).append(u"\n");
  test::WriteUtf16File(ini, text);
  WindowSettings s;
  const WindowPosition pos = LoadWindowSettings(ini, {0, 40, 1920, 1080}, u"unused", s);
  EXPECT_EQ(pos.x, -8);
  EXPECT_EQ(pos.y, 52);
  EXPECT_EQ(s.TopMost, 1);  // flags keep bit 0
  EXPECT_EQ(s.TvIOSet, 2);  // not one of the three choices
  EXPECT_EQ(s.Hidden, 0);
  EXPECT_EQ(s.Reset, 0);
  EXPECT_EQ(s.ISPath, u"C:\\in");
  EXPECT_EQ(s.IH[0], u"C:\\h0");
  EXPECT_EQ(s.OH[7], u"C:\\o7");
  EXPECT_EQ(s.OH[0], u"");
  // "gone" is skipped, "3" is missing so "4" is never read.
  EXPECT_EQ(s.FolderList, (std::vector<std::u16string>{a, c}));
}

TEST(WindowSettingsTest, DeletedFoldersAreDroppedAndTheRestRenumbered) {
  test::ScratchTree dir;
  std::vector<std::u16string> folders;
  for (char name : std::string("01234")) folders.push_back(dir.Folder(std::string(1, name)));
  const std::u16string ini = dir.File("Pixlane.ini");
  WindowSettings saved;
  saved.FolderList = folders;
  ASSERT_TRUE(SaveAllSettings(ini, ConversionParameters{}, saved));
  WindowSettings loaded;
  LoadWindowSettings(ini, {}, u"", loaded);
  ASSERT_EQ(loaded.FolderList, folders);

  // Two folders disappear between runs.
  test::ScratchTree elsewhere;
  loaded.FolderList[1] = JoinPath(elsewhere.path(), u"vanished1");
  loaded.FolderList[3] = JoinPath(elsewhere.path(), u"vanished3");
  ASSERT_TRUE(SaveAllSettings(ini, ConversionParameters{}, loaded));
  std::u16string expected = u"[FolderList]\n0=";
  expected.append(folders[0]).append(u"\n1=").append(folders[2]);
  expected.append(u"\n2=").append(folders[4]).append(u"\n");
  EXPECT_NE(test::DecodedText(ini).find(expected), std::u16string::npos);
  WindowSettings again;
  LoadWindowSettings(ini, {}, u"", again);
  EXPECT_EQ(again.FolderList, (std::vector<std::u16string>{folders[0], folders[2], folders[4]}));
}

TEST(WindowSettingsTest, AtMostOneHundredFoldersAreKept) {
  test::ScratchTree dir;
  const std::u16string folder = dir.Folder("f");
  WindowSettings s;
  s.FolderList.assign(kMaxRegisteredFolders + 5, folder);
  const std::u16string ini = dir.File("Pixlane.ini");
  ASSERT_TRUE(SaveAllSettings(ini, ConversionParameters{}, s));
  WindowSettings loaded;
  LoadWindowSettings(ini, {}, u"", loaded);
  EXPECT_EQ(loaded.FolderList.size(), kMaxRegisteredFolders);
}

}  // namespace
}  // namespace pixlane
