// The folder tree panel: the Desktop branch listed through the shell
// namespace (absolute PIDLs, the system small-icon list, share overlay,
// Explorer's order by the parent's CompareIDs), the "登録フォルダ" branch with
// its file-system subfolders, listing on expansion and discarding on
// collapse, selection into the folder boxes by mode and keys, registering,
// the owner-drawn context menu, the cursors and dragging a folder onto the
// boxes. The rules are in folder_tree_model.cpp.
#include "ui/folder_tree.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "ui/control_ids.h"
#include "ui/ui_app.h"

namespace pixlane::ui {
namespace {

// One reference to a COM interface, released with the holder.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef& other) : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  ComRef& operator=(ComRef other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComRef() {
    if (pointer_) pointer_->Release();
  }
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // The out-parameter of a call that hands over a new reference.
  void** Receive() {
    *this = ComRef();
    return reinterpret_cast<void**>(&pointer_);
  }

 private:
  T* pointer_ = nullptr;
};

struct PidlDeleter {
  void operator()(ITEMIDLIST* pidl) const { CoTaskMemFree(pidl); }
};
using Pidl = std::unique_ptr<ITEMIDLIST, PidlDeleter>;

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

struct MenuDeleter {
  void operator()(HMENU__* menu) const { DestroyMenu(menu); }
};
using MenuHandle = std::unique_ptr<HMENU__, MenuDeleter>;

// The record behind every item (its lParam); the tree owns it and it is
// freed on TVN_DELETEITEM.
struct TreeNode {
  bool isShell = false;
  // Shell items: the folder that lists the item (none for the Desktop) and
  // the item's absolute PIDL.
  ComRef<IShellFolder> parentFolder;
  Pidl pidl;
  // Path items: 0 "登録フォルダ", 1 a registered folder, 2 below one.
  int level = 0;
  std::u16string path;
};

struct TreeState {
  HWND panel = nullptr;
  HWND tree = nullptr;
  HTREEITEM desktop = nullptr;
  HTREEITEM registeredRoot = nullptr;
  ComRef<IShellFolder> desktopFolder;
  HCURSOR dragCursor = nullptr;
  HCURSOR targetCursors[3] = {};  // input, output, both
  // The context menu while it is open.
  HMENU menu = nullptr;
  HTREEITEM menuItem = nullptr;
  TreeMenuProbe probe = nullptr;
  bool probed = false;
  // The item shown as drop target (menu open or dragged).
  HTREEITEM highlighted = nullptr;
  // A folder being dragged.
  HTREEITEM dragItem = nullptr;
  bool dragging = false;
};
TreeState g_tree;

constexpr UINT_PTR kTreeSubclassId = 1;

struct MenuEntry {
  int command;
  const wchar_t* text;  // also the owner-drawn item's data
};
// Zero marks a separator.
constexpr MenuEntry kMenuEntries[] = {
    {kCmdExplore, L"エクスプローラで開く(&X)"},
    {0, nullptr},
    {kCmdRegister, L"登録フォルダに追加(&A)"},
    {kCmdUnregister, L"登録フォルダから除外(&D)"},
    {0, nullptr},
    {kCmdSetInput, L"入力フォルダ設定(&I)"},
    {kCmdSetOutput, L"出力フォルダ設定(&O)"},
    {kCmdSetBoth, L"入出力フォルダ同時設定(&S)"},
    {0, nullptr},
    {kCmdToggleHidden, L"隠し属性表示(&H)"},
};

TreeNode* NodeOf(HTREEITEM item) {
  if (!item || !g_tree.tree) return nullptr;
  TVITEMW data{};
  data.mask = TVIF_HANDLE | TVIF_PARAM;
  data.hItem = item;
  if (!TreeView_GetItem(g_tree.tree, &data)) return nullptr;
  return reinterpret_cast<TreeNode*>(data.lParam);
}

void SetHasChildren(HTREEITEM item, bool hasChildren) {
  TVITEMW data{};
  data.mask = TVIF_HANDLE | TVIF_CHILDREN;
  data.hItem = item;
  data.cChildren = hasChildren ? 1 : 0;
  TreeView_SetItem(g_tree.tree, &data);
}

bool HasChildButton(HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_HANDLE | TVIF_CHILDREN;
  data.hItem = item;
  return TreeView_GetItem(g_tree.tree, &data) && data.cChildren != 0;
}

struct ItemLook {
  std::wstring text;
  int image = 0;
  int openImage = 0;
};

