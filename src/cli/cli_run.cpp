// The CLI's batch host and the choice of batch. Fixed messages are printed
// with the program's own texts; per-file lines say where each output went
// or why a file was skipped.
#include "cli/cli_run.h"

#include <algorithm>

#include "cli/cli_text.h"
#include "engine/batch_driver.h"
#include "engine/exif_lookup.h"
#include "engine/input_list.h"
#include "engine/load_save_dispatch.h"
#include "engine/output_naming.h"
#include "platform/file_system.h"
#include "platform/process_info.h"
#include "platform/text.h"
#include "settings/error_messages.h"

namespace pixlane::cli {
namespace {

constexpr int kBarWidth = 30;

class TerminalHost : public BatchHost {
 public:
  TerminalHost(const CliOptions& options, const CliOutput& output,
               const std::atomic<bool>* stopRequested)
      : options_(options), output_(output), stopRequested_(stopRequested) {}

  bool startError() const { return startError_; }

  void SetProgressRange(int32_t total) override {
    total_ = total;
    done_ = 0;
  }
  void StepProgress() override {
    ++done_;
    DrawBar();
  }
  void ResetProgress() override { ClearBar(); }
  void SetTitle(std::u16string_view title) override {
    // The completion title stands in for the box when "EndMes" is off.
    if (title.substr(0, 4) == std::u16string_view(kSummaryTitle)) output_.out(Utf16ToUtf8(title));
  }
  bool CheckAbort() override {
    return stopRequested_ != nullptr && stopRequested_->load();
  }
  bool ConfirmAbort() override {
    ClearBar();
    output_.err(Utf16ToUtf8(kAbortQuestion) + " (Ctrl-C) → yes");
    return true;
  }
  void ShowMessage(ErrorMessage code) override {
    ClearBar();
    const MessageText& message = ErrorMessageText(code);
    std::string text = Utf16ToUtf8(message.text);
    std::replace(text.begin(), text.end(), '\n', ' ');
    output_.err("pixlane: " + text);
    if (code != ErrorMessage::HtmlTagWriteFailed) startError_ = true;
  }
  void ShowRefusedSetting(const RefusedSetting& refused) override {
    ClearBar();
    output_.err("pixlane: " + RefusedSettingText(refused));
    startError_ = true;
  }
  void ShowSummaryBox(std::u16string_view title, std::u16string_view text) override {
    std::string body = Utf16ToUtf8(text);
    while (!body.empty() && (body.back() == ' ' || body.back() == '\n')) body.pop_back();
    output_.out(Utf16ToUtf8(title));
    output_.out(body);
  }
  void FileFinished(const BatchFileReport& report) override {
    ClearBar();
    const std::string input = PrintableText(report.inputPath);
    if (report.converted) {
      std::string line = input + " -> " + PrintableText(report.outputPath);
      if (report.partial) line += " (partial: the input is damaged or cut short)";
      if (!report.inputKeptReason.empty()) {
        output_.err(line + "; input kept: " + report.inputKeptReason);
      } else if (report.partial) {
        output_.err(line);
      } else if (!options_.quiet) {
        output_.out(line);
      }
    } else {
      output_.err(input + ": not converted (" + report.reason + ")");
    }
    current_ = PrintableText(FileNamePart(report.inputPath));
  }
  void CommitStarting() override {
    if (output_.holdStop) output_.holdStop(true);
  }
  void CommitFinished() override {
    if (output_.holdStop) output_.holdStop(false);
  }

 private:
  void DrawBar() {
    if (!output_.progressBar || total_ <= 0) return;
    const int filled = static_cast<int>(static_cast<int64_t>(done_) * kBarWidth / total_);
    std::string bar = "\r[" + std::string(static_cast<size_t>(filled), '#') +
                      std::string(static_cast<size_t>(kBarWidth - filled), ' ') + "] " +
                      std::to_string(done_) + "/" + std::to_string(total_) + " " + current_;
    if (bar.size() > 78) bar.resize(78);
    output_.status(bar + "\x1b[K");
    barShown_ = true;
  }
  void ClearBar() {
    if (!barShown_) return;
    output_.status("\r\x1b[K");
    barShown_ = false;
  }

