// "出力プレビュー": the first checked file converted with the current
// settings into a temporary file (RunOutputPreview) and shown in dialog 2100
// exactly as it would be written — size, colours, compression — sized to
// the image or scaled to the work area, with "percent / kilobytes" in the
// caption. The engine deletes the temporary file once the dialog is closed.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "engine/batch_driver.h"
#include "engine/load_save_dispatch.h"
#include "platform/file_system.h"
#include "ui/control_ids.h"
#include "ui/preview_model.h"
#include "ui/preview_picture.h"
#include "ui/ui_app.h"

namespace pixlane::ui {
namespace {

struct OutputPreview {
  PreviewPicture picture;
  uint64_t fileBytes = 0;
};

// The open dialog's picture, for the child that paints it.
const OutputPreview* g_open = nullptr;

// The parts of a batch host the preview needs: messages, the values typed
// into the pages, and the dialog.
class PreviewHost : public BatchHost {
 public:
  void ShowMessage(ErrorMessage code) override { ShowErrorMessage(code); }
  void RefreshFromControls(ConversionParameters& /*params*/) override { ReadEditedValues(); }
  void ShowOutputPreview(std::u16string_view tempPath) override { ui::ShowOutputPreview(tempPath); }
};

RECT WorkAreaOf(HWND window) {
  RECT area{};
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info)) {
    area = info.rcWork;
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  return area;
}

// Sizes the child to the picture (scaled to fit the work area when it is
// larger, never narrower than a window can be) and the dialog around it,
// centred in the work area of the main window's monitor.
void LayOut(HWND dialog, const OutputPreview& preview) {
  const RECT work = WorkAreaOf(g_app.main ? g_app.main : dialog);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
  const int frameWidth = frame.right - frame.left;
  const int frameHeight = frame.bottom - frame.top;
  const int workWidth = work.right - work.left;
  const int workHeight = work.bottom - work.top;
  const OutputPreviewSize size = ScaleOutputPreview(preview.picture.width(), preview.picture.height(),
                                                    workWidth - frameWidth, workHeight - frameHeight);
  const int childWidth =
      std::max(size.width, GetSystemMetrics(SM_CXMIN) - 2 * GetSystemMetrics(SM_CYDLGFRAME));
  const int childHeight = size.height;
  SetWindowPos(GetDlgItem(dialog, kIdOutputPreviewChild), nullptr, 0, 0, childWidth, childHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  const int width = childWidth + frameWidth;
  const int height = childHeight + frameHeight;
  const int x = std::max<int>(work.left, work.left + (workWidth - width) / 2);
  const int y = std::max<int>(work.top, work.top + (workHeight - height) / 2);
  SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowTextW(dialog, W(OutputPreviewCaption(size.percent, preview.fileBytes)));
}

INT_PTR CALLBACK OutputPreviewDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      LayOut(dialog, *reinterpret_cast<const OutputPreview*>(lParam));
      if (g_app.testMode) PostMessageW(dialog, kMsgDialogProbe, 0, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
    case kMsgDialogProbe:
      ProbeDialog(dialog, kIdOutputPreviewDialog);
      return TRUE;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void ShowOutputPreview(std::u16string_view tempPath) {
  // Called from inside RunOutputPreview, whose work objects are allocated.
  // The file is read at full size: it is already what the settings make.
  EngineContext& context = g_app.engine;
  if (!context.work || !LoadImageFile(context, tempPath)) return;
  std::unique_ptr<OutputPreview> preview(new (std::nothrow) OutputPreview);
  if (!preview || !preview->picture.TakeCurrentImage(context)) {
    ReleaseCurrentImage(context);
    return;
  }
  GetFileSize(tempPath, preview->fileBytes);
  g_open = preview.get();
  DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(kIdOutputPreviewDialog), g_app.main,
                  OutputPreviewDialogProc, reinterpret_cast<LPARAM>(preview.get()));
  g_open = nullptr;
}  // the pixel rows go with `preview`

void RunOutputPreviewCommand() {
  if (g_app.batchRunning) return;
  // The preview runs on the listed files: a typed folder is listed first.
  if (!InputListMatchesBox()) return;
  PreviewHost host;
  // Files only a plug-in reads are previewed as a batch converts them.
  g_app.engine.pluginFolder = g_app.window.SPI;
  // Like a batch, the preview holds the engine until it ends.
  g_app.batchRunning = true;
  RunOutputPreview(g_app.engine, g_app.params, g_app.listedFolder, CheckedInputNames(), host);
  g_app.batchRunning = false;
}

LRESULT CALLBACK OutputPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return TRUE;  // the paint covers the whole child
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      PaintFitted(window, dc, g_open ? &g_open->picture : nullptr);
      EndPaint(window, &paint);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace pixlane::ui
