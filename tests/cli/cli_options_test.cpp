// Parsing of the pixlane command line and the settings it reads and writes.
#include <gtest/gtest.h>

#include "cli/cli_options.h"

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "support/test_support.h"

namespace pixlane::cli {
namespace {

TEST(CliOptionsTest, ParsesInputsOutputAndSettings) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({u"in1", u"-o", u"out", u"--set", u"DepOpt=2", u"in2", u"--set",
                                u"TopStr=a=b", u"--", u"-dash"},
                               o, error))
      << error;
  EXPECT_EQ(o.inputs, (std::vector<std::u16string>{u"in1", u"in2", u"-dash"}));
  EXPECT_EQ(o.outputFolder, u"out");
  EXPECT_EQ(o.params.DepOpt, 2);
  EXPECT_EQ(o.params.TopStr, u"a=b");
}

TEST(CliOptionsTest, ReportsMistakes) {
  const std::vector<std::vector<std::u16string>> bad = {
      {u"in", u"-o"},                      // missing value
      {u"in", u"-o", u"out", u"--set", u"Nope=1"},
      {u"in", u"-o", u"out", u"--set", u"DepOpt"},
      {u"in", u"-o", u"out", u"--set", u"DepOpt=x"},
      {u"in", u"-o", u"out", u"--set", u"DepOpt=9"},  // out of range
      {u"in", u"-o", u"out", u"--ini"},
      {u"--set", u"OFmt=1"},               // nothing to do
      {u"in", u"-o", u"out", u"--frobnicate"},
      {u"-o", u"out"},                     // no input
      {u"in"},                             // no output
  };
  for (const auto& args : bad) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(args, o, error));
    EXPECT_FALSE(error.empty());
  }
  CliOptions o;
  std::string error;
  EXPECT_TRUE(ParseCommandLine({u"--help"}, o, error));
  EXPECT_TRUE(o.showHelp);
}

TEST(CliOptionsTest, SettingsComeFromTheFileUnderTheSetValues) {
  test::ScratchFolder dir;
  const std::u16string ini = dir.File("Pixlane.ini");
  const std::string text =
      "[MWin]\nWinX=5\n[CvtPrms]\nOFmt=1\nQuality=60\nTopStr=old\nDigitNum=4\n";
  const std::vector<uint8_t> original(text.begin(), text.end());
  ASSERT_TRUE(test::WriteWholeFile(ini, original));

  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({u"--ini", ini, u"--set", u"OFmt=0", u"--set", u"DigitNum=5",
                                u"in", u"-o", u"out"},
                               o, error))
      << error;
  std::u16string used;
  LoadSettings(o, used);
  EXPECT_EQ(used, ini);
  EXPECT_EQ(o.params.OFmt, 0);      // --set wins
  EXPECT_EQ(o.params.DigitNum, 5);
  EXPECT_EQ(o.params.Quality, 60);  // from the file
  EXPECT_EQ(o.params.TopStr, u"old");
  std::vector<uint8_t> after;
  ASSERT_TRUE(test::ReadWholeFile(ini, after));
  EXPECT_EQ(after, original);  // reading writes nothing

  // A settings file that does not exist gives the defaults and stays absent.
  CliOptions fresh;
  ASSERT_TRUE(ParseCommandLine({u"--ini", dir.File("new.ini"), u"in", u"-o", u"out"}, fresh, error));
  LoadSettings(fresh, used);
  EXPECT_EQ(fresh.params.Quality, 75);
  EXPECT_FALSE(PathExists(dir.File("new.ini")));
}

TEST(CliOptionsTest, SaveSettingsRewritesOnlyTheConversionSection) {
  test::ScratchFolder dir;
  const std::u16string ini = dir.File("Pixlane.ini");
  const std::string text = "[MWin]\nWinX=5\n[CvtPrms]\nQuality=60\nBogus=1\n";
  ASSERT_TRUE(test::WriteWholeFile(ini, std::vector<uint8_t>(text.begin(), text.end())));
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({u"--ini", ini, u"--set", u"Quality=90", u"--save-settings"}, o,
                               error))
      << error;
  EXPECT_TRUE(o.inputs.empty());
  std::u16string used;
  LoadSettings(o, used);
  ASSERT_TRUE(SaveSettings(o));
  EXPECT_EQ(ReadIniInt(ini, u"CvtPrms", u"Quality", 0), 90);
  EXPECT_EQ(ReadIniInt(ini, u"CvtPrms", u"OFmt", -1), 2);       // every key written
  EXPECT_EQ(ReadIniInt(ini, u"CvtPrms", u"Bogus", -1), -1);     // the old section is gone
  EXPECT_EQ(ReadIniInt(ini, u"MWin", u"WinX", 0), 5);           // the window's settings stay

  CliOptions unwritable;
  unwritable.iniPath = JoinPath(dir.File("no-such-folder"), u"Pixlane.ini");
  EXPECT_FALSE(SaveSettings(unwritable));
}

}  // namespace
}  // namespace pixlane::cli