  const CliOptions& options_;
  const CliOutput& output_;
  const std::atomic<bool>* stopRequested_;
  int32_t total_ = 0;
  int32_t done_ = 0;
  std::string current_;
  bool barShown_ = false;
  bool startError_ = false;
};

// A missing -o folder is created (one level), as a command-line user
// expects; false when that fails.
bool EnsureOutputFolder(const std::u16string& folder) {
  return folder.empty() || IsDirectory(folder) || CreateFolder(folder);
}

std::vector<std::u16string> ListFolder(const std::u16string& folder,
                                       const ConversionParameters& params,
                                       const WindowSettings& window) {
  std::vector<InputListEntry> entries;
  FillInputList(folder, params, static_cast<uint32_t>(window.Hidden), entries,
                PluginInputExtensions(params, window.SPI));
  std::vector<std::u16string> names;
  names.reserve(entries.size());
  for (InputListEntry& e : entries) names.push_back(std::move(e.name));
  return names;
}

int DryRun(ConversionParameters& params, const std::u16string& outputFolder,
           const std::u16string& inputFolder, const std::vector<std::u16string>& entries,
           const CliOutput& output) {
  EngineContext context;
  SelectSaver(context, params);
  std::u16string folder = outputFolder;
  if (params.MkDirAdd != 0 && !params.MkDirStr.empty()) folder = JoinPath(folder, params.MkDirStr);
  const NamingState naming = MakeNamingState(params, folder, context.saver.extension);
  PreviewRequest request;
  request.inputFolder = inputFolder;
  request.entryNames = entries;
  request.deleteInputs = params.IFileDel != 0;
  request.readExifDate = ReadPreviewExifDate;
  for (const PreviewRow& row : PreviewNames(naming, request)) {
    output.out(PrintableText(row.inputName) + " -> " + PrintableText(JoinPath(folder, row.outputName)));
  }
  return kExitAllConverted;
}

}  // namespace

int RunCli(const CliOptions& options, ConversionParameters& params, WindowSettings& window,
           const CliOutput& output, const std::atomic<bool>* stopRequested) {
  auto folderError = [&output](ErrorMessage code) {
    output.err("pixlane: " + Utf16ToUtf8(ErrorMessageText(code).text));
    return kExitUsageOrFolderError;
  };
  // Settings from a shared file or the command line must never name a path.
  RefusedSetting refused;
  if (FindRefusedNameSetting(params, refused)) {
    output.err("pixlane: " + RefusedSettingText(refused));
    return kExitUsageOrFolderError;
  }
  if (!options.dryRun && !EnsureOutputFolder(options.outputFolder)) {
    return folderError(ErrorMessage::InvalidOutputFolder);
  }

  const bool folderBatch = options.inputs.size() == 1 && IsDirectory(options.inputs.front());
  std::vector<std::u16string> paths;
  if (!folderBatch) {
    for (const std::u16string& input : options.inputs) {
      if (!IsDirectory(input)) {
        paths.push_back(input);
        continue;
      }
      for (const std::u16string& name : ListFolder(input, params, window)) {
        paths.push_back(JoinPath(input, name));
      }
    }
  }

  // Where the outputs go: -o; for a folder "OSPath", else the folder
  // itself; for files "SdToPath", else the first file's folder (the path
  // batch applies that rule itself when no -o is given).
  std::u16string outputFolder = options.outputFolder;
  if (outputFolder.empty()) {
    if (folderBatch) {
      outputFolder = !window.OSPath.empty() ? window.OSPath : options.inputs.front();
    } else if (!window.SdToPath.empty()) {
      outputFolder = window.SdToPath;
    } else if (!paths.empty()) {
      outputFolder = FolderPart(paths.front());
    }
  }

  if (options.dryRun) {
    if (folderBatch) {
      const std::u16string& folder = options.inputs.front();
      return DryRun(params, outputFolder, folder, ListFolder(folder, params, window), output);
    }
    return DryRun(params, outputFolder, u"", paths, output);
  }

  TerminalHost host(options, output, stopRequested);
  EngineContext context;
  BatchResult result;
  const int32_t jobs = options.jobs > 0 ? options.jobs : UsableProcessorCount();
  if (folderBatch) {
    const std::u16string& folder = options.inputs.front();
    if (!IsDirectory(outputFolder)) return folderError(ErrorMessage::InvalidOutputFolder);
    result = RunListBatch(context, params, window, folder, outputFolder,
                          ListFolder(folder, params, window), host, jobs);
  } else {
    result = RunPathBatch(context, params, window, paths, !options.outputFolder.empty(),
                          options.outputFolder, host, jobs);
  }
  if (!result.started || host.startError()) return kExitUsageOrFolderError;
  return result.successCount == result.targetCount && result.inputsKept == 0 ? kExitAllConverted
                                                                             : kExitSomeFailed;
}

}  // namespace pixlane::cli
