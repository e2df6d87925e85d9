// The batch host of the Win32 shell: progress bar, window title, the abort
// check that keeps the window painted while a batch runs on the UI thread,
// the abort question, the fixed message boxes and the summary box; and the
// commands that start a batch ("変換", drops, Send To).
#include <windows.h>
#include <commctrl.h>

#include <array>

#include "engine/batch_driver.h"
#include "platform/file_system.h"
#include "settings/error_messages.h"
#include "ui/control_ids.h"
#include "ui/folder_tree.h"
#include "ui/ui_app.h"
#include "ui/ui_model.h"

namespace pixlane::ui {
namespace {

constexpr int kSummaryBoxCode = 100;
constexpr int kRefusedSettingCode = 101;
constexpr int kAbortQuestionCode = 101;

class WindowBatchHost : public BatchHost {
 public:
  void SetProgressRange(int32_t total) override {
    SendMessageW(g_app.progress, PBM_SETRANGE32, 0, total);
    SendMessageW(g_app.progress, PBM_SETPOS, 0, 0);
  }
  void StepProgress() override { SendMessageW(g_app.progress, PBM_STEPIT, 0, 0); }
  void ResetProgress() override { SendMessageW(g_app.progress, PBM_SETPOS, 0, 0); }
  void SetTitle(std::u16string_view title) override { SetWindowTextW(g_app.main, W(std::u16string(title))); }

  // Takes every pending message from WM_PAINT to WM_LBUTTONDOWN of the main
  // window and its children: paint messages are dispatched, Esc, "中止" and
  // a press on "中止" ask for an abort, everything else is dropped.
  bool CheckAbort() override {
    HWND abortButton = Control(kIdAbortButton);
    MSG msg;
    while (PeekMessageW(&msg, g_app.main, WM_PAINT, WM_LBUTTONDOWN, PM_REMOVE)) {
      if (msg.message == WM_PAINT) {
        DispatchMessageW(&msg);
      } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        return true;
      } else if (msg.message == WM_COMMAND && LOWORD(msg.wParam) == kIdAbortButton) {
        return true;
      } else if (msg.message == WM_LBUTTONDOWN && msg.hwnd == abortButton) {
        return true;
      }
    }
    return false;
  }

  bool ConfirmAbort() override {
    if (g_app.testMode) {
      g_app.shownMessages.push_back(kAbortQuestionCode);
      return g_app.testAbortAnswer;
    }
    return MessageBoxW(g_app.main, W(std::u16string(kAbortQuestion)), L"Pixlane",
                       MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND) == IDYES;
  }

  void ShowMessage(ErrorMessage code) override { ShowErrorMessage(code); }

  void ShowRefusedSetting(const RefusedSetting& refused) override {
    if (g_app.testMode) {
      g_app.shownMessages.push_back(kRefusedSettingCode);
      return;
    }
    MessageBoxW(g_app.main, W(RefusedSettingMessage(refused)), L"Pixlane",
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  }

  void ShowSummaryBox(std::u16string_view title, std::u16string_view text) override {
    if (g_app.testMode) {
      g_app.shownMessages.push_back(kSummaryBoxCode);
      return;
    }
    MessageBoxW(g_app.main, W(std::u16string(text)), W(std::u16string(title)),
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
  }

  void RefreshFromControls(ConversionParameters& /*params*/) override { ReadEditedValues(); }

  void RefreshFolderTree(std::u16string_view createdFolder) override { MarkExpandable(createdFolder); }

  bool ReloadInputListIfChanged(std::vector<std::u16string>& checkedNames) override {
    if (!ui::ReloadInputListIfChanged()) return false;
    checkedNames = CheckedInputNames();
    return true;
  }
};

void FillHistory(HWND box, const std::array<std::u16string, kFolderHistoryLength>& history) {
  const std::u16string text = WindowText(box);
  SendMessageW(box, CB_RESETCONTENT, 0, 0);
  for (const std::u16string& entry : history) {
    if (!entry.empty()) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(entry)));
  }
  SetWindowTextW(box, W(text));
}

void AfterBatch() {
  ShowFolderHistories();
  // The batch's own outputs and deletions must not count as a change made
  // by someone else: the list is rebuilt now and the watch re-armed.
  ReloadInputListIfChanged();
}

}  // namespace

void ShowErrorMessage(ErrorMessage code) {
  if (g_app.testMode) {
    g_app.shownMessages.push_back(static_cast<int>(code));
    return;
  }
  const MessageText& message = ErrorMessageText(code);
  const UINT icon = message.icon == MessageIcon::Error ? MB_ICONERROR : MB_ICONWARNING;
  MessageBoxW(g_app.main, W(std::u16string(message.text)), W(std::u16string(message.title)),
              MB_OK | icon | MB_SETFOREGROUND);
}

void ShowFolderHistories() {
  FillHistory(g_app.inputBox, g_app.window.IH);
  FillHistory(g_app.outputBox, g_app.window.OH);
}

void RunConvertCommand() {
  if (g_app.batchRunning) return;
  // A folder typed into the box but not yet listed: list it and stop.
  if (!InputListMatchesBox()) return;
  // The watch is tested when the batch starts (message 7 with "FileMes").
  WindowBatchHost host;
  g_app.batchRunning = true;
  const std::u16string input = g_app.listedFolder;
  const std::u16string output = WindowText(g_app.outputBox);
  RunListBatch(g_app.engine, g_app.params, g_app.window, input, output, CheckedInputNames(), host);
  g_app.batchRunning = false;
  if (input.empty() || !IsDirectory(input)) FillInputListView(input);
  AfterBatch();
}

void RunPathConversion(const std::vector<std::u16string>& paths, bool useMainOutputFolder) {
  if (g_app.batchRunning) return;
  WindowBatchHost host;
  g_app.batchRunning = true;
  RunPathBatch(g_app.engine, g_app.params, g_app.window, paths, useMainOutputFolder, WindowText(g_app.outputBox),
               host);
  g_app.batchRunning = false;
  AfterBatch();
}

}  // namespace pixlane::ui
