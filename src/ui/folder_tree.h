// The folder tree panel of the main window: the shell namespace from the
// Desktop down and the registered folders ("登録フォルダ"), the click mode
// radio buttons, "追加"/"除外", the context menu, the cursors and dragging a
// folder onto the folder boxes and fields. UI thread only; COM must be
// initialised (apartment-threaded) before the panel is created.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <string_view>

#include "ui/folder_tree_model.h"

namespace pixlane::ui {

// Creates the panel (class "Pixlane_trbase_class") with its controls and
// builds the tree.
void CreateFolderTreePanel(HWND main);
LRESULT CALLBACK FolderTreePanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers an existing folder and returns its "登録フォルダ" item: the
// existing item when the path (compared exactly) is registered already;
// null for a path that is no folder and when 100 folders are registered.
HTREEITEM RegisterFolder(const std::u16string& path);
// Unregisters a registered folder (level-1 item); false for other items.
bool UnregisterFolder(HTREEITEM item);
// The file-system folder of an item; nothing for "登録フォルダ" and for
// shell items that are no folder on disk (Control Panel, ...).
std::optional<std::u16string> SelectedFolderPath(HTREEITEM item);
// After the batch created `createdFolder`: every visible item showing its
// parent folder that has no children yet gets the expand button.
void MarkExpandable(std::u16string_view createdFolder);
// "隠し属性表示" and the box "隠し属性のファイルとフォルダを表示": sets the
// mask ("Hidden" 0 or 2), keeps the box in step and lists the input folder
// again. The tree applies the mask to folders listed from then on.
void SetHiddenFoldersShown(bool shown);
// The thread keyboard hook's view of a key event (HC_ACTION only).
void FolderTreeKeyEvent(WPARAM virtualKey, LPARAM flags);

// For the test mode: the tree, its two top-level items, an item's kind,
// listing and collapsing as the user's clicks do, the menu commands, and a
// probe called once while the context menu is open.
HWND FolderTreeWindow();
HTREEITEM DesktopTreeItem();
HTREEITEM RegisteredRootItem();
TreeItemKind TreeItemKindOf(HTREEITEM item);
void ExpandTreeItem(HTREEITEM item);
void RunTreeCommand(HTREEITEM item, int command);
using TreeMenuProbe = void (*)(HMENU menu, HTREEITEM item);
void SetTreeMenuProbe(TreeMenuProbe probe);

}  // namespace pixlane::ui