// Name and icons as Explorer shows them; `source` is a path or, with
// SHGFI_PIDL in `kind`, a PIDL.
ItemLook LookOf(const void* source, UINT kind) {
  ItemLook look;
  SHFILEINFOW info{};
  const auto name = static_cast<const wchar_t*>(source);
  if (SHGetFileInfoW(name, 0, &info, sizeof(info), kind | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_DISPLAYNAME)) {
    look.text = info.szDisplayName;
    look.image = info.iIcon;
  }
  SHFILEINFOW open{};
  look.openImage = SHGetFileInfoW(name, 0, &open, sizeof(open), kind | SHGFI_SYSICONINDEX | SHGFI_SMALLICON |
                                                                     SHGFI_OPENICON)
                       ? open.iIcon
                       : look.image;
  return look;
}

HTREEITEM InsertNode(HTREEITEM parent, HTREEITEM after, const ItemLook& look, bool hasChildren, bool shared,
                     std::unique_ptr<TreeNode> node) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = after;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM | TVIF_STATE;
  insert.item.pszText = const_cast<wchar_t*>(look.text.c_str());
  insert.item.iImage = look.image;
  insert.item.iSelectedImage = look.openImage;
  insert.item.cChildren = hasChildren ? 1 : 0;
  insert.item.lParam = reinterpret_cast<LPARAM>(node.get());
  insert.item.stateMask = TVIS_OVERLAYMASK;
  // Overlay 1 of the system image list is the share hand.
  insert.item.state = shared ? INDEXTOOVERLAYMASK(1) : 0;
  HTREEITEM item = TreeView_InsertItem(g_tree.tree, &insert);
  if (item) node.release();  // the tree owns it now
  return item;
}

// Calls `each` for every subfolder of `folder` the registered branch lists;
// stops early when `each` returns false. Returns how many were seen.
template <class Each>
size_t ForEachListedSubfolder(const std::u16string& folder, Each each) {
  WIN32_FIND_DATAW found{};
  FindHandle find(FindFirstFileW(W(JoinPath(folder, u"*")), &found));
  if (!find.valid()) return 0;
  size_t count = 0;
  do {
    const std::u16string name = U16(found.cFileName);
    if (!IsListedSubfolder(found.dwFileAttributes, name, g_app.window.Hidden)) continue;
    const std::u16string path = JoinPath(folder, name);
    if (path.size() >= MAX_PATH) continue;  // no folder box could hold it
    ++count;
    if (!each(path)) break;
  } while (FindNextFileW(find.get(), &found));
  return count;
}

bool HasListedSubfolder(const std::u16string& folder) {
  return ForEachListedSubfolder(folder, [](const std::u16string&) { return false; }) > 0;
}

HTREEITEM InsertPathItem(HTREEITEM parent, const std::u16string& path, int level) {
  ItemLook look = LookOf(W(path), 0);
  if (look.text.empty()) look.text = W(path);
  auto node = std::make_unique<TreeNode>();
  node->level = level;
  node->path = path;
  return InsertNode(parent, TVI_SORT, look, HasListedSubfolder(path), false, std::move(node));
}

size_t ListRegisteredFolders(HTREEITEM root) {
  // A registered folder deleted meanwhile leaves the list for good (so
  // does a repeated entry).
  DropMissingFolders(g_app.window.FolderList, IsDirectory);
  size_t inserted = 0;
  for (const std::u16string& folder : g_app.window.FolderList) {
    if (InsertPathItem(root, folder, 1)) ++inserted;
  }
  return inserted;
}

size_t ListSubfolders(HTREEITEM item, const std::u16string& folder) {
  size_t inserted = 0;
  ForEachListedSubfolder(folder, [item, &inserted](const std::u16string& path) {
    if (InsertPathItem(item, path, 2)) ++inserted;
    return true;
  });
  return inserted;
}

int CALLBACK CompareShellItems(LPARAM first, LPARAM second, LPARAM folder) {
  const auto* a = reinterpret_cast<const TreeNode*>(first);
  const auto* b = reinterpret_cast<const TreeNode*>(second);
  const HRESULT result =
      reinterpret_cast<IShellFolder*>(folder)->CompareIDs(0, ILFindLastID(a->pidl.get()), ILFindLastID(b->pidl.get()));
  return FAILED(result) ? 0 : static_cast<short>(HRESULT_CODE(result));
}

