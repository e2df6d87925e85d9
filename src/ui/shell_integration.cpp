// The program's meeting points with the shell: the input folder and its
// change watch, the command line (Send To), drops on the main window, the
// Send To shortcut and shortcut resolution and the folder browser. COM
// must be initialised on this thread before any shortcut is created or
// resolved.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "engine/batch_driver.h"
#include "platform/file_system.h"
#include "ui/control_ids.h"
#include "ui/folder_tree.h"
#include "ui/ui_app.h"
#include "ui/ui_model.h"

namespace pixlane::ui {
namespace {

std::u16string ParentFolder(const std::u16string& path) {
  std::wstring buffer(reinterpret_cast<const wchar_t*>(path.c_str()));
  buffer.resize(MAX_PATH + 1);
  PathRemoveFileSpecW(buffer.data());
  return U16(buffer.c_str());
}

bool NamesEqualUserLocale(std::u16string_view a, std::u16string_view b) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, reinterpret_cast<const wchar_t*>(a.data()),
                        static_cast<int>(a.size()), reinterpret_cast<const wchar_t*>(b.data()),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::u16string SendToShortcutPath() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_SENDTO, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring name = PathFindFileNameW(exe);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  name += L".lnk";
  wchar_t path[MAX_PATH] = {};
  if (!PathCombineW(path, folder, name.c_str())) return {};
  return U16(path);
}

void CheckListedNames(const std::vector<std::u16string>& arguments) {
  std::vector<std::u16string> names;
  names.reserve(g_app.inputEntries.size());
  for (const InputListEntry& entry : g_app.inputEntries) names.push_back(entry.name);
  const std::vector<bool> checks = HandedOverChecks(names, arguments, NamesEqualUserLocale);
  for (size_t i = 0; i < checks.size(); ++i) {
    ListView_SetCheckState(g_app.inputList, static_cast<int>(i), checks[i] ? TRUE : FALSE);
  }
}

std::vector<int> IdChain(HWND window) {
  std::vector<int> chain;
  for (HWND w = window; w && w != g_app.main; w = GetParent(w)) chain.push_back(GetDlgCtrlID(w));
  return chain;
}

void ShowFolderField(std::u16string& setting, const std::u16string& folder, int fieldId, bool sendTo) {
  setting = folder;
  SetWindowTextW(Control(fieldId), W(std::u16string(FolderFieldText(setting, sendTo))));
}

constexpr UINT_PTR kInputBoxSubclassId = 1;
HWND g_inputBoxEdit = nullptr;

// The buttons that start a run check the box themselves (and say so when
// it names another folder): focus moving to them must not list the typed
// folder silently just before the click.
bool StartsRun(HWND window) {
  return window && (window == Control(kIdConvertButton) || window == Control(kIdPreviewButton) ||
                    window == Control(kIdNamesButton));
}

LRESULT CALLBACK InputBoxEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        // The combo box closes an open drop-down first.
        const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
        CommitInputFolderText();
        return result;
      }
      break;
    case WM_CHAR:
      if (wParam == L'\r') return 0;  // no beep for Enter
      break;
    case WM_KILLFOCUS: {
      const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
      if (!StartsRun(reinterpret_cast<HWND>(wParam))) CommitInputFolderText();
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(edit, InputBoxEditProc, kInputBoxSubclassId);
      g_inputBoxEdit = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

std::u16string LongPathName(const std::u16string& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetLongPathNameW(W(path), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return path;
  return U16(buffer);
}

bool IsShortcut(const std::u16string& path) {
  SHFILEINFOW info{};
  info.dwAttributes = SFGAO_LINK;
  if (!SHGetFileInfoW(W(path), 0, &info, sizeof(info), SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED)) return false;
  return (info.dwAttributes & SFGAO_LINK) != 0;
}

void CloseInputFolderWatch() {
  if (g_app.watch != INVALID_HANDLE_VALUE && g_app.watch != nullptr) FindCloseChangeNotification(g_app.watch);
  g_app.watch = INVALID_HANDLE_VALUE;
}

void WatchInputFolder(std::u16string_view folder) {
  CloseInputFolderWatch();
  g_app.watch = FindFirstChangeNotificationW(W(std::u16string(folder)), FALSE,
                                             FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
}

void SetInputFolder(std::u16string_view folder) {
  const std::u16string text(folder);
  SetWindowTextW(g_app.inputBox, W(text));
  FillInputListView(text);
  WatchInputFolder(text);
}

void SubclassInputBox(HWND box) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (!GetComboBoxInfo(box, &info) || !info.hwndItem) return;
  if (SetWindowSubclass(info.hwndItem, InputBoxEditProc, kInputBoxSubclassId, 0)) g_inputBoxEdit = info.hwndItem;
}

void RestoreInputBox() {
  if (g_inputBoxEdit) RemoveWindowSubclass(g_inputBoxEdit, InputBoxEditProc, kInputBoxSubclassId);
  g_inputBoxEdit = nullptr;
}

void CommitInputFolderText() {
  if (g_app.batchRunning || g_app.closing) return;
  const std::u16string text = CleanFolderText(WindowText(g_app.inputBox));
  if (ClassifyInputBox(text, g_app.listedFolder, IsDirectory(text)) == InputBoxState::OtherFolder) {
    SetInputFolder(text);
  }
}

bool InputListMatchesBox() {
  const std::u16string text = CleanFolderText(WindowText(g_app.inputBox));
  switch (ClassifyInputBox(text, g_app.listedFolder, IsDirectory(text))) {
    case InputBoxState::Listed: return true;
    case InputBoxState::OtherFolder:
      SetInputFolder(text);
      // Shown whatever "FileMes" says: the user must see the new list
      // before anything in it is converted (or deleted).
      ShowErrorMessage(ErrorMessage::InputFolderChanged);
      return false;
    case InputBoxState::NotAFolder:
      // No folder, no files: the old folder's list must not stay behind.
      SetInputFolder(text);
      ShowErrorMessage(ErrorMessage::InvalidInputFolder);
      return false;
  }
  return false;
}

bool ReloadInputListIfChanged() {
  if (g_app.watch == INVALID_HANDLE_VALUE || g_app.watch == nullptr) return false;
  if (WaitForSingleObject(g_app.watch, 0) != WAIT_OBJECT_0) return false;
  const std::u16string folder = g_app.listedFolder;
  FillInputListView(folder);
  WatchInputFolder(folder);
  return true;
}

bool CheckInputFolderChanged(bool showMessage) {
  if (!ReloadInputListIfChanged()) return false;
  if (showMessage && g_app.window.FileMes != 0) {
    ShowErrorMessage(ErrorMessage::InputFolderChanged);
    return true;
  }
  return false;
}

bool HandleCommandLine(int count, wchar_t** arguments) {
  if (count <= 0) return true;
  const std::u16string first = LongPathName(U16(arguments[0]));
  const CommandLineMode mode = DecideCommandLineMode(g_app.window.SdToCvt != 0, static_cast<size_t>(count),
                                                     count == 1 && IsDirectory(first));
  if (mode == CommandLineMode::Convert) {
    std::vector<std::u16string> paths;
    paths.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) paths.push_back(LongPathName(U16(arguments[i])));
    ShowWindow(g_app.main, SW_SHOWMINIMIZED);
    RunPathConversion(paths, false);
    return false;
  }
  std::u16string path = first;
  if (IsShortcut(path)) ResolveShortcut(path);
  std::u16string folder;
  if (IsDirectory(path)) {
    folder = path;
    SetInputFolder(folder);
  } else {
    folder = ParentFolder(path);
    SetInputFolder(folder);
    // The list holds long names; Explorer may hand over short 8.3 ones.
    std::vector<std::u16string> names;
    for (int i = 0; i < count; ++i) names.push_back(LongPathName(U16(arguments[i])));
    CheckListedNames(names);
  }
  SetWindowTextW(g_app.outputBox, W(g_app.window.SdToPath.empty() ? folder : g_app.window.SdToPath));
  return true;
}

void HandleDrop(HDROP drop) {
  POINT point{};
  DragQueryPoint(drop, &point);
  ClientToScreen(g_app.main, &point);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  wchar_t buffer[MAX_PATH] = {};
  if (count == 0 || DragQueryFileW(drop, 0, buffer, MAX_PATH) == 0) {
    DragFinish(drop);
    return;
  }
  std::u16string path = U16(buffer);
  if (IsShortcut(path)) ResolveShortcut(path);
  const bool isDirectory = IsDirectory(path);
  const std::u16string folder = isDirectory ? path : ParentFolder(path);

  HWND hit = WindowFromPoint(point);
  RECT tabRect{};
  GetWindowRect(g_app.tab, &tabRect);
  const std::vector<int> chain = IdChain(hit);
  const DropTarget target = RouteDrop(chain, PtInRect(&tabRect, point) != FALSE);
  switch (target) {
    case DropTarget::FolderTree:
      if (isDirectory) {
        if (HTREEITEM item = RegisterFolder(path)) TreeView_SelectItem(FolderTreeWindow(), item);
      }
      break;
    case DropTarget::TabControl:
      if (TabDropSetsInputFolder(count, isDirectory)) {
        SetInputFolder(path);
      } else {
        std::vector<std::u16string> paths;
        for (UINT i = 0; i < count; ++i) {
          if (DragQueryFileW(drop, i, buffer, MAX_PATH)) paths.push_back(U16(buffer));
        }
        DragFinish(drop);
        RunPathConversion(paths, true);
        return;
      }
      break;
    default: DropFolderOn(target, folder); break;
  }
  DragFinish(drop);
}

bool DropFolderOn(DropTarget target, const std::u16string& folder) {
  switch (target) {
    case DropTarget::InputFolderBox: SetInputFolder(folder); return true;
    case DropTarget::OutputFolderBox: SetWindowTextW(g_app.outputBox, W(folder)); return true;
    case DropTarget::StartInputField:
      ShowFolderField(g_app.window.ISPath, folder, kIdStartInputField, false);
      return true;
    case DropTarget::StartOutputField:
      ShowFolderField(g_app.window.OSPath, folder, kIdStartOutputField, false);
      return true;
    case DropTarget::SendToOutputField:
      ShowFolderField(g_app.window.SdToPath, folder, kIdSendToOutputField, true);
      return true;
    case DropTarget::PluginFolderField:
      g_app.window.SPI = folder;
      SetWindowTextW(Control(kIdPluginFolder), W(folder));
      PluginFolderChanged();
      return true;
    case DropTarget::FolderTree:
    case DropTarget::TabControl:
    case DropTarget::Nowhere: break;
  }
  return false;
}

bool SendToShortcutExists() {
  const std::u16string path = SendToShortcutPath();
  return !path.empty() && PathExists(path);
}

void UpdateSendToShortcut(bool registerShortcut) {
  const std::u16string path = SendToShortcutPath();
  if (path.empty()) return;
  if (!registerShortcut) {
    if (PathExists(path)) DeleteFileW(W(path));
    return;
  }
  if (PathExists(path)) return;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return;
  }
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  link->SetPath(exe);
  link->SetArguments(L"");
  link->SetIconLocation(exe, 0);
  link->SetShowCmd(SW_SHOWNORMAL);
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    file->Save(W(path), TRUE);
    file->Release();
  }
  link->Release();
}

bool ResolveShortcut(std::u16string& path) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  bool resolved = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(W(path), STGM_READ))) {
      wchar_t target[MAX_PATH] = {};
      if (link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY) == S_OK && target[0] != L'\0') {
        path = U16(target);
        resolved = true;
      }
    }
    file->Release();
  }
  link->Release();
  return resolved;
}

bool BrowseForFolder(HWND owner, const wchar_t* title, std::u16string& folder) {
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = folder.empty() ? 0 : reinterpret_cast<LPARAM>(W(folder));
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return false;
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (ok) folder = U16(path);
  return ok;
}

}  // namespace pixlane::ui
