// The folder tree's window-free rules: mode × key table and cursors, the
// keyboard hook's key tracking, command states per item kind, the listing
// filters under the hidden-attribute mask and the registered-folder list.
#include "ui/folder_tree_model.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "settings/window_settings.h"
#include "ui/control_ids.h"

namespace pixlane::ui {
namespace {

using T = TreeClickTarget;

TEST(ClickTarget, ModeAndKeysTable) {
  struct Case {
    int32_t mode;
    T none, shift, ctrl, both;
  } cases[] = {
      {0, T::Input, T::Input, T::Output, T::Output},
      {1, T::Output, T::Input, T::Output, T::Input},
      {2, T::Both, T::Input, T::Output, T::Input},
      // A value the radio buttons never write counts as the default, 2.
      {7, T::Both, T::Input, T::Output, T::Input},
      {-1, T::Both, T::Input, T::Output, T::Input},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(ClickTarget(c.mode, false, false), c.none);
    EXPECT_EQ(ClickTarget(c.mode, true, false), c.shift);
    EXPECT_EQ(ClickTarget(c.mode, false, true), c.ctrl);
    EXPECT_EQ(ClickTarget(c.mode, true, true), c.both);
  }
  EXPECT_TRUE(SetsInput(T::Both) && SetsOutput(T::Both));
  EXPECT_TRUE(SetsInput(T::Input) && !SetsOutput(T::Input));
  EXPECT_TRUE(!SetsInput(T::Output) && SetsOutput(T::Output));
  EXPECT_EQ(TreeCursorId(T::Input), kCursorInput);
  EXPECT_EQ(TreeCursorId(T::Output), kCursorOutput);
  EXPECT_EQ(TreeCursorId(T::Both), kCursorBoth);
}

TEST(KeysAfterEvent, FirstDownAndUpOfShiftOrCtrlOnly) {
  constexpr uint32_t kShift = 0x10, kCtrl = 0x11, kA = 0x41;
  TreeKeys keys = KeysAfterEvent(false, false, kShift, false, false);
  EXPECT_TRUE(keys.changes && keys.shift && !keys.ctrl);
  keys = KeysAfterEvent(true, false, kShift, false, true);  // auto-repeat
  EXPECT_FALSE(keys.changes);
  EXPECT_TRUE(keys.shift);
  keys = KeysAfterEvent(true, false, kCtrl, false, false);
  EXPECT_TRUE(keys.changes && keys.shift && keys.ctrl);
  keys = KeysAfterEvent(true, true, kShift, true, true);
  EXPECT_TRUE(keys.changes && !keys.shift && keys.ctrl);
  keys = KeysAfterEvent(false, true, kA, false, false);
  EXPECT_FALSE(keys.changes);
  EXPECT_TRUE(!keys.shift && keys.ctrl);
}

TEST(TreeCommands, EnableRulesPerItemKind) {
  using K = TreeItemKind;
  struct Case {
    K kind;
    bool explore, add, remove, set;
  } cases[] = {
      {K::None, false, false, false, false},         {K::ShellFolder, true, true, false, true},
      {K::ShellVirtual, true, false, false, false},  {K::RegisteredRoot, false, false, false, false},
      {K::Registered, true, false, true, true},      {K::BelowRegistered, true, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    const TreeCommandStates states = TreeCommands(c.kind, 2);
    EXPECT_EQ(states.explore, c.explore);
    EXPECT_EQ(states.add, c.add);
    EXPECT_EQ(states.remove, c.remove);
    EXPECT_EQ(states.setFolders, c.set);
    EXPECT_FALSE(states.hiddenShown);
    EXPECT_TRUE(TreeCommands(c.kind, 0).hiddenShown);
  }
}

TEST(HiddenMask, CheckAndToggleFollowTheHiddenBit) {
  EXPECT_FALSE(HiddenFoldersShown(2));
  EXPECT_TRUE(HiddenFoldersShown(0));
  // A hand-edited mask: only the hidden bit decides what the menu shows.
  EXPECT_FALSE(HiddenFoldersShown(6));
  EXPECT_TRUE(HiddenFoldersShown(4));
  EXPECT_EQ(ToggledHiddenMask(2), 0);
  EXPECT_EQ(ToggledHiddenMask(0), 2);
  EXPECT_EQ(ToggledHiddenMask(6), 0);
  EXPECT_EQ(ToggledHiddenMask(4), 2);
}

TEST(ListingFilters, SubfoldersOfRegisteredFolders) {
  constexpr uint32_t kDir = kAttributeDirectory;
  EXPECT_TRUE(IsListedSubfolder(kDir, u"写真", 2));
  EXPECT_TRUE(IsListedSubfolder(kDir | 0x20 | 0x1, u"a", 2));  // archive, read-only
  EXPECT_FALSE(IsListedSubfolder(0x20, u"file.bmp", 2));
  EXPECT_FALSE(IsListedSubfolder(kDir | kAttributeSystem, u"System Volume Information", 0));
  EXPECT_FALSE(IsListedSubfolder(kDir | kAttributeHidden, u"hid", 2));
  EXPECT_TRUE(IsListedSubfolder(kDir | kAttributeHidden, u"hid", 0));
  for (const char16_t* name : {u".", u"..", u".git"}) {
    EXPECT_FALSE(IsListedSubfolder(kDir, name, 0)) << Utf16ToUtf8(name);
  }
  EXPECT_FALSE(IsListedSubfolder(kDir, u"", 0));
}

TEST(ListingFilters, ShellChildrenDriveRootsNeverHidden) {
  EXPECT_TRUE(IsHiddenShellChild(true, false, kAttributeHidden | kAttributeDirectory, 2));
  EXPECT_FALSE(IsHiddenShellChild(true, false, kAttributeHidden | kAttributeDirectory, 0));
  EXPECT_FALSE(IsHiddenShellChild(true, true, kAttributeHidden | kAttributeSystem | kAttributeDirectory, 2));
  EXPECT_FALSE(IsHiddenShellChild(false, false, kAttributeHidden, 2));
  EXPECT_FALSE(IsHiddenShellChild(true, false, kAttributeDirectory, 2));
  // System folders show in the shell branch unless the mask names them.
  EXPECT_FALSE(IsHiddenShellChild(true, false, kAttributeSystem | kAttributeDirectory, 2));
  EXPECT_TRUE(IsHiddenShellChild(true, false, kAttributeSystem | kAttributeDirectory, 6));
}

TEST(RegisteredFolders, AddFindsExactPathsAndStopsAtTheLimit) {
  std::vector<std::u16string> list = {u"C:\\b", u"C:\\a"};
  RegisterResult result = AddRegisteredFolder(list, u"C:\\a");
  EXPECT_EQ(result.outcome, RegisterOutcome::AlreadyRegistered);
  EXPECT_EQ(result.index, 1u);
  // Exact comparison: another spelling is another entry.
  result = AddRegisteredFolder(list, u"c:\\A");
  EXPECT_EQ(result.outcome, RegisterOutcome::Added);
  EXPECT_EQ(result.index, 2u);
  EXPECT_EQ(AddRegisteredFolder(list, u"").outcome, RegisterOutcome::Full);

  while (list.size() < kMaxRegisteredFolders) {
    ASSERT_EQ(AddRegisteredFolder(list, u"D:\\" + Utf8ToUtf16(std::to_string(list.size()))).outcome,
              RegisterOutcome::Added);
  }
  const std::vector<std::u16string> full = list;
  EXPECT_EQ(AddRegisteredFolder(list, u"E:\\new").outcome, RegisterOutcome::Full);
  EXPECT_EQ(list, full);
  result = AddRegisteredFolder(list, u"D:\\50");
  EXPECT_EQ(result.outcome, RegisterOutcome::AlreadyRegistered);
  EXPECT_EQ(result.index, 50u);
}

TEST(RegisteredFolders, RemoveAndDropMoveLaterEntriesUp) {
  std::vector<std::u16string> list = {u"a", u"b", u"c", u"b", u"gone", u"d"};
  EXPECT_EQ(DropMissingFolders(list, [](std::u16string_view path) { return path != u"gone"; }), 2u);
  EXPECT_EQ(list, (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
  EXPECT_TRUE(RemoveRegisteredFolder(list, u"b"));
  EXPECT_EQ(list, (std::vector<std::u16string>{u"a", u"c", u"d"}));
  EXPECT_FALSE(RemoveRegisteredFolder(list, u"B"));
  EXPECT_EQ(list.size(), 3u);
}

}  // namespace
}  // namespace pixlane::ui
