// The main window: window classes, the frame placed on the nearest
// monitor's work area, the main panel with the folder boxes, tab control,
// progress bar and button row (the folder tree panel is folder_tree.cpp's),
// the tooltip control, the system menu's "常に手前に表示" and the owner-drawn
// menu items.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <uxtheme.h>

#include <array>

#include "ui/control_ids.h"
#include "ui/folder_tree.h"
#include "ui/ui_app.h"
#include "ui/ui_model.h"

namespace pixlane::ui {

App g_app;

namespace {

constexpr DWORD kMainStyle = WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX | WS_CAPTION;
constexpr int kPanelWidth = 540;
constexpr int kTreeWidth = 180;

void RefreshTopMostMenu() {
  HMENU menu = GetSystemMenu(g_app.main, FALSE);
  if (menu) CheckMenuItem(menu, kCmdTopMost, MF_BYCOMMAND | (g_app.window.TopMost ? MF_CHECKED : MF_UNCHECKED));
}

void BuildSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  // The default menu: restore, move, size, minimise, maximise, -, close.
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  InsertMenuW(menu, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, kCmdTopMost, L"常に手前に表示");
  RefreshTopMostMenu();
}

void CreateButtonRow(HWND panel) {
  struct Button {
    int id;
    const wchar_t* text;
    int width;
  } buttons[] = {
      {kIdPreviewButton, L"出力プレビュー", 96}, {kIdNamesButton, L"ファイル名確認", 96},
      {kIdConvertButton, L"変換", 70},          {kIdAbortButton, L"中止", 60},
      {kIdExitButton, L"終了", 60},             {kIdHelpButton, L"ヘルプ", 60},
      {kIdVersionButton, L"Ver.", 42},
  };
  int x = 10;
  for (const Button& button : buttons) {
    CreateControl(panel, WC_BUTTONW, button.text, BS_PUSHBUTTON | WS_TABSTOP, x, 467, button.width, 24,
                  button.id);
    x += button.width + 6;
  }
}

HWND CreateFolderBox(HWND panel, int y, int labelId, const wchar_t* label, int id,
                     const std::array<std::u16string, kFolderHistoryLength>& history) {
  CreateControl(panel, WC_STATICW, label, SS_LEFT, 4, y + 4, 70, 14, labelId);
  HWND box = CreateControl(panel, WC_COMBOBOXW, L"", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP,
                           76, y, 460, 200, id);
  for (const std::u16string& entry : history) {
    if (!entry.empty()) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(entry)));
  }
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(box, &info) && info.hwndItem) {
    AddTooltip(info.hwndItem, L"フォルダツリー選択orドラッグ＆ドロップで設定");
  }
  return box;
}

void CreateMainPanel(HWND main) {
  g_app.mainPanel = CreateWindowExW(0, kMainBaseClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                    Scaled(kTreeWidth), 0, Scaled(kPanelWidth), Scaled(kMainWindowHeight), main,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdMainPanel)), g_app.instance,
                                    nullptr);
  HWND panel = g_app.mainPanel;
  g_app.inputBox = CreateFolderBox(panel, 3, kIdInputLabel, L"入力フォルダ", kIdInputFolder, g_app.window.IH);
  SubclassInputBox(g_app.inputBox);
  g_app.outputBox = CreateFolderBox(panel, 29, kIdOutputLabel, L"出力フォルダ", kIdOutputFolder, g_app.window.OH);
  g_app.tab = CreateControl(panel, WC_TABCONTROLW, L"", WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP, 4, 57, 532,
                            390, kIdTab);
  const wchar_t* tabs[] = {L"全般", L"個別入力", L"詳細設定", L"オプション", L"プラグイン"};
  for (int i = 0; i < kPageCount; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(tabs[i]);
    SendMessageW(g_app.tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  g_app.progress = CreateControl(panel, PROGRESS_CLASSW, L"", 0, 10, 450, 520, 10, kIdProgress);
  SendMessageW(g_app.progress, PBM_SETSTEP, 1, 0);
  SendMessageW(g_app.progress, PBM_SETPOS, 0, 0);
  CreateButtonRow(panel);
  CreateTabPages(g_app.tab);
}

void CreateTooltipControl(HWND main) {
  g_app.tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr, g_app.instance,
                                  nullptr);
  if (!g_app.tooltip) return;
  SendMessageW(g_app.tooltip, TTM_SETTIPBKCOLOR, RGB(0xFF, 0xFF, 0xFF), 0);
  SendMessageW(g_app.tooltip, TTM_SETMAXTIPWIDTH, 0, Scaled(400));
}

