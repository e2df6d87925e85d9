// The in-process test mode (environment variable PIXLANE_UI_TEST names a
// scenario): drives the program's own controls by id with SendMessageW on
// the UI thread, checks the controls and the settings records, writes
// "PASS"/"FAIL" lines and a final "DONE" to PIXLANE_UI_TEST_LOG, then
// closes the window through the normal shutdown. Message boxes are recorded
// instead of shown (g_app.testMode), so it runs under Wine's null driver.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "ui/control_ids.h"
#include "ui/preview_model.h"
#include "ui/ui_app.h"
#include "ui/ui_self_test.h"
#include "ui/ui_model.h"

namespace pixlane::ui {
namespace {

int g_failures = 0;

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer) : std::wstring();
}

void Log(const std::string& line) {
  const std::wstring path = Env(L"PIXLANE_UI_TEST_LOG");
  if (path.empty()) return;
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = std::to_string(GetTickCount() % 100000) + " " + line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void Expect(bool condition, const std::string& what) {
  if (!condition) ++g_failures;
  Log((condition ? "PASS " : "FAIL ") + what);
}

std::string Utf8(const std::u16string& text) { return Utf16ToUtf8(text); }

void Command(int id, int code) {
  HWND control = Control(id);
  SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}
void Click(int id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
void Choose(int id, int index) {
  SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Command(id, CBN_SELCHANGE);
}
int Chosen(int id) { return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0)); }
void TypeAndLeave(int id, const wchar_t* text) {
  SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  Command(id, EN_KILLFOCUS);
}
bool Visible(int id) { return (GetWindowLongW(Control(id), GWL_STYLE) & WS_VISIBLE) != 0; }
bool Enabled(int id) { return IsWindowEnabled(Control(id)) != FALSE; }
bool Shown(int code) {
  return std::find(g_app.shownMessages.begin(), g_app.shownMessages.end(), code) != g_app.shownMessages.end();
}
std::u16string TestDir(const wchar_t* sub) {
  return JoinPath(U16(Env(L"PIXLANE_UI_TEST_DIR")), U16(sub));
}
size_t FileCount(const std::u16string& folder) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, entries)) return 0;
  return static_cast<size_t>(std::count_if(entries.begin(), entries.end(), [](const DirectoryEntry& e) {
    return !e.isDirectory;
  }));
}