size_t ListShellChildren(HTREEITEM item, const TreeNode& node) {
  ComRef<IShellFolder> folder;
  if (ILIsEmpty(node.pidl.get())) {
    folder = g_tree.desktopFolder;
  } else if (FAILED(g_tree.desktopFolder->BindToObject(node.pidl.get(), nullptr, IID_IShellFolder,
                                                        folder.Receive()))) {
    return 0;
  }
  if (!folder) return 0;
  ComRef<IEnumIDList> children;
  if (folder->EnumObjects(g_app.main, SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN,
                          reinterpret_cast<IEnumIDList**>(children.Receive())) != S_OK ||
      !children) {
    return 0;
  }
  size_t inserted = 0;
  for (;;) {
    LPITEMIDLIST raw = nullptr;
    if (children->Next(1, &raw, nullptr) != S_OK || !raw) break;
    const Pidl child(raw);
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_SHARE | SFGAO_FILESYSTEM;
    LPCITEMIDLIST list[] = {child.get()};
    if (FAILED(folder->GetAttributesOf(1, list, &attributes)) || !(attributes & SFGAO_FOLDER)) continue;
    auto childNode = std::make_unique<TreeNode>();
    childNode->isShell = true;
    childNode->parentFolder = folder;
    childNode->pidl.reset(ILCombine(node.pidl.get(), child.get()));
    if (!childNode->pidl) continue;
    if (attributes & SFGAO_FILESYSTEM) {
      wchar_t path[MAX_PATH] = {};
      if (SHGetPathFromIDListW(childNode->pidl.get(), path)) {
        const DWORD fileAttributes = GetFileAttributesW(path);
        if (fileAttributes != INVALID_FILE_ATTRIBUTES &&
            IsHiddenShellChild(true, PathIsRootW(path) != FALSE, fileAttributes, g_app.window.Hidden)) {
          continue;
        }
      }
    }
    const ItemLook look = LookOf(childNode->pidl.get(), SHGFI_PIDL);
    if (InsertNode(item, TVI_LAST, look, (attributes & SFGAO_HASSUBFOLDER) != 0, (attributes & SFGAO_SHARE) != 0,
                   std::move(childNode))) {
      ++inserted;
    }
  }
  if (inserted > 1) {
    TVSORTCB sort{};
    sort.hParent = item;
    sort.lpfnCompare = CompareShellItems;
    sort.lParam = reinterpret_cast<LPARAM>(folder.get());
    TreeView_SortChildrenCB(g_tree.tree, &sort, FALSE);
  }
  return inserted;
}

// Lists the children of an item that has none listed; an item that gets
// none loses its expand button.
void ListChildren(HTREEITEM item) {
  const TreeNode* node = NodeOf(item);
  if (!node || TreeView_GetChild(g_tree.tree, item)) return;
  size_t inserted = 0;
  if (node->isShell) {
    inserted = ListShellChildren(item, *node);
  } else if (node->level == 0) {
    inserted = ListRegisteredFolders(item);
  } else {
    inserted = ListSubfolders(item, node->path);
  }
  if (inserted == 0) SetHasChildren(item, false);
}

bool IsDescendant(HTREEITEM item, HTREEITEM ancestor) {
  for (HTREEITEM parent = item ? TreeView_GetParent(g_tree.tree, item) : nullptr; parent;
       parent = TreeView_GetParent(g_tree.tree, parent)) {
    if (parent == ancestor) return true;
  }
  return false;
}

// A collapse discards the children so that the next expansion lists the
// folder afresh. A selection inside moves to the collapsed item first
// (which sets no folder: see OnSelectionChanged).
void DiscardChildren(HTREEITEM item) {
  if (!TreeView_GetChild(g_tree.tree, item)) return;
  if (IsDescendant(TreeView_GetSelection(g_tree.tree), item)) TreeView_SelectItem(g_tree.tree, item);
  TreeView_Expand(g_tree.tree, item, TVE_COLLAPSE | TVE_COLLAPSERESET);
  SetHasChildren(item, true);
}

HTREEITEM FindRegisteredItem(const std::u16string& path) {
  for (HTREEITEM item = TreeView_GetChild(g_tree.tree, g_tree.registeredRoot); item;
       item = TreeView_GetNextSibling(g_tree.tree, item)) {
    const TreeNode* node = NodeOf(item);
    if (node && node->path == path) return item;
  }
  return nullptr;
}

// Shows `item` (or nothing) as the drop target. Wine's tree view ignores
// TVGN_DROPHILITE for the selected item, so the state bit it draws from is
// set as well.
void SetDropHighlight(HTREEITEM item) {
  if (g_tree.highlighted && g_tree.highlighted != item) {
    TreeView_SetItemState(g_tree.tree, g_tree.highlighted, 0, TVIS_DROPHILITED);
  }
  TreeView_SelectDropTarget(g_tree.tree, item);
  if (item) TreeView_SetItemState(g_tree.tree, item, TVIS_DROPHILITED, TVIS_DROPHILITED);
  g_tree.highlighted = item;
}

