// Help by page: "ヘルプ" opens the help file named like the executable
// (".chm") at the topic of the tab page that is showing, through the HTML
// Help control. The control's library is found and loaded on the first call
// only; after one failure every later call returns at once without trying
// again. In the test mode every call and every load attempt is recorded.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "ui/ui_app.h"
#include "ui/ui_model.h"

namespace pixlane::ui {
namespace {

// The HTML Help control's class; its in-process server is the library.
constexpr char kHelpControlServerKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr char kHelpControlLibrary[] = "hhctrl.ocx";
constexpr WORD kHtmlHelpWOrdinal = 15;  // the wide-character HtmlHelp entry

using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

enum class LibraryState { NotTried, Loaded, Failed };

struct FreeLibraryDeleter {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeLibraryDeleter>;

struct RegistryKeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegistryKeyCloser>;

struct HelpLibrary {
  LibraryState state = LibraryState::NotTried;
  LibraryHandle module;
  HtmlHelpEntry entry = nullptr;
  DWORD_PTR cookie = 0;  // from HH_INITIALIZE, handed back to HH_UNINITIALIZE
};

HelpLibrary g_help;
std::vector<HelpCall> g_recordedCalls;
int g_loadAttempts = 0;

// The path registered as the control's in-process server, environment
// variables expanded; empty when there is none or it does not fit in
// MAX_PATH bytes. The stored value need not end in a zero byte.
std::string RegisteredHelpServer() {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHelpControlServerKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
    return {};
  }
  const RegistryKey key(opened);
  char value[MAX_PATH + 1] = {};
  DWORD type = 0;
  DWORD size = MAX_PATH;
  if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  value[size < MAX_PATH ? size : MAX_PATH] = '\0';
  if (type == REG_SZ) return value;
  char expanded[MAX_PATH] = {};
  const DWORD length = ExpandEnvironmentStringsA(value, expanded, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return {};
  return expanded;
}

LibraryHandle LoadHelpLibrary(const char* name) {
  ++g_loadAttempts;
  return LibraryHandle(LoadLibraryA(name));
}

// The HtmlHelpW entry, loading the library on the first call; null for
// good once loading failed.
HtmlHelpEntry HelpEntry() {
  if (g_help.state != LibraryState::NotTried) return g_help.entry;
  g_help.state = LibraryState::Failed;
  const std::string server = RegisteredHelpServer();
  LibraryHandle module;
  if (!server.empty()) module = LoadHelpLibrary(server.c_str());
  if (!module) module = LoadHelpLibrary(kHelpControlLibrary);
  if (!module) return nullptr;
  const auto entry = reinterpret_cast<HtmlHelpEntry>(
      reinterpret_cast<void*>(GetProcAddress(module.get(), MAKEINTRESOURCEA(kHtmlHelpWOrdinal))));
  if (!entry) return nullptr;
  g_help.module = std::move(module);
  g_help.entry = entry;
  g_help.state = LibraryState::Loaded;
  // The viewer runs on this thread: the message loop hands it its messages.
  entry(nullptr, nullptr, kHhInitialize, reinterpret_cast<DWORD_PTR>(&g_help.cookie));
  return entry;
}

}  // namespace

HWND HtmlHelpW(HWND owner, const wchar_t* file, UINT command, DWORD_PTR data) {
  const HtmlHelpEntry entry = HelpEntry();
  const HWND result = entry ? entry(owner, file, command, data) : nullptr;
  if (g_app.testMode) {
    g_recordedCalls.push_back({file ? U16(file) : std::u16string(), command, data, result != nullptr});
  }
  return result;
}

std::u16string HelpFilePath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !PathRenameExtensionW(path, L".chm")) return {};
  return U16(path);
}

void ShowHelp() {
  const std::u16string file = HelpFilePath();
  if (file.empty()) return;
  const int tab = g_app.tab ? static_cast<int>(SendMessageW(g_app.tab, TCM_GETCURSEL, 0, 0)) : -1;
  HtmlHelpW(nullptr, W(file), kHhHelpContext, HelpContextForTab(tab));
}

bool PreTranslateHelpMessage(MSG* message) {
  if (g_help.state != LibraryState::Loaded) return false;
  return g_help.entry(nullptr, nullptr, kHhPreTranslateMessage, reinterpret_cast<DWORD_PTR>(message)) != nullptr;
}

void CloseHelpViewer() {
  if (g_help.state != LibraryState::Loaded) return;
  g_help.entry(nullptr, nullptr, kHhCloseAll, 0);
  g_help.entry(nullptr, nullptr, kHhUninitialize, g_help.cookie);
  g_help.entry = nullptr;
  g_help.module.reset();
  g_help.state = LibraryState::Failed;  // no viewer after shutdown
}

const std::vector<HelpCall>& RecordedHelpCalls() { return g_recordedCalls; }
int HelpLibraryLoadAttempts() { return g_loadAttempts; }

}  // namespace pixlane::ui
