// The rules for names built from settings and input names: everything that
// could leave the output folder or name a device is refused, ordinary names
// (dots, spaces inside, Japanese, "CONSOLE") pass.
#include "platform/file_name_rules.h"

#include <gtest/gtest.h>

namespace pixlane {
namespace {

TEST(FileNameRulesTest, WholeNamesRefuseEscapesDevicesAndWindowsTroubles) {
  const struct {
    std::u16string_view name;
    NameProblem problem;
  } cases[] = {
      {u"photo.jpg", NameProblem::None},
      {u"写真 1+2.jpg", NameProblem::None},
      {u".hidden.png", NameProblem::None},
      {u"CONSOLE.jpg", NameProblem::None},
      {u"COM0.jpg", NameProblem::None},
      {u"LPT10.jpg", NameProblem::None},
      {u"", NameProblem::Empty},
      {u"../x.jpg", NameProblem::PathSeparator},
      {u"..\\x.jpg", NameProblem::PathSeparator},
      {u"C:x.jpg", NameProblem::Colon},
      {u"x.jpg:stream", NameProblem::Colon},
      {u"a*.jpg", NameProblem::ReservedCharacter},
      {u"a?.jpg", NameProblem::ReservedCharacter},
      {u"a\".jpg", NameProblem::ReservedCharacter},
      {u"a<b>.jpg", NameProblem::ReservedCharacter},
      {u"a|b.jpg", NameProblem::ReservedCharacter},
      {u"a\u001b]0;x\u0007.jpg", NameProblem::ControlCharacter},
      {u"a\u007f.jpg", NameProblem::ControlCharacter},
      {u".", NameProblem::DotName},
      {u"..", NameProblem::DotName},
      {u"x.", NameProblem::TrailingDotOrSpace},
      {u"x ", NameProblem::TrailingDotOrSpace},
      {u"CON", NameProblem::DeviceName},
      {u"con.jpg", NameProblem::DeviceName},
      {u"Nul .tar.gz", NameProblem::DeviceName},
      {u"aux.png", NameProblem::DeviceName},
      {u"prn.bmp", NameProblem::DeviceName},
      {u"COM1.jpg", NameProblem::DeviceName},
      {u"lpt9.tif", NameProblem::DeviceName},
      {u"COM\u00b9.jpg", NameProblem::DeviceName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckFileName(c.name), c.problem) << NameProblemText(c.problem);
  }
}

TEST(FileNameRulesTest, PiecesMayBeEmptyOrDottedButHoldNoRefusedCharacter) {
  EXPECT_EQ(CheckNamePiece(u""), NameProblem::None);
  EXPECT_EQ(CheckNamePiece(u"s_"), NameProblem::None);
  EXPECT_EQ(CheckNamePiece(u".."), NameProblem::None);  // "..photo.jpg" stays in its folder
  EXPECT_EQ(CheckNamePiece(u"../../"), NameProblem::PathSeparator);
  EXPECT_EQ(CheckNamePiece(u"\\x"), NameProblem::PathSeparator);
  EXPECT_EQ(CheckNamePiece(u"a:"), NameProblem::Colon);
  EXPECT_EQ(CheckNamePiece(u"\u001b[2J"), NameProblem::ControlCharacter);
}

TEST(FileNameRulesTest, HostNamesFollowTheHostSystem) {
  EXPECT_EQ(CheckHostFileName(u"a/b.jpg"), NameProblem::PathSeparator);
  EXPECT_EQ(CheckHostFileName(u".."), NameProblem::DotName);
  EXPECT_EQ(CheckHostFileName(u""), NameProblem::Empty);
#ifdef _WIN32
  EXPECT_EQ(CheckHostFileName(u"12:00:00.jpg"), NameProblem::Colon);
  EXPECT_EQ(CheckHostFileName(u"a\\b.jpg"), NameProblem::PathSeparator);
  EXPECT_EQ(CheckHostFileName(u"nul.jpg"), NameProblem::DeviceName);
#else
  // Valid POSIX names of existing inputs keep converting.
  EXPECT_EQ(CheckHostFileName(u"Screenshot 12:00:00.jpg"), NameProblem::None);
  EXPECT_EQ(CheckHostFileName(u"a\\b.jpg"), NameProblem::None);
#endif
}

}  // namespace
}  // namespace pixlane
