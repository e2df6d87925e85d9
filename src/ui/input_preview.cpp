// The preview box of the "個別入力" page: the file the input list's
// selection settles on, decoded at full size and drawn fitted into the box,
// with its name and "width x height    depth" under it. A file that cannot
// be read leaves the previous preview in place; rebuilding the list clears
// it. A click on the box opens the file with its associated program.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/load_save_dispatch.h"
#include "platform/file_system.h"
#include "ui/control_ids.h"
#include "ui/preview_model.h"
#include "ui/preview_picture.h"
#include "ui/ui_app.h"

namespace pixlane::ui {
namespace {

PreviewPicture g_picture;
std::u16string g_path;  // the previewed file; empty when nothing is shown
std::vector<std::u16string> g_opens;

void SetLabel(int id, const std::u16string& text) {
  if (HWND label = Control(id)) SetWindowTextW(label, W(text));
}

void RepaintBox() {
  if (HWND box = Control(kIdPreviewBox)) InvalidateRect(box, nullptr, FALSE);
}

// The depth the file stores its pixels in: the readers deliver indexed
// images of 1 to 4 bits as 8 bits, and the label speaks of the file.
int32_t FileDepth(const EngineContext& context) {
  const ImageBuffer* record = context.current.record;
  if (record != nullptr && record->sourceBitCount > 0) return record->sourceBitCount;
  return context.current.bitCount;
}

void OpenPreviewedFile(HWND box) {
  if (g_path.empty()) return;
  if (g_app.testMode) {
    g_opens.push_back(g_path);
    return;
  }
  std::wstring quoted(W(g_path));
  quoted.resize(MAX_PATH + 2);
  PathQuoteSpacesW(quoted.data());
  quoted.resize(wcslen(quoted.c_str()));
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.hwnd = box;
  info.lpFile = quoted.c_str();
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) ShowErrorMessage(ErrorMessage::ProgramStartFailed);
}

std::u16string RowName(HWND list, int row) {
  wchar_t buffer[MAX_PATH] = {};
  ListView_GetItemText(list, row, 0, buffer, MAX_PATH);
  return U16(buffer);
}

}  // namespace

void ShowInputPreview(const std::u16string& path) {
  // A batch owns the engine and the read cursor until it ends.
  if (g_app.batchRunning) return;
  // The preview's own engine objects; JPEG files are decoded at full size
  // whatever the reduction setting says (the setting itself is untouched).
  EngineContext context;
  context.pluginFolder = g_app.window.SPI;
  ConversionParameters params = g_app.params;
  params.RszOpt = 0;
  static const ConversionParameters kNoProcessing;
  PreviewPicture picture;
  int32_t depth = 0;
  bool loaded = false;
  if (AllocateWorkObjects(context, kNoProcessing) && LoadImageFile(context, params, path)) {
    depth = FileDepth(context);
    loaded = picture.TakeCurrentImage(context);
  }
  ReleaseWorkObjects(context);
  if (!loaded) return;
  g_picture = std::move(picture);  // the previous pixels are released here
  g_path = path;
  SetLabel(kIdPreviewName, std::u16string(FileNamePart(path)));
  SetLabel(kIdPreviewInfo, InputPreviewInfoText(g_picture.width(), g_picture.height(), depth));
  RepaintBox();
}

void ClearInputPreview() {
  g_picture.Release();
  g_path.clear();
  SetLabel(kIdPreviewName, u"");
  SetLabel(kIdPreviewInfo, u"");
  RepaintBox();
}

void InputListSelectionChanged(UINT oldState, UINT newState) {
  if (((oldState ^ newState) & LVIS_SELECTED) == 0) return;
  HWND list = g_app.inputList;
  if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) != 1) return;
  const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (row < 0) return;
  const std::u16string path = JoinPath(g_app.listedFolder, RowName(list, row));
  // The selection shrank to the row already shown: nothing to load again.
  const bool becameSelected = (newState & LVIS_SELECTED) != 0;
  if (!becameSelected && path == g_path) return;
  ShowInputPreview(path);
}

LRESULT CALLBACK InputPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return TRUE;  // the paint covers the whole box
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      PaintFitted(window, dc, &g_picture);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
      OpenPreviewedFile(window);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

const std::u16string& InputPreviewPath() { return g_path; }

bool InputPreviewHasPixels() { return !g_picture.empty(); }

const std::vector<std::u16string>& RecordedPreviewOpens() { return g_opens; }

}  // namespace pixlane::ui
