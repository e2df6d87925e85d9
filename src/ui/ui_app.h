// The Win32 shell's shared state and the entry points its units offer one
// another: main window, tab pages, shell integration (command line, drops,
// folder watch, Send To), the batch host and the in-process test mode.
// Everything runs on the one user-interface thread.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_context.h"
#include "engine/input_list.h"
#include "settings/conversion_parameters.h"
#include "settings/error_messages.h"
#include "settings/window_settings.h"
#include "ui/ui_model.h"

namespace pixlane::ui {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

inline const wchar_t* W(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string U16(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}
inline std::u16string U16(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

inline constexpr wchar_t kMainClass[] = L"Pixlane_main_class";
inline constexpr wchar_t kTreeBaseClass[] = L"Pixlane_trbase_class";
inline constexpr wchar_t kMainBaseClass[] = L"Pixlane_mnbase_class";
inline constexpr wchar_t kTabBaseClass[] = L"Pixlane_tabbase_class";
inline constexpr wchar_t kInputPreviewClass[] = L"Pixlane_isetprv_class";
inline constexpr wchar_t kOutputPreviewClass[] = L"Pixlane_oprv_class";
inline constexpr int kPageCount = 5;
// Posted to the main window to start the in-process test mode.
inline constexpr UINT kMsgStartSelfTest = WM_APP + 1;
// Posted when the theme or the colours changed, after every window has
// seen the change: the pages' background is rendered again.
inline constexpr UINT kMsgRefreshPageBackground = WM_APP + 2;

struct App {
  HINSTANCE instance = nullptr;
  HANDLE heap = nullptr;
  HFONT font = nullptr;
  // The system DPI the layout is scaled to (the program is DPI-aware).
  uint32_t dpi = 96;
  HFONT menuFont = nullptr;
  HBRUSH menuBrush = nullptr;
  HHOOK keyboardHook = nullptr;
  bool themeActive = false;
  std::u16string iniPath;
  ConversionParameters params;
  WindowSettings window;
  EngineContext engine;

  HWND main = nullptr;
  HWND treePanel = nullptr;
  HWND mainPanel = nullptr;
  HWND tab = nullptr;
  HWND pages[kPageCount] = {};
  HWND tooltip = nullptr;
  HWND progress = nullptr;
  HWND inputBox = nullptr;
  HWND outputBox = nullptr;
  HWND inputList = nullptr;
  HWND pluginList = nullptr;

  HANDLE watch = INVALID_HANDLE_VALUE;
  // The folder the input list (and the watch) belong to; the box text may
  // differ while the user types until it is committed or a run starts.
  std::u16string listedFolder;
  std::vector<InputListEntry> inputEntries;
  bool batchRunning = false;
  bool closing = false;

  // Test mode: boxes are recorded, not shown, and answered as below.
  bool testMode = false;
  std::vector<int> shownMessages;  // ErrorMessage codes; 100 = summary box
  bool testAbortAnswer = true;
};

extern App g_app;

// A layout size given for 96 DPI, in pixels at the system DPI.
inline int Scaled(int value) { return ScaleToDpi(value, g_app.dpi); }

// main_window.cpp
bool RegisterWindowClasses();
HWND CreateMainWindow(int x, int y);
HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                   int x, int y, int width, int height, int id, DWORD exStyle = 0);
void AddTooltip(HWND control, const wchar_t* text);
void ToggleTopMost();
// Adds an owner-drawn popup item (measured and drawn by the main window);
// `text` is the item data and must outlive the menu.
bool AppendOwnerDrawnMenuItem(HMENU menu, UINT id, const wchar_t* text, UINT flags = 0);
void ReleaseMenuResources();
void RefreshThemeState();

// tab_pages.cpp
void CreateTabPages(HWND tab);
void SelectPage(int index);
// Re-renders the pages' background from the tab control (at creation and
// when the theme or the system colours change).
void RefreshPageBackground();
void ReleasePageBackground();
LRESULT HandleOptionCommand(HWND from, int id, int code, HWND control);
void ApplyEnableRules();
void RefreshDetailSummary();
void ReadEditedValues();  // RefreshFromControls with the pages' edits
void ShowSettingsInControls();
void FillInputListView(std::u16string_view folder);
std::vector<std::u16string> CheckedInputNames();
std::u16string WindowText(HWND window);
std::u16string ControlText(int id);
HWND Control(int id);
void SetCheck(int id, bool checked);
bool IsChecked(int id);
void RestoreSubclassedLists();

// shell_integration.cpp
void SetInputFolder(std::u16string_view folder);
// Enter and focus loss in the input folder box list a typed folder.
void SubclassInputBox(HWND box);
void RestoreInputBox();
// Lists the folder typed into the input folder box when it names another
// existing folder than the listed one.
void CommitInputFolderText();
// Called when a run ("変換", "出力プレビュー", "ファイル名確認") starts: true
// when the list belongs to the folder named in the box; otherwise the list
// is rebuilt for the box text, message 7 (another folder) or 3 (no folder)
// shown and false returned, so that nothing unseen is converted.
bool InputListMatchesBox();
void WatchInputFolder(std::u16string_view folder);
void CloseInputFolderWatch();
bool CheckInputFolderChanged(bool showMessage);
// Rebuilds the list and re-arms the watch when the folder changed; true then.
bool ReloadInputListIfChanged();
bool HandleCommandLine(int count, wchar_t** arguments);
void HandleDrop(HDROP drop);
// A folder dropped (from Explorer or dragged from the folder tree) on a
// folder box or folder field; false for the other targets.
bool DropFolderOn(DropTarget target, const std::u16string& folder);
void UpdateSendToShortcut(bool registerShortcut);
bool SendToShortcutExists();
bool ResolveShortcut(std::u16string& path);
bool BrowseForFolder(HWND owner, const wchar_t* title, std::u16string& folder);
bool IsShortcut(const std::u16string& path);
std::u16string LongPathName(const std::u16string& path);

// gui_batch_host.cpp
void ShowErrorMessage(ErrorMessage code);
void RunConvertCommand();
void RunPathConversion(const std::vector<std::u16string>& paths, bool useMainOutputFolder);
void ShowFolderHistories();

// help_viewer.cpp
// HTML Help commands used here.
inline constexpr UINT kHhHelpContext = 0x000F;
inline constexpr UINT kHhCloseAll = 0x0012;
inline constexpr UINT kHhInitialize = 0x001C;
inline constexpr UINT kHhUninitialize = 0x001D;
inline constexpr UINT kHhPreTranslateMessage = 0x00FD;
// One call of HtmlHelpW as the test mode records it.
struct HelpCall {
  std::u16string file;
  UINT command = 0;
  DWORD_PTR data = 0;
  bool answered = false;  // the viewer returned a window
};
// The HTML Help API entry: loads the control's library on the first call
// (its registered in-process server, else "hhctrl.ocx"); returns null, at
// once and for the rest of the run, once that failed.
HWND HtmlHelpW(HWND owner, const wchar_t* file, UINT command, DWORD_PTR data);
// The executable's path with the extension ".chm"; empty when unknown.
std::u16string HelpFilePath();
// "ヘルプ": the help file at the context of the tab page that is showing.
void ShowHelp();
// For the message loop: lets an open viewer handle its keys. Never loads.
bool PreTranslateHelpMessage(MSG* message);
// At exit: closes open viewers and releases the library if it was loaded.
void CloseHelpViewer();
const std::vector<HelpCall>& RecordedHelpCalls();
int HelpLibraryLoadAttempts();

// version_window.cpp
// "Ver.": the version window over the disabled main window; a second call
// while it is open only brings it forward.
void ShowVersionWindow();
// The targets the link of the version window was asked to open (test mode,
// where nothing is launched).
const std::vector<std::u16string>& RecordedLinkOpens();

// plugin_page.cpp
void SetUpPluginList();
void RefreshPluginList();
// After "SPI" changed: refills the plug-in list and re-lists the input folder.
void PluginFolderChanged();
void OpenSelectedPluginSettings();
// input_preview.cpp: the preview box of "個別入力".
// Shows `path` in the box when it can be read; otherwise nothing changes.
void ShowInputPreview(const std::u16string& path);
// Empties box and labels and releases the pixels (list rebuilt, shutdown).
void ClearInputPreview();
// An LVN_ITEMCHANGED of the input list: previews the row the selection
// settles on when exactly one row is selected.
void InputListSelectionChanged(UINT oldState, UINT newState);
LRESULT CALLBACK InputPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
const std::u16string& InputPreviewPath();
bool InputPreviewHasPixels();
// The files a click on the box was to open (test mode, nothing launched).
const std::vector<std::u16string>& RecordedPreviewOpens();

// output_preview.cpp: "出力プレビュー" and dialog 2100.
void RunOutputPreviewCommand();
void ShowOutputPreview(std::u16string_view tempPath);
LRESULT CALLBACK OutputPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// name_confirmation.cpp: "ファイル名確認" and dialog 2000; 1 when it was
// closed with "変換" (the conversion has run then), else 0.
int ShowNameConfirmation();

// comment_editor.cpp: "作成" and dialog 2200; true when OK stored the text.
bool EditComment();

// program_main.cpp
void Shutdown();

// ui_self_test.cpp
void RunSelfTest(const std::wstring& scenario);
// Posted by each dialog to itself once it is open, in test mode: the
// scenario then drives it from inside its modal loop (ProbeDialog).
inline constexpr UINT kMsgDialogProbe = WM_APP + 14;
void ProbeDialog(HWND dialog, int templateId);

}  // namespace pixlane::ui