void CreateMenuResources() {
  ReleaseMenuResources();
  g_app.menuBrush = GetSysColorBrush(COLOR_MENU);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    g_app.menuFont = CreateFontIndirectW(&metrics.lfMenuFont);
  }
}

// Owner-drawn popup items: the item data is the item's text.
void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure) {
  const wchar_t* text = reinterpret_cast<const wchar_t*>(measure->itemData);
  if (!text) return;
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, g_app.menuFont ? g_app.menuFont : g_app.font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  measure->itemWidth = static_cast<UINT>(size.cx + Scaled(20));
  measure->itemHeight = static_cast<UINT>(size.cy + Scaled(6));
}

void DrawMenuItem(DRAWITEMSTRUCT* draw) {
  const wchar_t* text = reinterpret_cast<const wchar_t*>(draw->itemData);
  if (!text) return;
  HDC dc = draw->hDC;
  RECT rc = draw->rcItem;
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, g_app.menuFont ? g_app.menuFont : g_app.font);
  if (draw->itemState & ODS_DISABLED) {
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  } else {
    SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    if (draw->itemState & ODS_SELECTED) {
      HPEN pen = CreatePen(PS_SOLID, 1, RGB(0x48, 0x90, 0x90));
      HBRUSH brush = CreateSolidBrush(RGB(0xE8, 0xFF, 0xFF));
      HGDIOBJ oldPen = SelectObject(dc, pen);
      HGDIOBJ oldBrush = SelectObject(dc, brush);
      Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
      SelectObject(dc, oldPen);
      SelectObject(dc, oldBrush);
      DeleteObject(pen);
      DeleteObject(brush);
    } else {
      FillRect(dc, &rc, g_app.menuBrush ? g_app.menuBrush : GetSysColorBrush(COLOR_MENU));
    }
    if (draw->itemState & ODS_CHECKED) {
      HPEN pen = CreatePen(PS_SOLID, 1, RGB(0xC0, 0x60, 0xC0));
      HGDIOBJ oldPen = SelectObject(dc, pen);
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
      const int x = rc.left;
      const int y = rc.top;
      Rectangle(dc, x + Scaled(4), y + Scaled(4), x + Scaled(14), y + Scaled(14));
      MoveToEx(dc, x + Scaled(5), y + Scaled(5), nullptr);
      LineTo(dc, x + Scaled(13), y + Scaled(13));
      MoveToEx(dc, x + Scaled(5), y + Scaled(12), nullptr);
      LineTo(dc, x + Scaled(13), y + Scaled(4));
      SelectObject(dc, oldPen);
      SelectObject(dc, oldBrush);
      DeleteObject(pen);
    }
  }
  RECT textRect{rc.left + Scaled(20), rc.top, rc.right - Scaled(12), rc.bottom};
  DrawTextW(dc, text, -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_app.main = window;
      CreateMenuResources();
      CreateTooltipControl(window);
      BuildSystemMenu(window);
      CreateFolderTreePanel(window);
      CreateMainPanel(window);
      if (!g_app.window.TipAct && g_app.tooltip) SendMessageW(g_app.tooltip, TTM_ACTIVATE, FALSE, 0);
      return 0;
    case WM_CLOSE:
      if (g_app.batchRunning) return 0;
      Shutdown();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_DROPFILES:
      HandleDrop(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_WININICHANGE:
      RefreshThemeState();
      CreateMenuResources();
      PostMessageW(window, kMsgRefreshPageBackground, 0, 0);
      break;
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      RefreshThemeState();
      PostMessageW(window, kMsgRefreshPageBackground, 0, 0);
      break;
    case kMsgRefreshPageBackground:
      RefreshPageBackground();
      return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      SetFocus(window);
      break;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == HTCAPTION) {
        ToggleTopMost();
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      if (wParam == static_cast<WPARAM>(kCmdTopMost)) {
        ToggleTopMost();
        return 0;
      }
      break;
    case WM_INITMENUPOPUP:
      if (HIWORD(lParam)) RefreshTopMostMenu();
      break;
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure->CtlType == ODT_MENU) {
        MeasureMenuItem(window, measure);
        return TRUE;
      }
      break;
    }
    case WM_DRAWITEM: {
      auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (draw->CtlType == ODT_MENU) {
        DrawMenuItem(draw);
        return TRUE;
      }
      break;
    }
    case kMsgStartSelfTest: {
      wchar_t scenario[128] = {};
      GetEnvironmentVariableW(L"PIXLANE_UI_TEST", scenario, 128);
      RunSelfTest(scenario);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK MainPanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == static_cast<UINT_PTR>(kIdTab) && header->code == TCN_SELCHANGE) {
        SetFocus(g_app.main);
        SelectPage(static_cast<int>(SendMessageW(g_app.tab, TCM_GETCURSEL, 0, 0)));
        return 0;
      }
      break;
    }
    case WM_COMMAND:
      return HandleOptionCommand(window, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK TabPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool AppendOwnerDrawnMenuItem(HMENU menu, UINT id, const wchar_t* text, UINT flags) {
  return AppendMenuW(menu, MF_OWNERDRAW | flags, id, text) != FALSE;
}

void RefreshThemeState() { g_app.themeActive = IsThemeActive() != FALSE; }

void ReleaseMenuResources() {
  if (g_app.menuFont) DeleteObject(g_app.menuFont);
  g_app.menuFont = nullptr;
  g_app.menuBrush = nullptr;  // a system brush: never deleted
}

HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                   int width, int height, int id, DWORD exStyle) {
  // Every position and size is given for 96 DPI.
  HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, Scaled(x), Scaled(y),
                                 Scaled(width), Scaled(height), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_app.instance, nullptr);
  if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.font), FALSE);
  return control;
}

