// The folder tree's scenarios of the in-process test mode: "tree" drives
// the tree as a user does (mouse clicks and keys sent to the tree view,
// the context menu through its own message loop, a drag released over the
// boxes) on the scratch folders of run_ui_test.sh; "tree-shot" opens the
// context menu on a registered folder for scripts/screenshots.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "ui/control_ids.h"
#include "ui/folder_tree.h"
#include "ui/ui_app.h"
#include "ui/ui_self_test.h"

namespace pixlane::ui {
namespace {

using namespace self_test;

std::string Utf8(const std::u16string& text) { return Utf16ToUtf8(text); }
HWND Tree() { return FolderTreeWindow(); }

std::u16string ItemText(HTREEITEM item) {
  wchar_t buffer[MAX_PATH] = {};
  TVITEMW data{};
  data.mask = TVIF_HANDLE | TVIF_TEXT;
  data.hItem = item;
  data.pszText = buffer;
  data.cchTextMax = MAX_PATH;
  TreeView_GetItem(Tree(), &data);
  return U16(buffer);
}

bool HasButton(HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_HANDLE | TVIF_CHILDREN;
  data.hItem = item;
  return TreeView_GetItem(Tree(), &data) && data.cChildren != 0;
}

// Drawn as drop target (the state bit the tree draws from).
bool IsDropHighlighted(HTREEITEM item) {
  return (TreeView_GetItemState(Tree(), item, TVIS_DROPHILITED) & TVIS_DROPHILITED) != 0;
}

bool NothingDropHighlighted() {
  HWND tree = Tree();
  for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextVisible(tree, item)) {
    if (IsDropHighlighted(item)) return false;
  }
  return TreeView_GetDropHilight(tree) == nullptr;
}

bool IsExpanded(HTREEITEM item) {
  return (TreeView_GetItemState(Tree(), item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

std::u16string ChildNames(HTREEITEM parent) {
  std::u16string names;
  for (HTREEITEM item = TreeView_GetChild(Tree(), parent); item; item = TreeView_GetNextSibling(Tree(), item)) {
    names += ItemText(item) + u",";
  }
  return names;
}

HTREEITEM ChildNamed(HTREEITEM parent, std::u16string_view name) {
  for (HTREEITEM item = TreeView_GetChild(Tree(), parent); item; item = TreeView_GetNextSibling(Tree(), item)) {
    if (ItemText(item) == name) return item;
  }
  return nullptr;
}

HTREEITEM ChildWithPath(HTREEITEM parent, const std::u16string& path) {
  for (HTREEITEM item = TreeView_GetChild(Tree(), parent); item; item = TreeView_GetNextSibling(Tree(), item)) {
    const auto folder = SelectedFolderPath(item);
    if (folder && EqualsIgnoreCaseAscii(*folder, path)) return item;
  }
  return nullptr;
}

size_t ChildCount(HTREEITEM parent) {
  size_t count = 0;
  for (HTREEITEM item = TreeView_GetChild(Tree(), parent); item; item = TreeView_GetNextSibling(Tree(), item)) {
    ++count;
  }
  return count;
}

POINT ItemPoint(HTREEITEM item) {
  TreeView_EnsureVisible(Tree(), item);
  RECT rect{};
  TreeView_GetItemRect(Tree(), item, &rect, TRUE);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// A left click on the item's label: the tree tracks the mouse until the
// button is released (queued first) and selects the item by mouse.
void UserClick(HTREEITEM item) {
  const POINT point = ItemPoint(item);
  PostMessageW(Tree(), WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  SendMessageW(Tree(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
}

// The numeric-pad + and - on the selected item, as the user expands and
// collapses it with the keyboard.
void UserToggle(HTREEITEM item, bool expand) {
  TreeView_SelectItem(Tree(), item);
  SendMessageW(Tree(), WM_KEYDOWN, expand ? VK_ADD : VK_SUBTRACT, 0);
}

void HoldKeys(bool shift, bool ctrl) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = keys[VK_LSHIFT] = shift ? 0x80 : 0;
  keys[VK_CONTROL] = keys[VK_LCONTROL] = ctrl ? 0x80 : 0;
  SetKeyboardState(keys);
}

std::u16string InputBox() { return WindowText(g_app.inputBox); }
std::u16string OutputBox() { return WindowText(g_app.outputBox); }

void SetBoxes(const std::u16string& input, const std::u16string& output) {
  SetInputFolder(input);
  SetWindowTextW(g_app.outputBox, W(output));
}

bool ButtonEnabled(int id) { return IsWindowEnabled(GetDlgItem(g_app.treePanel, id)) != FALSE; }

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// What the context menu showed while it was open.
struct MenuSeen {
  bool seen = false;
  HTREEITEM item = nullptr;
  bool dropHighlighted = false;
  bool enabled[7] = {};
  bool hiddenChecked = false;
  wchar_t choose = 0;  // a mnemonic letter typed into the menu, or 0 to close it
  bool thenEscape = false;  // Esc after the letter (which leaves the menu open)
};
MenuSeen g_menu;
constexpr int kMenuCommands[] = {kCmdExplore, kCmdRegister, kCmdUnregister, kCmdSetInput,
                                 kCmdSetOutput, kCmdSetBoth, kCmdToggleHidden};

void MenuProbe(HMENU menu, HTREEITEM item) {
  g_menu.seen = true;
  g_menu.item = item;
  g_menu.dropHighlighted = item && IsDropHighlighted(item);
  for (size_t i = 0; i < std::size(kMenuCommands); ++i) {
    const UINT state = GetMenuState(menu, static_cast<UINT>(kMenuCommands[i]), MF_BYCOMMAND);
    g_menu.enabled[i] = (state & (MF_GRAYED | MF_DISABLED)) == 0;
    if (kMenuCommands[i] == kCmdToggleHidden) g_menu.hiddenChecked = (state & MF_CHECKED) != 0;
  }
  if (g_menu.choose) {
    PostMessageW(g_app.main, WM_CHAR, g_menu.choose, 0);
    if (g_menu.thenEscape) PostMessageW(g_app.main, WM_KEYDOWN, VK_ESCAPE, 0);
  } else {
    EndMenu();
  }
}

// Opens the context menu by a right click over `item` (or, with null, by
// the keyboard on the selection) and types `choose` into it.
void OpenMenu(HTREEITEM item, wchar_t choose, bool thenEscape = false) {
  g_menu = MenuSeen();
  g_menu.choose = choose;
  g_menu.thenEscape = thenEscape;
  SetTreeMenuProbe(MenuProbe);
  LPARAM where = -1;
  if (item) {
    POINT point = ItemPoint(item);
    ClientToScreen(Tree(), &point);
    where = MAKELPARAM(point.x, point.y);
  }
  SendMessageW(g_app.treePanel, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Tree()), where);
  SetTreeMenuProbe(nullptr);
}

std::string MenuStates() {
  std::string states;
  for (bool on : g_menu.enabled) states += on ? '1' : '0';
  return states + (g_menu.hiddenChecked ? "+" : "-");
}

POINT PanelPointOver(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ScreenToClient(g_app.treePanel, &point);
  return point;
}

// Drags `item` out of the tree (the mouse leaves the drag rectangle before
// the button is released) and releases it over `target`.
void DragTo(HTREEITEM item, HWND target) {
  const POINT point = ItemPoint(item);
  PostMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(point.x + 60, point.y + 40));
  SendMessageW(Tree(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
  const bool dragging = GetCapture() == g_app.treePanel && IsDropHighlighted(item) &&
                        GetCursor() == LoadCursorW(g_app.instance, MAKEINTRESOURCEW(kCursorDrag));
  Expect(dragging, "drag of " + Utf8(ItemText(item)) + ": panel captures the mouse, item highlighted, cursor 110");
  const POINT release = PanelPointOver(target);
  SendMessageW(g_app.treePanel, WM_LBUTTONUP, 0, MAKELPARAM(release.x, release.y));
  Expect(GetCapture() == nullptr && NothingDropHighlighted(), "drag ended: no capture, no highlight");
}

HCURSOR TreeCursorNow() {
  SendMessageW(Tree(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Tree()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

HCURSOR ResourceCursor(int id) { return LoadCursorW(g_app.instance, MAKEINTRESOURCEW(id)); }

std::wstring TooltipText(HWND control) {
  wchar_t buffer[256] = {};
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.hwnd = GetParent(control);
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.uFlags = TTF_IDISHWND;
  info.lpszText = buffer;
  SendMessageW(g_app.tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&info));
  return buffer;
}

void TooltipsCheck() {
  const struct {
    HWND control;
    const wchar_t* text;
  } tips[] = {
      {Tree(), L"Shift + クリック → 入力フォルダ\nCtrl + クリック → 出力フォルダ\n右クリックでメニュー表示"},
      {GetDlgItem(g_app.treePanel, kIdTreeModeInput), L"選択時に入力フォルダ設定"},
      {GetDlgItem(g_app.treePanel, kIdTreeModeOutput), L"選択時に出力フォルダ設定"},
      {GetDlgItem(g_app.treePanel, kIdTreeModeBoth), L"選択時に入出力フォルダ同時設定"},
      {GetDlgItem(g_app.treePanel, kIdTreeAdd), L"登録フォルダに追加(&A)"},
      {GetDlgItem(g_app.treePanel, kIdTreeRemove), L"登録フォルダから除外(&D)"},
  };
  std::string wrong;
  for (const auto& tip : tips) {
    if (TooltipText(tip.control) != tip.text) wrong += " " + std::to_string(GetDlgCtrlID(tip.control));
  }
  Expect(wrong.empty(), "tooltips of the tree, the radio buttons and the two buttons" + wrong);
}

// Start-up: Desktop branch first (expanded by "DTExpand"), then
// "登録フォルダ", selected and expanded; a registered folder deleted before
// start-up never shows.
void StartupCheck(HTREEITEM root) {
  HWND tree = Tree();
  Expect(TreeView_GetRoot(tree) == DesktopTreeItem() && TreeView_GetNextSibling(tree, DesktopTreeItem()) == root,
         "Desktop, then 登録フォルダ");
  Expect(IsExpanded(DesktopTreeItem()) && ChildCount(DesktopTreeItem()) > 0, "Desktop expanded (DTExpand=1): " +
                                                                                 Utf8(ChildNames(DesktopTreeItem())));
  Expect(TreeView_GetSelection(tree) == root && IsExpanded(root), "登録フォルダ selected and expanded");
  Expect(ChildNames(root) == u"gone,reg1,reg2,", "registered folders sorted: " + Utf8(ChildNames(root)));
  Expect(!ButtonEnabled(kIdTreeAdd) && !ButtonEnabled(kIdTreeRemove), "追加 and 除外 disabled on 登録フォルダ");
  Expect(!SelectedFolderPath(root), "登録フォルダ has no folder");
  Expect(TreeView_GetImageList(tree, TVSIL_NORMAL) != nullptr, "the system small-icon list is the tree's");
}

// The scratch folder's reg1 reached through the shell namespace: Desktop,
// Wine's "/" (Z:\), tmp, the scratch folder, reg1 (expanded as the user
// does, each listing afresh). Null when a step is missing.
HTREEITEM ShellReg1() {
  HTREEITEM item = DesktopTreeItem();
  const std::u16string scratch = TestDir(L"");
  for (const std::u16string& path : {std::u16string(u"Z:\\"), std::u16string(u"Z:\\tmp"),
                                     CleanFolderText(scratch), JoinPath(scratch, u"reg1")}) {
    if (TreeView_GetChild(Tree(), item) == nullptr) UserToggle(item, true);
    item = ChildWithPath(item, path);
    if (!item) {
      Log("no shell item " + Utf8(path));
      return nullptr;
    }
  }
  if (IsExpanded(item)) UserToggle(item, false);
  UserToggle(item, true);
  return item;
}

// The hidden-attribute mask: a hidden subfolder is neither listed nor
// gives its parent the expand button while "Hidden" is 2; 5040 shows it
// (and ticks the options box); the box switches back through the same
// path.
void HiddenCheck(HTREEITEM root) {
  const std::u16string reg1 = TestDir(L"reg1");
  const std::u16string reg2 = TestDir(L"reg2");
  Expect(SetFileAttributesW(W(JoinPath(reg1, u"hid")), FILE_ATTRIBUTE_HIDDEN) &&
             SetFileAttributesW(W(JoinPath(reg2, u"secret")), FILE_ATTRIBUTE_HIDDEN),
         "hidden attribute set on reg1\\hid and reg2\\secret");
  UserToggle(root, false);
  Expect(!IsExpanded(root) && TreeView_GetChild(Tree(), root) == nullptr && HasButton(root),
         "collapsing discards the children and keeps the button");
  UserToggle(root, true);
  HTREEITEM item1 = ChildWithPath(root, reg1);
  HTREEITEM item2 = ChildWithPath(root, reg2);
  Expect(item1 && HasButton(item1) && item2 && !HasButton(item2), "only a hidden subfolder: no expand button");
  UserToggle(item1, true);
  Expect(ChildNames(item1) == u"sub1,sub2,", "hidden, system-less dot folder left out: " + Utf8(ChildNames(item1)));
  HTREEITEM shell = ShellReg1();
  // Wine reports names beginning with "." as hidden.
  Expect(shell && ChildNames(shell) == u"sub1,sub2,", "the shell branch leaves hidden folders out too: " +
                                                          (shell ? Utf8(ChildNames(shell)) : std::string("-")));

  OpenMenu(item1, L'h');
  Expect(g_menu.seen && !g_menu.hiddenChecked, "隠し属性表示 unchecked while Hidden is 2");
  Expect(g_app.window.Hidden == 0 && IsChecked(kIdHidden), "5040 (typed H) shows hidden folders and ticks the box");
  UserToggle(root, false);
  UserToggle(root, true);
  item1 = ChildWithPath(root, reg1);
  item2 = ChildWithPath(root, reg2);
  Expect(item2 && HasButton(item2), "after 5040 the hidden subfolder gives reg2 its button");
  UserToggle(item1, true);
  Expect(ChildNames(item1) == u"hid,sub1,sub2,", "after 5040 hid is listed, .dot never: " + Utf8(ChildNames(item1)));
  shell = ShellReg1();
  Expect(shell && ChildNames(shell) == u".dot,hid,sub1,sub2,", "and the shell branch lists them, in Explorer's order: " +
                                                                    (shell ? Utf8(ChildNames(shell)) : std::string("-")));
  if (shell) UserToggle(TreeView_GetParent(Tree(), TreeView_GetParent(Tree(), TreeView_GetParent(Tree(), shell))), false);
  OpenMenu(item1, 0);
  Expect(g_menu.hiddenChecked, "隠し属性表示 checked while hidden folders are shown");

  Click(kIdHidden);
  Expect(g_app.window.Hidden == 2 && !IsChecked(kIdHidden), "the options box hides them again");
  OpenMenu(item1, 0);
  Expect(!g_menu.hiddenChecked, "and the menu check follows the box");
}

// Mode × key table through real clicks and keys; selections the tree makes
// by itself set nothing.
void SelectionCheck(HTREEITEM root) {
  const std::u16string in = TestDir(L"in");
  const std::u16string out = TestDir(L"out");
  const std::u16string reg1 = TestDir(L"reg1");
  const std::u16string sub1 = JoinPath(reg1, u"sub1");
  const std::u16string sub2 = JoinPath(reg1, u"sub2");
  HTREEITEM item1 = ChildWithPath(root, reg1);
  if (!TreeView_GetChild(Tree(), item1)) UserToggle(item1, true);
  HTREEITEM s1 = ChildNamed(item1, u"sub1");
  HTREEITEM s2 = ChildNamed(item1, u"sub2");
  TreeView_SelectItem(Tree(), root);

  struct Case {
    int mode;
    bool shift, ctrl;
    bool input, output;
  } cases[] = {
      {2, false, false, true, true}, {2, true, false, true, false}, {2, false, true, false, true},
      {1, false, false, false, true}, {1, true, false, true, false}, {1, false, true, false, true},
      {0, false, false, true, false}, {0, true, false, true, false}, {0, false, true, false, true},
  };
  for (const Case& c : cases) {
    Click(kIdTreeModeInput + c.mode);
    TreeView_SelectItem(Tree(), c.shift ? s2 : s1);  // the click must change the selection
    SetBoxes(in, out);
    HoldKeys(c.shift, c.ctrl);
    UserClick(c.shift ? s1 : s2);
    HoldKeys(false, false);
    const std::u16string clicked = c.shift ? sub1 : sub2;
    const std::string name = "mode " + std::to_string(c.mode) + (c.shift ? " Shift" : "") + (c.ctrl ? " Ctrl" : "");
    Expect(g_app.window.TvIOSet == c.mode, name + ": radio sets TvIOSet");
    Expect((InputBox() == clicked && g_app.listedFolder == clicked) == c.input &&
               (InputBox() == in && g_app.listedFolder == in) == !c.input,
           name + ": input " + Utf8(InputBox()));
    Expect((OutputBox() == clicked) == c.output && (OutputBox() == out) == !c.output,
           name + ": output " + Utf8(OutputBox()));
  }

  Click(kIdTreeModeBoth);
  SetBoxes(in, out);
  TreeView_SelectItem(Tree(), s1);
  SendMessageW(Tree(), WM_KEYDOWN, VK_DOWN, 0);
  Expect(TreeView_GetSelection(Tree()) == s2 && InputBox() == sub2 && OutputBox() == sub2,
         "a selection by the keyboard sets both folders in mode 2");
  SetBoxes(in, out);
  TreeView_SelectItem(Tree(), s1);
  Expect(InputBox() == in && OutputBox() == out, "a selection made by the program sets nothing");
  UserToggle(item1, false);
  Expect(TreeView_GetSelection(Tree()) == item1 && InputBox() == in && OutputBox() == out && g_app.listedFolder == in,
         "collapsing the selected folder's parent moves the selection there and sets nothing");
  Expect(ButtonEnabled(kIdTreeRemove) && !ButtonEnabled(kIdTreeAdd), "a registered folder: 除外 only");
  UserToggle(item1, true);
  TreeView_SelectItem(Tree(), ChildNamed(item1, u"sub1"));
  Expect(ButtonEnabled(kIdTreeAdd) && !ButtonEnabled(kIdTreeRemove), "a folder below one: 追加 only");
}

// Collapsing and expanding again lists a folder created in between.
void RelistCheck(HTREEITEM root) {
  const std::u16string reg1 = TestDir(L"reg1");
  HTREEITEM item1 = ChildWithPath(root, reg1);
  Expect(CreateDirectoryW(W(JoinPath(reg1, u"new")), nullptr) != FALSE, "reg1\\new created");
  Expect(ChildNamed(item1, u"new") == nullptr, "not listed while expanded");
  UserToggle(item1, false);
  UserToggle(item1, true);
  Expect(ChildNames(item1) == u"new,sub1,sub2,", "listed after collapse and expand: " + Utf8(ChildNames(item1)));

  // An expansion that finds nothing removes the button.
  HTREEITEM fresh = ChildNamed(item1, u"new");
  Expect(fresh && !HasButton(fresh), "an empty folder has no button");
  CreateDirectoryW(W(JoinPath(JoinPath(reg1, u"sub1"), u"inner")), nullptr);
  HTREEITEM s1 = ChildNamed(item1, u"sub1");
  RemoveDirectoryW(W(JoinPath(JoinPath(reg1, u"sub1"), u"inner")));
  UserToggle(s1, true);
  Expect(!HasButton(s1) && TreeView_GetChild(Tree(), s1) == nullptr,
         "an expansion that inserts nothing drops the button");
}

// Registering: same folder twice gives the existing item, at most 100,
// sorted insertion; unregistering moves later entries up; the root's button
// follows the list.
void RegisterCheck(HTREEITEM root) {
  std::vector<std::u16string>& list = g_app.window.FolderList;
  const std::u16string reg1 = TestDir(L"reg1");
  const std::u16string sub2 = JoinPath(reg1, u"sub2");
  HTREEITEM item1 = ChildWithPath(root, reg1);
  if (!TreeView_GetChild(Tree(), item1)) UserToggle(item1, true);
  const size_t before = list.size();

  TreeView_SelectItem(Tree(), ChildNamed(item1, u"sub2"));
  Click(kIdTreeAdd);
  HTREEITEM added = TreeView_GetSelection(Tree());
  Expect(list.size() == before + 1 && list.back() == sub2, "追加 registers reg1\\sub2");
  Expect(TreeView_GetParent(Tree(), added) == root && SelectedFolderPath(added) == sub2 &&
             TreeItemKindOf(added) == TreeItemKind::Registered,
         "and selects its new 登録フォルダ item");
  Expect(ChildNames(root) == u"reg1,reg2,sub2,", "inserted in sorted position: " + Utf8(ChildNames(root)));

  TreeView_SelectItem(Tree(), ChildNamed(item1, u"sub2"));
  OpenMenu(ChildNamed(item1, u"sub2"), L'a');
  Expect(list.size() == before + 1 && TreeView_GetSelection(Tree()) == added && ChildCount(root) == before + 1,
         "registering the same folder again selects the existing item");
  Expect(RegisterFolder(JoinPath(TestDir(L"in"), u"a.bmp")) == nullptr && list.size() == before + 1,
         "a file is not registered");

  // Up to 100.
  const std::u16string many = TestDir(L"many");
  CreateDirectoryW(W(many), nullptr);
  int made = 0;
  while (list.size() < 100) {
    const std::u16string folder = JoinPath(many, Utf8ToUtf16("f" + std::to_string(made++)));
    CreateDirectoryW(W(folder), nullptr);
    if (!RegisterFolder(folder)) break;
  }
  Expect(list.size() == 100 && ChildCount(root) == 100, "100 folders registered");
  const std::u16string extra = JoinPath(many, u"extra");
  CreateDirectoryW(W(extra), nullptr);
  const std::vector<std::u16string> full = list;
  Expect(RegisterFolder(extra) == nullptr && list == full && ChildCount(root) == 100, "the 101st changes nothing");
  Expect(RegisterFolder(full[50]) == ChildWithPath(root, full[50]) && list == full,
         "a registered one still answers with its item when the list is full");

  // Unregister the ones made here; a middle entry first.
  const std::u16string middle = list[before + 5];
  const std::u16string next = list[before + 6];
  TreeView_SelectItem(Tree(), ChildWithPath(root, middle));
  Click(kIdTreeRemove);
  Expect(list.size() == 99 && list[before + 5] == next && ChildWithPath(root, middle) == nullptr,
         "除外 removes the entry; later entries move up");
  Expect(TreeView_GetSelection(Tree()) == nullptr && !ButtonEnabled(kIdTreeRemove), "and clears the selection");
  Expect(!UnregisterFolder(ChildNamed(item1, u"sub1")) && !UnregisterFolder(root), "only level-1 items unregister");
  while (list.size() > before + 1) UnregisterFolder(ChildWithPath(root, list.back()));
  Expect(list.size() == before + 1, "back to " + std::to_string(list.size()));
}

// The root's button follows the list: removing every folder takes it away,
// the first registration gives it back (and lists the folder).
void EmptyListCheck(HTREEITEM root) {
  std::vector<std::u16string>& list = g_app.window.FolderList;
  const std::vector<std::u16string> saved = list;
  while (!list.empty()) {
    const size_t count = list.size();
    OpenMenu(ChildWithPath(root, list.front()), L'd');
    if (list.size() != count - 1) break;
  }
  Expect(list.empty() && !HasButton(root) && TreeView_GetChild(Tree(), root) == nullptr,
         "5011 (typed D) unregistered every folder: the root loses its button");
  HTREEITEM first = RegisterFolder(saved.front());
  Expect(first && HasButton(root) && IsExpanded(root) && ChildCount(root) == 1 && list.size() == 1,
         "the first registration gives the root its button and lists the folder");
  for (size_t i = 1; i < saved.size(); ++i) RegisterFolder(saved[i]);
  Expect(list == saved, "registered folders restored");
}

HTREEITEM FindVirtual(HTREEITEM parent, int csidl) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  if (FAILED(SHGetFolderLocation(nullptr, csidl, nullptr, 0, &pidl)) || !pidl) return nullptr;
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<const wchar_t*>(pidl), 0, &info, sizeof(info), SHGFI_PIDL | SHGFI_DISPLAYNAME);
  CoTaskMemFree(pidl);
  return ChildNamed(parent, U16(info.szDisplayName));
}

// A virtual folder (Control Panel under My Computer) has no folder path:
// selecting it changes nothing, and only "エクスプローラで開く" and
// "隠し属性表示" are enabled on it.
void VirtualFolderCheck() {
  const std::u16string in = TestDir(L"in");
  const std::u16string out = TestDir(L"out");
  HTREEITEM computer = FindVirtual(DesktopTreeItem(), CSIDL_DRIVES);
  Expect(computer && TreeItemKindOf(computer) == TreeItemKind::ShellVirtual && !SelectedFolderPath(computer),
         "My Computer is a virtual folder");
  if (!computer) return;
  if (!IsExpanded(computer)) UserToggle(computer, true);
  HTREEITEM panel = FindVirtual(computer, CSIDL_CONTROLS);
  Expect(panel && !SelectedFolderPath(panel) && TreeItemKindOf(panel) == TreeItemKind::ShellVirtual,
         "Control Panel: no folder path (" + Utf8(ChildNames(computer)) + ")");
  HTREEITEM drive = nullptr;
  for (HTREEITEM item = TreeView_GetChild(Tree(), computer); item; item = TreeView_GetNextSibling(Tree(), item)) {
    if (SelectedFolderPath(item) == u"C:\\") drive = item;
  }
  Expect(drive && TreeItemKindOf(drive) == TreeItemKind::ShellFolder, "drive C: is a shell folder C:\\");
  if (!panel) return;
  Click(kIdTreeModeBoth);
  SetBoxes(in, out);
  TreeView_SelectItem(Tree(), computer);
  UserClick(panel);
  Expect(TreeView_GetSelection(Tree()) == panel && InputBox() == in && g_app.listedFolder == in && OutputBox() == out,
         "clicking Control Panel sets no folder");
  Expect(!ButtonEnabled(kIdTreeAdd) && !ButtonEnabled(kIdTreeRemove), "追加 and 除外 disabled on it");
  OpenMenu(panel, 0);
  Expect(g_menu.seen && g_menu.item == panel && MenuStates() == "1000001-",
         "menu on Control Panel: explore only (" + MenuStates() + ")");
}

// The context menu: the item under the click is highlighted while the
// menu is open, the states follow the item kind, the commands act on that
// item (not the selection).
void MenuCheck(HTREEITEM root) {
  const std::u16string in = TestDir(L"in");
  const std::u16string out = TestDir(L"out");
  const std::u16string reg1 = TestDir(L"reg1");
  HTREEITEM item1 = ChildWithPath(root, reg1);
  if (!TreeView_GetChild(Tree(), item1)) UserToggle(item1, true);
  HTREEITEM s1 = ChildNamed(item1, u"sub1");
  TreeView_SelectItem(Tree(), root);

  OpenMenu(root, 0);
  Expect(g_menu.seen && g_menu.item == root && g_menu.dropHighlighted && MenuStates() == "0000001-",
         "menu on 登録フォルダ: only 隠し属性表示 (" + MenuStates() + "), the selected item highlighted");
  Expect(NothingDropHighlighted(), "highlight removed when the menu closes");
  OpenMenu(item1, 0);
  Expect(MenuStates() == "1011111-" && g_menu.dropHighlighted, "menu on a registered folder (" + MenuStates() + ")");
  OpenMenu(s1, 0);
  Expect(MenuStates() == "1101111-", "menu on a folder below one (" + MenuStates() + ")");
  OpenMenu(DesktopTreeItem(), 0);
  Expect(MenuStates() == "1101111-", "menu on the Desktop (" + MenuStates() + ")");

  SetBoxes(in, out);
  OpenMenu(s1, L'o');
  Expect(OutputBox() == JoinPath(reg1, u"sub1") && InputBox() == in, "5021 (typed O) sets the output folder only");
  OpenMenu(s1, L'i');
  Expect(InputBox() == JoinPath(reg1, u"sub1") && g_app.listedFolder == InputBox(), "5020 sets the input folder");
  SetBoxes(in, out);
  OpenMenu(item1, L's');
  Expect(InputBox() == reg1 && OutputBox() == reg1, "5022 sets both");
  Expect(TreeView_GetSelection(Tree()) == root, "the menu's commands leave the selection alone");
  SetBoxes(in, out);
  OpenMenu(root, L'i', true);
  Expect(g_menu.seen && InputBox() == in, "a disabled command typed does nothing");

  // The keyboard's menu key opens it on the selection.
  TreeView_SelectItem(Tree(), s1);
  OpenMenu(nullptr, 0);
  Expect(g_menu.seen && g_menu.item == s1, "the menu key opens the menu on the selection");

  // エクスプローラで開く on a folder that vanished: message 1.
  const std::u16string vanished = JoinPath(reg1, u"new");
  HTREEITEM gone = ChildNamed(item1, u"new");
  RemoveDirectoryW(W(vanished));
  g_app.shownMessages.clear();
  RunTreeCommand(gone, kCmdExplore);
  Expect(Shown(1), "explore of a vanished folder shows message 1");
  g_app.shownMessages.clear();
}

// Dragging a folder onto the boxes and fields.
void DragCheck(HTREEITEM root) {
  const std::u16string in = TestDir(L"in");
  const std::u16string out = TestDir(L"out");
  const std::u16string reg1 = TestDir(L"reg1");
  HTREEITEM item1 = ChildWithPath(root, reg1);
  SetBoxes(in, out);
  DragTo(item1, g_app.outputBox);
  Expect(OutputBox() == reg1 && InputBox() == in, "a folder dragged onto the output box sets it");
  DragTo(item1, g_app.inputBox);
  Expect(InputBox() == reg1 && g_app.listedFolder == reg1, "onto the input box: set and listed");

  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 3, 0);
  const std::u16string reg2 = TestDir(L"reg2");
  DragTo(ChildWithPath(root, reg2), Control(kIdStartOutputField));
  Expect(g_app.window.OSPath == reg2 && ControlText(kIdStartOutputField) == reg2, "onto the start-up output field");
  DragTo(item1, Control(kIdStartInputField));
  Expect(g_app.window.ISPath == reg1 && ControlText(kIdStartInputField) == reg1, "onto the start-up input field");
  DragTo(item1, Control(kIdSendToOutputField));
  Expect(g_app.window.SdToPath == reg1 && ControlText(kIdSendToOutputField) == reg1, "onto the Send To output field");
  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 4, 0);
  DragTo(item1, Control(kIdPluginFolder));
  Expect(g_app.window.SPI == reg1 && ControlText(kIdPluginFolder) == reg1, "onto the plug-in folder field: SPI");
  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 0, 0);

  SetBoxes(in, out);
  g_app.shownMessages.clear();
  DragTo(item1, Control(kIdSummaryLabel));
  Expect(InputBox() == in && OutputBox() == out && g_app.shownMessages.empty(), "onto a page: nothing happens");
  DragTo(root, g_app.outputBox);
  Expect(OutputBox() == out, "登録フォルダ has no folder to drop");

  // Losing the capture ends the drag without a drop.
  const POINT point = ItemPoint(item1);
  PostMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(point.x + 60, point.y + 40));
  SendMessageW(Tree(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
  ReleaseCapture();
  Expect(NothingDropHighlighted() && OutputBox() == out, "a lost capture cancels the drag");
  g_app.window.SPI.clear();
  SetWindowTextW(Control(kIdPluginFolder), L"");

  // A folder dropped from Explorer onto the tree is registered and selected.
  const std::u16string sub1 = JoinPath(TestDir(L"reg1"), u"sub1");
  RECT rect{};
  GetWindowRect(Tree(), &rect);
  POINT onTree{(rect.left + rect.right) / 2, rect.bottom - 8};
  ScreenToClient(g_app.main, &onTree);
  SendMessageW(g_app.main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(onTree, {std::wstring(W(sub1))})), 0);
  HTREEITEM dropped = TreeView_GetSelection(Tree());
  Expect(g_app.window.FolderList.back() == sub1 && TreeView_GetParent(Tree(), dropped) == root &&
             SelectedFolderPath(dropped) == sub1,
         "a folder dropped on the tree is registered and selected");
  UnregisterFolder(dropped);
}

// The cursor over the tree announces what a click sets.
void CursorCheck() {
  const HCURSOR input = ResourceCursor(kCursorInput);
  const HCURSOR output = ResourceCursor(kCursorOutput);
  const HCURSOR both = ResourceCursor(kCursorBoth);
  const struct {
    int mode;
    bool shift, ctrl;
    HCURSOR cursor;
  } cases[] = {{0, false, false, input}, {0, true, false, input}, {0, false, true, output},
               {1, false, false, output}, {1, true, false, input}, {1, false, true, output},
               {2, false, false, both}, {2, true, false, input}, {2, false, true, output}};
  std::string wrong;
  for (const auto& c : cases) {
    Click(kIdTreeModeInput + c.mode);
    HoldKeys(c.shift, c.ctrl);
    if (TreeCursorNow() != c.cursor) wrong += " " + std::to_string(c.mode) + (c.shift ? "S" : "") + (c.ctrl ? "C" : "");
  }
  HoldKeys(false, false);
  Expect(input && output && both && wrong.empty(), "cursors 111/112/113 by mode and keys" + wrong);

  // The keyboard hook: Shift pressed and released with the mouse over the
  // tree switches the cursor without a mouse move.
  Click(kIdTreeModeBoth);
  TreeCursorNow();
  RECT rect{};
  GetWindowRect(Tree(), &rect);
  SetForegroundWindow(g_app.main);
  SetFocus(Tree());
  const bool placed = SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2) &&
                      WindowFromPoint({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}) == Tree();
  keybd_event(VK_SHIFT, 0, 0, 0);
  PumpMessages();
  const HCURSOR down = GetCursor();
  keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
  PumpMessages();
  const HCURSOR up = GetCursor();
  Log(std::string("hook: mouse placed over the tree ") + (placed ? "yes" : "no"));
  Expect(down == input && up == both, "the keyboard hook switches the cursor on Shift down and up");
}

// After a batch that created an output subfolder, the output folder's item
// gains the expand button.
void BatchSubfolderCheck(HTREEITEM root) {
  const std::u16string in = TestDir(L"in");
  const std::u16string out = TestDir(L"out");
  HTREEITEM outItem = RegisterFolder(out);
  Expect(outItem && !HasButton(outItem), "the empty output folder registered, no button");
  Click(kIdMkDirAdd);
  SetWindowTextW(Control(kIdMkDirStr), L"made");
  SetBoxes(in, out);
  g_app.shownMessages.clear();
  Click(kIdConvertButton);
  Expect(Shown(100) && IsDirectory(JoinPath(out, u"made")), "the batch created out\\made");
  Expect(HasButton(outItem) && TreeView_GetChild(Tree(), outItem) == nullptr, "out gains the expand button");
  UserToggle(outItem, true);
  Expect(ChildNames(outItem) == u"made,", "and lists made");
  Click(kIdMkDirAdd);
  UnregisterFolder(ChildWithPath(root, out));
}

void TreeScenario() {
  HTREEITEM root = RegisteredRootItem();
  StartupCheck(root);
  TooltipsCheck();
  // A registered folder deleted outside the program leaves the tree and
  // the list the next time the branch is expanded.
  Expect(RemoveDirectoryW(W(TestDir(L"gone"))) != FALSE, "gone deleted on disk");
  HiddenCheck(root);
  Expect(ChildWithPath(root, TestDir(L"gone")) == nullptr && g_app.window.FolderList.size() == 2,
         "gone dropped from tree and list: " + Utf8(ChildNames(root)));
  SelectionCheck(root);
  RelistCheck(root);
  MenuCheck(root);
  RegisterCheck(root);
  EmptyListCheck(root);
  VirtualFolderCheck();
  DragCheck(root);
  CursorCheck();
  BatchSubfolderCheck(root);
}

BOOL CALLBACK FindMenuWindow(HWND window, LPARAM out) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (lstrcmpW(name, L"#32768") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
  }
  return TRUE;
}

// The popup window of the open menu.
HWND MenuWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindMenuWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// How many pixels of `colour` the window shows inside `area` (window
// coordinates), read from its own DC.
int CountColour(HWND window, const RECT& area, COLORREF colour) {
  HDC dc = GetWindowDC(window);
  int count = 0;
  for (LONG y = area.top; y < area.bottom; ++y) {
    for (LONG x = area.left; x < area.right; ++x) {
      if (GetPixel(dc, x, y) == colour) ++count;
    }
  }
  ReleaseDC(window, dc);
  return count;
}

// While the menu is open (a timer's message, dispatched by the menu's own
// loop after it took the key that highlighted the first item): checks the
// owner-drawn items' colours, holds the screen for the X capture when
// asked, then closes the menu.
HMENU g_shotMenu = nullptr;
void CALLBACK ShotTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PumpPaint();
  HWND popup = MenuWindow();
  RECT frame{};
  GetWindowRect(popup, &frame);
  RECT first{};
  GetMenuItemRect(nullptr, g_shotMenu, 0, &first);
  RECT last{};
  GetMenuItemRect(nullptr, g_shotMenu, static_cast<UINT>(GetMenuItemCount(g_shotMenu) - 1), &last);
  OffsetRect(&first, -frame.left, -frame.top);
  OffsetRect(&last, -frame.left, -frame.top);
  Expect(popup && (GetMenuState(g_shotMenu, kCmdExplore, MF_BYCOMMAND) & MF_HILITE) != 0,
         "the menu is open with エクスプローラで開く highlighted");
  Expect(CountColour(popup, first, RGB(0xE8, 0xFF, 0xFF)) > 0 && CountColour(popup, first, RGB(0x48, 0x90, 0x90)) > 0,
         "the highlighted item is drawn with its frame and fill");
  Expect(CountColour(popup, last, RGB(0xC0, 0x60, 0xC0)) > 0, "隠し属性表示 shows its check box");
  if (!Env(L"PIXLANE_UI_SHOT_HOLD").empty()) {
    RECT area{};
    GetWindowRect(g_app.main, &area);
    UnionRect(&area, &area, &frame);
    HoldForScreenCapture(area);
  }
  EndMenu();
}

void ShotProbe(HMENU menu, HTREEITEM) {
  g_shotMenu = menu;
  PostMessageW(g_app.main, WM_KEYDOWN, VK_DOWN, 0);
  SetTimer(nullptr, 0, 100, ShotTimer);
}

// The tree expanded to a registered folder with the context menu open on
// it, for the screenshot.
void TreeShotScenario() {
  ShowWindow(g_app.main, SW_SHOWNORMAL);
  HTREEITEM root = RegisteredRootItem();
  HTREEITEM photos = ChildWithPath(root, TestDir(L"写真"));
  Expect(photos != nullptr, "写真 registered: " + Utf8(ChildNames(root)));
  if (!photos) return;
  ExpandTreeItem(photos);
  TreeView_SelectItem(Tree(), photos);
  SetFocus(Tree());
  TreeView_EnsureVisible(Tree(), TreeView_GetChild(Tree(), photos));
  PumpPaint();
  // Right-clicked near the tree's right edge, the menu leaves the
  // subfolders in view.
  POINT point = ItemPoint(photos);
  RECT client{};
  GetClientRect(Tree(), &client);
  point.x = client.right - 8;
  ClientToScreen(Tree(), &point);
  SetTreeMenuProbe(ShotProbe);
  SendMessageW(g_app.treePanel, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Tree()), MAKELPARAM(point.x, point.y));
  SetTreeMenuProbe(nullptr);
}

}  // namespace

bool RunFolderTreeScenario(const std::wstring& scenario) {
  if (scenario == L"tree") {
    TreeScenario();
    return true;
  }
  if (scenario == L"tree-shot") {
    TreeShotScenario();
    return true;
  }
  return false;
}

}  // namespace pixlane::ui
