// The settings-file location rule and the XDG pictures-folder lookup.
#include "settings/ini_location.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/known_folders.h"
#include "settings_test_support.h"

namespace pixlane {
namespace {

TEST(IniLocationTest, PrefersAFileBesideTheProgram) {
  test::ScratchTree dir;
  const std::u16string program = dir.Folder("program");
  const std::u16string appData = dir.Folder("appdata");
  const std::u16string exe = JoinPath(program, u"Pixlane.exe");
  std::u16string ini;

  // No file beside the program: the per-user folder, created on the way.
  ASSERT_TRUE(ChooseIniFile(exe, appData, true, true, ini));
  EXPECT_EQ(ini, JoinPath(JoinPath(appData, u"Pixlane"), u"Pixlane.ini"));
  EXPECT_TRUE(IsDirectory(JoinPath(appData, u"Pixlane")));

  // A file beside the program wins.
  ASSERT_TRUE(test::WriteWholeFile(JoinPath(program, u"Pixlane.ini"), {}));
  ASSERT_TRUE(ChooseIniFile(exe, appData, true, true, ini));
  EXPECT_EQ(ini, JoinPath(program, u"Pixlane.ini"));
}

TEST(IniLocationTest, FallsBackBesideTheProgramWithoutAnAppDataFolder) {
  test::ScratchTree dir;
  const std::u16string exe = JoinPath(dir.path(), u"pixlane.EXE");
  std::u16string ini;
  ASSERT_TRUE(ChooseIniFile(exe, u"", true, true, ini));  // the name check ignores case
  EXPECT_EQ(ini, JoinPath(dir.path(), u"Pixlane.ini"));
  EXPECT_FALSE(ChooseIniFile(u"", u"", false, true, ini));
}

TEST(IniLocationTest, RefusesARenamedProgramOnlyWhenAsked) {
  test::ScratchTree dir;
  std::u16string ini;
  for (const char16_t* name : {u"Pixlane2.exe", u"Pixlane", u"Pixlane.exe.bak", u"pixlane.com"}) {
    EXPECT_FALSE(ChooseIniFile(JoinPath(dir.path(), name), dir.path(), true, true, ini));
    EXPECT_TRUE(ChooseIniFile(JoinPath(dir.path(), name), dir.path(), false, true, ini));
  }
}

TEST(IniLocationTest, CreatesNothingWhenToldNotTo) {
  test::ScratchTree dir;
  const std::u16string appData = JoinPath(dir.path(), u"config");
  std::u16string ini;
  ASSERT_TRUE(ChooseIniFile(JoinPath(dir.path(), u"pixlane"), appData, false, false, ini));
  EXPECT_EQ(ini, JoinPath(JoinPath(appData, u"Pixlane"), u"Pixlane.ini"));
  EXPECT_FALSE(PathExists(appData));
  // With creation, a missing configuration folder is created as well.
  ASSERT_TRUE(ChooseIniFile(JoinPath(dir.path(), u"pixlane"), appData, false, true, ini));
  EXPECT_TRUE(IsDirectory(JoinPath(appData, u"Pixlane")));
}

TEST(IniLocationTest, AnExplicitPathIsUsedAsGiven) {
  IniLocateOptions options;
  options.explicitPath = u"settings-under-test.ini";
  std::u16string ini;
  ASSERT_TRUE(LocateIniFile(options, ini));
  EXPECT_EQ(ini, u"settings-under-test.ini");
}

TEST(IniLocationTest, ReadsThePicturesFolderFromUserDirs) {
  struct Case {
    const char* text;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", u"/home/u/Pictures"},
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n  XDG_PICTURES_DIR = \"$HOME/画像\"\n",
       u"/home/u/画像"},
      {"XDG_PICTURES_DIR=\"/data/photos/\"\n", u"/data/photos"},
      {"XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\"\"", u"/home/u/My \"Pics\""},
      {"XDG_PICTURES_DIR=\"$HOME/a\"\nXDG_PICTURES_DIR=\"$HOME/b\"\n", u"/home/u/b"},
      {"XDG_PICTURES_DIR=\"relative/path\"\n", u""},
      {"XDG_PICTURES_DIR=$HOME/unquoted\n", u""},
      {"#XDG_PICTURES_DIR=\"$HOME/off\"\n", u""},
      {"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PicturesFolderFromUserDirs(c.text, u"/home/u"), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace pixlane
