// Parsing of the pixlane command line.
#include <gtest/gtest.h>

#include "cli/cli_options.h"

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

}  // namespace
}  // namespace pixlane::cli