// The image data of cursor resource `id` (the first image of its group,
// without the 4-byte hotspot) against the DIB stored in `file`.
bool CursorResourceIs(int id, const std::u16string& file) {
  HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_GROUP_CURSOR);
  if (!group || SizeofResource(nullptr, group) < 6 + 14) return false;
  const auto* dir = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, group)));
  if (!dir) return false;
  const int imageId = dir[6 + 12] | (dir[6 + 13] << 8);
  HRSRC image = FindResourceW(nullptr, MAKEINTRESOURCEW(imageId), RT_CURSOR);
  if (!image) return false;
  const DWORD size = SizeofResource(nullptr, image);
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, image)));
  if (!bytes || size < 4) return false;

  HANDLE handle = CreateFileW(W(file), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  std::string data(64 * 1024, '\0');
  DWORD got = 0;
  ReadFile(handle, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
  CloseHandle(handle);
  data.resize(got);
  if (data.size() < 6 + 16) return false;
  auto u32 = [&data](size_t at) {
    uint32_t value = 0;
    for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<uint8_t>(data[at + i]);
    return value;
  };
  const uint32_t length = u32(6 + 8);
  const uint32_t offset = u32(6 + 12);
  if (offset > data.size() || length > data.size() - offset || length != size - 4) return false;
  return std::memcmp(bytes + 4, data.data() + offset, length) == 0;
}

void CursorResourcesCheck() {
  const std::u16string res = U16(Env(L"PIXLANE_UI_RES_DIR"));
  const struct {
    int id;
    const char16_t* file;
  } cursors[] = {{kCursorDrag, u"cursor_drag.cur"},
                 {kCursorInput, u"cursor_input.cur"},
                 {kCursorOutput, u"cursor_output.cur"},
                 {kCursorBoth, u"cursor_both.cur"}};
  for (const auto& cursor : cursors) {
    Expect(LoadCursorW(g_app.instance, MAKEINTRESOURCEW(cursor.id)) != nullptr &&
               CursorResourceIs(cursor.id, JoinPath(res, cursor.file)),
           "cursor " + std::to_string(cursor.id) + " is " + Utf8(cursor.file));
  }
}

void PagesScenario() {
  ConversionParameters& p = g_app.params;
  Expect(IsChecked(kIdSampling41) && !IsChecked(kIdSampling11), "Sampling 1 in the file shows 4:1");
  Expect(ControlText(kIdSummary) == u"設定なし", "summary shows 設定なし");

  Click(kIdJpegTransform);
  Expect(p.JTrans == 1 && IsChecked(kIdJpegTransform2), "JPEG変換 mirrored on 詳細設定");
  Expect(Chosen(kIdInputFormat) == 3 && Chosen(kIdInputFormat2) == 3, "both input combos JPEG");
  Expect(Chosen(kIdOutputFormat) == 2 && Chosen(kIdOutputFormat2) == 2, "both output combos JPEG");
  Expect(Visible(kIdMarker) && !Visible(kIdQualityEdit) && !Visible(kIdSampling41) && !Visible(kIdLimitEdit) &&
             !Visible(kIdLevelEdit),
         "JPEG変換 shows セグメント only");
  Expect(!Enabled(kIdResize) && !Enabled(kIdBrightness), "JPEG変換 disables resize and corrections");

  Click(kIdDepth0 + 6);
  Expect(p.DepOpt == 6 && ControlText(kIdSummary) == u"ビット深度", "depth radio sets DepOpt and summary");
  Choose(kIdOutputFormat2, 1);
  Expect(p.OFmt == 1 && p.JTrans == 0, "PNG clears JTrans");
  Expect(!IsChecked(kIdJpegTransform) && !IsChecked(kIdJpegTransform2), "JPEG変換 cleared on both pages");
  Expect(Chosen(kIdOutputFormat) == 1, "output combo mirrored");
  Expect(Visible(kIdLevelEdit) && !Visible(kIdMarker), "compression level shown");
  Expect(p.DepOpt == 0 && IsChecked(kIdDepth0) && !IsChecked(kIdDepth0 + 6), "bit depth back to 指定なし");
  Expect(Enabled(kIdDepth0 + 4), "PNG enables 2bit");

  Choose(kIdOutputFormat, 2);
  TypeAndLeave(kIdQualityEdit, L"0");
  Expect(ControlText(kIdQualityEdit) == u"1", "quality 0 shows 1");
  TypeAndLeave(kIdQualityEdit, L"250");
  Expect(ControlText(kIdQualityEdit) == u"100", "quality 250 shows 100");
  Click(kIdLimit);
  Expect(!Enabled(kIdQualityEdit) && Enabled(kIdLimitEdit), "Limit swaps quality and size");
  Click(kIdLimit);

  Choose(kIdInputFormat2, 6);
  Expect(Chosen(kIdInputFormat) == 6 && Enabled(kIdExtStr0), "特定 enables the extension slots");
  TypeAndLeave(kIdExtStr0, L"pic");
  TypeAndLeave(kIdExtStr0 + 2, L"pic");
  Expect(ControlText(kIdExtStr0 + 2).empty() && p.ExtStr[2].empty() && p.ExtStr[0] == u"pic",
         "duplicate extension emptied");

  Click(kIdNameBySerial);
  Expect(p.NameSet == 2 && Enabled(kIdDigitEdit), "連番 enables 桁");
  TypeAndLeave(kIdDigitEdit, L"9");
  Expect(ControlText(kIdDigitEdit) == u"5", "桁 9 shows 5");
  TypeAndLeave(kIdStartEdit, L"");
  Expect(ControlText(kIdStartEdit) == u"0", "empty 始番 shows 0");

  Click(kIdBrightness);
  SendMessageW(Control(kIdBrightness + kCorrectionEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"-150"));
  Expect(SendMessageW(Control(kIdBrightness + kCorrectionTrack), TBM_GETPOS, 0, 0) == -100,
         "track bar follows the clamped value");
  Command(kIdBrightness + kCorrectionEdit, EN_KILLFOCUS);
  Expect(ControlText(kIdBrightness + kCorrectionEdit) == u"-100", "明るさ -150 shows -100");
  Expect(ControlText(kIdSummary) == u"明るさ", "summary lists 明るさ");
  Click(kIdBrightness + kCorrectionReset);
  Expect(ControlText(kIdBrightness + kCorrectionEdit) == u"0", "リセット sets 0");
  SendMessageW(Control(kIdBrightness + kCorrectionEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"30"));

  Click(kIdTipAct);
  Expect(g_app.window.TipAct == 0, "ツールチップ表示 switches TipAct");
  Click(kIdSendToConvert);
  Expect(g_app.window.SdToCvt == 1, "変換処理後に終了 sets SdToCvt");
  const bool registered = IsChecked(kIdSendToRegister);
  Click(kIdSendToRegister);
  Expect(SendToShortcutExists() != registered, "「送る」メニューに登録 creates or deletes the shortcut");
  Click(kIdSendToRegister);
  Expect(SendToShortcutExists() == registered, "and back");
  Click(kIdReset);  // keep the per-run options in the file
  Expect(g_app.window.Reset == 0, "Reset cleared");

  const int before = g_app.window.TopMost;
  SendMessageW(g_app.main, WM_SYSCOMMAND, kCmdTopMost, 0);
  HMENU menu = GetSystemMenu(g_app.main, FALSE);
  const UINT state = GetMenuState(menu, kCmdTopMost, MF_BYCOMMAND);
  Expect(g_app.window.TopMost != before && ((state & MF_CHECKED) != 0) == (g_app.window.TopMost != 0),
         "常に手前に表示 toggles with its check mark");
  SendMessageW(g_app.main, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  Expect(g_app.window.TopMost == before, "title-bar double click toggles back");

  for (int i = 0; i < kPageCount; ++i) {
    SendMessageW(g_app.tab, TCM_SETCURFOCUS, static_cast<WPARAM>(i), 0);
    Expect(IsWindowVisible(g_app.pages[i]) != FALSE, "tab " + std::to_string(i) + " shows its page");
  }
  CursorResourcesCheck();
}

void ConvertScenario() {
  const std::u16string in = TestDir(L"in");
  const std::u16string out = TestDir(L"out");
  Expect(WindowText(g_app.inputBox) == in, "input folder from the history");
  const size_t listed = g_app.inputEntries.size();
  Expect(listed >= 2, "input list filled (" + std::to_string(listed) + ")");
  MoveFileW(W(JoinPath(in, u"a.bmp")), W(JoinPath(in, u"renamed.bmp")));
  Click(kIdConvertButton);
  Expect(Shown(7), "renamed file: message 7");
  Expect(FileCount(out) == 0, "nothing converted after message 7");
  g_app.shownMessages.clear();
  Click(kIdConvertButton);
  Expect(!Shown(7) && Shown(100), "second 変換 converts with the summary");
  Expect(FileCount(out) == listed, "every checked file converted (" + std::to_string(FileCount(out)) + ")");
  Expect(WindowText(g_app.main) == u"Pixlane", "title back to Pixlane");
  // Unchecked entries are not converted.
  Click(kIdAllOff);
  g_app.shownMessages.clear();
  Click(kIdConvertButton);
  Expect(Shown(6), "no checked files: message 6");

  // Esc pending when the first file is done: the question is asked and
  // "Yes" stops the batch after that file.
  Click(kIdAllOn);
  const size_t before = FileCount(out);
  g_app.shownMessages.clear();
  PostMessageW(g_app.main, WM_KEYDOWN, VK_ESCAPE, 0);
  Click(kIdConvertButton);
  Expect(Shown(101), "Esc asks the abort question");
  Expect(FileCount(out) == before + 1, "abort after the first file (" + std::to_string(FileCount(out) - before) + ")");

  // A check click on one row of a multiple selection acts on all of it.
  Click(kIdAllOn);
  LVITEMW selected{};
  selected.stateMask = LVIS_SELECTED;
  selected.state = LVIS_SELECTED;
  SendMessageW(g_app.inputList, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
  SendMessageW(g_app.inputList, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));
  ListView_SetCheckState(g_app.inputList, 1, FALSE);
  Expect(!ListView_GetCheckState(g_app.inputList, 0) && !ListView_GetCheckState(g_app.inputList, 1) &&
             ListView_GetCheckState(g_app.inputList, 2),
         "unchecking one selected row unchecks the selection");
}

HWND InputBoxEdit() {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  return GetComboBoxInfo(g_app.inputBox, &info) ? info.hwndItem : nullptr;
}

// Types into the input folder box as a user would: the caret is in it.
void TypeInputFolder(const std::u16string& text) {
  SetFocus(InputBoxEdit());
  SendMessageW(g_app.inputBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(text)));
}

std::u16string ListedNames() {
  std::u16string joined;
  for (const InputListEntry& entry : g_app.inputEntries) joined += entry.name + u",";
  return joined;
}

// The input list always belongs to the folder named in the box: a typed
// folder is listed on Enter or when the box loses the focus, and a run
// started before that lists it and stops, so no unseen file is converted
// or deleted ("入力ファイル削除" is on in this scenario's settings).
void TypedFolderScenario() {
  const std::u16string in = TestDir(L"in");
  const std::u16string other = TestDir(L"other");
  const std::u16string out = TestDir(L"out");
  Expect(g_app.listedFolder == in && ListedNames() == u"a.bmp,b.bmp,c.bmp,d.bmp,", "start-up lists the history folder");

  TypeInputFolder(other);
  Expect(GetFocus() == InputBoxEdit(), "the caret is in the input folder box");
  SendMessageW(InputBoxEdit(), WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(InputBoxEdit(), WM_CHAR, L'\r', 0);
  Expect(g_app.listedFolder == other && ListedNames() == u"a.bmp,b.bmp,e.bmp,", "typed folder + Enter lists it");
  Expect(ControlText(kIdCount) == u"3", "the count follows");

  TypeInputFolder(u"  \"" + in + u"\\\"");
  SetFocus(g_app.main);
  Expect(g_app.listedFolder == in && WindowText(g_app.inputBox) == in && ListedNames() == u"a.bmp,b.bmp,c.bmp,d.bmp,",
         "pasted folder in quotes is listed when the box loses the focus");

  TypeInputFolder(other);
  Click(kIdConvertButton);
  Expect(Shown(7), "typed folder + 変換 at once: message 7 (FileMes off)");
  Expect(FileCount(out) == 0 && FileCount(in) == 4 && FileCount(other) == 3, "nothing converted or deleted");
  Expect(g_app.listedFolder == other && ListedNames() == u"a.bmp,b.bmp,e.bmp,", "the list now shows the typed folder");

  g_app.shownMessages.clear();
  Click(kIdConvertButton);
  Expect(!Shown(7) && Shown(100), "the second 変換 runs");
  Expect(FileCount(out) == 3, "exactly the listed files converted (" + std::to_string(FileCount(out)) + ")");
  Expect(FileCount(other) == 0, "the listed files deleted");
  Expect(FileCount(in) == 4, "no file of the previously listed folder touched");

  g_app.shownMessages.clear();
  TypeInputFolder(JoinPath(in, u"missing"));
  Click(kIdConvertButton);
  Expect(Shown(3) && !Shown(100), "a text naming no folder: message 3");
  Expect(g_app.inputEntries.empty() && ControlText(kIdCount) == u"0", "and an empty list");
  Expect(FileCount(in) == 4 && FileCount(out) == 3, "nothing touched");

  for (int id : {kIdPreviewButton, kIdNamesButton}) {
    g_app.shownMessages.clear();
    TypeInputFolder(id == kIdPreviewButton ? in : other);
    Click(id);
    Expect(Shown(7) && g_app.listedFolder == (id == kIdPreviewButton ? in : other),
           "button " + std::to_string(id) + " lists a typed folder first");
  }
}

// Send To in "open" mode with short (8.3) names: the entries are compared by
// their long names.
void ShortNamesScenario() {
  const std::u16string in = TestDir(L"in");
  std::vector<std::wstring> shortPaths;
  for (const char16_t* name : {u"long photo name.bmp", u"b.bmp"}) {
    const std::u16string path = JoinPath(in, name);
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(W(path), buffer, MAX_PATH);
    Expect(length > 0 && length < MAX_PATH, "short name of " + Utf8(name));
    shortPaths.emplace_back(buffer);
  }
  Expect(FileNamePart(U16(shortPaths[0])) != u"long photo name.bmp",
         "the first argument is a short name: " + Utf8(U16(shortPaths[0])));
  std::vector<wchar_t*> arguments;
  for (std::wstring& path : shortPaths) arguments.push_back(path.data());
  Expect(HandleCommandLine(static_cast<int>(arguments.size()), arguments.data()), "open mode keeps the window");
  std::u16string checked;
  for (const std::u16string& name : CheckedInputNames()) checked += name + u",";
  Expect(checked == u"b.bmp,long photo name.bmp,", "short names check their long entries: " + Utf8(checked));
}

HGLOBAL MakeDrop(POINT point, const std::vector<std::wstring>& paths) {
  size_t chars = 1;
  for (const std::wstring& path : paths) chars += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = point;
  drop->fNC = FALSE;
  drop->fWide = TRUE;
  auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
  for (const std::wstring& path : paths) {
    std::copy(path.begin(), path.end(), text);
    text += path.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

POINT ClientPointOver(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  POINT point{(rect.left + rect.right) / 2, rect.top + 5};
  ScreenToClient(g_app.main, &point);
  return point;
}

bool MakeShortcut(const std::u16string& target, const std::u16string& link) {
  IShellLinkW* shell = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shell)))) {
    return false;
  }
  shell->SetPath(W(target));
  IPersistFile* file = nullptr;
  bool ok = false;
  if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    ok = SUCCEEDED(file->Save(W(link), TRUE));
    file->Release();
  }
  shell->Release();
  return ok;
}

