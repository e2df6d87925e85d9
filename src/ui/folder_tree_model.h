// The folder tree's rules that need no window: which folder boxes a
// selection sets for the click mode and the keys held (and the cursor that
// announces it), which menu commands and buttons an item allows, which
// folders a listing shows under the hidden-attribute mask, and the
// registered-folder list. The Win32 tree (folder_tree.cpp) applies them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pixlane::ui {

// What a selection in the tree sets.
enum class TreeClickTarget { Input, Output, Both };

// The click mode ("TvIOSet": 0 input, 1 output, 2 both; any other value
// counts as 2, the default) with Shift or Ctrl held. Shift asks for the
// input folder and Ctrl for the output folder; with both held the key that
// changes the mode's own choice wins (mode 0: Ctrl, mode 1: Shift) and
// mode 2 takes Shift.
TreeClickTarget ClickTarget(int32_t mode, bool shift, bool ctrl);
inline bool SetsInput(TreeClickTarget target) { return target != TreeClickTarget::Output; }
inline bool SetsOutput(TreeClickTarget target) { return target != TreeClickTarget::Input; }
// The cursor resource that shows `target` over the tree (111, 112, 113).
int TreeCursorId(TreeClickTarget target);

// The Shift and Ctrl states after a key event seen by the keyboard hook:
// `vk` is the virtual key (0x10 Shift, 0x11 Ctrl), `before` the states
// before the event. `changes` is true only for the first key-down of Shift
// or Ctrl (not its auto-repeat) and for their key-up.
struct TreeKeys {
  bool shift = false;
  bool ctrl = false;
  bool changes = false;
};
TreeKeys KeysAfterEvent(bool shiftBefore, bool ctrlBefore, uint32_t vk, bool keyUp, bool wasDown);

// The kinds of tree items, as far as the commands care.
enum class TreeItemKind {
  None,              // no item (right-click on empty space)
  ShellFolder,       // shell namespace item with a file-system folder
  ShellVirtual,      // shell namespace item without one (Control Panel, ...)
  RegisteredRoot,    // "登録フォルダ"
  Registered,        // a registered folder (level 1)
  BelowRegistered,   // a folder below a registered one (level 2)
};

// Enable states of the context menu (and, for add/remove, the buttons
// "追加" and "除外") and the check of "隠し属性表示".
struct TreeCommandStates {
  bool explore = false;     // 5000
  bool add = false;         // 5010, "追加"
  bool remove = false;      // 5011, "除外"
  bool setFolders = false;  // 5020, 5021, 5022
  bool hiddenShown = false; // 5040 checked
};
TreeCommandStates TreeCommands(TreeItemKind kind, int32_t hiddenMask);

// The attribute bits the listings look at (the Win32 values).
inline constexpr uint32_t kAttributeHidden = 0x2;
inline constexpr uint32_t kAttributeSystem = 0x4;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr int32_t kHiddenMaskDefault = 2;

// Hidden folders are shown while the mask lacks the hidden bit.
bool HiddenFoldersShown(int32_t hiddenMask);
// The mask "隠し属性表示" switches to: 2 while hidden folders are shown,
// else 0.
int32_t ToggledHiddenMask(int32_t hiddenMask);

// A subfolder listed below a registered folder: a directory, not a system
// folder, no attribute bit of the mask, and a name that does not begin
// with "." (which also leaves out "." and "..").
bool IsListedSubfolder(uint32_t attributes, std::u16string_view name, int32_t hiddenMask);
// A shell namespace child left out of the tree: a file-system folder that
// is not a drive root and carries an attribute bit of the mask.
bool IsHiddenShellChild(bool isFileSystemFolder, bool isDriveRoot, uint32_t attributes,
                        int32_t hiddenMask);

// The registered folders: at most kMaxRegisteredFolders paths in the order
// they were registered, without gaps. Paths compare case-sensitively. An
// empty path is refused like a registration beyond the limit.
enum class RegisterOutcome { Added, AlreadyRegistered, Full };
struct RegisterResult {
  RegisterOutcome outcome = RegisterOutcome::Full;
  size_t index = 0;  // of the new or existing entry
};
RegisterResult AddRegisteredFolder(std::vector<std::u16string>& folders, std::u16string_view path);
// Removes `path`; later entries move up. False when it was not registered.
bool RemoveRegisteredFolder(std::vector<std::u16string>& folders, std::u16string_view path);
// Drops the entries that are no longer folders and those repeating an
// earlier entry (a hand-edited file); later entries move up. Returns how
// many were dropped.
using FolderExists = bool (*)(std::u16string_view);
size_t DropMissingFolders(std::vector<std::u16string>& folders, FolderExists exists);

}  // namespace pixlane::ui
