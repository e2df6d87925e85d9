// What a batch needs from the front end that runs it: progress, the window
// title, the abort check and question, the fixed messages, the summary, the
// folder tree and the recycle bin. The Win32 shell implements it with its
// main window; the CLI with the terminal. Every hook has a quiet default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/conversion_parameters.h"
#include "settings/error_messages.h"

namespace pixlane {

// One file of a batch as it ended, for front ends that list results.
struct BatchFileReport {
  std::u16string inputPath;
  std::u16string outputPath;  // empty when nothing was written
  bool converted = false;
  // Why it failed: a stable CodecError name or a short text, followed by the
  // system's reason where it gave one ("WriteFailed: No space left on device").
  std::string reason;
  // The reader filled in data the file lacked or had damaged: the output
  // shows the image only as far as it could be read.
  bool partial = false;
  // Set when the input was to be deleted or recycled and was kept: why.
  std::string inputKeptReason;
};

class BatchHost {
 public:
  virtual ~BatchHost() = default;

  virtual void SetProgressRange(int32_t /*total*/) {}
  virtual void StepProgress() {}
  virtual void ResetProgress() {}
  virtual void SetTitle(std::u16string_view /*title*/) {}
  // True when the user asked to stop since the last call (Esc or "中止").
  virtual bool CheckAbort() { return false; }
  // The question "変換処理を中止しますか？"; true for Yes.
  virtual bool ConfirmAbort() { return true; }
  virtual void ShowMessage(ErrorMessage /*code*/) {}
  // A naming text ("TopStr", "EndStr", "MkDirStr") that cannot be part of a
  // file name: the batch did not start.
  virtual void ShowRefusedSetting(const RefusedSetting& /*refused*/) {}
  // The completion box ("変換完了") when "EndMes" is set.
  virtual void ShowSummaryBox(std::u16string_view /*title*/, std::u16string_view /*text*/) {}
  // The batch created the output subfolder `createdFolder` (and it still
  // exists): a folder tree may show that its parent has a subfolder now.
  virtual void RefreshFolderTree(std::u16string_view /*createdFolder*/) {}
  // Copies the values edited in the controls into `params` and applies the
  // edited-value rules (the start of every batch).
  virtual void RefreshFromControls(ConversionParameters& params);
  // When the input folder changed since it was listed: the list is rebuilt
  // into `checkedNames` (every entry checked again) and true returned.
  virtual bool ReloadInputListIfChanged(std::vector<std::u16string>& /*checkedNames*/) {
    return false;
  }
  // Moves a file to the recycle bin; false leaves it in place.
  virtual bool RecycleFile(std::u16string_view path);
  virtual void FileFinished(const BatchFileReport& /*report*/) {}
  // Bracket the commit of one file (naming, flushing, deleting the input);
  // a front end can hold back an immediate stop meanwhile, so that a commit
  // is always finished.
  virtual void CommitStarting() {}
  virtual void CommitFinished() {}
  // The output preview: shows the converted temporary file.
  virtual void ShowOutputPreview(std::u16string_view /*tempPath*/) {}
};

}  // namespace pixlane