void DropScenario() {
  const std::u16string target = TestDir(L"in");
  const std::u16string link = TestDir(L"folder.lnk");
  Expect(MakeShortcut(target, link), "shortcut created");
  SendMessageW(g_app.main, WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop(ClientPointOver(g_app.inputBox), {std::wstring(W(link))})), 0);
  Expect(WindowText(g_app.inputBox) == target, "dropped folder shortcut sets its target");
  Expect(!g_app.inputEntries.empty(), "input list filled from the dropped folder");

  SendMessageW(g_app.main, WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop(ClientPointOver(g_app.outputBox), {std::wstring(W(TestDir(L"out")))})),
               0);
  Expect(WindowText(g_app.outputBox) == TestDir(L"out"), "dropped folder sets the output box");

  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 3, 0);
  SendMessageW(g_app.main, WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop(ClientPointOver(Control(kIdSendToOutputField)),
                                                 {std::wstring(W(TestDir(L"out")))})),
               0);
  Expect(g_app.window.SdToPath == TestDir(L"out"), "drop on the Send To field sets SdToPath");

  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 0, 0);
  const std::vector<std::wstring> files = {std::wstring(W(JoinPath(target, u"a.bmp"))),
                                           std::wstring(W(JoinPath(target, u"b.bmp")))};
  POINT inPage = ClientPointOver(Control(kIdSummaryLabel));
  SendMessageW(g_app.main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(inPage, files)), 0);
  Expect(FileCount(TestDir(L"out")) == 2, "two files dropped on the pages converted into the output folder");
}

void OpenScenario() {
  const std::u16string expected = U16(Env(L"PIXLANE_UI_EXPECT_INPUT"));
  Expect(WindowText(g_app.inputBox) == expected, "input folder " + Utf8(WindowText(g_app.inputBox)));
  std::vector<std::u16string> checked = CheckedInputNames();
  std::u16string joined;
  for (const std::u16string& name : checked) joined += name + u",";
  const std::u16string expectChecked = U16(Env(L"PIXLANE_UI_EXPECT_CHECKED"));
  if (!expectChecked.empty()) Expect(joined == expectChecked, "checked entries " + Utf8(joined));
  Expect(FileCount(TestDir(L"out")) == 0, "nothing converted");
}

std::u16string ItemText(HWND list, int row, int column) {
  wchar_t buffer[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return U16(buffer);
}

bool InputListed(const std::u16string& name) {
  return std::any_of(g_app.inputEntries.begin(), g_app.inputEntries.end(),
                     [&](const InputListEntry& e) { return e.name == name; });
}

// The title of the dialog a plug-in showed, closed by a thread timer that
// the dialog's own message loop runs.
std::wstring g_pluginDialogTitle;

BOOL CALLBACK CloseThreadDialog(HWND window, LPARAM) {
  wchar_t className[32] = {};
  GetClassNameW(window, className, 32);
  if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  wchar_t title[128] = {};
  GetWindowTextW(window, title, 128);
  g_pluginDialogTitle = title;
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK CloseDialogTimer(HWND, UINT, UINT_PTR id, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), CloseThreadDialog, 0);
  if (!g_pluginDialogTitle.empty()) KillTimer(nullptr, id);
}

void PluginsScenario() {
  // The settings name a folder holding our Netpbm plug-in; the input folder
  // holds e.ppm besides the BMP files.
  const std::u16string plugins = TestDir(L"plugins");
  HWND list = g_app.pluginList;
  Expect(g_app.window.SPI == plugins, "plug-in folder from the settings");
  Expect(ControlText(kIdPluginFolder) == plugins, "folder field shows it");
  Expect(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 1, "one plug-in listed");
  Expect(ItemText(list, 0, 0) == u"pixlane_netpbm.spi", "file name " + Utf8(ItemText(list, 0, 0)));
  Expect(ItemText(list, 0, 1) == u"*.pbm;*.pgm;*.ppm;*.pnm", "extensions " + Utf8(ItemText(list, 0, 1)));
  Expect(ItemText(list, 0, 2) == u"Portable Bitmap/Portable Graymap/Portable Pixmap/Portable Anymap",
         "formats " + Utf8(ItemText(list, 0, 2)));
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  Expect(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) == 3, "three columns");
  Expect(g_app.params.IFmt == 0 && InputListed(u"e.ppm"), "e.ppm listed under すべて");

  Click(kIdPluginClear);
  Expect(g_app.window.SPI.empty() && ControlText(kIdPluginFolder).empty(), "解除 clears the folder");
  Expect(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0, "解除 empties the list");
  Expect(!InputListed(u"e.ppm") && InputListed(u"a.bmp"), "without plug-ins e.ppm is not listed");

  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 4, 0);
  SendMessageW(g_app.main, WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop(ClientPointOver(Control(kIdPluginFolder)), {std::wstring(W(plugins))})),
               0);
  Expect(g_app.window.SPI == plugins, "a folder dropped on the field sets SPI");
  Expect(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 1 && InputListed(u"e.ppm"), "and lists the plug-in again");

  LVITEMW selected{};
  selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  selected.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
  g_pluginDialogTitle.clear();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseDialogTimer);
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 30));
  KillTimer(nullptr, timer);
  Expect(g_pluginDialogTitle == L"Pixlane Netpbm プラグイン", "double click opens the plug-in's dialog");

  g_app.shownMessages.clear();
  Click(kIdConvertButton);
  Expect(PathExists(JoinPath(TestDir(L"out"), u"e.bmp")), "e.ppm converted through the plug-in");
  Expect(FileCount(TestDir(L"out")) == g_app.inputEntries.size(), "every listed file converted");
}

void WaitRestoreScenario() {
  ShowWindow(g_app.main, SW_MINIMIZE);
  Expect(IsIconic(g_app.main) != FALSE, "first instance minimised");
  Log("READY");
  for (int i = 0; i < 400 && IsIconic(g_app.main); ++i) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(50);
  }
  Expect(IsIconic(g_app.main) == FALSE, "second start restored the first window");
}

HWND OpenVersionWindow() { return FindWindowW(L"ver_parent_class", nullptr); }

// Enumeration callbacks are named functions: they need the system's
// calling convention, which a lambda does not have in the 32-bit build.
BOOL CALLBACK CountVersionWindow(HWND window, LPARAM counter) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (lstrcmpW(name, L"ver_parent_class") == 0) ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int VersionWindowCount() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountVersionWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

bool VersionClassesRegistered() {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  return GetClassInfoExW(g_app.instance, L"ver_parent_class", &info) ||
         GetClassInfoExW(g_app.instance, L"ver_child_class", &info);
}

