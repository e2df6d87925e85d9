// Defaults of the conversion settings and setting values by INI key.
#include <gtest/gtest.h>

#include "settings/conversion_parameters.h"

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
  EXPECT_TRUE(SetConversionParameter(p, u"StartNum", u"-2147483648"));
  EXPECT_EQ(p.StartNum, INT32_MIN);
}

}  // namespace
}  // namespace pixlane