void UpdateTreeButtons() {
  const TreeCommandStates states =
      TreeCommands(TreeItemKindOf(TreeView_GetSelection(g_tree.tree)), g_app.window.Hidden);
  EnableWindow(GetDlgItem(g_tree.panel, kIdTreeAdd), states.add ? TRUE : FALSE);
  EnableWindow(GetDlgItem(g_tree.panel, kIdTreeRemove), states.remove ? TRUE : FALSE);
}

void ApplyFolder(const std::u16string& folder, TreeClickTarget target) {
  if (SetsInput(target)) SetInputFolder(folder);
  if (SetsOutput(target)) SetWindowTextW(g_app.outputBox, W(folder));
}

bool KeyHeld(int key) { return GetKeyState(key) < 0; }

TreeClickTarget CurrentClickTarget() {
  return ClickTarget(g_app.window.TvIOSet, KeyHeld(VK_SHIFT), KeyHeld(VK_CONTROL));
}

HCURSOR CursorFor(TreeClickTarget target) {
  return g_tree.targetCursors[static_cast<int>(target)];
}

// Only the user's own selections (mouse, keyboard) set folders: a
// selection the tree moves by itself (a collapse, a deleted item) or one
// the program makes (after registering) leaves the folder boxes alone.
void OnSelectionChanged(const NMTREEVIEWW& change) {
  HTREEITEM item = change.itemNew.hItem;
  if (item) TreeView_EnsureVisible(g_tree.tree, item);
  UpdateTreeButtons();
  if (!item || (change.action != TVC_BYMOUSE && change.action != TVC_BYKEYBOARD)) return;
  if (const std::optional<std::u16string> folder = SelectedFolderPath(item)) {
    ApplyFolder(*folder, CurrentClickTarget());
  }
}

void RegisterAndSelect(HTREEITEM from) {
  const std::optional<std::u16string> folder = SelectedFolderPath(from);
  if (!folder) return;
  if (HTREEITEM item = RegisterFolder(*folder)) TreeView_SelectItem(g_tree.tree, item);
}

bool ExploreItem(HTREEITEM item) {
  const TreeNode* node = NodeOf(item);
  if (!node || (!node->isShell && node->level == 0)) return false;
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof(execute);
  execute.hwnd = g_app.main;
  execute.lpVerb = L"explore";
  execute.nShow = SW_SHOWNORMAL;
  // The failure is reported by the program's own message 1.
  execute.fMask = SEE_MASK_FLAG_NO_UI;
  if (node->isShell) {
    execute.fMask |= SEE_MASK_IDLIST;
    execute.lpIDList = node->pidl.get();
  } else {
    execute.lpFile = W(node->path);
  }
  return ShellExecuteExW(&execute) != FALSE;
}

// The point under which the menu opens for a keyboard request: the item's
// label, or the tree's corner.
POINT MenuPointForKeyboard(HTREEITEM item) {
  RECT rect{};
  POINT point{0, 0};
  if (item && TreeView_GetItemRect(g_tree.tree, item, &rect, TRUE)) point = {rect.left, rect.bottom};
  ClientToScreen(g_tree.tree, &point);
  return point;
}

HTREEITEM ItemAtScreenPoint(POINT screen) {
  TVHITTESTINFO hit{};
  hit.pt = screen;
  ScreenToClient(g_tree.tree, &hit.pt);
  HTREEITEM item = TreeView_HitTest(g_tree.tree, &hit);
  return (hit.flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON | TVHT_ONITEMINDENT | TVHT_ONITEMRIGHT)) ? item : nullptr;
}

void ShowTreeMenu(HTREEITEM item, POINT screen) {
  MenuHandle menu(CreatePopupMenu());
  if (!menu) return;
  for (const MenuEntry& entry : kMenuEntries) {
    if (entry.command == 0) {
      AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    } else {
      AppendOwnerDrawnMenuItem(menu.get(), static_cast<UINT>(entry.command), entry.text);
    }
  }
  g_tree.menu = menu.get();
  g_tree.menuItem = item;
  g_tree.probed = false;
  SetDropHighlight(item);
  const int command =
      static_cast<int>(TrackPopupMenuEx(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NOANIMATION | TPM_LEFTALIGN,
                                        screen.x, screen.y, g_tree.panel, nullptr));
  SetDropHighlight(nullptr);
  g_tree.menu = nullptr;
  g_tree.menuItem = nullptr;
  if (command != 0) RunTreeCommand(item, command);
}