void VersionScenario() {
  Click(kIdVersionButton);
  HWND version = OpenVersionWindow();
  Expect(version != nullptr, "Ver. opens the version window");
  if (!version) return;
  Expect(WindowText(version) == u"バージョン情報", "title バージョン情報");
  Expect(GetWindow(version, GW_OWNER) == g_app.main, "owned by the main window");
  Expect(!IsWindowEnabled(g_app.main), "main window disabled while it is open");
  RECT client{};
  GetClientRect(version, &client);
  Expect(client.right == 235 && client.bottom == 104,
         "client area " + std::to_string(client.right) + " x " + std::to_string(client.bottom));
  RECT outer{};
  RECT main{};
  GetWindowRect(version, &outer);
  GetWindowRect(g_app.main, &main);
  Expect(std::abs((outer.left + outer.right) - (main.left + main.right)) <= 1 &&
             std::abs((outer.top + outer.bottom) - (main.top + main.bottom)) <= 1,
         "centred over the main window");
  Expect(WindowText(GetDlgItem(version, 102)) == u"Pixlane  version 3.46", "version line");
  Expect(!WindowText(GetDlgItem(version, 103)).empty(), "second line");
  HMENU menu = GetSystemMenu(version, FALSE);
  bool trimmed = menu != nullptr && GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
  for (UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) {
    trimmed = trimmed && GetMenuState(menu, command, MF_BYCOMMAND) == static_cast<UINT>(-1);
  }
  Expect(trimmed, "system menu: close only, no restore, size, minimise or maximise");

  HWND link = GetDlgItem(version, 100);
  Expect(link && reinterpret_cast<HCURSOR>(GetClassLongPtrW(link, GCLP_HCURSOR)) == LoadCursorW(nullptr, IDC_HAND),
         "link with the hand cursor");
  SendMessageW(link, WM_LBUTTONUP, 0, 0);
  Expect(!RecordedLinkOpens().empty() && RecordedLinkOpens().back() == HelpFilePath(),
         "the link opens the help file beside the executable");

  g_app.shownMessages.clear();
  Command(kIdVersionButton, BN_CLICKED);
  Expect(VersionWindowCount() == 1 && g_app.shownMessages.empty(), "a second Ver. opens no second window");

  HWND ok = GetDlgItem(version, 101);
  Expect(GetFocus() == ok, "OK has the focus");
  SendMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0);
  Expect(!IsWindow(version) && VersionWindowCount() == 0, "Esc closes it");
  Expect(IsWindowEnabled(g_app.main) != FALSE, "main window enabled again");
  Expect(!VersionClassesRegistered(), "its window classes are unregistered");

  // Every other way of closing; each time it opens again (its classes were
  // unregistered) without an error message.
  struct Way {
    const char* name;
    void (*close)(HWND version);
  } ways[] = {
      {"Enter on OK", [](HWND v) { SendMessageW(GetDlgItem(v, 101), WM_KEYDOWN, VK_RETURN, 0); }},
      {"the OK button", [](HWND v) { SendMessageW(GetDlgItem(v, 101), BM_CLICK, 0, 0); }},
      {"Esc on the window", [](HWND v) { SendMessageW(v, WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"the system menu", [](HWND v) { SendMessageW(v, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Way& way : ways) {
    g_app.shownMessages.clear();
    Click(kIdVersionButton);
    HWND again = OpenVersionWindow();
    Expect(again && g_app.shownMessages.empty(), std::string("opens again before closing with ") + way.name);
    if (!again) continue;
    way.close(again);
    Expect(!IsWindow(again) && IsWindowEnabled(g_app.main), std::string("closed with ") + way.name);
  }
}

void HelpScenario() {
  const bool viewer = !Env(L"PIXLANE_UI_EXPECT_VIEWER").empty();
  const std::u16string file = HelpFilePath();
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::u16string exePath = U16(exe);
  Expect(file == exePath.substr(0, exePath.size() - 4) + u".chm", "help file " + Utf8(file));
  const char* tabs[] = {"全般", "個別入力", "詳細設定", "オプション", "プラグイン"};
  for (int i = 0; i < kPageCount; ++i) {
    SendMessageW(g_app.tab, TCM_SETCURFOCUS, static_cast<WPARAM>(i), 0);
    Click(kIdHelpButton);
    const std::vector<HelpCall>& calls = RecordedHelpCalls();
    const uint32_t context = HelpContextForTab(i);
    Expect(calls.size() == static_cast<size_t>(i) + 1 && calls.back().file == file &&
               calls.back().command == kHhHelpContext && calls.back().data == context,
           std::string("ヘルプ on ") + tabs[i] + " asks for context " + std::to_string(context));
    if (viewer) Expect(calls.back().answered, "the viewer opened context " + std::to_string(context));
  }
  Expect(RecordedHelpCalls()[2].data == 18, "詳細設定 is context 18");
  SendMessageW(g_app.tab, TCM_SETCURSEL, static_cast<WPARAM>(-1), 0);
  Click(kIdHelpButton);
  Expect(RecordedHelpCalls().back().data == 2, "no tab selected: the overview, context 2");
  if (viewer) {
    Expect(RecordedHelpCalls().back().answered, "the viewer opened context 2");
    Expect(HtmlHelpW(nullptr, W(file), kHhHelpContext, 99) == nullptr, "an unmapped number opens nothing");
  }
  Expect(HelpLibraryLoadAttempts() == 1, "the help library was loaded once, through the registry");
  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 0, 0);
}

// Run with the control's registration changed by the test script: the
// registered server (a REG_EXPAND_SZ value expanded) is loaded, or
// "hhctrl.ocx" when the registered one cannot be.
void HelpRegistryScenario() {
  const int expected = _wtoi(Env(L"PIXLANE_UI_EXPECT_ATTEMPTS").c_str());
  Click(kIdHelpButton);
  Expect(HelpLibraryLoadAttempts() == expected, "library loaded at attempt " +
                                                    std::to_string(HelpLibraryLoadAttempts()) + " of " +
                                                    std::to_string(expected));
  if (!Env(L"PIXLANE_UI_EXPECT_VIEWER").empty()) {
    Expect(!RecordedHelpCalls().empty() && RecordedHelpCalls().back().answered, "and the viewer opened");
  }
}

// Run with the HTML Help control's library disabled: the first "ヘルプ"
// tries to load it, the second does not try again.
void HelpMissingScenario() {
  Click(kIdHelpButton);
  const int attempts = HelpLibraryLoadAttempts();
  Expect(attempts >= 1 && RecordedHelpCalls().size() == 1 && !RecordedHelpCalls().back().answered,
         "the library could not be loaded (" + std::to_string(attempts) + " attempts)");
  Click(kIdHelpButton);
  Expect(HelpLibraryLoadAttempts() == attempts, "the second ヘルプ does not try again");
  Expect(RecordedHelpCalls().size() == 2 && !RecordedHelpCalls().back().answered, "and shows nothing");
  Expect(g_app.shownMessages.empty(), "no message box");
}

// A whole window, caption included, as 24-bit pixels: an in-process
// copy from the window DC, which the null driver renders too.
struct WindowPixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;  // rows bottom-up, each padded to 4 bytes
  DWORD Stride() const { return static_cast<DWORD>((width * 3 + 3) & ~3); }
  COLORREF At(int x, int y) const {
    const uint8_t* p = bgr.data() + static_cast<size_t>(height - 1 - y) * Stride() + static_cast<size_t>(x) * 3;
    return RGB(p[2], p[1], p[0]);
  }
};

bool CaptureWindow(HWND window, WindowPixels& pixels) {
  RECT rect{};
  GetWindowRect(window, &rect);
  pixels.width = rect.right - rect.left;
  pixels.height = rect.bottom - rect.top;
  HDC windowDc = GetWindowDC(window);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = pixels.width;
  info.bmiHeader.biHeight = pixels.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, pixels.width, pixels.height, windowDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, old);
    GdiFlush();
    const auto* begin = static_cast<const uint8_t*>(bits);
    pixels.bgr.assign(begin, begin + pixels.Stride() * static_cast<DWORD>(pixels.height));
    ok = true;
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memoryDc);
  ReleaseDC(window, windowDc);
  return ok;
}

bool SaveBmp(const WindowPixels& pixels, const std::u16string& path) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = pixels.width;
  header.biHeight = pixels.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const DWORD imageSize = static_cast<DWORD>(pixels.bgr.size());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + imageSize;
  HANDLE out = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                  WriteFile(out, &header, sizeof(header), &written, nullptr) &&
                  WriteFile(out, pixels.bgr.data(), imageSize, &written, nullptr);
  CloseHandle(out);
  return ok;
}

// A window's rectangle in the captured image's coordinates.
RECT InCapture(HWND window) {
  RECT frame{};
  GetWindowRect(g_app.main, &frame);
  RECT rect{};
  GetWindowRect(window, &rect);
  OffsetRect(&rect, -frame.left, -frame.top);
  return rect;
}

