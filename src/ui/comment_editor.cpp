// "作成" on the "詳細設定" page: dialog 2200 ("コメント作成") edits the comment
// that PNG and JPEG outputs carry ("CmtStr1"). OK stores up to 10,000
// characters with the edit's line breaks (CR LF); キャンセル changes nothing.
#include <windows.h>

#include <string>

#include "settings/settings_limits.h"
#include "ui/control_ids.h"
#include "ui/ui_app.h"

namespace pixlane::ui {
namespace {

constexpr int kCommentLimit = static_cast<int>(kMaxCommentChars);

std::u16string EditText(HWND edit) {
  std::wstring text(static_cast<size_t>(kCommentLimit) + 1, L'\0');
  const int length = GetWindowTextW(edit, text.data(), kCommentLimit + 1);
  text.resize(static_cast<size_t>(length > 0 ? length : 0));
  return U16(text);
}

INT_PTR CALLBACK CommentDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG: {
      HWND edit = GetDlgItem(dialog, kIdCommentText);
      // The limit holds for typing and pasting; what is stored is never cut.
      SendMessageW(edit, EM_SETLIMITTEXT, kCommentLimit, 0);
      SetWindowTextW(edit, W(g_app.params.CmtStr1));
      if (g_app.testMode) PostMessageW(dialog, kMsgDialogProbe, 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        g_app.params.CmtStr1 = EditText(GetDlgItem(dialog, kIdCommentText));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    case kMsgDialogProbe:
      ProbeDialog(dialog, kIdCommentDialog);
      return TRUE;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

bool EditComment() {
  const INT_PTR result = DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(kIdCommentDialog), g_app.main,
                                         CommentDialogProc, 0);
  if (result != IDOK) return false;
  RefreshDetailSummary();
  return true;
}

}  // namespace pixlane::ui
