// Parsing of the pixlane command line, the friendly options' INI keys, and
// the settings the CLI reads and writes.
#include <gtest/gtest.h>

#include "cli/cli_options.h"
#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane::cli {
namespace {

void Load(const CliOptions& o, ConversionParameters& params, WindowSettings& window) {
  std::u16string used;
  LoadSettings(o, params, window, used);
}

TEST(CliOptionsTest, ParsesInputsOutputAndOverridesInOrder) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({u"in1", u"-o", u"out", u"--set", u"DepOpt=2", u"in2", u"--set",
                                u"TopStr=a=b", u"--set", u"EndMes=0", u"--", u"-dash"},
                               o, error))
      << error;
  EXPECT_EQ(o.inputs, (std::vector<std::u16string>{u"in1", u"in2", u"-dash"}));
  EXPECT_EQ(o.outputFolder, u"out");
  ConversionParameters params;
  WindowSettings window;
  o.iniPath = u"/nonexistent/Pixlane.ini";
  Load(o, params, window);
  EXPECT_EQ(params.DepOpt, 2);
  EXPECT_EQ(params.TopStr, u"a=b");
  EXPECT_EQ(window.EndMes, 0);
}

TEST(CliOptionsTest, JobsTakeANumberFromOneTo256) {
  const auto jobs = [](std::vector<std::u16string> args, std::string& error) {
    CliOptions o;
    args.push_back(u"in");
    return ParseCommandLine(args, o, error) ? o.jobs : -1;
  };
  std::string error;
  EXPECT_EQ(jobs({}, error), 0);  // the processors the process may use
  EXPECT_EQ(jobs({u"-j", u"3"}, error), 3);
  EXPECT_EQ(jobs({u"-j4"}, error), 4);
  EXPECT_EQ(jobs({u"--jobs", u"256"}, error), 256);
  for (const std::u16string bad : {u"0", u"257", u"x", u"-1", u"99999", u""}) {
    error.clear();
    EXPECT_EQ(jobs({u"-j", bad}, error), -1) << Utf16ToUtf8(bad);
    EXPECT_NE(error.find("-j"), std::string::npos);
  }
  CliOptions o;
  EXPECT_FALSE(ParseCommandLine({u"in", u"-j"}, o, error));
}

TEST(CliOptionsTest, FriendlyOptionsStandForTheirKeys) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({u"in", u"--format", u"PNG", u"--long-side", u"800", u"--sharpen",
                                u"medium", u"--rotate", u"270", u"--depth", u"gray", u"--naming",
                                u"serial", u"--prefix", u"写真_", u"--subfolder", u"sub",
                                u"--recycle-inputs", u"--html-tags", u"--limit-kb", u"50",
                                u"--brightness", u"-20", u"--lossless", u"--plugins", u"spi folder"},
                               o, error))
      << error;
  ConversionParameters p;
  WindowSettings w;
  o.iniPath = u"/nonexistent/Pixlane.ini";
  Load(o, p, w);
  EXPECT_EQ(p.OFmt, 1);
  EXPECT_EQ(p.RszOpt, 3);
  EXPECT_EQ(p.RszSize, 800);
  EXPECT_EQ(p.UsmOpt, 2);
  EXPECT_EQ(p.TurOpt, 3);
  EXPECT_EQ(p.DepOpt, 6);
  EXPECT_EQ(p.NameSet, 2);
  EXPECT_EQ(p.TopAdd, 1);
  EXPECT_EQ(p.TopStr, u"写真_");
  EXPECT_EQ(p.MkDirAdd, 1);
  EXPECT_EQ(p.MkDirStr, u"sub");
  EXPECT_EQ(w.SPI, u"spi folder");
  EXPECT_EQ(p.IFileDel, 1);
  EXPECT_EQ(p.Recycle, 1);
  EXPECT_EQ(p.HtmlTag, 1);
  EXPECT_EQ(p.Limit, 1);
  EXPECT_EQ(p.LmtVal, 50);
  EXPECT_EQ(p.GamOpt, 1);
  EXPECT_EQ(p.GamVal, -20);
  EXPECT_EQ(p.JTrans, 1);
}

TEST(CliOptionsTest, ReportsMistakes) {
  const std::vector<std::vector<std::u16string>> bad = {
      {u"in", u"-o"},  // missing value
      {u"in", u"--set", u"Nope=1"},
      {u"in", u"--set", u"DepOpt"},
      {u"in", u"--set", u"DepOpt=x"},
      {u"in", u"--set", u"DepOpt=9"},  // out of range
      {u"in", u"--set", u"TvIOSet=3"},
      {u"in", u"--ini"},
      {u"in", u"--format", u"webp"},
      {u"in", u"--quality", u"high"},
      {u"in", u"--quality", u"101"},
      {u"in", u"--rotate", u"45"},
      {u"--set", u"OFmt=1"},  // nothing to do
      {u"in", u"--frobnicate"},
      {u"-o", u"out"},  // no input
  };
  for (const auto& args : bad) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(args, o, error)) << testing::PrintToString(args.back());
    EXPECT_FALSE(error.empty());
  }
  CliOptions o;
  std::string error;
  EXPECT_TRUE(ParseCommandLine({u"--help"}, o, error));
  EXPECT_TRUE(o.showHelp);
}