// The most frequent colour of `area` outside the `excluded` rectangles: the
// background of a control whatever text or glyph is drawn on it, or of a
// page between its controls.
COLORREF ModeColour(const WindowPixels& pixels, RECT area, const std::vector<RECT>& excluded = {}) {
  area.left = std::max<LONG>(area.left, 0);
  area.top = std::max<LONG>(area.top, 0);
  area.right = std::min<LONG>(area.right, pixels.width);
  area.bottom = std::min<LONG>(area.bottom, pixels.height);
  std::vector<COLORREF> colours;
  for (LONG y = area.top; y < area.bottom; ++y) {
    for (LONG x = area.left; x < area.right; ++x) {
      const POINT point{x, y};
      if (std::none_of(excluded.begin(), excluded.end(), [&point](const RECT& r) { return PtInRect(&r, point); })) {
        colours.push_back(pixels.At(x, y));
      }
    }
  }
  if (colours.empty()) return CLR_INVALID;
  std::sort(colours.begin(), colours.end());
  COLORREF best = colours.front();
  size_t bestRun = 0;
  for (size_t i = 0; i < colours.size();) {
    size_t j = i;
    while (j < colours.size() && colours[j] == colours[i]) ++j;
    if (j - i > bestRun) {
      bestRun = j - i;
      best = colours[i];
    }
    i = j;
  }
  return best;
}

std::string Hex(COLORREF colour) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