void InitTreeMenu(HMENU menu) {
  const TreeCommandStates states = TreeCommands(TreeItemKindOf(g_tree.menuItem), g_app.window.Hidden);
  auto enable = [menu](int command, bool on) {
    EnableMenuItem(menu, static_cast<UINT>(command), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  };
  enable(kCmdExplore, states.explore);
  enable(kCmdRegister, states.add);
  enable(kCmdUnregister, states.remove);
  enable(kCmdSetInput, states.setFolders);
  enable(kCmdSetOutput, states.setFolders);
  enable(kCmdSetBoth, states.setFolders);
  CheckMenuItem(menu, kCmdToggleHidden, MF_BYCOMMAND | (states.hiddenShown ? MF_CHECKED : MF_UNCHECKED));
}

// Owner-drawn items have no mnemonics of their own: the letter after "&"
// in an item's text chooses it.
LRESULT MenuMnemonic(HMENU menu, wchar_t letter) {
  const int count = GetMenuItemCount(menu);
  const auto upper = [](wchar_t c) {
    wchar_t text[2] = {c, L'\0'};
    CharUpperBuffW(text, 1);
    return text[0];
  };
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA | MIIM_STATE | MIIM_FTYPE;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info) || !(info.fType & MFT_OWNERDRAW)) continue;
    const auto* text = reinterpret_cast<const wchar_t*>(info.dwItemData);
    const wchar_t* mark = text ? wcschr(text, L'&') : nullptr;
    if (!mark || upper(mark[1]) != upper(letter)) continue;
    if (info.fState & MFS_DISABLED) return MAKELRESULT(0, MNC_IGNORE);
    return MAKELRESULT(static_cast<WORD>(i), MNC_EXECUTE);
  }
  return MAKELRESULT(0, MNC_IGNORE);
}

void BeginDrag(HTREEITEM item) {
  g_tree.dragItem = item;
  g_tree.dragging = true;
  SetDropHighlight(item);
  SetCursor(g_tree.dragCursor);
  SetCapture(g_tree.panel);
}

void EndDrag(bool drop, POINT panelPoint) {
  if (!g_tree.dragging) return;
  g_tree.dragging = false;  // before ReleaseCapture, which reports the capture change
  HTREEITEM item = g_tree.dragItem;
  g_tree.dragItem = nullptr;
  if (GetCapture() == g_tree.panel) ReleaseCapture();
  SetDropHighlight(nullptr);
  if (!drop) return;
  const std::optional<std::u16string> folder = SelectedFolderPath(item);
  if (!folder) return;
  POINT screen = panelPoint;
  ClientToScreen(g_tree.panel, &screen);
  std::vector<int> chain;
  for (HWND w = WindowFromPoint(screen); w && w != g_app.main; w = GetParent(w)) chain.push_back(GetDlgCtrlID(w));
  // Only the folder boxes and fields take a dragged folder; the tab pages
  // (which convert dropped files) and the tree itself do not.
  const DropTarget target = RouteDrop(chain, false);
  if (target != DropTarget::FolderTree) DropFolderOn(target, *folder);
}

