// The program entry: preconditions (operating system, executable name and
// settings file), the single instance, initialisation in its fixed order
// (settings, classes, common controls, keyboard hook, main window, command
// line, show), the message loop, and the shutdown that saves the settings.
// COM is initialised before the command line, which resolves shortcuts. The
// help library is loaded only when help is first asked for.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "platform/ini_file.h"
#include "platform/known_folders.h"
#include "settings/error_messages.h"
#include "settings/ini_location.h"
#include "settings/settings_store.h"
#include "ui/control_ids.h"
#include "ui/folder_tree.h"
#include "ui/ui_app.h"

namespace pixlane::ui {
namespace {

int OperatingSystemClass() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
  if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) return 1;
  if (info.dwMajorVersion == 6) return 2;
  if (info.dwMajorVersion >= 7) return 3;
  return 0;
}

// The system DPI of this DPI-aware program: the layout and the font are
// scaled to it.
uint32_t SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<uint32_t>(dpi) : 96;
}

HFONT CreateInterfaceFont() {
  return CreateFontW(-Scaled(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic");
}

// The folder tree's Shift/Ctrl cursors follow the keys; every key is
// passed on.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) FolderTreeKeyEvent(wParam, lParam);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

WorkArea DesktopWorkArea() {
  RECT rect{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &rect, 0);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

// The folders the boxes start with: the start-up folders when set, else
// the most recent history entries.
void ShowStartFolders() {
  const std::u16string& input = g_app.window.ISPath.empty() ? g_app.window.IH[0] : g_app.window.ISPath;
  const std::u16string& output = g_app.window.OSPath.empty() ? g_app.window.OH[0] : g_app.window.OSPath;
  SetWindowTextW(g_app.outputBox, W(output));
  if (!input.empty()) SetInputFolder(input);
}

// Returns false when the program has done its work (conversion mode) or
// could not start.
bool Initialize(int showCommand, bool& windowClosed) {
  windowClosed = false;
  const WorkArea area = DesktopWorkArea();
  // One read of the settings file for both records.
  IniDocument ini;
  const IniFileState iniState = ini.Load(g_app.iniPath);
  const WindowPosition position = LoadWindowSettings(ini, area, UserPicturesFolder(), g_app.window);
  LoadConversionParameters(ini, g_app.params);

  RefreshThemeState();
  if (!RegisterWindowClasses()) return false;
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = 0x3F;
  InitCommonControlsEx(&controls);
  g_app.keyboardHook = SetWindowsHookExW(WH_KEYBOARD, KeyboardHookProc, nullptr, GetCurrentThreadId());

  if (!CreateMainWindow(position.x, position.y) || !g_app.main) return false;
  if ((iniState == IniFileState::TooLarge || iniState == IniFileState::Unreadable) && !g_app.testMode) {
    // The file was not read, and the exit will not overwrite it.
    MessageBoxW(g_app.main,
                L"設定ファイルが 1 MiB を超えているか読み込めないため、既定の設定で起動します。\n"
                L"設定ファイルは変更しません。",
                L"Pixlane", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  }
  ShowStartFolders();

  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  bool show = true;
  if (arguments && count > 1) show = HandleCommandLine(count - 1, arguments + 1);
  if (!show) {
    SendMessageW(g_app.main, WM_CLOSE, 0, 0);
    windowClosed = true;
  } else {
    if (showCommand == SW_SHOWMAXIMIZED) {
      ShowWindow(g_app.main, SW_SHOWMINIMIZED);
      ShowWindow(g_app.main, SW_SHOWNORMAL);
    } else {
      ShowWindow(g_app.main, showCommand);
    }
    UpdateWindow(g_app.main);
  }
  if (arguments) LocalFree(arguments);
  return true;
}

int MessageLoop() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
    if (PreTranslateHelpMessage(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return got == -1 ? 1 : static_cast<int>(msg.wParam);
}

int ProgramMain(HINSTANCE instance, int showCommand) {
  g_app.instance = instance;
  g_app.heap = HeapCreate(0, 64 * 1024, 0);
  if (!g_app.heap) return 1;
  const int osClass = OperatingSystemClass();
  g_app.dpi = SystemDpi();
  g_app.font = CreateInterfaceFont();
  wchar_t scenario[8] = {};
  g_app.testMode = GetEnvironmentVariableW(L"PIXLANE_UI_TEST", scenario, 8) > 0;

  int exitCode = 0;
  IniLocateOptions options;
  options.requireProductName = true;
  if (osClass == 0 || !LocateIniFile(options, g_app.iniPath)) {
    const MessageText& message = ErrorMessageText(ErrorMessage::ProgramStartFailed);
    if (!g_app.testMode) {
      MessageBoxW(nullptr, W(std::u16string(message.text)), L"Error", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    }
    exitCode = 1;
  } else if (HWND other = FindWindowW(kMainClass, nullptr)) {
    if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
  } else {
    // Apartment-threaded COM before the command line: Send To resolves
    // shortcuts through IShellLinkW.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool windowClosed = false;
    if (Initialize(showCommand, windowClosed)) {
      if (g_app.testMode && !windowClosed) PostMessageW(g_app.main, kMsgStartSelfTest, 0, 0);
      exitCode = MessageLoop();
    } else {
      exitCode = 1;
    }
    // Help viewers still open are closed while COM is still there for them.
    CloseHelpViewer();
    if (SUCCEEDED(com)) CoUninitialize();
  }
  if (g_app.font) DeleteObject(g_app.font);
  HeapDestroy(g_app.heap);
  return exitCode;
}

}  // namespace

void Shutdown() {
  g_app.closing = true;
  if (g_app.keyboardHook) UnhookWindowsHookEx(g_app.keyboardHook);
  g_app.keyboardHook = nullptr;
  RestoreSubclassedLists();
  RestoreInputBox();
  CloseInputFolderWatch();
  ClearInputPreview();

  // The histories are what the folder boxes list.
  for (HWND box : {g_app.inputBox, g_app.outputBox}) {
    auto& history = box == g_app.inputBox ? g_app.window.IH : g_app.window.OH;
    const int count = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < static_cast<int>(history.size()); ++i) {
      std::u16string text;
      if (i < count) {
        const LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()));
        text = U16(buffer.c_str());
      }
      history[static_cast<size_t>(i)] = text;
    }
  }
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (GetWindowPlacement(g_app.main, &placement)) {
    // The normal placement is already relative to the work area.
    g_app.window.WinX = placement.rcNormalPosition.left;
    g_app.window.WinY = placement.rcNormalPosition.top;
  }
  ReleaseMenuResources();
  ReleasePageBackground();
  ApplyResetRule(g_app.window, g_app.params);
  ReadEditedValues();
  SaveAllSettings(g_app.iniPath, g_app.params, g_app.window);
}

}  // namespace pixlane::ui

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  return pixlane::ui::ProgramMain(instance, showCommand);
}
