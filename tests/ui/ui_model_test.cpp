// The main window's window-free rules: enable/show table, summary text,
// number clamping, extension slots, format changes, command-line mode, drop
// routing, the input folder box, placement and the help context of each page.
#include "ui/ui_model.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "ui/control_ids.h"

namespace pixlane::ui {
namespace {

struct Shown {
  bool visible;
  bool enabled;
};

Shown StateOf(const ConversionParameters& p, int id) {
  const std::vector<ControlState> states = EnableRules(p);
  const ControlState* state = FindControlState(states, id);
  EXPECT_NE(state, nullptr) << id;
  return state ? Shown{state->visible, state->enabled} : Shown{true, true};
}

TEST(EnableRules, FormatOptionsFollowOutputFormatAndTransform) {
  ConversionParameters p;
  struct Case {
    int32_t ofmt;
    int32_t jtrans;
    bool level, quality, note, marker;
  } cases[] = {
      {0, 0, false, false, true, false}, {1, 0, true, false, false, false},
      {2, 0, false, true, false, false}, {3, 0, false, false, true, false},
      {4, 0, false, false, true, false}, {2, 1, false, false, false, true},
  };
  for (const Case& c : cases) {
    p.OFmt = c.ofmt;
    p.JTrans = c.jtrans;
    SCOPED_TRACE(c.ofmt * 10 + c.jtrans);
    EXPECT_EQ(StateOf(p, kIdLevelEdit).visible, c.level);
    EXPECT_EQ(StateOf(p, kIdLevelNote).visible, c.level);
    EXPECT_EQ(StateOf(p, kIdQualityEdit).visible, c.quality);
    EXPECT_EQ(StateOf(p, kIdSampling41).visible, c.quality);
    EXPECT_EQ(StateOf(p, kIdLimitLabel).visible, c.quality);
    EXPECT_EQ(StateOf(p, kIdFormatNote).visible, c.note);
    EXPECT_EQ(StateOf(p, kIdMarker).visible, c.marker);
    EXPECT_EQ(StateOf(p, kIdResize).enabled, c.jtrans == 0);
    EXPECT_EQ(StateOf(p, kIdSharpen).enabled, c.jtrans == 0);
    EXPECT_EQ(StateOf(p, kIdHue + kCorrectionReset).enabled, c.jtrans == 0);
    EXPECT_EQ(StateOf(p, kIdAutoLevels).enabled, c.jtrans == 0);
  }
}

TEST(EnableRules, LimitSwitchesQualityAndSizeControls) {
  ConversionParameters p;
  p.OFmt = 2;
  p.Limit = 0;
  EXPECT_TRUE(StateOf(p, kIdQualityEdit).enabled);
  EXPECT_FALSE(StateOf(p, kIdLimitEdit).enabled);
  EXPECT_TRUE(StateOf(p, kIdLimit).enabled);
  p.Limit = 1;
  EXPECT_FALSE(StateOf(p, kIdQualityUpDown).enabled);
  EXPECT_TRUE(StateOf(p, kIdLimitUpDown).enabled);
}

TEST(EnableRules, DepthTablePerOutputFormat) {
  // 24, 8, 4, 2, 1, gray, interlace, progressive, comment.
  const char* rows[] = {"111010000", "111111101", "100001011", "111011000", "011110100"};
  ConversionParameters p;
  for (int32_t ofmt = 0; ofmt < 5; ++ofmt) {
    p.OFmt = ofmt;
    SCOPED_TRACE(ofmt);
    EXPECT_TRUE(StateOf(p, kIdDepth0).enabled);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(StateOf(p, kIdDepth0 + 1 + i).enabled, rows[ofmt][i] == '1') << i;
    EXPECT_EQ(StateOf(p, kIdInterlace).enabled, rows[ofmt][6] == '1');
    EXPECT_EQ(StateOf(p, kIdProgressive).enabled, rows[ofmt][7] == '1');
    EXPECT_EQ(StateOf(p, kIdComment).enabled, rows[ofmt][8] == '1');
    EXPECT_EQ(StateOf(p, kIdCommentEdit).enabled, rows[ofmt][8] == '1');
  }
}

TEST(EnableRules, NamingResizeDeletionAndExtensions) {
  ConversionParameters p;
  EXPECT_FALSE(StateOf(p, kIdResizeSizeEdit).enabled);
  EXPECT_FALSE(StateOf(p, kIdDigitEdit).enabled);
  EXPECT_FALSE(StateOf(p, kIdStartUpDown).enabled);
  EXPECT_FALSE(StateOf(p, kIdRecycle).enabled);
  EXPECT_FALSE(StateOf(p, kIdTopStr).enabled);
  EXPECT_FALSE(StateOf(p, kIdSelExt0 + 3).enabled);
  p.RszOpt = 3;
  p.NameSet = 2;
  p.IFileDel = 1;
  p.TopAdd = 1;
  p.MkDirAdd = 1;
  p.IFmt = 6;
  EXPECT_TRUE(StateOf(p, kIdResizeNote).enabled);
  EXPECT_TRUE(StateOf(p, kIdDigitLabel).enabled);
  EXPECT_TRUE(StateOf(p, kIdStartEdit).enabled);
  EXPECT_TRUE(StateOf(p, kIdRecycle).enabled);
  EXPECT_TRUE(StateOf(p, kIdTopStr).enabled);
  EXPECT_FALSE(StateOf(p, kIdEndStr).enabled);
  EXPECT_TRUE(StateOf(p, kIdMkDirStr).enabled);
  EXPECT_TRUE(StateOf(p, kIdExtStr0).enabled);
  p.JTrans = 1;
  EXPECT_FALSE(StateOf(p, kIdResizeSizeEdit).enabled);
}

TEST(DetailSummary, OrderAndTransformBranch) {
  ConversionParameters p;
  EXPECT_EQ(DetailSummaryText(p), u"設定なし");
  p.OFmt = 1;
  p.Interlace = 1;
  p.Progressive = 1;  // not JPEG: not listed
  p.DepOpt = 2;
  p.HlsHOpt = 1;
  p.GamOpt = 1;
  p.HgmOpt = 1;
  EXPECT_EQ(DetailSummaryText(p), u"ビット深度, インターレース, 自動補正, 明るさ, 色相");
  p.OFmt = 2;
  EXPECT_EQ(DetailSummaryText(p), u"ビット深度, プログレッシブ, 自動補正, 明るさ, 色相");
  p.JTrans = 1;
  p.CmtOpt = 1;
  p.DepOpt = 0;
  EXPECT_EQ(DetailSummaryText(p), u"プログレッシブ, コメント");
  p.Progressive = 0;
  p.CmtOpt = 0;
  EXPECT_EQ(DetailSummaryText(p), u"設定なし");
}

TEST(FormatChanges, OutputInputAndTransform) {
  ConversionParameters p;
  p.JTrans = 1;
  p.IFmt = 3;
  p.DepOpt = 4;
  FormatChange change = ChangeOutputFormat(p, 1);
  EXPECT_TRUE(change.jpegTransformCleared);
  EXPECT_TRUE(change.depthReset);
  EXPECT_EQ(p.JTrans, 0);
  EXPECT_EQ(p.OFmt, 1);
  EXPECT_EQ(p.DepOpt, 0);

  p.DepOpt = 3;
  change = ChangeJpegTransform(p, true);
  EXPECT_EQ(p.IFmt, 3);
  EXPECT_EQ(p.OFmt, 2);
  EXPECT_EQ(p.JTrans, 1);
  EXPECT_EQ(p.DepOpt, 0);
  EXPECT_FALSE(change.inputFormatChanged);

  change = ChangeInputFormat(p, 0);
  EXPECT_TRUE(change.jpegTransformCleared);
  EXPECT_TRUE(change.inputFormatChanged);
  EXPECT_EQ(p.JTrans, 0);
  change = ChangeJpegTransform(p, false);
  EXPECT_TRUE(change.inputFormatChanged);
  EXPECT_EQ(p.IFmt, 3);
  change = ChangeInputFormat(p, 3);
  EXPECT_FALSE(change.inputFormatChanged);
  EXPECT_FALSE(change.jpegTransformCleared);
}

TEST(NumberEdits, ClampOnLeaving) {
  struct Case {
    NumberField field;
    const char* typed;
    const char* shown;  // nullptr: left as typed
  } cases[] = {
      {NumberField::Quality, "0", "1"},       {NumberField::Quality, "250", "100"},
      {NumberField::Quality, "", "1"},        {NumberField::Quality, "75", nullptr},
      {NumberField::Quality, "-3", "1"},      {NumberField::DigitNum, "0", "1"},
      {NumberField::DigitNum, "9", "5"},      {NumberField::DigitNum, "3", nullptr},
      {NumberField::StartNum, "", "0"},       {NumberField::StartNum, "12", nullptr},
      {NumberField::Brightness, "-150", "-100"}, {NumberField::Contrast, "101", "100"},
      {NumberField::Saturation, "-300", "-255"}, {NumberField::Hue, "200", "180"},
      {NumberField::Hue, "-180", nullptr},    {NumberField::Brightness, "-", "0"},
      {NumberField::Quality, "99999999999", "100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const std::optional<std::u16string> shown = ValidatedNumberText(c.field, Utf8ToUtf16(c.typed));
    if (c.shown == nullptr) {
      EXPECT_FALSE(shown.has_value());
    } else {
      ASSERT_TRUE(shown.has_value());
      EXPECT_EQ(Utf16ToUtf8(*shown), c.shown);
    }
  }
  EXPECT_EQ(CorrectionTrackPosition(NumberField::Saturation, u"-999"), -255);
  EXPECT_EQ(CorrectionTrackPosition(NumberField::Brightness, u"42"), 42);
  EXPECT_EQ(ParseEditNumber(u"12x"), 0);
  EXPECT_EQ(ParseEditNumber(u"+7"), 7);
}

TEST(ExtensionSlots, DuplicatesAreClearedNotStored) {
  ConversionParameters p;
  p.ExtStr = {u"pic", u"", u"mag", u""};
  EXPECT_EQ(ApplyExtensionEdit(p, 1, u""), ExtensionEdit::Unchanged);
  EXPECT_EQ(ApplyExtensionEdit(p, 1, u"MAG"), ExtensionEdit::ClearedDuplicate);
  EXPECT_EQ(p.ExtStr[1], u"");
  EXPECT_EQ(ApplyExtensionEdit(p, 1, u"pi"), ExtensionEdit::Stored);
  EXPECT_EQ(p.ExtStr[1], u"pi");
  EXPECT_EQ(ApplyExtensionEdit(p, 0, u"mag"), ExtensionEdit::ClearedDuplicate);
  EXPECT_EQ(p.ExtStr[0], u"");  // the old value of the slot goes too
  EXPECT_EQ(ApplyExtensionEdit(p, 9, u"x"), ExtensionEdit::Unchanged);
}

TEST(CommandLine, ModeAndHandedOverNames) {
  EXPECT_EQ(DecideCommandLineMode(true, 1, true), CommandLineMode::Open);
  EXPECT_EQ(DecideCommandLineMode(true, 1, false), CommandLineMode::Convert);
  EXPECT_EQ(DecideCommandLineMode(true, 3, true), CommandLineMode::Convert);
  EXPECT_EQ(DecideCommandLineMode(false, 3, false), CommandLineMode::Open);

  const std::vector<std::u16string> list = {u"a.jpg", u"B.png", u"c.bmp", u"写真.gif"};
  const std::vector<std::u16string> args = {u"C:/x/b.PNG", u"C:/x/写真.gif", u"C:/x/zz.bmp"};
  const std::vector<bool> checks = HandedOverChecks(list, args, EqualsIgnoreCaseAscii);
  EXPECT_EQ(checks, (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(FolderFieldText(u"", true), u"<入力ファイルと同じフォルダ>");
  EXPECT_EQ(FolderFieldText(u"", false), u"<指定なし>");
  EXPECT_EQ(FolderFieldText(u"D:\\o", true), u"D:\\o");
}

TEST(InputFolderBox, TypedTextAgainstTheListedFolder) {
  struct Clean {
    std::u16string typed;
    std::u16string folder;
  } cleans[] = {
      {u"C:\\写真", u"C:\\写真"},
      {u"  \"C:\\写真\\\"  ", u"C:\\写真"},  // Explorer's "Copy as path", pasted with blanks
      {u"C:\\写真\\\\", u"C:\\写真"},
      {u"D:/photos/", u"D:/photos"},
      {u"C:\\", u"C:\\"},
      {u"\\", u"\\"},
      {u"\\\\", u"\\\\"},
      {u"\\\\server\\share\\", u"\\\\server\\share"},
      {u"\"", u"\""},
      {u"\u3000", u""},
  };
  for (const Clean& c : cleans) EXPECT_EQ(CleanFolderText(c.typed), c.folder) << Utf16ToUtf8(c.typed);

  EXPECT_EQ(ClassifyInputBox(u"C:\\a", u"C:\\a", true), InputBoxState::Listed);
  EXPECT_EQ(ClassifyInputBox(u"", u"", false), InputBoxState::Listed);
  EXPECT_EQ(ClassifyInputBox(u"C:\\b", u"C:\\a", true), InputBoxState::OtherFolder);
  // Case is not folded: on a case-sensitive file system (Wine) "A" may be
  // another folder; listing it again is the safe side.
  EXPECT_EQ(ClassifyInputBox(u"C:\\A", u"C:\\a", true), InputBoxState::OtherFolder);
  EXPECT_EQ(ClassifyInputBox(u"C:\\missing", u"C:\\a", false), InputBoxState::NotAFolder);
  EXPECT_EQ(ClassifyInputBox(u"", u"C:\\a", true), InputBoxState::NotAFolder);
}

TEST(Drops, RoutingByWindowChain) {
  struct Case {
    std::vector<int> chain;
    bool inTab;
    DropTarget target;
  } cases[] = {
      {{1001, kIdInputFolder, kIdMainPanel}, false, DropTarget::InputFolderBox},
      {{kIdOutputFolder, kIdMainPanel}, false, DropTarget::OutputFolderBox},
      {{kIdStartInputField, 0, kIdTab, kIdMainPanel}, true, DropTarget::StartInputField},
      {{kIdStartOutputField, 0, kIdTab}, true, DropTarget::StartOutputField},
      {{kIdSendToOutputField, 0, kIdTab}, true, DropTarget::SendToOutputField},
      {{kIdPluginFolder, 0, kIdTab}, true, DropTarget::PluginFolderField},
      {{kIdFolderTree, kIdTreePanel}, false, DropTarget::FolderTree},
      {{kIdQualityEdit, 0, kIdTab}, true, DropTarget::TabControl},
      {{kIdConvertButton, kIdMainPanel}, false, DropTarget::Nowhere},
  };
  for (const Case& c : cases) EXPECT_EQ(RouteDrop(c.chain, c.inTab), c.target);
  EXPECT_TRUE(TabDropSetsInputFolder(1, true));
  EXPECT_FALSE(TabDropSetsInputFolder(1, false));
  EXPECT_FALSE(TabDropSetsInputFolder(2, true));
}

TEST(Placement, LayoutScaledToTheSystemDpi) {
  EXPECT_EQ(ScaleToDpi(720, 96), 720);
  EXPECT_EQ(ScaleToDpi(720, 144), 1080);
  EXPECT_EQ(ScaleToDpi(-12, 144), -18);  // the font height
  EXPECT_EQ(ScaleToDpi(5, 120), 6);      // 6.25
  EXPECT_EQ(ScaleToDpi(6, 120), 8);      // 7.5 rounds away from zero, as MulDiv
  EXPECT_EQ(ScaleToDpi(-6, 120), -8);
  EXPECT_EQ(ScaleToDpi(500, 0), 500);
  EXPECT_EQ(ScaleToDpi(2000000000, 192), 2147483647);
}

TEST(Placement, ClampedOntoWorkArea) {
  const ScreenRect area{0, 0, 1024, 768};
  EXPECT_EQ(ClampToWorkArea({-5000, 10, -4270, 540}, area).left, 0);
  const ScreenRect right = ClampToWorkArea({900, 600, 1626, 1130}, area);
  EXPECT_EQ(right.right, 1024);
  EXPECT_EQ(right.bottom, 768);
  EXPECT_EQ(right.left, 1024 - 726);
  const ScreenRect big = ClampToWorkArea({0, 0, 2000, 2000}, area);
  EXPECT_EQ(big.left, 0);
  EXPECT_EQ(big.top, 0);
  const ScreenRect inside = ClampToWorkArea({100, 100, 200, 200}, area);
  EXPECT_EQ(inside.left, 100);
  EXPECT_EQ(inside.bottom, 200);
}

TEST(Help, ContextOfEachTabPage) {
  // "全般", "個別入力", "詳細設定", "オプション", "プラグイン", in tab order.
  const uint32_t expected[] = {14, 16, 18, 20, 22};
  for (int tab = 0; tab < 5; ++tab) EXPECT_EQ(HelpContextForTab(tab), expected[tab]) << tab;
  // No selection (-1) or anything out of range opens the overview.
  for (int tab : {-1, 5, 1000}) EXPECT_EQ(HelpContextForTab(tab), 2u) << tab;
}

}  // namespace
}  // namespace pixlane::ui