LRESULT CALLBACK TreeSubclassProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && !g_tree.dragging) {
        SetCursor(CursorFor(CurrentClickTarget()));
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(tree, TreeSubclassProc, kTreeSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(tree, message, wParam, lParam);
}

LRESULT OnTreeNotify(const NMHDR& header, LPARAM lParam) {
  auto* change = reinterpret_cast<NMTREEVIEWW*>(lParam);
  switch (header.code) {
    case TVN_ITEMEXPANDINGW: {
      HTREEITEM item = change->itemNew.hItem;
      const UINT action = change->action & (TVE_EXPAND | TVE_COLLAPSE);
      if (action == TVE_COLLAPSE) {
        DiscardChildren(item);
      } else if (action == TVE_EXPAND) {
        ListChildren(item);
      }
      return FALSE;
    }
    case TVN_SELCHANGEDW:
      OnSelectionChanged(*change);
      return 0;
    case TVN_DELETEITEMW:
      delete reinterpret_cast<TreeNode*>(change->itemOld.lParam);
      return 0;
    case TVN_BEGINDRAGW:
      BeginDrag(change->itemNew.hItem);
      return 0;
    default:
      return 0;
  }
}

void CreateTreeControls(HWND panel) {
  const wchar_t* modes[] = {L"入力", L"出力", L"同時設定"};
  const wchar_t* tips[] = {L"選択時に入力フォルダ設定", L"選択時に出力フォルダ設定",
                           L"選択時に入出力フォルダ同時設定"};
  const int widths[] = {48, 48, 76};
  int x = 4;
  for (int i = 0; i < 3; ++i) {
    HWND radio = CreateControl(panel, WC_BUTTONW, modes[i], BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0), x, 3,
                               widths[i], 16, kIdTreeModeInput + i);
    SendMessageW(radio, BM_SETCHECK, g_app.window.TvIOSet == i ? BST_CHECKED : BST_UNCHECKED, 0);
    AddTooltip(radio, tips[i]);
    x += widths[i] + 2;
  }
  g_tree.tree = CreateControl(panel, WC_TREEVIEWW, L"",
                              TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP, 0,
                              22, 180, 452, kIdFolderTree, WS_EX_STATICEDGE);
  AddTooltip(g_tree.tree, L"Shift + クリック → 入力フォルダ\nCtrl + クリック → 出力フォルダ\n右クリックでメニュー表示");
  SetWindowSubclass(g_tree.tree, TreeSubclassProc, kTreeSubclassId, 0);
  CreateControl(panel, WC_STATICW, L"登録フォルダ", SS_LEFT, 4, 480, 70, 14, kIdTreeLabel);
  AddTooltip(CreateControl(panel, WC_BUTTONW, L"追加", BS_PUSHBUTTON, 78, 476, 48, 22, kIdTreeAdd),
             L"登録フォルダに追加(&A)");
  AddTooltip(CreateControl(panel, WC_BUTTONW, L"除外", BS_PUSHBUTTON, 128, 476, 48, 22, kIdTreeRemove),
             L"登録フォルダから除外(&D)");
}

void LoadTreeCursors() {
  g_tree.dragCursor = LoadCursorW(g_app.instance, MAKEINTRESOURCEW(kCursorDrag));
  const TreeClickTarget targets[] = {TreeClickTarget::Input, TreeClickTarget::Output, TreeClickTarget::Both};
  for (TreeClickTarget target : targets) {
    HCURSOR cursor = LoadCursorW(g_app.instance, MAKEINTRESOURCEW(TreeCursorId(target)));
    g_tree.targetCursors[static_cast<int>(target)] = cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW);
  }
  if (!g_tree.dragCursor) g_tree.dragCursor = LoadCursorW(nullptr, IDC_ARROW);
}

// The icon of the favourites folder for "登録フォルダ" (a plain folder icon
// where there is none).
ItemLook RegisteredRootLook() {
  ItemLook look;
  PIDLIST_ABSOLUTE raw = nullptr;
  if (SUCCEEDED(SHGetFolderLocation(nullptr, CSIDL_FAVORITES, nullptr, 0, &raw)) && raw) {
    const Pidl favourites(raw);
    look = LookOf(favourites.get(), SHGFI_PIDL);
  } else {
    SHFILEINFOW info{};
    SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    look.image = info.iIcon;
    look.openImage = info.iIcon;
  }
  look.text = L"登録フォルダ";
  return look;
}

// Desktop branch first, then "登録フォルダ", which is selected; the Desktop
// expands when "DTExpand" is on, "登録フォルダ" always.
void BuildFolderTree() {
  SHGetDesktopFolder(reinterpret_cast<IShellFolder**>(g_tree.desktopFolder.Receive()));
  PIDLIST_ABSOLUTE raw = nullptr;
  if (g_tree.desktopFolder && SUCCEEDED(SHGetFolderLocation(nullptr, CSIDL_DESKTOP, nullptr, 0, &raw)) && raw) {
    auto node = std::make_unique<TreeNode>();
    node->isShell = true;
    node->pidl.reset(raw);
    SHFILEINFOW info{};
    const auto images = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(reinterpret_cast<const wchar_t*>(node->pidl.get()), 0, &info, sizeof(info),
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    // The system image list is shared by every program: never destroyed.
    if (images) TreeView_SetImageList(g_tree.tree, images, TVSIL_NORMAL);
    const ItemLook look = LookOf(node->pidl.get(), SHGFI_PIDL);
    g_tree.desktop = InsertNode(TVI_ROOT, TVI_LAST, look, true, false, std::move(node));
  }
  auto root = std::make_unique<TreeNode>();
  root->level = 0;
  g_tree.registeredRoot = InsertNode(TVI_ROOT, TVI_LAST, RegisteredRootLook(), !g_app.window.FolderList.empty(),
                                     false, std::move(root));
  TreeView_SelectItem(g_tree.tree, g_tree.registeredRoot);
  if (g_tree.desktop && g_app.window.DTExpand != 0) ExpandTreeItem(g_tree.desktop);
  ExpandTreeItem(g_tree.registeredRoot);
  UpdateTreeButtons();
}

}  // namespace

