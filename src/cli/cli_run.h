// The CLI's conversion run: chooses between a folder batch (one folder
// argument, like the window's "変換" button) and a path batch (files, like
// Send To), runs it through the engine's batch driver with a terminal host
// (per-file lines, a progress bar on a terminal, Ctrl-C as the abort key)
// or prints the output names of a dry run. Prints through the given sinks.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "cli/cli_options.h"
#include "settings/conversion_parameters.h"
#include "settings/window_settings.h"

namespace pixlane::cli {

struct CliOutput {
  std::function<void(const std::string&)> out;  // standard output, UTF-8
  std::function<void(const std::string&)> err;  // standard error, UTF-8
  // The progress bar: raw text to standard error, no line break; used only
  // when `progressBar` is set (standard error is a terminal).
  std::function<void(const std::string&)> status;
  bool progressBar = false;
  // Called with true before each file's commit and false after it (may be
  // empty): the program holds back an immediate stop meanwhile.
  std::function<void(bool)> holdStop;
};

inline constexpr int kExitAllConverted = 0;
// Some file failed, or an input that was to be deleted or recycled was kept
// (its image was only partly readable, it changed, or the deletion failed).
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsageOrFolderError = 2;

// Runs the conversion (or the dry run) and returns the exit status.
// `stopRequested` (may be null) is polled after each file.
int RunCli(const CliOptions& options, ConversionParameters& params, WindowSettings& window,
           const CliOutput& output, const std::atomic<bool>* stopRequested);

}  // namespace pixlane::cli
