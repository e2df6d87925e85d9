// The version window ("Ver."): the version line, a second line, a link and
// "OK" in a small window centred over the main window, which stays disabled
// while it is open. Its two window classes exist only while it is open and
// are unregistered after the window is gone (a class cannot be unregistered
// while a window of it exists). Enter, Esc, "OK" and the system menu close it.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ui/ui_app.h"

namespace pixlane::ui {
namespace {

constexpr wchar_t kParentClass[] = L"ver_parent_class";
constexpr wchar_t kChildClass[] = L"ver_child_class";
constexpr wchar_t kTitle[] = L"バージョン情報";
constexpr wchar_t kProductName[] = L"Pixlane";
constexpr wchar_t kVersionText[] = L"3.46";
constexpr wchar_t kSecondLine[] = L"画像一括変換ソフト";
constexpr wchar_t kLinkText[] = L"Pixlane ヘルプ";
// Where the link leads. The product has no web address of its own yet: an
// empty address opens the help file beside the executable, whose default
// topic is the overview page. A real address replaces it here.
constexpr wchar_t kProductAddress[] = L"";

constexpr int kIdLink = 100;
constexpr int kIdOk = 101;
constexpr int kIdVersionLine = 102;
constexpr int kIdSecondLine = 103;
constexpr int kClientWidth = 235;
constexpr int kClientHeight = 104;
constexpr DWORD kStyle = WS_VISIBLE | WS_CLIPCHILDREN | WS_SYSMENU | WS_CAPTION;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

// Lives from the button press until the window is destroyed.
struct VersionWindow {
  HWND main = nullptr;
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  std::wstring versionLine;
  std::wstring secondLine;
  std::wstring linkText;
  WNDPROC okProc = nullptr;  // the OK button's own procedure
  bool ownedByWindow = false;  // set once the window exists; it deletes the object
};

VersionWindow* g_open = nullptr;  // the open window's object
std::vector<std::u16string> g_linkOpens;

void UnregisterClasses(HINSTANCE instance) {
  UnregisterClassW(kChildClass, instance);
  UnregisterClassW(kParentClass, instance);
}

void OpenLink(HWND link) {
  std::u16string target = U16(kProductAddress);
  if (target.empty()) target = HelpFilePath();
  if (target.empty()) return;
  if (g_app.testMode) {
    g_linkOpens.push_back(target);
    return;
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.hwnd = GetParent(link);
  info.lpFile = W(target);
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) ShowErrorMessage(ErrorMessage::ProgramStartFailed);
}

LRESULT CALLBACK LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(link, &paint);
      wchar_t text[64] = {};
      const int length = GetWindowTextW(link, text, 64);
      HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(0, 0, 255));
      TextOutW(dc, 1, 1, text, length);
      SelectObject(dc, oldFont);
      EndPaint(link, &paint);
      return 0;
    }
    case WM_LBUTTONUP:
      OpenLink(link);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(link, message, wParam, lParam);
}

// Enter or Esc while "OK" has the focus closes the window.
LRESULT CALLBACK OkButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
    SendMessageW(GetParent(button), WM_CLOSE, 0, 0);
    return 0;
  }
  const VersionWindow* object = g_open;
  return CallWindowProcW(object ? object->okProc : DefWindowProcW, button, message, wParam, lParam);
}

HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                 int height, int id, HINSTANCE instance, bool programFont) {
  HWND child = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (child && programFont) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.font), FALSE);
  return child;
}

void CreateContents(HWND window, VersionWindow& object) {
  if (HMENU menu = GetSystemMenu(window, FALSE)) {
    for (UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) DeleteMenu(menu, command, MF_BYCOMMAND);
  }
  CreateChild(window, L"STATIC", object.versionLine.c_str(), SS_LEFT | SS_NOPREFIX, 10, 10, 160, 12, kIdVersionLine,
              object.instance, true);
  CreateChild(window, L"STATIC", object.secondLine.c_str(), SS_LEFT | SS_NOPREFIX, 28, 30, 195, 12, kIdSecondLine,
              object.instance, true);
  HWND ok = CreateChild(window, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 139, 75, 88, 21, kIdOk,
                        object.instance, true);
  if (ok) {
    object.okProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(ok, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OkButtonProc)));
  }
  CreateChild(window, kChildClass, object.linkText.c_str(), 0, 45, 51, 120, 14, kIdLink, object.instance, false);
}

