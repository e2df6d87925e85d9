// Loading "CvtPrms" (defaults, the read rules, the comment), the exit rules
// (Reset, the edited-value rules) and the full save compared with a
// checked-in file.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "settings_test_support.h"

namespace pixlane {
namespace {

TEST(SettingsStoreTest, FirstStartGivesTheDefaults) {
  test::ScratchTree dir;
  ConversionParameters loaded;
  loaded.OFmt = 4;  // overwritten by the default
  loaded.TopStr = u"stale";
  LoadConversionParameters(dir.File("none.ini"), loaded);
  const ConversionParameters defaults;
  for (const ParameterKey& key : ConversionParameterKeys()) {
    if (key.kind == ParameterKind::Int || key.kind == ParameterKind::Flag) {
      EXPECT_EQ(IntField(loaded, key), IntField(defaults, key)) << Utf16ToUtf8(key.key);
    } else {
      EXPECT_EQ(TextField(loaded, key), TextField(defaults, key)) << Utf16ToUtf8(key.key);
    }
  }
  EXPECT_FALSE(PathExists(dir.File("none.ini")));
}

TEST(SettingsStoreTest, LoadAppliesTheReadRules) {
  test::ScratchTree dir;
  struct Case {
    const char16_t* file;
    int32_t IFmt, OFmt, flag, depth, quality, digits, hue;
  };
  const Case cases[] = {
      // OFmt 7 -> 2, IFmt 9 -> 0; flags keep bit 0.
      {u"IFmt=9\nOFmt=7\nRecycle=2\n", 0, 2, 0, 0, 75, 2, 0},
      {u"IFmt=6\nOFmt=5\nRecycle=3\n", 6, 5, 1, 0, 75, 2, 0},
      // Negative choices are out of range as well; amounts are clamped.
      {u"IFmt=-1\nOFmt=-3\nDepOpt=7\nQuality=500\nDigitNum=0\nHlsHVal=-999\n", 0, 2, 1, 0, 100, 1,
       -180},
      // JTrans forces JPEG in and out whatever the file says.
      {u"JTrans=1\nIFmt=1\nOFmt=0\nDepOpt=6\n", 3, 2, 1, 6, 75, 2, 0},
      {u"JTrans=2\nIFmt=1\nOFmt=0\n", 1, 0, 1, 0, 75, 2, 0},  // 2 AND 1 = 0: off
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::u16string ini = dir.File("rules" + std::to_string(n++) + ".ini");
    test::WriteUtf16File(ini, u"[CvtPrms]\n" + std::u16string(c.file));
    ConversionParameters p;
    LoadConversionParameters(ini, p);
    SCOPED_TRACE(Utf16ToUtf8(c.file));
    EXPECT_EQ(p.IFmt, c.IFmt);
    EXPECT_EQ(p.OFmt, c.OFmt);
    EXPECT_EQ(p.Recycle, c.flag);
    EXPECT_EQ(p.DepOpt, c.depth);
    EXPECT_EQ(p.Quality, c.quality);
    EXPECT_EQ(p.DigitNum, c.digits);
    EXPECT_EQ(p.HlsHVal, c.hue);
  }
}

TEST(SettingsStoreTest, CommentEncodingIsExact) {
  EXPECT_EQ(EncodeComment(u"a\r\nb"), std::u16string(u"a\x02\x03"
                                                     u"b0"));
  EXPECT_EQ(EncodeComment(u""), u"0");
  EXPECT_EQ(DecodeComment(std::u16string(u"a\x02\x03"
                                         u"b0")),
            u"a\r\nb");
  EXPECT_EQ(DecodeComment(std::u16string(u"x\x1By0")), u"xy");  // ESC is skipped
  EXPECT_EQ(DecodeComment(u""), u"");
  EXPECT_EQ(DecodeComment(u"0"), u"");
}

TEST(SettingsStoreTest, CommentsSurviveTheFile) {
  test::ScratchTree dir;
  const std::u16string exact(10000, u'e');
  std::u16string longer(12000, u'l');
  longer[9999] = u'!';
  struct Case {
    std::u16string comment;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"a\r\nb", u"a\r\nb"},
      {u"trailing blanks  \t", u"trailing blanks  \t"},
      {u"  leading blanks", u"  leading blanks"},
      {u"\"quoted\"", u"\"quoted\""},
      {u"日本語のコメント\r\n二行目", u"日本語のコメント\r\n二行目"},
      {exact, exact},  // the longest comment comes back whole
      {longer, longer.substr(0, 10000)},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::u16string ini = dir.File("comment" + std::to_string(n++) + ".ini");
    ConversionParameters saved;
    saved.CmtStr1 = c.comment;
    ASSERT_TRUE(SaveAllSettings(ini, saved, WindowSettings{}));
    ConversionParameters loaded;
    LoadConversionParameters(ini, loaded);
    EXPECT_EQ(loaded.CmtStr1.size(), c.expected.size());
    EXPECT_TRUE(loaded.CmtStr1 == c.expected) << "case " << n;
  }
}

TEST(SettingsStoreTest, TextWithBlankOrQuotedEdgesComesBackUnchanged) {
  test::ScratchTree dir;
  const std::u16string ini = dir.File("text.ini");
  ConversionParameters saved;
  saved.TopStr = u"IMG ";
  saved.EndStr = u" 写真";
  saved.MkDirStr = u"'x'";
  saved.ExtStr[0] = u"\"";
  saved.ExtStr[1] = u"\"\"";
  saved.ExtStr[2] = std::u16string(259, u'z');
  WindowSettings window;
  window.ISPath = u" spaced ";
  ASSERT_TRUE(SaveAllSettings(ini, saved, window));
  ConversionParameters loaded;
  LoadConversionParameters(ini, loaded);
  EXPECT_EQ(loaded.TopStr, saved.TopStr);
  EXPECT_EQ(loaded.EndStr, saved.EndStr);
  EXPECT_EQ(loaded.MkDirStr, saved.MkDirStr);
  EXPECT_EQ(loaded.ExtStr, saved.ExtStr);
  // Ordinary values are stored without quotes.
  EXPECT_EQ(ReadIniString(ini, u"CvtPrms", u"TopStr", u"", 260), u"IMG ");
  EXPECT_NE(test::DecodedText(ini).find(u"\nTopStr=\"IMG \"\n"), std::u16string::npos);
}

TEST(SettingsStoreTest, ResetRuleSwitchesOffPerRunOptionsOnly) {
  ConversionParameters p;
  p.UsmOpt = 2;
  p.TurOpt = 1;
  p.RszOpt = 3;
  p.DepOpt = 4;
  p.Interlace = p.Progressive = p.CmtOpt = p.HgmOpt = 1;
  p.GamOpt = p.CrtOpt = p.HlsSOpt = p.HlsHOpt = 1;
  p.Quality = 42;
  p.RszSize = 640;
  p.GamVal = 10;
  p.NameSet = 2;
  p.OFmt = 1;
  WindowSettings window;
  window.Reset = 0;
  ConversionParameters kept = p;
  ApplyResetRule(window, kept);
  EXPECT_EQ(kept.UsmOpt, 2);

  window.Reset = 1;
  ApplyResetRule(window, p);
  for (int32_t v : {p.UsmOpt, p.TurOpt, p.RszOpt, p.DepOpt, p.Interlace, p.Progressive, p.CmtOpt,
                    p.HgmOpt, p.GamOpt, p.CrtOpt, p.HlsSOpt, p.HlsHOpt}) {
    EXPECT_EQ(v, 0);
  }
  EXPECT_EQ(p.Quality, 42);
  EXPECT_EQ(p.RszSize, 640);
  EXPECT_EQ(p.GamVal, 10);
  EXPECT_EQ(p.NameSet, 2);
  EXPECT_EQ(p.OFmt, 1);
}

TEST(SettingsStoreTest, EditedValueRules) {
  struct Case {
    int32_t digits, size, gam, crt, sat, hue;
    int32_t expectDigits, expectRszOpt, expectGamOpt, expectCrtOpt, expectSatOpt, expectHueOpt;
  };
  const Case cases[] = {
      {0, 100, 5, 5, 5, 5, 1, 2, 1, 1, 1, 1},
      {9, 0, 0, 5, 0, 5, 5, 0, 0, 1, 0, 1},
      {3, 1, -1, 0, 1, 0, 3, 2, 1, 0, 1, 0},
  };
  for (const Case& c : cases) {
    ConversionParameters p;
    p.RszOpt = 2;
    p.GamOpt = p.CrtOpt = p.HlsSOpt = p.HlsHOpt = 1;
    EditedValues edited;
    edited.DigitNum = c.digits;
    edited.RszSize = c.size;
    edited.GamVal = c.gam;
    edited.CrtVal = c.crt;
    edited.HlsSVal = c.sat;
    edited.HlsHVal = c.hue;
    edited.TopStr = u"pre";
    RefreshFromControls(edited, p);
    EXPECT_EQ(p.DigitNum, c.expectDigits);
    EXPECT_EQ(p.RszOpt, c.expectRszOpt);
    EXPECT_EQ(p.GamOpt, c.expectGamOpt);
    EXPECT_EQ(p.CrtOpt, c.expectCrtOpt);
    EXPECT_EQ(p.HlsSOpt, c.expectSatOpt);
    EXPECT_EQ(p.HlsHOpt, c.expectHueOpt);
    EXPECT_EQ(p.TopStr, u"pre");
  }
}

// Replaces every "@NAME@" in `text`.
std::u16string Substitute(std::u16string text, std::u16string_view name,
                          std::u16string_view value) {
  for (size_t at = text.find(name); at != std::u16string::npos; at = text.find(name, at)) {
    text.replace(at, name.size(), value);
    at += value.size();
  }
  return text;
}

TEST(SettingsStoreTest, SaveWritesEverySectionInItsFixedOrder) {
  test::ScratchTree dir;
  const std::u16string ini = dir.File("Pixlane.ini");
  // An older file: stale sections go, a foreign one stays where it is.
  test::WriteUtf16File(ini,
                       u"[Awin]\r\nx=1\r\n[Custom]\r\nkeep=yes\r\n[CvtPrms]\r\nOFmt=4\r\n"
                       u"Stale=1\r\n[SImg]\r\ny=2\r\n[FolderList]\r\n0=C:\\old\r\n");
  ConversionParameters p;
  p.IFmt = 6;
  p.SelExt[1] = 1;
  p.ExtStr[1] = u"pic";
  p.OFmt = 1;
  p.Level = 6;
  p.Quality = 90;
  p.LmtVal = 250;
  p.RszOpt = 3;
  p.RszSize = 1280;
  p.NameSet = 2;
  p.DigitNum = 4;
  p.StartNum = 7;
  p.TopAdd = 1;
  p.TopStr = u" 写真_";
  p.EndStr = u"'x'";
  p.MkDirStr = u"出力";
  p.Recycle = 0;
  p.DepOpt = 2;
  p.GamOpt = 1;
  p.GamVal = -20;
  p.HlsHVal = 180;
  p.HtmlTag = 1;
  p.CmtStr1 = u"a\r\nb  ";
  WindowSettings w;
  w.WinX = -8;
  w.WinY = 30;
  w.TopMost = 1;
  w.TvIOSet = 0;
  w.Hidden = 0;
  w.Reset = 0;
  w.SdToCvt = 1;
  w.ISPath = u"C:\\入力";
  w.SdToPath = u"D:\\out";
  w.IH[0] = u"C:\\in0";
  w.IH[1] = u"C:\\in1";
  w.OH[0] = u"C:\\out0";
  w.OH[7] = u"C:\\out7";
  const std::u16string a = dir.Folder("a");
  const std::u16string c = dir.Folder("c");
  const std::u16string d = dir.Folder("d");
  // "b" no longer exists; the empty entry ends the list, so "d" is not saved.
  w.FolderList = {a, JoinPath(dir.path(), u"b"), c, u"", d};
  ASSERT_TRUE(SaveAllSettings(ini, p, w));

  std::vector<uint8_t> bytes;
  ASSERT_TRUE(test::ReadWholeFile(test::TestDataPath("settings/expected_save.ini"), bytes));
  std::u16string expected;
  for (char16_t ch : Utf8ToUtf16(std::string(bytes.begin(), bytes.end()))) {
    if (ch != u'\r') expected.push_back(ch);
  }
  expected = Substitute(expected, u"@FOLDER_A@", a);
  expected = Substitute(expected, u"@FOLDER_C@", c);
  const std::u16string actual = test::DecodedText(ini);
  EXPECT_TRUE(actual == expected) << "saved:\n" << Utf16ToUtf8(actual);

  // And it loads back as saved.
  ConversionParameters loaded;
  LoadConversionParameters(ini, loaded);
  for (const ParameterKey& key : ConversionParameterKeys()) {
    if (key.kind == ParameterKind::Int || key.kind == ParameterKind::Flag) {
      EXPECT_EQ(IntField(loaded, key), IntField(p, key)) << Utf16ToUtf8(key.key);
    } else {
      EXPECT_TRUE(TextField(loaded, key) == TextField(p, key)) << Utf16ToUtf8(key.key);
    }
  }
}

TEST(SettingsStoreTest, UnwritableFileIsReported) {
  test::ScratchTree dir;
  EXPECT_FALSE(SaveAllSettings(JoinPath(dir.File("missing-folder"), u"Pixlane.ini"),
                               ConversionParameters{}, WindowSettings{}));
  // A folder in the file's place.
  const std::u16string folder = dir.Folder("Pixlane.ini");
  EXPECT_FALSE(SaveAllSettings(folder, ConversionParameters{}, WindowSettings{}));
}

}  // namespace
}  // namespace pixlane
