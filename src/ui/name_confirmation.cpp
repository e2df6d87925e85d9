// "ファイル名確認": the output names a conversion of the checked files would
// choose (PreviewNames, against the names already in the output folder and
// those chosen before), listed beside the input names in dialog 2000 at the
// main window's top-left corner. "変換" closes it with 1 and converts,
// "閉じる" with 0. Nothing is written while it is open.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "engine/batch_driver.h"
#include "engine/exif_lookup.h"
#include "engine/load_save_dispatch.h"
#include "engine/output_naming.h"
#include "platform/file_system.h"
#include "ui/control_ids.h"
#include "ui/ui_app.h"

namespace pixlane::ui {
namespace {

constexpr UINT_PTR kListSubclassId = 2001;

// After a scroll ends the list is repainted at once, so that no half-drawn
// rows stay behind.
LRESULT CALLBACK NameListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
  if (message == WM_VSCROLL && LOWORD(wParam) == SB_ENDSCROLL) {
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
  }
  return result;
}

void AddColumn(HWND list, int index, const wchar_t* title, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = LVCFMT_LEFT;
  column.pszText = const_cast<wchar_t*>(title);
  column.cx = Scaled(width);
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void FillList(HWND list, const std::vector<PreviewRow>& rows) {
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(g_app.font), FALSE);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  AddColumn(list, 0, L"入力ファイル名", 135);
  AddColumn(list, 1, L"出力ファイル名", 145);
  int index = 0;
  for (const PreviewRow& row : rows) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(W(row.inputName));
    const int inserted = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted >= 0) ListView_SetItemText(list, inserted, 1, const_cast<wchar_t*>(W(row.outputName)));
    ++index;
  }
}

INT_PTR CALLBACK NameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      RECT main{};
      if (g_app.main && GetWindowRect(g_app.main, &main)) {
        SetWindowPos(dialog, nullptr, main.left, main.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      HWND list = GetDlgItem(dialog, kIdNameList);
      FillList(list, *reinterpret_cast<const std::vector<PreviewRow>*>(lParam));
      SetWindowSubclass(list, NameListProc, kListSubclassId, 0);
      if (g_app.testMode) PostMessageW(dialog, kMsgDialogProbe, 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      RemoveWindowSubclass(GetDlgItem(dialog, kIdNameList), NameListProc, kListSubclassId);
      break;
    case kMsgDialogProbe:
      ProbeDialog(dialog, kIdNameDialog);
      return TRUE;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

int ShowNameConfirmation() {
  if (g_app.batchRunning) return 0;
  // The names are those of the listed files: a typed folder is listed first.
  if (!InputListMatchesBox()) return 0;
  const std::u16string input = g_app.listedFolder;
  if (input.empty() || !IsDirectory(input)) {
    ShowErrorMessage(ErrorMessage::InvalidInputFolder);
    return 0;
  }
  const std::u16string output = WindowText(g_app.outputBox);
  if (output.empty() || !IsDirectory(output)) {
    ShowErrorMessage(ErrorMessage::InvalidOutputFolder);
    return 0;
  }
  // A changed folder is listed again without a word: the dialog shows the
  // new list's names.
  CheckInputFolderChanged(false);
  std::vector<std::u16string> names = CheckedInputNames();
  if (names.empty()) {
    ShowErrorMessage(ErrorMessage::NoTargetFiles);
    return 0;
  }

  // The names a batch would choose now: the same edited values, saver
  // extension and subfolder (which is not created).
  ReadEditedValues();
  const ConversionParameters& params = g_app.params;
  EngineContext saver;
  SelectSaver(saver, params);
  std::u16string folder = output;
  if (params.MkDirAdd != 0 && !params.MkDirStr.empty()) folder = JoinPath(folder, params.MkDirStr);
  const NamingState naming = MakeNamingState(params, folder, saver.saver.extension);
  PreviewRequest request;
  request.inputFolder = input;
  request.entryNames = std::move(names);
  request.deleteInputs = params.IFileDel != 0;
  request.readExifDate = ReadPreviewExifDate;
  const std::vector<PreviewRow> rows = PreviewNames(naming, request);

  const INT_PTR result = DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(kIdNameDialog), g_app.main,
                                         NameDialogProc, reinterpret_cast<LPARAM>(&rows));
  if (result != 1) return 0;
  // The batch chooses every name again against the disk.
  RunConvertCommand();
  return 1;
}

}  // namespace pixlane::ui