void CreateFolderTreePanel(HWND main) {
  g_tree.panel = CreateWindowExW(0, kTreeBaseClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                 Scaled(180), Scaled(kMainWindowHeight), main,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdTreePanel)), g_app.instance, nullptr);
  g_app.treePanel = g_tree.panel;
  if (!g_tree.panel) return;
  LoadTreeCursors();
  CreateTreeControls(g_tree.panel);
  if (g_tree.tree) BuildFolderTree();
}

HWND FolderTreeWindow() { return g_tree.tree; }
HTREEITEM DesktopTreeItem() { return g_tree.desktop; }
HTREEITEM RegisteredRootItem() { return g_tree.registeredRoot; }
void SetTreeMenuProbe(TreeMenuProbe probe) { g_tree.probe = probe; }

TreeItemKind TreeItemKindOf(HTREEITEM item) {
  const TreeNode* node = NodeOf(item);
  if (!node) return TreeItemKind::None;
  if (node->isShell) return SelectedFolderPath(item) ? TreeItemKind::ShellFolder : TreeItemKind::ShellVirtual;
  switch (node->level) {
    case 0: return TreeItemKind::RegisteredRoot;
    case 1: return TreeItemKind::Registered;
    default: return TreeItemKind::BelowRegistered;
  }
}

void ExpandTreeItem(HTREEITEM item) {
  if (!item) return;
  ListChildren(item);
  TreeView_Expand(g_tree.tree, item, TVE_EXPAND);
}

std::optional<std::u16string> SelectedFolderPath(HTREEITEM item) {
  const TreeNode* node = NodeOf(item);
  if (!node) return std::nullopt;
  if (!node->isShell) {
    if (node->level == 0) return std::nullopt;
    return node->path;
  }
  wchar_t path[MAX_PATH] = {};
  // A shell item that is a file (a .zip the shell browses) is no folder.
  if (!SHGetPathFromIDListW(node->pidl.get(), path) || !IsDirectory(U16(path))) return std::nullopt;
  // Written as the folder boxes write it (Wine ends some with "\").
  return CleanFolderText(U16(path));
}

HTREEITEM RegisterFolder(const std::u16string& path) {
  if (!g_tree.tree || !IsDirectory(path)) return nullptr;
  HTREEITEM root = g_tree.registeredRoot;
  ExpandTreeItem(root);
  const bool wasEmpty = g_app.window.FolderList.empty();
  const RegisterResult result = AddRegisteredFolder(g_app.window.FolderList, path);
  switch (result.outcome) {
    case RegisterOutcome::Full: return nullptr;
    case RegisterOutcome::AlreadyRegistered:
      if (HTREEITEM item = FindRegisteredItem(path)) return item;
      return InsertPathItem(root, path, 1);
    case RegisterOutcome::Added: break;
  }
  if (wasEmpty || !TreeView_GetChild(g_tree.tree, root)) {
    // The root had nothing to show: its first folder gives it the button
    // and the expansion lists it.
    SetHasChildren(root, true);
    ExpandTreeItem(root);
    return FindRegisteredItem(path);
  }
  return InsertPathItem(root, path, 1);
}

bool UnregisterFolder(HTREEITEM item) {
  const TreeNode* node = NodeOf(item);
  if (!node || node->isShell || node->level != 1) return false;
  RemoveRegisteredFolder(g_app.window.FolderList, node->path);
  TreeView_SelectItem(g_tree.tree, nullptr);
  TreeView_DeleteItem(g_tree.tree, item);
  if (g_app.window.FolderList.empty()) SetHasChildren(g_tree.registeredRoot, false);
  UpdateTreeButtons();
  return true;
}

void MarkExpandable(std::u16string_view createdFolder) {
  if (!g_tree.tree) return;
  std::u16string parent = CleanFolderText(FolderPart(CleanFolderText(createdFolder)));
  if (parent.size() == 2 && parent[1] == u':') parent += u'\\';  // a drive root, as the shell writes it
  if (parent.empty()) return;
  for (HTREEITEM item = TreeView_GetRoot(g_tree.tree); item; item = TreeView_GetNextVisible(g_tree.tree, item)) {
    if (TreeView_GetChild(g_tree.tree, item) || HasChildButton(item)) continue;
    const std::optional<std::u16string> folder = SelectedFolderPath(item);
    if (!folder) continue;
    const std::u16string cleaned = CleanFolderText(*folder);
    if (CompareStringOrdinal(W(cleaned), static_cast<int>(cleaned.size()), W(parent), static_cast<int>(parent.size()),
                             TRUE) == CSTR_EQUAL) {
      SetHasChildren(item, true);
    }
  }
}

