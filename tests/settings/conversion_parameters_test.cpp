// Defaults of the conversion settings, setting values by INI key and the
// range rules of the key table.
#include "settings/conversion_parameters.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace pixlane {
namespace {

TEST(ConversionParametersTest, DefaultsMatchAFirstStart) {
  const ConversionParameters p;
  EXPECT_EQ(p.OFmt, 2);
  EXPECT_EQ(p.Quality, 75);
  EXPECT_EQ(p.Level, 9);
  EXPECT_EQ(p.LmtVal, 100);
  EXPECT_EQ(p.Marker, 2);
  EXPECT_EQ(p.RszSize, 100);
  EXPECT_EQ(p.DigitNum, 2);
  EXPECT_EQ(p.Recycle, 1);
  EXPECT_EQ(p.MkDirStr, u"Output");
  EXPECT_EQ(p.DepOpt, 0);
}

TEST(ConversionParametersTest, SetsValuesByKeyCaseInsensitively) {
  ConversionParameters p;
  EXPECT_TRUE(SetConversionParameter(p, u"DepOpt", u"5"));
  EXPECT_EQ(p.DepOpt, 5);
  EXPECT_TRUE(SetConversionParameter(p, u"ofmt", u"0"));
  EXPECT_EQ(p.OFmt, 0);
  EXPECT_TRUE(SetConversionParameter(p, u"GamVal", u"-100"));
  EXPECT_EQ(p.GamVal, -100);
  EXPECT_TRUE(SetConversionParameter(p, u"TopStr", u"写真_"));
  EXPECT_EQ(p.TopStr, u"写真_");
  EXPECT_TRUE(SetConversionParameter(p, u"ExtStr2", u"pic"));
  EXPECT_EQ(p.ExtStr[2], u"pic");
  EXPECT_TRUE(SetConversionParameter(p, u"SelExt3", u"1"));
  EXPECT_EQ(p.SelExt[3], 1);
}

TEST(ConversionParametersTest, RejectsUnknownKeysAndMalformedNumbers) {
  ConversionParameters p;
  EXPECT_FALSE(SetConversionParameter(p, u"Depth", u"1"));
  EXPECT_FALSE(SetConversionParameter(p, u"SelExt4", u"1"));
  EXPECT_FALSE(SetConversionParameter(p, u"DepOpt", u""));
  EXPECT_FALSE(SetConversionParameter(p, u"DepOpt", u"2x"));
  EXPECT_FALSE(SetConversionParameter(p, u"DepOpt", u"-"));
  EXPECT_FALSE(SetConversionParameter(p, u"Quality", u"99999999999"));
  EXPECT_EQ(p.DepOpt, 0);
  EXPECT_EQ(p.Quality, 75);
}

TEST(ConversionParametersTest, RejectsValuesTheControlsCannotProduce) {
  ConversionParameters p;
  struct Case {
    const char16_t* key;
    const char16_t* value;
    bool accepted;
  };
  const Case cases[] = {
      {u"OFmt", u"5", true},
      {u"OFmt", u"6", false},
      {u"IFmt", u"-1", false},
      {u"DepOpt", u"6", true},
      {u"DepOpt", u"7", false},
      {u"Quality", u"0", false},
      {u"Quality", u"100", true},
      {u"DigitNum", u"6", false},
      {u"StartNum", u"-1", false},
      {u"HlsHVal", u"-180", true},
      {u"HlsHVal", u"181", false},
      {u"JTrans", u"2", false},
      {u"SelExt0", u"1", true},
      {u"TopStr", u"two\nlines", false},
      {u"CmtStr1", u"two\r\nlines", true},
      // Naming texts that would leave the output folder or name a device.
      {u"TopStr", u"../../", false},
      {u"EndStr", u"\\x", false},
      {u"EndStr", u":x", false},
      {u"MkDirStr", u"..", false},
      {u"MkDirStr", u"a/b", false},
      {u"MkDirStr", u"NUL", false},
      {u"MkDirStr", u"small.", false},
      {u"MkDirStr", u"", true},
      {u"MkDirStr", u"small", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetConversionParameter(p, c.key, c.value), c.accepted)
        << Utf16ToUtf8(c.key) << "=" << Utf16ToUtf8(c.value);
  }
  EXPECT_EQ(p.OFmt, 5);
  EXPECT_EQ(p.DepOpt, 6);
  EXPECT_EQ(p.CmtStr1, u"two\r\nlines");
  EXPECT_EQ(p.MkDirStr, u"small");
  EXPECT_EQ(p.TopStr, u"");
}

TEST(ConversionParametersTest, FindsOnlyRefusedNamingTextsThatAreInUse) {
  // As a shared settings file may hold them: loading keeps the text.
  ConversionParameters p;
  p.TopStr = u"../../";
  p.MkDirStr = u"CON";
  RefusedSetting refused;
  EXPECT_FALSE(FindRefusedNameSetting(p, refused));  // neither switched on
  p.MkDirAdd = 1;
  ASSERT_TRUE(FindRefusedNameSetting(p, refused));
  EXPECT_EQ(refused.key, u"MkDirStr");
  EXPECT_EQ(refused.problem, NameProblem::DeviceName);
  p.TopAdd = 1;
  ASSERT_TRUE(FindRefusedNameSetting(p, refused));
  EXPECT_EQ(refused.key, u"TopStr");
  EXPECT_EQ(refused.value, u"../../");
  EXPECT_EQ(refused.problem, NameProblem::PathSeparator);
}

}  // namespace
}  // namespace pixlane
