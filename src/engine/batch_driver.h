// The batch driver: converts the checked entries of the input list (the
// "変換" button) or a list of paths (drops, Send To, the CLI) into the output
// folder — per file the pipeline writes a temporary file inside the output
// folder, the naming routine picks the output name, the commit
// (output_commit.h) gives the file that name durably without replacing
// anything and then optionally deletes or recycles the input — with
// progress, abort (between files, so a commit is never cut in half),
// subfolder, HTML tags and the summary. Stale temporary files of killed
// runs are removed from the output folder first. Everything runs on the
// caller's thread, except the conversions of a parallel batch (the CLI's
// -j), which worker threads do ahead of the commits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/batch_host.h"
#include "engine/engine_context.h"
#include "settings/conversion_parameters.h"
#include "settings/window_settings.h"

namespace pixlane {

inline constexpr char16_t kBusyTitle[] = u"処理中... (ESCキーで中止)";
inline constexpr char16_t kIdleTitle[] = u"Pixlane";
inline constexpr char16_t kAbortQuestion[] = u"変換処理を中止しますか？";
inline constexpr char16_t kSummaryTitle[] = u"変換完了";

struct BatchResult {
  bool started = false;  // false when a check stopped the run before any file
  int32_t targetCount = 0;
  int32_t processedCount = 0;
  int32_t successCount = 0;
  bool aborted = false;
  int32_t partialCount = 0;     // converted from partly readable inputs
  int32_t inputsKept = 0;       // inputs kept although deletion was asked for
  int32_t staleFilesRemoved = 0;
};

// Moves `folder` to the front of an 8-entry history, removing an equal
// entry first (case-insensitively on Windows).
void PushFolderHistory(std::array<std::u16string, kFolderHistoryLength>& history,
                       std::u16string_view folder);

// Converts `checkedNames` (file names inside `inputFolder`, in list order).
// With `parallelFiles` above 1, up to that many files are converted at a
// time on worker threads (file_workers.h); the commits, every host call and
// so every result stay those of the sequential run.
BatchResult RunListBatch(EngineContext& context, ConversionParameters& params,
                         WindowSettings& window, std::u16string_view inputFolder,
                         std::u16string_view outputFolder, std::vector<std::u16string> checkedNames,
                         BatchHost& host, int32_t parallelFiles = 1);

// Converts full paths. With `useMainOutputFolder` the outputs go to
// `mainOutputFolder`; otherwise to "SdToPath", or when that is empty to the
// folder of the first path.
BatchResult RunPathBatch(EngineContext& context, ConversionParameters& params,
                         WindowSettings& window, const std::vector<std::u16string>& paths,
                         bool useMainOutputFolder, std::u16string_view mainOutputFolder,
                         BatchHost& host, int32_t parallelFiles = 1);

// Converts the first checked entry into a temporary file, hands it to the
// host's output preview and deletes it. Touches no output folder.
bool RunOutputPreview(EngineContext& context, ConversionParameters& params,
                      std::u16string_view inputFolder, const std::vector<std::u16string>& checkedNames,
                      BatchHost& host);

// The summary text of the completion box, and the title used instead when
// "EndMes" is off.
std::u16string SummaryBoxText(int32_t targetCount, int32_t successCount);
std::u16string SummaryTitleText(int32_t targetCount, int32_t successCount);

// Deletes one input, or moves it to the recycle bin when "Recycle" is set.
// False leaves the file in place.
bool DeleteInputFile(const ConversionParameters& params, std::u16string_view path,
                     BatchHost& host);

}  // namespace pixlane
