// The folder tree's window-free rules: click targets, cursors, command
// states, listing filters and the registered-folder list.
#include "ui/folder_tree_model.h"

#include <algorithm>

#include "settings/window_settings.h"
#include "ui/control_ids.h"

namespace pixlane::ui {
namespace {

constexpr uint32_t kVkShift = 0x10;
constexpr uint32_t kVkControl = 0x11;

}  // namespace

TreeClickTarget ClickTarget(int32_t mode, bool shift, bool ctrl) {
  switch (mode) {
    case 0: return ctrl ? TreeClickTarget::Output : TreeClickTarget::Input;
    case 1: return shift ? TreeClickTarget::Input : TreeClickTarget::Output;
    default:
      if (shift) return TreeClickTarget::Input;
      return ctrl ? TreeClickTarget::Output : TreeClickTarget::Both;
  }
}

int TreeCursorId(TreeClickTarget target) {
  switch (target) {
    case TreeClickTarget::Input: return kCursorInput;
    case TreeClickTarget::Output: return kCursorOutput;
    case TreeClickTarget::Both: break;
  }
  return kCursorBoth;
}

TreeKeys KeysAfterEvent(bool shiftBefore, bool ctrlBefore, uint32_t vk, bool keyUp, bool wasDown) {
  TreeKeys keys{shiftBefore, ctrlBefore, false};
  if (vk != kVkShift && vk != kVkControl) return keys;
  if (!keyUp && wasDown) return keys;  // auto-repeat
  (vk == kVkShift ? keys.shift : keys.ctrl) = !keyUp;
  keys.changes = true;
  return keys;
}

TreeCommandStates TreeCommands(TreeItemKind kind, int32_t hiddenMask) {
  TreeCommandStates states;
  states.explore = kind != TreeItemKind::None && kind != TreeItemKind::RegisteredRoot;
  states.add = kind == TreeItemKind::ShellFolder || kind == TreeItemKind::BelowRegistered;
  states.remove = kind == TreeItemKind::Registered;
  states.setFolders = states.add || states.remove;
  states.hiddenShown = HiddenFoldersShown(hiddenMask);
  return states;
}

bool HiddenFoldersShown(int32_t hiddenMask) {
  return (static_cast<uint32_t>(hiddenMask) & kAttributeHidden) == 0;
}

int32_t ToggledHiddenMask(int32_t hiddenMask) {
  return HiddenFoldersShown(hiddenMask) ? kHiddenMaskDefault : 0;
}

bool IsListedSubfolder(uint32_t attributes, std::u16string_view name, int32_t hiddenMask) {
  if ((attributes & kAttributeDirectory) == 0) return false;
  if ((attributes & kAttributeSystem) != 0) return false;
  if ((attributes & static_cast<uint32_t>(hiddenMask)) != 0) return false;
  return !name.empty() && name.front() != u'.';
}

bool IsHiddenShellChild(bool isFileSystemFolder, bool isDriveRoot, uint32_t attributes,
                        int32_t hiddenMask) {
  if (!isFileSystemFolder || isDriveRoot) return false;
  return (attributes & static_cast<uint32_t>(hiddenMask)) != 0;
}

RegisterResult AddRegisteredFolder(std::vector<std::u16string>& folders, std::u16string_view path) {
  const auto found = std::find(folders.begin(), folders.end(), path);
  if (found != folders.end()) {
    return {RegisterOutcome::AlreadyRegistered, static_cast<size_t>(found - folders.begin())};
  }
  if (path.empty() || folders.size() >= kMaxRegisteredFolders) return {RegisterOutcome::Full, 0};
  folders.emplace_back(path);
  return {RegisterOutcome::Added, folders.size() - 1};
}

bool RemoveRegisteredFolder(std::vector<std::u16string>& folders, std::u16string_view path) {
  const auto found = std::find(folders.begin(), folders.end(), path);
  if (found == folders.end()) return false;
  folders.erase(found);
  return true;
}

size_t DropMissingFolders(std::vector<std::u16string>& folders, FolderExists exists) {
  std::vector<std::u16string> kept;
  kept.reserve(folders.size());
  for (std::u16string& folder : folders) {
    if (exists(folder) && std::find(kept.begin(), kept.end(), folder) == kept.end()) kept.push_back(std::move(folder));
  }
  const size_t dropped = folders.size() - kept.size();
  folders = std::move(kept);
  return dropped;
}

}  // namespace pixlane::ui