SIZE TextExtent(HWND control, const std::u16string& text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

LONG ButtonType(HWND control) { return GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK; }
bool IsCheckOrRadio(LONG type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
         type == BS_3STATE || type == BS_AUTO3STATE;
}

// Every label, check box, radio button and group caption on the page shows
// the page's own background, and the page shows the tab control's body
// around it (no inset of another colour).
void CheckPageBackground(const WindowPixels& pixels, int index) {
  HWND page = g_app.pages[index];
  const RECT pageRect = InCapture(page);
  std::vector<RECT> controls;
  for (HWND control = GetWindow(page, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
    if (IsWindowVisible(control) && !(ClassOf(control) == WC_BUTTONW && ButtonType(control) == BS_GROUPBOX)) {
      controls.push_back(InCapture(control));
    }
  }
  const COLORREF background = ModeColour(pixels, pageRect, controls);
  const RECT margin{pageRect.left - 2, pageRect.top, pageRect.left - 1, pageRect.bottom};
  const std::string name = "page " + std::to_string(index + 1);
  Expect(ModeColour(pixels, margin) == background,
         name + ": page background " + Hex(background) + " is the tab body's " + Hex(ModeColour(pixels, margin)));

  const int glyph = GetSystemMetrics(SM_CXMENUCHECK) + Scaled(4);
  int labels = 0, checks = 0, groups = 0;
  std::string wrong;
  for (HWND control = GetWindow(page, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
    if (!IsWindowVisible(control)) continue;
    RECT area = InCapture(control);
    const std::wstring type = ClassOf(control);
    if (lstrcmpiW(type.c_str(), WC_STATICW) == 0) {
      ++labels;
    } else if (lstrcmpiW(type.c_str(), WC_BUTTONW) == 0 && IsCheckOrRadio(ButtonType(control))) {
      area.left += glyph;  // the text side, not the box or circle
      if (area.left >= area.right) continue;
      ++checks;
    } else if (lstrcmpiW(type.c_str(), WC_BUTTONW) == 0 && ButtonType(control) == BS_GROUPBOX) {
      const SIZE caption = TextExtent(control, WindowText(control));
      area.right = std::min(area.right, area.left + caption.cx + Scaled(16));
      area.bottom = area.top + caption.cy;
      ++groups;
    } else {
      continue;
    }
    const COLORREF colour = ModeColour(pixels, area);
    if (colour != background) wrong += " " + std::to_string(GetDlgCtrlID(control)) + ":" + Hex(colour);
  }
  Expect(wrong.empty(), name + ": " + std::to_string(labels) + " labels, " + std::to_string(checks) +
                            " check boxes and radio buttons, " + std::to_string(groups) +
                            " group captions on the page background" + wrong);
}

// Read-only and disabled edits look different from editable ones.
void CheckEditLooks(const WindowPixels& pixels) {
  auto inside = [&pixels](int id) {
    RECT area = InCapture(Control(id));
    InflateRect(&area, -3, -3);
    return ModeColour(pixels, area);
  };
  const COLORREF editable = inside(kIdQualityEdit);
  Expect(IsWindowEnabled(Control(kIdTopStr)) == FALSE && inside(kIdTopStr) != editable,
         "a disabled edit differs from an editable one (" + Hex(inside(kIdTopStr)) + " / " + Hex(editable) + ")");
  Expect(inside(kIdSummary) != editable, "the read-only summary differs from an editable edit");
}

// Every label and button text fits its control in the program's font.
BOOL CALLBACK CollectChildWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

void CheckTextExtents() {
  std::vector<HWND> controls;
  EnumChildWindows(g_app.main, CollectChildWindow, reinterpret_cast<LPARAM>(&controls));
  const int glyph = GetSystemMetrics(SM_CXMENUCHECK) + Scaled(4);
  const int margin = 2 * (GetSystemMetrics(SM_CXEDGE) + 2);
  int checked = 0;
  std::string clipped;
  for (HWND control : controls) {
    const std::u16string text = WindowText(control);
    if (text.empty()) continue;
    const std::wstring type = ClassOf(control);
    RECT client{};
    GetClientRect(control, &client);
    const SIZE extent = TextExtent(control, text);
    int room = client.right;
    if (lstrcmpiW(type.c_str(), WC_BUTTONW) == 0) {
      const LONG kind = ButtonType(control);
      if (IsCheckOrRadio(kind)) {
        room -= glyph;
      } else if (kind == BS_GROUPBOX) {
        room -= Scaled(16);
      } else {
        room -= margin;
      }
    } else if (lstrcmpiW(type.c_str(), WC_STATICW) != 0) {
      continue;
    }
    ++checked;
    if (extent.cx > room || extent.cy > client.bottom) {
      clipped += " " + std::to_string(GetDlgCtrlID(control)) + " \"" + Utf8(text) + "\" " + std::to_string(extent.cx) +
                 "x" + std::to_string(extent.cy) + " in " + std::to_string(room) + "x" + std::to_string(client.bottom) +
                 ";";
    }
  }
  Expect(clipped.empty(), std::to_string(checked) + " label and button texts fit their controls" + clipped);
}

void PumpPaint() {
  RedrawWindow(g_app.main, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Logs the screen area to save ("WINDOW WxH+X+Y") and READY, then keeps
// what is drawn on screen until the script has saved the X screen and
// created the file "release".
void HoldForScreenCapture(const RECT& area) {
  Log("WINDOW " + std::to_string(area.right - area.left) + "x" + std::to_string(area.bottom - area.top) + "+" +
      std::to_string(area.left) + "+" + std::to_string(area.top));
  Log("READY");
  const std::u16string release = JoinPath(U16(Env(L"PIXLANE_UI_TEST_DIR")), u"release");
  // Waiting in MsgWaitForMultipleObjects lets Wine hand the window's
  // pixels to the X server; nothing is redrawn meanwhile.
  for (int i = 0; i < 600 && !PathExists(release); ++i) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

// ---- The preview and confirmation windows ----

// What the next dialog that opens is to do; ProbeDialog runs it from inside
// the dialog's modal loop.
std::function<void(HWND)> g_dialogDriver;
int g_expectedDialog = 0;
int g_dialogsOpened = 0;

void OnNextDialog(int templateId, std::function<void(HWND)> drive) {
  g_expectedDialog = templateId;
  g_dialogDriver = std::move(drive);
}

void PressDialogButton(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// The modal loop shows a dialog only once its queue has run empty, after
// the probe: it is shown here to be drawn.
void PaintDialog(HWND dialog) {
  ShowWindow(dialog, SW_SHOWNORMAL);
  for (int i = 0; i < 2; ++i) {
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
    if (i == 0) Sleep(100);
  }
}

int RowOf(const std::u16string& name) {
  for (size_t i = 0; i < g_app.inputEntries.size(); ++i) {
    if (g_app.inputEntries[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

void SetSelected(int row, bool selected) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageW(g_app.inputList, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void SelectOnly(int row) {
  SetSelected(-1, false);
  SetSelected(row, true);
}

void CheckOnly(const std::vector<std::u16string>& names) {
  for (size_t i = 0; i < g_app.inputEntries.size(); ++i) {
    const bool on = std::find(names.begin(), names.end(), g_app.inputEntries[i].name) != names.end();
    ListView_SetCheckState(g_app.inputList, static_cast<int>(i), on ? TRUE : FALSE);
  }
}

// The box's client area in the captured main window.
RECT PreviewBoxInCapture() {
  HWND box = Control(kIdPreviewBox);
  RECT frame{};
  GetWindowRect(g_app.main, &frame);
  RECT client{};
  GetClientRect(box, &client);
  MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&client), 2);
  OffsetRect(&client, -frame.left, -frame.top);
  return client;
}

// Draws the page and checks where the picture lies: the picture's own
// colours inside `picture` (box coordinates), the button face around it.
void CheckPreviewPixels(const FittedRect& picture, const std::string& what) {
  ShowWindow(g_app.main, SW_SHOWNORMAL);
  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 1, 0);
  PumpPaint();
  WindowPixels pixels;
  if (!CaptureWindow(g_app.main, pixels)) {
    Expect(false, what + ": window captured");
    return;
  }
  const RECT box = PreviewBoxInCapture();
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  if (picture.width == 0) {
    int other = 0;
    for (LONG y = box.top; y < box.bottom; ++y) {
      for (LONG x = box.left; x < box.right; ++x) other += pixels.At(x, y) != face ? 1 : 0;
    }
    Expect(box.right > box.left && other == 0, what + ": the whole box in the button face (" + std::to_string(other) +
                                                     " other pixels)");
    return;
  }
  const RECT inside{box.left + picture.x, box.top + picture.y, box.left + picture.x + picture.width,
                    box.top + picture.y + picture.height};
  const COLORREF middle = ModeColour(pixels, inside);
  const COLORREF around = ModeColour(pixels, box, {inside});
  Expect(middle != face && around == face,
         what + ": picture " + Hex(middle) + " at " + std::to_string(picture.x) + "," + std::to_string(picture.y) +
             " " + std::to_string(picture.width) + "x" + std::to_string(picture.height) + ", margins " + Hex(around));
  // The rows right outside the picture belong to the margin.
  if (picture.y > 0) {
    const RECT above{inside.left, inside.top - 1, inside.right, inside.top};
    Expect(ModeColour(pixels, above) == face, what + ": the row above the picture is margin");
  }
  if (picture.x > 0) {
    const RECT left{inside.left - 1, inside.top, inside.left, inside.bottom};
    Expect(ModeColour(pixels, left) == face, what + ": the column left of the picture is margin");
  }
}

// The box on the "個別入力" page: one selected row is previewed (JPEG at
// full size although reduction is on), a file that cannot be read keeps
// the previous preview, a click opens the file, a check click on a
// multiple selection checks every selected row without touching the
// preview, and rebuilding the list clears it.
void InputPreviewScenario() {
  const std::u16string in = TestDir(L"in");
  const int photo = RowOf(u"photo.jpg");
  const int broken = RowOf(u"broken.bmp");
  const int fourBit = RowOf(u"c.bmp");
  Expect(photo >= 0 && broken >= 0 && fourBit >= 0 && g_app.inputEntries.size() == 7, "seven files listed");
  Expect(InputPreviewPath().empty() && ControlText(kIdPreviewName).empty() && ControlText(kIdPreviewInfo).empty(),
         "nothing previewed at first");
  SendMessageW(Control(kIdPreviewBox), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  Expect(RecordedPreviewOpens().empty(), "a click on the empty box opens nothing");
  CheckPreviewPixels({0, 0, 0, 0}, "empty box");

  SelectOnly(photo);
  Expect(InputPreviewPath() == JoinPath(in, u"photo.jpg") && InputPreviewHasPixels(), "one selected row previewed");
  Expect(ControlText(kIdPreviewName) == u"photo.jpg", "name label: " + Utf8(ControlText(kIdPreviewName)));
  Expect(ControlText(kIdPreviewInfo) == u"100 x 75    24bit",
         "JPEG decoded at full size: " + Utf8(ControlText(kIdPreviewInfo)));
  Expect(g_app.params.RszOpt == 3 && g_app.params.RszSize == 40, "the reduction setting is untouched");
  RECT client{};
  GetClientRect(Control(kIdPreviewBox), &client);
  CheckPreviewPixels(FitImageRect(client.right, client.bottom, 100, 75), "100 x 75 centred");

  SelectOnly(RowOf(u"wide.bmp"));
  Expect(ControlText(kIdPreviewInfo) == u"600 x 150    24bit", "wide image: " + Utf8(ControlText(kIdPreviewInfo)));
  CheckPreviewPixels(FitImageRect(client.right, client.bottom, 600, 150), "600 x 150 fitted");

  SelectOnly(fourBit);
  Expect(ControlText(kIdPreviewName) == u"c.bmp" && ControlText(kIdPreviewInfo) == u"6 x 3    4bit",
         "the file's own depth: " + Utf8(ControlText(kIdPreviewInfo)));
  SelectOnly(broken);
  Expect(InputPreviewPath() == JoinPath(in, u"c.bmp") && InputPreviewHasPixels() &&
             ControlText(kIdPreviewName) == u"c.bmp" && ControlText(kIdPreviewInfo) == u"6 x 3    4bit",
         "an unreadable file keeps the previous preview");
  SendMessageW(Control(kIdPreviewBox), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  Expect(!RecordedPreviewOpens().empty() && RecordedPreviewOpens().back() == JoinPath(in, u"c.bmp"),
         "a click on the box opens the previewed file");

  // Five rows selected (a.bmp .. d.bmp and broken.bmp): one check click
  // acts on all five and leaves the other rows and the preview alone.
  SetSelected(-1, false);
  std::vector<int> five;
  for (const char16_t* name : {u"a.bmp", u"b.bmp", u"broken.bmp", u"c.bmp", u"d.bmp"}) five.push_back(RowOf(name));
  for (int row : five) SetSelected(row, true);
  Expect(SendMessageW(g_app.inputList, LVM_GETSELECTEDCOUNT, 0, 0) == 5, "five rows selected");
  const std::u16string shown = InputPreviewPath();
  ListView_SetCheckState(g_app.inputList, five[2], FALSE);
  bool allOff = true;
  for (int row : five) allOff = allOff && !ListView_GetCheckState(g_app.inputList, row);
  Expect(allOff && ListView_GetCheckState(g_app.inputList, photo), "unchecking one of five unchecks all five");
  ListView_SetCheckState(g_app.inputList, five[0], TRUE);
  bool allOn = true;
  for (int row : five) allOn = allOn && ListView_GetCheckState(g_app.inputList, row);
  Expect(allOn, "checking one of five checks all five");
  Expect(InputPreviewPath() == shown, "the check clicks do not change the preview");
  // The selection shrinks to one row: that row is shown.
  for (int row : five) {
    if (row != five[1]) SetSelected(row, false);
  }
  Expect(InputPreviewPath() == JoinPath(in, u"b.bmp") && ControlText(kIdPreviewInfo) == u"5 x 3    8bit",
         "the row the selection settles on is previewed");

  const size_t opens = RecordedPreviewOpens().size();
  Choose(kIdInputFormat2, 0);  // the list is built again
  Expect(InputPreviewPath().empty() && !InputPreviewHasPixels() && ControlText(kIdPreviewName).empty() &&
             ControlText(kIdPreviewInfo).empty(),
         "rebuilding the list clears the preview");
  SendMessageW(Control(kIdPreviewBox), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  Expect(RecordedPreviewOpens().size() == opens, "and a click opens nothing");
  CheckPreviewPixels({0, 0, 0, 0}, "cleared box");
}

// The output preview: dialog 2100 shows the converted first checked file
// at 100 % or scaled to the work area, with percent and size in the
// caption; the temporary file is gone afterwards, also when the conversion
// fails, and the output folder is never touched.
void OutputPreviewScenario() {
  const std::u16string temp = TestDir(L"tmp");
  CreateDirectoryW(W(temp), nullptr);
  SetEnvironmentVariableW(L"TMP", W(temp));
  SetEnvironmentVariableW(L"TEMP", W(temp));
  const std::u16string out = TestDir(L"out");

  struct Seen {
    bool open = false;
    std::u16string caption;
    std::u16string expectedCaption;
    RECT child{};
    RECT window{};
    size_t tempFiles = 0;
  };
  auto look = [&temp](HWND dialog, Seen& seen) {
    seen.open = true;
    seen.caption = WindowText(dialog);
    GetClientRect(GetDlgItem(dialog, kIdOutputPreviewChild), &seen.child);
    GetWindowRect(dialog, &seen.window);
    seen.tempFiles = FileCount(temp);
    std::vector<DirectoryEntry> entries;
    uint64_t bytes = 0;
    if (ListDirectory(temp, entries) && entries.size() == 1) GetFileSize(JoinPath(temp, entries[0].name), bytes);
    seen.expectedCaption = u"% / " + GroupedDecimal(bytes / 1024) + u"KB";
  };

  // A 5 x 3 picture: 100 %, the child as wide as a window can be narrow.
  CheckOnly({u"a.bmp"});
  Seen small;
  OnNextDialog(kIdOutputPreviewDialog, [&](HWND dialog) {
    look(dialog, small);
    Expect(GetParent(dialog) == g_app.main || GetWindow(dialog, GW_OWNER) == g_app.main, "owned by the main window");
    Expect(!IsWindowEnabled(g_app.main), "the main window waits");
    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0);  // Enter closes it
  });
  Click(kIdPreviewButton);
  Expect(small.open, "出力プレビュー opens the preview");
  const int minimum = GetSystemMetrics(SM_CXMIN) - 2 * GetSystemMetrics(SM_CYDLGFRAME);
  Expect(small.child.bottom == 3 && small.child.right == std::max(5, minimum),
         "child " + std::to_string(small.child.right) + " x " + std::to_string(small.child.bottom));
  Expect(small.caption == u"100" + small.expectedCaption, "caption " + Utf8(small.caption));
  Expect(small.tempFiles == 1, "one temporary file while it is open");
  Expect(FileCount(temp) == 0 && FileCount(out) == 0, "no temporary file afterwards, nothing in the output folder");
  Expect(IsWindowEnabled(g_app.main) && !g_app.batchRunning, "the main window is back");

  // Larger than the work area: scaled by the factor, centred.
  CheckOnly({u"big.bmp"});
  Seen big;
  OnNextDialog(kIdOutputPreviewDialog, [&](HWND dialog) {
    look(dialog, big);
    PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);  // Esc closes it
  });
  Click(kIdPreviewButton);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(g_app.main, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT work = monitor.rcWork;
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
  const OutputPreviewSize size =
      ScaleOutputPreview(2400, 1600, (work.right - work.left) - (frame.right - frame.left),
                         (work.bottom - work.top) - (frame.bottom - frame.top));
  Expect(big.open && size.percent < 100, "the large picture opens scaled (" + std::to_string(size.percent) + "%)");
  Expect(big.child.right == std::max(size.width, minimum) && big.child.bottom == size.height,
         "child " + std::to_string(big.child.right) + " x " + std::to_string(big.child.bottom) + " for " +
             std::to_string(size.width) + " x " + std::to_string(size.height));
  Expect(big.caption == Utf8ToUtf16(std::to_string(size.percent)) + big.expectedCaption,
         "caption " + Utf8(big.caption));
  Expect(big.window.left >= work.left && big.window.top >= work.top && big.window.right <= work.right &&
             big.window.bottom <= work.bottom &&
             std::abs((big.window.left + big.window.right) - (work.left + work.right)) <= 1,
         "the window lies centred on the work area");
  Expect(FileCount(temp) == 0, "no temporary file after Esc");

  // A file that cannot be converted: no window, no temporary file.
  CheckOnly({u"broken.bmp", u"c.bmp"});
  g_app.shownMessages.clear();
  const int opened = g_dialogsOpened;
  OnNextDialog(kIdOutputPreviewDialog, [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
  Click(kIdPreviewButton);
  g_dialogDriver = nullptr;
  Expect(g_dialogsOpened == opened, "a first file that fails shows no preview");
  Expect(FileCount(temp) == 0 && FileCount(out) == 0, "and leaves no temporary file behind");

  CheckOnly({});
  Click(kIdPreviewButton);
  Expect(Shown(6) && FileCount(temp) == 0, "nothing checked: message 6");
}

std::vector<std::u16string> ListRows(HWND list, int column) {
  std::vector<std::u16string> rows;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t buffer[MAX_PATH] = {};
    ListView_GetItemText(list, i, column, buffer, MAX_PATH);
    rows.push_back(U16(buffer));
  }
  return rows;
}

std::u16string Joined(const std::vector<std::u16string>& items) {
  std::u16string text;
  for (const std::u16string& item : items) text += item + u",";
  return text;
}

// "ファイル名確認": the names PreviewNames gives (prefix, PNG extension, a
// name already taken in the output folder) in dialog 2000; "閉じる" writes
// nothing, "変換" converts into exactly those names.
void NamesScenario() {
  const std::u16string out = TestDir(L"out");
  CheckOnly({u"a.bmp", u"b.bmp", u"d.bmp"});

  std::vector<std::u16string> inputs;
  std::vector<std::u16string> outputs;
  OnNextDialog(kIdNameDialog, [&](HWND dialog) {
    Expect(WindowText(dialog) == u"ファイル名確認", "caption ファイル名確認");
    RECT client{};
    GetClientRect(dialog, &client);
    RECT units{0, 0, 180, 270};
    MapDialogRect(dialog, &units);
    Expect(client.right == units.right && client.bottom == units.bottom, "180 x 270 dialog units");
    RECT window{};
    RECT main{};
    GetWindowRect(dialog, &window);
    GetWindowRect(g_app.main, &main);
    Expect(window.left == main.left && window.top == main.top, "at the main window's top-left corner");
    HWND list = GetDlgItem(dialog, kIdNameList);
    const DWORD extended = static_cast<DWORD>(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    Expect((extended & LVS_EX_FULLROWSELECT) && (extended & LVS_EX_GRIDLINES), "full-row select and grid lines");
    Expect(reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)) == g_app.font, "the program's font");
    wchar_t title[32] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = title;
    column.cchTextMax = 32;
    SendMessageW(list, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    Expect(U16(title) == u"入力ファイル名" && column.cx == Scaled(135), "column 入力ファイル名, 135");
    SendMessageW(list, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    Expect(U16(title) == u"出力ファイル名" && column.cx == Scaled(145), "column 出力ファイル名, 145");
    inputs = ListRows(list, 0);
    outputs = ListRows(list, 1);
    PressDialogButton(dialog, IDCANCEL);
  });
  Click(kIdNamesButton);
  Expect(Joined(inputs) == u"a.bmp,b.bmp,d.bmp,", "input names " + Utf8(Joined(inputs)));
  Expect(Joined(outputs) == u"s_a+1.png,s_b.png,s_d.png,", "output names " + Utf8(Joined(outputs)));
  Expect(FileCount(out) == 1 && !Shown(100), "閉じる converts nothing");

  OnNextDialog(kIdNameDialog, [](HWND dialog) { PressDialogButton(dialog, IDOK); });
  Click(kIdNamesButton);
  Expect(Shown(100), "変換 converts with the summary");
  std::vector<std::u16string> written;
  for (const std::u16string& name : outputs) {
    if (PathExists(JoinPath(out, name))) written.push_back(name);
  }
  Expect(written == outputs && FileCount(out) == 4, "the files got the names shown (" + Utf8(Joined(written)) + ")");

  // The checks before the window.
  g_app.shownMessages.clear();
  CheckOnly({});
  Click(kIdNamesButton);
  Expect(Shown(6), "nothing checked: message 6");
  g_app.shownMessages.clear();
  CheckOnly({u"a.bmp"});
  SetWindowTextW(g_app.outputBox, W(JoinPath(out, u"missing")));
  Click(kIdNamesButton);
  Expect(Shown(4), "no output folder: message 4");
  SetWindowTextW(g_app.outputBox, W(out));
}

// "作成": dialog 2200 with the current comment; キャンセル keeps it, OK stores
// the text with its CR LF line breaks (checked again after a restart).
void CommentScenario() {
  const std::u16string twoLines = u"一行目\r\n二行目";
  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 2, 0);
  Expect(g_app.params.CmtStr1 == u"old comment", "comment from the file: " + Utf8(g_app.params.CmtStr1));
  bool opened = false;
  OnNextDialog(kIdCommentDialog, [&](HWND dialog) {
    opened = true;
    Expect(WindowText(dialog) == u"コメント作成", "caption コメント作成");
    HWND edit = GetDlgItem(dialog, kIdCommentText);
    Expect(WindowText(edit) == u"old comment", "the edit shows the comment");
    Expect(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0) == 10000, "up to 10000 characters");
    const LONG style = GetWindowLongW(edit, GWL_STYLE);
    Expect((style & ES_MULTILINE) && (style & ES_WANTRETURN) && (style & WS_VSCROLL) && (style & ES_AUTOVSCROLL),
           "multi-line, Enter makes a line break, vertical scrolling");
    SetWindowTextW(edit, W(twoLines));
    PressDialogButton(dialog, IDCANCEL);
  });
  Click(kIdCommentEdit);
  Expect(opened && g_app.params.CmtStr1 == u"old comment", "キャンセル leaves CmtStr1 unchanged");

  Click(kIdComment);  // the summary follows the settings after OK
  OnNextDialog(kIdCommentDialog, [&](HWND dialog) {
    SetWindowTextW(GetDlgItem(dialog, kIdCommentText), W(twoLines));
    PressDialogButton(dialog, IDOK);
  });
  Click(kIdCommentEdit);
  Expect(g_app.params.CmtStr1 == twoLines, "OK stores both lines with CR LF");
  Expect(ControlText(kIdSummary) == DetailSummaryText(g_app.params), "summary up to date");
}

void CommentReloadScenario() {
  const std::u16string twoLines = u"一行目\r\n二行目";
  Expect(g_app.params.CmtStr1 == twoLines, "the comment survived the restart: " + Utf8(g_app.params.CmtStr1));
  OnNextDialog(kIdCommentDialog, [&](HWND dialog) {
    Expect(WindowText(GetDlgItem(dialog, kIdCommentText)) == twoLines, "the edit shows both lines");
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  Click(kIdCommentEdit);
}


// The open dialog drawn and saved as `name` + suffix + ".bmp".
void CaptureDialog(HWND dialog, const std::u16string& name, const std::u16string& suffix) {
  PaintDialog(dialog);
  WindowPixels shot;
  const std::u16string path = JoinPath(U16(Env(L"PIXLANE_UI_TEST_DIR")), name + suffix + u".bmp");
  Expect(CaptureWindow(dialog, shot) && SaveBmp(shot, path),
         "captured " + Utf8(name));
}

// The photo of the listed folder (the first JPEG), or -1.
int PhotoRow() {
  for (size_t i = 0; i < g_app.inputEntries.size(); ++i) {
    const std::u16string& name = g_app.inputEntries[i].name;
    if (name.size() > 4 && name.substr(name.size() - 4) == u".jpg") return static_cast<int>(i);
  }
  return -1;
}

// Draws every page (the input page with the photo previewed), saves it as
// page-N-name.bmp and checks its pixels, then the text extents of every
// label and button; then the version window, the name confirmation and the
// output preview of the photo.
void ScreenshotScenario() {
  ShowWindow(g_app.main, SW_SHOWNORMAL);
  const char* names[] = {"general", "input", "details", "options", "plugins"};
  const std::u16string suffix = U16(Env(L"PIXLANE_UI_SHOT_SUFFIX"));
  const int photo = PhotoRow();
  Expect(photo >= 0, "a photo is listed");
  if (photo >= 0) SelectOnly(photo);
  Expect(InputPreviewHasPixels(), "the photo is previewed");
  for (int i = 0; i < kPageCount; ++i) {
    SendMessageW(g_app.tab, TCM_SETCURFOCUS, static_cast<WPARAM>(i), 0);
    PumpPaint();
    Sleep(100);
    PumpPaint();
    const std::u16string name =
        u"page-" + Utf8ToUtf16(std::to_string(i + 1)) + u"-" + Utf8ToUtf16(names[i]) + suffix + u".bmp";
    const std::u16string path = JoinPath(U16(Env(L"PIXLANE_UI_TEST_DIR")), name);
    WindowPixels pixels;
    Expect(CaptureWindow(g_app.main, pixels) && SaveBmp(pixels, path), std::string("captured ") + names[i]);
    CheckPageBackground(pixels, i);
    if (i == 0) CheckEditLooks(pixels);
  }
  CheckTextExtents();
  if (!Env(L"PIXLANE_UI_SHOT_HOLD").empty()) {
    // The first page stays on screen until the script has saved the X
    // screen and created the file "release".
    SendMessageW(g_app.tab, TCM_SETCURFOCUS, 0, 0);
    PumpPaint();
    RECT rect{};
    GetWindowRect(g_app.main, &rect);
    HoldForScreenCapture(rect);
  }
  SendMessageW(g_app.tab, TCM_SETCURFOCUS, 0, 0);
  Click(kIdVersionButton);
  HWND version = OpenVersionWindow();
  Expect(version != nullptr, "version window open");
  if (!version) return;
  PumpPaint();
  Sleep(100);
  RedrawWindow(version, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpPaint();
  WindowPixels shot;
  Expect(CaptureWindow(version, shot) &&
             SaveBmp(shot, JoinPath(U16(Env(L"PIXLANE_UI_TEST_DIR")), u"version-window.bmp")),
         "captured the version window");
  SendMessageW(version, WM_CLOSE, 0, 0);

  OnNextDialog(kIdNameDialog, [&suffix](HWND dialog) {
    CaptureDialog(dialog, u"name-confirmation", suffix);
    PressDialogButton(dialog, IDCANCEL);
  });
  Click(kIdNamesButton);
  if (photo >= 0) {
    CheckOnly({g_app.inputEntries[static_cast<size_t>(photo)].name});
    OnNextDialog(kIdOutputPreviewDialog, [&suffix](HWND dialog) {
      CaptureDialog(dialog, u"output-preview", suffix);
      SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    Click(kIdPreviewButton);
  }
  Expect(g_dialogsOpened == (photo >= 0 ? 2 : 1), "the name confirmation and the output preview opened");
}

}  // namespace

namespace self_test {

void Expect(bool condition, const std::string& what) { ui::Expect(condition, what); }
void Log(const std::string& line) { ui::Log(line); }
std::wstring Env(const wchar_t* name) { return ui::Env(name); }
std::u16string TestDir(const wchar_t* sub) { return ui::TestDir(sub); }
bool Shown(int code) { return ui::Shown(code); }
void Click(int id) { ui::Click(id); }
void PumpPaint() { ui::PumpPaint(); }
bool SaveWindowShot(const std::u16string& path) {
  WindowPixels pixels;
  return CaptureWindow(g_app.main, pixels) && SaveBmp(pixels, path);
}
void HoldForScreenCapture(const RECT& area) { ui::HoldForScreenCapture(area); }
HGLOBAL MakeDrop(POINT point, const std::vector<std::wstring>& paths) { return ui::MakeDrop(point, paths); }

}  // namespace self_test

void RunSelfTest(const std::wstring& scenario) {
  if (scenario == L"pages") {
    PagesScenario();
  } else if (scenario == L"convert") {
    ConvertScenario();
  } else if (scenario == L"typed") {
    TypedFolderScenario();
  } else if (scenario == L"short-names") {
    ShortNamesScenario();
  } else if (scenario == L"drop") {
    DropScenario();
  } else if (scenario == L"open") {
    OpenScenario();
  } else if (scenario == L"plugins") {
    PluginsScenario();
  } else if (scenario == L"wait-restore") {
    WaitRestoreScenario();
  } else if (scenario == L"screenshots") {
    ScreenshotScenario();
  } else if (scenario == L"version") {
    VersionScenario();
  } else if (scenario == L"help") {
    HelpScenario();
  } else if (scenario == L"help-missing") {
    HelpMissingScenario();
  } else if (scenario == L"help-registry") {
    HelpRegistryScenario();
  } else if (RunFolderTreeScenario(scenario)) {
  } else if (scenario == L"input-preview") {
    InputPreviewScenario();
  } else if (scenario == L"output-preview") {
    OutputPreviewScenario();
  } else if (scenario == L"names") {
    NamesScenario();
  } else if (scenario == L"comment") {
    CommentScenario();
  } else if (scenario == L"comment-reload") {
    CommentReloadScenario();
  } else if (scenario == L"second") {
    Expect(false, "a second instance opened its own window");
  } else {
    Expect(false, "unknown scenario");
  }
  Log(g_failures == 0 ? "DONE" : "DONE with failures");
  PostMessageW(g_app.main, WM_CLOSE, 0, 0);
}

void ProbeDialog(HWND dialog, int templateId) {
  ++g_dialogsOpened;
  std::function<void(HWND)> drive = std::move(g_dialogDriver);
  g_dialogDriver = nullptr;
  if (!drive || templateId != g_expectedDialog) {
    Expect(false, "dialog " + std::to_string(templateId) + " opened unexpectedly");
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  drive(dialog);
}

}  // namespace pixlane::ui