TEST(CliOptionsTest, NamingTextsThatLeaveTheFolderAreRefusedByName) {
  const struct {
    std::vector<std::u16string> args;
    const char* message;
  } cases[] = {
      {{u"in", u"--prefix", u"../../"},
       "bad value for --prefix: '../../' (setting TopStr (\"../../\") cannot be part of a file "
       "name: it contains a path separator)"},
      {{u"in", u"--subfolder", u"COM1"},
       "bad value for --subfolder: 'COM1' (setting MkDirStr (\"COM1\") cannot be part of a "
       "file name: it is a reserved device name)"},
      {{u"in", u"--set", u"EndStr=a:b"},
       "bad setting 'EndStr=a:b' (setting EndStr (\"a:b\") cannot be part of a file name: it "
       "contains a colon)"},
  };
  for (const auto& c : cases) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.args, o, error));
    EXPECT_EQ(error, c.message);
  }
}

TEST(CliOptionsTest, SettingsComeFromTheFileUnderTheOverrides) {
  test::ScratchFolder dir;
  const std::u16string ini = dir.File("Pixlane.ini");
  const std::string text =
      "[MWin]\nWinX=5\nSdToPath=/somewhere\n[CvtPrms]\nOFmt=1\nQuality=60\nTopStr=old\n"
      "DigitNum=4\n";
  const std::vector<uint8_t> original(text.begin(), text.end());
  ASSERT_TRUE(test::WriteWholeFile(ini, original));

  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({u"--ini", ini, u"--set", u"OFmt=0", u"--digits", u"5", u"in"}, o,
                               error))
      << error;
  ConversionParameters params;
  WindowSettings window;
  std::u16string used;
  LoadSettings(o, params, window, used);
  EXPECT_EQ(used, ini);
  EXPECT_EQ(params.OFmt, 0);  // the command line wins
  EXPECT_EQ(params.DigitNum, 5);
  EXPECT_EQ(params.Quality, 60);  // from the file
  EXPECT_EQ(params.TopStr, u"old");
  EXPECT_EQ(window.SdToPath, u"/somewhere");
  std::vector<uint8_t> after;
  ASSERT_TRUE(test::ReadWholeFile(ini, after));
  EXPECT_EQ(after, original);  // reading writes nothing

  // A settings file that does not exist gives the defaults and stays absent.
  CliOptions fresh;
  ASSERT_TRUE(ParseCommandLine({u"--ini", dir.File("new.ini"), u"in"}, fresh, error));
  LoadSettings(fresh, params, window, used);
  EXPECT_EQ(params.Quality, 75);
  EXPECT_FALSE(PathExists(dir.File("new.ini")));
}

TEST(CliOptionsTest, SaveSettingsRewritesOnlyTheConversionSection) {
  test::ScratchFolder dir;
  const std::u16string ini = dir.File("Pixlane.ini");
  const std::string text = "[MWin]\nWinX=5\n[CvtPrms]\nQuality=60\nBogus=1\n";
  ASSERT_TRUE(test::WriteWholeFile(ini, std::vector<uint8_t>(text.begin(), text.end())));
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({u"--ini", ini, u"--quality", u"90", u"--save-settings"}, o, error))
      << error;
  EXPECT_TRUE(o.inputs.empty());
  ConversionParameters params;
  WindowSettings window;
  Load(o, params, window);
  ASSERT_TRUE(SaveSettings(o, params));
  EXPECT_EQ(ReadIniInt(ini, u"CvtPrms", u"Quality", 0), 90);
  EXPECT_EQ(ReadIniInt(ini, u"CvtPrms", u"OFmt", -1), 2);    // every key written
  EXPECT_EQ(ReadIniInt(ini, u"CvtPrms", u"Bogus", -1), -1);  // the old section is gone
  EXPECT_EQ(ReadIniInt(ini, u"MWin", u"WinX", 0), 5);        // the window's settings stay

  CliOptions unwritable;
  unwritable.iniPath = JoinPath(dir.File("no-such-folder"), u"Pixlane.ini");
  EXPECT_FALSE(SaveSettings(unwritable, params));
}

}  // namespace
}  // namespace pixlane::cli
