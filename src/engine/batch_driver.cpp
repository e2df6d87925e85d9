// The batch loop shared by list and path batches, the folder checks before
// it and the summary after it. Converted files are committed by
// CommitConvertedFile: an input is deleted or recycled only after its
// complete output is durable under its name, and never when its image was
// partial or the file changed since it was read. With more than one job
// (the CLI's -j) worker threads convert ahead and this thread commits in
// input order (file_workers.h).
#include "engine/batch_driver.h"

#include <algorithm>
#include <memory>

#include "engine/conversion_pipeline.h"
#include "engine/file_workers.h"
#include "engine/html_tags.h"
#include "engine/load_save_dispatch.h"
#include "engine/output_commit.h"
#include "engine/output_naming.h"
#include "platform/file_name_rules.h"
#include "platform/file_system.h"
#include "platform/pixel_memory.h"
#include "platform/recycle_bin.h"
#include "platform/temporary_files.h"
#include "platform/text.h"
#include "settings/settings_store.h"

namespace pixlane {

void BatchHost::RefreshFromControls(ConversionParameters& params) {
  ApplyEditedValueRules(params);
}

bool BatchHost::RecycleFile(std::u16string_view path) { return MoveToRecycleBin(path); }

namespace {

struct BatchItem {
  std::u16string inputPath;
  std::u16string name;  // the file-name part, given to the naming routine
};

bool SameFolderName(std::u16string_view a, std::u16string_view b) {
#ifdef _WIN32
  return EqualsIgnoreCaseAscii(a, b);
#else
  return a == b;
#endif
}

std::u16string NumberText(int32_t n) { return Utf8ToUtf16(std::to_string(n)); }

// The codec's reason, with the system's words for the failures the system
// caused (a full disk, a folder that went away, a denied write).
std::string FailureReason(CodecError error) {
  std::string reason = CodecErrorName(error);
  if (error == CodecError::CannotOpen || error == CodecError::WriteFailed) {
    const std::string system = LastFileErrorText();
    if (!system.empty()) reason += ": " + system;
  }
  return reason;
}

// Appends the subfolder to `outputFolder` and creates it when missing.
// False (after ErrorMessage 5) when it cannot be created.
bool PrepareSubfolder(const ConversionParameters& params, std::u16string& outputFolder,
                      bool& created, BatchHost& host) {
  created = false;
  if (params.MkDirAdd == 0 || params.MkDirStr.empty()) return true;
  outputFolder = JoinPath(outputFolder, params.MkDirStr);
  if (IsDirectory(outputFolder)) return true;
  if (PathExists(outputFolder) || !CreateFolder(outputFolder)) {
    host.ShowMessage(ErrorMessage::FolderCreationFailed);
    return false;
  }
  created = true;
  return true;
}

void ShowSummary(EngineContext& context, const WindowSettings& window, BatchHost& host,
                 const std::u16string& outputFolder, bool subfolderCreated,
                 const BatchResult& result) {
  ReleaseWorkObjects(context);
  host.ResetProgress();
  host.SetTitle(kIdleTitle);
  if (subfolderCreated) {
    // A subfolder nothing was written to goes again; the tree hears only of
    // one that stays.
    if (result.successCount == 0) RemoveEmptyFolder(outputFolder);
    if (IsDirectory(outputFolder)) host.RefreshFolderTree(outputFolder);
  }
  if (window.EndMes != 0) {
    host.ShowSummaryBox(kSummaryTitle, SummaryBoxText(result.targetCount, result.successCount));
  } else {
    host.SetTitle(SummaryTitleText(result.targetCount, result.successCount));
  }
}

// Converts one file into a temporary file in `outputFolder` and keeps what
// its commit needs (on the thread that converts it: the failure's system
// reason is that thread's).
ConvertedFile ConvertItem(EngineContext& context, const ConversionParameters& params,
                          const BatchItem& item, const std::u16string& outputFolder,
                          bool noteInput) {
  ConvertedFile file;
  if (noteInput) file.inputSeen = GetFileIdentity(item.inputPath, true, file.inputSeenIdentity);
  ClearLastFileError();
  file.converted =
      ConvertOrTransformFile(context, params, item.inputPath, outputFolder, file.tempPath);
  if (!file.converted) file.reason = FailureReason(context.lastError);
  file.exifDate = context.exifDate;
  file.width = context.current.width;
  file.height = context.current.height;
  file.inputPartial = context.inputPartial;
  file.outOfMemory = !file.converted && context.lastError == CodecError::OutOfMemory;
  file.inputIdentity = context.inputIdentity;
  return file;
}

// With more than one file and `parallelFiles` above 1, the worker pool for
// min(parallelFiles, files) workers, each with its own WorkObjects prepared
// like the batch's. False when memory is short.
bool PrepareWorkers(const EngineContext& context, const ConversionParameters& params,
                    const std::vector<BatchItem>& items, const std::u16string& outputFolder,
                    int32_t parallelFiles, std::unique_ptr<FileWorkers>& workers) {
  const size_t count = std::min(items.size(), static_cast<size_t>(std::max(parallelFiles, 1)));
  if (count < 2) return true;
  std::vector<std::unique_ptr<EngineContext>> contexts;
  for (size_t i = 0; i < count; ++i) {
    auto worker = std::make_unique<EngineContext>();
    worker->saver = context.saver;
    worker->pluginFolder = context.pluginFolder;
    worker->pluginLoader = context.pluginLoader;
    if (!AllocateWorkObjects(*worker, params)) return false;
    contexts.push_back(std::move(worker));
  }
  workers = std::make_unique<FileWorkers>(
      std::move(contexts), items.size(),
      [&params, &items, &outputFolder](EngineContext& worker, size_t index) {
        return ConvertItem(worker, params, items[index], outputFolder, true);
      });
  return true;
}

// Whether the input path no longer names what it named when a worker began
// converting it: an earlier commit deleted or recycled it (the same file
// listed twice, or a link to it) or created it (an output named like a
// later input). A sequential run would have read the new state, so the
// file is converted again.
bool InputMovedOn(const BatchItem& item, const ConvertedFile& file) {
  FileIdentity now;
  const bool exists = GetFileIdentity(item.inputPath, true, now);
  return exists != file.inputSeen || (exists && now != file.inputSeenIdentity);
}

// Steps 5 to 13 of a batch, shared by list and path batches.
BatchResult RunItems(EngineContext& context, ConversionParameters& params,
                     const WindowSettings& window, std::u16string outputFolder,
                     const std::vector<BatchItem>& items, int32_t parallelFiles,
                     BatchHost& host) {
  // Pixel blocks and input copies are reused from file to file.
  const PixelPoolScope pixelPool;
  BatchResult result;
  result.targetCount = static_cast<int32_t>(items.size());
  context.pluginFolder = window.SPI;
  host.SetProgressRange(result.targetCount);
  host.RefreshFromControls(params);
  RefusedSetting refused;
  if (FindRefusedNameSetting(params, refused)) {
    host.ShowRefusedSetting(refused);
    return result;
  }
  SelectSaver(context, params);

  bool subfolderCreated = false;
  if (!PrepareSubfolder(params, outputFolder, subfolderCreated, host)) return result;

  const bool writeTags = params.HtmlTag != 0;
  std::vector<HtmlTagEntry> tags;
  std::unique_ptr<FileWorkers> workers;
  if (!AllocateWorkObjects(context, params) ||
      !PrepareWorkers(context, params, items, outputFolder, parallelFiles, workers)) {
    ReleaseWorkObjects(context);
    if (subfolderCreated) RemoveEmptyFolder(outputFolder);
    host.ShowMessage(ErrorMessage::MemoryAllocationFailed);
    return result;
  }
  result.started = true;
  NamingState naming = MakeNamingState(params, outputFolder, context.saver.extension);
  host.SetTitle(kBusyTitle);
  // What killed runs left behind; the temporary files of this run are
  // written beside the outputs so that each commit is a rename.
  result.staleFilesRemoved = RemoveStaleTemporaryFiles(outputFolder);
  const InputDisposal disposal = params.IFileDel == 0 ? InputDisposal::Keep
                                 : params.Recycle != 0 ? InputDisposal::Recycle
                                                       : InputDisposal::Delete;
  const RecycleFunction recycle = [&host](std::u16string_view path) {
    return host.RecycleFile(path);
  };

  // One file's commit and report, on this thread, in input order.
  auto commitFile = [&](const BatchItem& item, ConvertedFile& file) {
    BatchFileReport report;
    report.inputPath = item.inputPath;
    naming.processedCount = result.processedCount;
    // A name that would leave the output folder or name a device fails this
    // file only (the settings that build names were checked first).
    const std::u16string outputName =
        file.converted ? MakeOutputName(naming, item.name, file.exifDate) : std::u16string();
    const NameProblem nameProblem = file.converted ? CheckHostFileName(outputName) : NameProblem::None;
    if (!file.converted) {
      report.reason = std::move(file.reason);
    } else if (nameProblem != NameProblem::None) {
      DeleteOwnFile(file.tempPath);
      report.reason = std::string("output name ") + NameProblemText(nameProblem);
    } else {
      CommitRequest request;
      request.temporaryPath = file.tempPath;
      request.outputPath = JoinPath(naming.outputFolder, outputName);
      request.extension = naming.extension;
      request.inputPath = item.inputPath;
      request.disposal = disposal;
      request.inputPartial = file.inputPartial;
      request.inputIdentity = file.inputIdentity;
      host.CommitStarting();
      const CommitResult commit = CommitConvertedFile(request, recycle);
      host.CommitFinished();
      report.partial = file.inputPartial;
      if (commit.committed) {
        ++result.successCount;
        if (report.partial) ++result.partialCount;
        report.converted = true;
        report.outputPath = commit.outputPath;
        report.inputKeptReason = InputKeptReason(commit.input);
        if (!report.inputKeptReason.empty()) ++result.inputsKept;
        if (writeTags) {
          tags.push_back({std::u16string(FileNamePart(commit.outputPath)), file.width, file.height});
        }
      } else {
        report.reason = commit.reason;
      }
    }
    host.FileFinished(report);
    host.StepProgress();
    ++result.processedCount;
    // True when the walk ends here.
    return result.processedCount < result.targetCount && host.CheckAbort() && host.ConfirmAbort();
  };

  if (workers && !workers->Start()) workers.reset();
  if (workers) {
    for (size_t i = 0; i < items.size(); ++i) {
      ConvertedFile file = workers->Take(i);
      if (InputMovedOn(items[i], file)) {
        if (file.converted) DeleteOwnFile(file.tempPath);
        file = ConvertItem(context, params, items[i], outputFolder, false);
      } else if (file.outOfMemory) {
        // Memory ran short beside the other files in flight: converted
        // again with none beside it, as a sequential run would have.
        workers->Pause();
        file = ConvertItem(context, params, items[i], outputFolder, false);
        workers->Resume();
      }
      if (commitFile(items[i], file)) {
        result.aborted = true;
        break;
      }
    }
    // Files converted ahead of an abort are dropped with their temporary files.
    workers->Stop();
  } else {
    for (const BatchItem& item : items) {
      ConvertedFile file = ConvertItem(context, params, item, outputFolder, false);
      if (commitFile(item, file)) {
        result.aborted = true;
        break;
      }
    }
  }

  if (writeTags && result.successCount > 0) {
    const HtmlTagResult written = WriteHtmlTags(
        outputFolder, tags, [&host](std::u16string_view path) { return host.RecycleFile(path); });
    if (IsHtmlTagFailure(written)) host.ShowMessage(ErrorMessage::HtmlTagWriteFailed);
  }
  ShowSummary(context, window, host, outputFolder, subfolderCreated, result);
  return result;
}

}  // namespace

void PushFolderHistory(std::array<std::u16string, kFolderHistoryLength>& history,
                       std::u16string_view folder) {
  std::vector<std::u16string> entries;
  entries.emplace_back(folder);
  for (const std::u16string& entry : history) {
    if (!entry.empty() && !SameFolderName(entry, folder)) entries.push_back(entry);
  }
  for (size_t i = 0; i < history.size(); ++i) {
    history[i] = i < entries.size() ? entries[i] : std::u16string();
  }
}

BatchResult RunListBatch(EngineContext& context, ConversionParameters& params,
                         WindowSettings& window, std::u16string_view inputFolder,
                         std::u16string_view outputFolder, std::vector<std::u16string> checkedNames,
                         BatchHost& host, int32_t parallelFiles) {
  if (inputFolder.empty() || !IsDirectory(inputFolder)) {
    host.ShowMessage(ErrorMessage::InvalidInputFolder);
    return {};
  }
  PushFolderHistory(window.IH, inputFolder);
  if (outputFolder.empty() || !IsDirectory(outputFolder)) {
    host.ShowMessage(ErrorMessage::InvalidOutputFolder);
    return {};
  }
  PushFolderHistory(window.OH, outputFolder);
  if (host.ReloadInputListIfChanged(checkedNames) && window.FileMes != 0) {
    host.ShowMessage(ErrorMessage::InputFolderChanged);
    return {};
  }
  if (checkedNames.empty()) {
    host.ShowMessage(ErrorMessage::NoTargetFiles);
    return {};
  }
  std::vector<BatchItem> items;
  items.reserve(checkedNames.size());
  for (std::u16string& name : checkedNames) {
    items.push_back({JoinPath(inputFolder, name), std::move(name)});
  }
  return RunItems(context, params, window, std::u16string(outputFolder), items, parallelFiles,
                  host);
}

BatchResult RunPathBatch(EngineContext& context, ConversionParameters& params,
                         WindowSettings& window, const std::vector<std::u16string>& paths,
                         bool useMainOutputFolder, std::u16string_view mainOutputFolder,
                         BatchHost& host, int32_t parallelFiles) {
  std::u16string outputFolder;
  if (useMainOutputFolder) {
    outputFolder = mainOutputFolder;
  } else if (!window.SdToPath.empty()) {
    outputFolder = window.SdToPath;
  } else if (!paths.empty()) {
    outputFolder = FolderPart(paths.front());
  }
  if (outputFolder.empty() || !IsDirectory(outputFolder)) {
    host.ShowMessage(ErrorMessage::InvalidOutputFolder);
    return {};
  }
  if (useMainOutputFolder) PushFolderHistory(window.OH, outputFolder);
  if (paths.empty()) {
    host.ShowMessage(ErrorMessage::NoTargetFiles);
    return {};
  }
  std::vector<BatchItem> items;
  items.reserve(paths.size());
  for (const std::u16string& path : paths) {
    items.push_back({path, std::u16string(FileNamePart(path))});
  }
  return RunItems(context, params, window, std::move(outputFolder), items, parallelFiles, host);
}

bool RunOutputPreview(EngineContext& context, ConversionParameters& params,
                      std::u16string_view inputFolder, const std::vector<std::u16string>& checkedNames,
                      BatchHost& host) {
  if (inputFolder.empty() || !IsDirectory(inputFolder)) {
    host.ShowMessage(ErrorMessage::InvalidInputFolder);
    return false;
  }
  if (checkedNames.empty()) {
    host.ShowMessage(ErrorMessage::NoTargetFiles);
    return false;
  }
  host.RefreshFromControls(params);
  SelectSaver(context, params);
  if (!AllocateWorkObjects(context, params)) {
    ReleaseWorkObjects(context);
    host.ShowMessage(ErrorMessage::MemoryAllocationFailed);
    return false;
  }
  std::u16string tempPath;
  const bool ok = ConvertOrTransformFile(context, params, JoinPath(inputFolder, checkedNames.front()),
                                         TemporaryFolder(), tempPath);
  if (ok) {
    host.ShowOutputPreview(tempPath);
    DeleteOwnFile(tempPath);
  }
  ReleaseWorkObjects(context);
  return ok;
}

std::u16string SummaryBoxText(int32_t targetCount, int32_t successCount) {
  return u"入力ファイル数  " + NumberText(targetCount) + u"\n出力ファイル数  " +
         NumberText(successCount) + u"\n    ";
}

std::u16string SummaryTitleText(int32_t targetCount, int32_t successCount) {
  return u"変換完了    " + NumberText(successCount) + u"/" + NumberText(targetCount) +
         u" （出力ファイル数/入力ファイル数）";
}

bool DeleteInputFile(const ConversionParameters& params, std::u16string_view path,
                     BatchHost& host) {
  return params.Recycle != 0 ? host.RecycleFile(path) : DeleteFilePath(path);
}

}  // namespace pixlane