void SetHiddenFoldersShown(bool shown) {
  g_app.window.Hidden = shown ? 0 : kHiddenMaskDefault;
  SetCheck(kIdHidden, shown);
  // The mask also hides files from the input list.
  FillInputListView(g_app.listedFolder);
}

void RunTreeCommand(HTREEITEM item, int command) {
  switch (command) {
    case kCmdExplore:
      if (!ExploreItem(item)) ShowErrorMessage(ErrorMessage::ProgramStartFailed);
      break;
    case kCmdRegister: RegisterAndSelect(item); break;
    case kCmdUnregister: UnregisterFolder(item); break;
    case kCmdSetInput:
    case kCmdSetOutput:
    case kCmdSetBoth:
      if (const std::optional<std::u16string> folder = SelectedFolderPath(item)) {
        ApplyFolder(*folder, command == kCmdSetInput    ? TreeClickTarget::Input
                             : command == kCmdSetOutput ? TreeClickTarget::Output
                                                        : TreeClickTarget::Both);
      }
      break;
    case kCmdToggleHidden: SetHiddenFoldersShown(!HiddenFoldersShown(g_app.window.Hidden)); break;
    default: break;
  }
}

void FolderTreeKeyEvent(WPARAM virtualKey, LPARAM flags) {
  if (!g_tree.tree || g_tree.menu || g_tree.dragging) return;
  const bool keyUp = (static_cast<uint32_t>(flags) & 0x80000000u) != 0;
  const bool wasDown = (static_cast<uint32_t>(flags) & 0x40000000u) != 0;
  const TreeKeys keys =
      KeysAfterEvent(KeyHeld(VK_SHIFT), KeyHeld(VK_CONTROL), static_cast<uint32_t>(virtualKey), keyUp, wasDown);
  if (!keys.changes) return;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof(thread);
  if (GetGUIThreadInfo(GetCurrentThreadId(), &thread) && (thread.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE))) {
    return;
  }
  POINT point{};
  if (!GetCursorPos(&point) || WindowFromPoint(point) != g_tree.tree) return;
  SetCursor(CursorFor(ClickTarget(g_app.window.TvIOSet, keys.shift, keys.ctrl)));
}

LRESULT CALLBACK FolderTreePanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        const int id = LOWORD(wParam);
        if (id >= kIdTreeModeInput && id <= kIdTreeModeBoth &&
            SendMessageW(reinterpret_cast<HWND>(lParam), BM_GETCHECK, 0, 0) == BST_CHECKED) {
          g_app.window.TvIOSet = id - kIdTreeModeInput;
        } else if (id == kIdTreeAdd) {
          RegisterAndSelect(TreeView_GetSelection(g_tree.tree));
        } else if (id == kIdTreeRemove) {
          UnregisterFolder(TreeView_GetSelection(g_tree.tree));
        }
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == g_tree.tree) return OnTreeNotify(*header, lParam);
      break;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == g_tree.tree) {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        HTREEITEM item = nullptr;
        if (lParam == -1) {
          item = TreeView_GetSelection(g_tree.tree);
          point = MenuPointForKeyboard(item);
        } else {
          item = ItemAtScreenPoint(point);
        }
        ShowTreeMenu(item, point);
        return 0;
      }
      break;
    case WM_INITMENUPOPUP:
      if (reinterpret_cast<HMENU>(wParam) == g_tree.menu) {
        InitTreeMenu(g_tree.menu);
        return 0;
      }
      break;
    case WM_ENTERIDLE:
      if (wParam == MSGF_MENU && g_tree.menu && g_tree.probe && !g_tree.probed) {
        g_tree.probed = true;
        g_tree.probe(g_tree.menu, g_tree.menuItem);
      }
      return 0;
    case WM_MENUCHAR:
      if (reinterpret_cast<HMENU>(lParam) == g_tree.menu) {
        return MenuMnemonic(g_tree.menu, static_cast<wchar_t>(LOWORD(wParam)));
      }
      break;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
      // The owner-drawn menu items are measured and drawn like every menu
      // of the main window.
      return SendMessageW(g_app.main, message, wParam, lParam);
    case WM_LBUTTONUP:
      if (g_tree.dragging) {
        EndDrag(true, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
      }
      break;
    case WM_CAPTURECHANGED:
      if (g_tree.dragging) EndDrag(false, {0, 0});
      return 0;
    case WM_NCDESTROY:
      g_tree = TreeState();
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace pixlane::ui