// Closing: the OK button gets its procedure back, the main window is
// enabled and brought forward before this one goes (so that Windows does
// not activate another program), then the window and its classes go.
void CloseVersionWindow(HWND window) {
  VersionWindow* object = g_open;
  if (!object) {
    DestroyWindow(window);
    return;
  }
  HWND ok = GetDlgItem(window, kIdOk);
  if (ok && object->okProc) SetWindowLongPtrW(ok, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(object->okProc));
  object->okProc = nullptr;
  EnableWindow(object->main, TRUE);
  SetForegroundWindow(object->main);
  const HINSTANCE instance = object->instance;
  DestroyWindow(window);  // WM_NCDESTROY deletes the object
  UnregisterClasses(instance);
}

LRESULT CALLBACK VersionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      auto* object = static_cast<VersionWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      object->window = window;
      CreateContents(window, *object);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == kIdOk && HIWORD(wParam) == BN_CLICKED) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_CLOSE:
      CloseVersionWindow(window);
      return 0;
    case WM_NCDESTROY:
      if (g_open && g_open->window == window) {
        VersionWindow* done = g_open;
        g_open = nullptr;
        // Destroyed some other way (with its owner): the main window must
        // not stay disabled.
        if (!IsWindowEnabled(done->main)) EnableWindow(done->main, TRUE);
        if (done->ownedByWindow) delete done;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXW parent{};
  parent.cbSize = sizeof(parent);
  parent.lpfnWndProc = VersionWindowProc;
  parent.hInstance = instance;
  parent.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  parent.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  parent.lpszClassName = kParentClass;
  if (!RegisterClassExW(&parent)) return false;
  WNDCLASSEXW child = parent;
  child.lpfnWndProc = LinkProc;
  child.hCursor = LoadCursorW(nullptr, IDC_HAND);
  child.lpszClassName = kChildClass;
  if (!RegisterClassExW(&child)) {
    UnregisterClassW(kParentClass, instance);
    return false;
  }
  return true;
}

}  // namespace

void ShowVersionWindow() {
  if (g_open) {
    SetForegroundWindow(g_open->window);
    return;
  }
  std::unique_ptr<VersionWindow> object(new (std::nothrow) VersionWindow);
  if (!object || !RegisterClasses(g_app.instance)) {
    ShowErrorMessage(ErrorMessage::MemoryAllocationFailed);
    return;
  }
  object->main = g_app.main;
  object->instance = g_app.instance;
  object->versionLine = std::wstring(kProductName) + L"  version " + kVersionText;
  object->secondLine = kSecondLine;
  object->linkText = kLinkText;

  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT main{};
  GetWindowRect(g_app.main, &main);
  const int x = main.left + ((main.right - main.left) - width) / 2;
  const int y = main.top + ((main.bottom - main.top) - height) / 2;

  EnableWindow(g_app.main, FALSE);
  g_open = object.get();
  HWND window = CreateWindowExW(kExStyle, kParentClass, kTitle, kStyle, x, y, width, height, g_app.main, nullptr,
                                g_app.instance, object.get());
  if (!window) {
    g_open = nullptr;
    EnableWindow(g_app.main, TRUE);
    UnregisterClasses(g_app.instance);
    ShowErrorMessage(ErrorMessage::MemoryAllocationFailed);
    return;
  }
  object->ownedByWindow = true;
  object.release();  // owned by the window from here on
  if (HWND ok = GetDlgItem(window, kIdOk)) SetFocus(ok);
}

const std::vector<std::u16string>& RecordedLinkOpens() { return g_linkOpens; }

}  // namespace pixlane::ui