void AddTooltip(HWND control, const wchar_t* text) {
  if (!g_app.tooltip || !control) return;
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = GetParent(control);
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(g_app.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToggleTopMost() {
  g_app.window.TopMost = g_app.window.TopMost ? 0 : 1;
  SetWindowPos(g_app.main, g_app.window.TopMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOSENDCHANGING);
  RefreshTopMostMenu();
}

bool RegisterWindowClasses() {
  struct ClassSpec {
    const wchar_t* name;
    WNDPROC proc;
    bool main;
  } classes[] = {
      {kMainClass, MainWindowProc, true},          {kTreeBaseClass, FolderTreePanelProc, false},
      {kMainBaseClass, MainPanelProc, false},      {kTabBaseClass, TabPageProc, false},
      {kOutputPreviewClass, OutputPreviewProc, false}, {kInputPreviewClass, InputPreviewProc, false},
  };
  for (const ClassSpec& spec : classes) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = spec.main ? CS_DBLCLKS : 0;
    wc.lpfnWndProc = spec.proc;
    wc.hInstance = g_app.instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = spec.name;
    if (spec.main) {
      wc.hIcon = LoadIconW(g_app.instance, MAKEINTRESOURCEW(1));
      wc.hIconSm = wc.hIcon;
    }
    if (!RegisterClassExW(&wc)) return false;
  }
  return true;
}

HWND CreateMainWindow(int x, int y) {
  const int width = Scaled(kMainWindowWidth) + 2 * GetSystemMetrics(SM_CXDLGFRAME);
  const int height =
      Scaled(kMainWindowHeight) + 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
  RECT rect{x, y, x + width, y + height};
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) {
    const ScreenRect placed = ClampToWorkArea({rect.left, rect.top, rect.right, rect.bottom},
                                              {info.rcWork.left, info.rcWork.top, info.rcWork.right,
                                               info.rcWork.bottom});
    x = placed.left;
    y = placed.top;
  }
  DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_ACCEPTFILES;
  if (g_app.window.TopMost) exStyle |= WS_EX_TOPMOST;
  return CreateWindowExW(exStyle, kMainClass, L"Pixlane", kMainStyle, x, y, width, height, nullptr, nullptr,
                         g_app.instance, nullptr);
}

}  // namespace pixlane::ui
