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
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "ui/control_ids.h"
#include "ui/ui_app.h"

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

// Writes the whole main window, caption included, as a 24-bit BMP: an
// in-process copy from the window DC, which the null driver renders too.
bool CaptureWindow(const std::u16string& path) {
  RECT rect{};
  GetWindowRect(g_app.main, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC windowDc = GetWindowDC(g_app.main);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, old);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    HANDLE out = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
           WriteFile(out, &info.bmiHeader, sizeof(BITMAPINFOHEADER), &written, nullptr) &&
           WriteFile(out, bits, imageSize, &written, nullptr);
      CloseHandle(out);
    }
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memoryDc);
  ReleaseDC(g_app.main, windowDc);
  return ok;
}

void PumpPaint() {
  RedrawWindow(g_app.main, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ScreenshotScenario() {
  ShowWindow(g_app.main, SW_SHOWNORMAL);
  const char* names[] = {"general", "input", "details", "options", "plugins"};
  for (int i = 0; i < kPageCount; ++i) {
    SendMessageW(g_app.tab, TCM_SETCURFOCUS, static_cast<WPARAM>(i), 0);
    PumpPaint();
    Sleep(100);
    PumpPaint();
    const std::u16string name = u"page-" + Utf8ToUtf16(std::to_string(i + 1)) + u"-" + Utf8ToUtf16(names[i]) + u".bmp";
    const std::u16string path = JoinPath(U16(Env(L"PIXLANE_UI_TEST_DIR")), name);
    Expect(CaptureWindow(path), std::string("captured ") + names[i]);
  }
}

}  // namespace

void RunSelfTest(const std::wstring& scenario) {
  if (scenario == L"pages") {
    PagesScenario();
  } else if (scenario == L"convert") {
    ConvertScenario();
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
  } else if (scenario == L"second") {
    Expect(false, "a second instance opened its own window");
  } else {
    Expect(false, "unknown scenario");
  }
  Log(g_failures == 0 ? "DONE" : "DONE with failures");
  PostMessageW(g_app.main, WM_CLOSE, 0, 0);
}

}  // namespace pixlane::ui
