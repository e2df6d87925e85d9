// The plug-in list of the "プラグイン" page: one row per input plug-in of the
// folder "SPI" with its patterns and format names, sorted by file name
// (CompareStringW, system default locale, NORM_IGNORECASE | SORT_STRINGSORT),
// rebuilt whenever the folder changes; a double click opens the selected
// plug-in's own settings dialog. The plug-ins are loaded only while they are
// asked, never kept.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codecs/plugin_host.h"
#include "platform/file_system.h"
#include "ui/control_ids.h"
#include "ui/ui_app.h"

namespace pixlane::ui {
namespace {

struct PluginRow {
  std::u16string name;
  PluginDescription description;
};

bool NameBefore(const PluginRow& a, const PluginRow& b) {
  return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, W(a.name), -1, W(b.name), -1) ==
         CSTR_LESS_THAN;
}

void SetCell(HWND list, int row, int column, const std::u16string& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(W(text));
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool PluginsOn() { return !g_app.window.SPI.empty() && IsDirectory(g_app.window.SPI); }

}  // namespace

void SetUpPluginList() {
  const struct {
    const wchar_t* title;
    int width;
  } columns[] = {{L"ファイル名", 130}, {L"対応拡張子", 170}, {L"対応形式", 186}};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(columns[i].title);
    column.cx = Scaled(columns[i].width);
    SendMessageW(g_app.pluginList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
}

void RefreshPluginList() {
  HWND list = g_app.pluginList;
  if (!list) return;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  std::vector<PluginRow> rows;
  if (PluginsOn()) {
    PluginLoader& loader = SystemPluginLoader();
    for (std::u16string& name : ListInputPlugins(loader, g_app.window.SPI, PluginListMode::Names)) {
      PluginDescription description = DescribePlugin(loader, JoinPath(g_app.window.SPI, name));
      rows.push_back({std::move(name), std::move(description)});
    }
    std::stable_sort(rows.begin(), rows.end(), NameBefore);
  }
  int index = 0;
  for (const PluginRow& row : rows) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(W(row.name));
    const int inserted = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    SetCell(list, inserted, 1, row.description.extensions);
    SetCell(list, inserted, 2, row.description.formats);
    ++index;
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void PluginFolderChanged() {
  RefreshPluginList();
  // The input list's patterns include the plug-ins' extensions: the listed
  // folder is listed again (never the box's text, which may name another).
  FillInputListView(g_app.listedFolder);
}

void OpenSelectedPluginSettings() {
  HWND list = g_app.pluginList;
  const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0 || !PluginsOn()) return;
  wchar_t name[MAX_PATH] = {};
  LVITEMW item{};
  item.iSubItem = 0;
  item.pszText = name;
  item.cchTextMax = MAX_PATH;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  if (name[0] == L'\0') return;
  ShowPluginSettings(SystemPluginLoader(), JoinPath(g_app.window.SPI, U16(name)), GetParent(list));
}

}  // namespace pixlane::ui
