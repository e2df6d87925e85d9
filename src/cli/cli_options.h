// Command-line parsing for `pixlane`: the paths to convert, the output
// folder, the settings file and the setting overrides — by INI key
// (--set KEY=VALUE, for "CvtPrms" and "MWin" keys) or through friendly
// options that stand for one or more keys (--format png = OFmt 1).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/ini_file.h"
#include "settings/conversion_parameters.h"
#include "settings/window_settings.h"

namespace pixlane::cli {

struct CliOptions {
  std::vector<std::u16string> inputs;
  std::u16string outputFolder;  // -o; empty: the settings decide
  std::u16string iniPath;       // --ini; empty: the usual location
  bool saveSettings = false;    // --save-settings
  bool dryRun = false;          // --dry-run: print the names, convert nothing
  bool quiet = false;
  bool showHelp = false;
  bool showVersion = false;
  // -j N: files converted at a time; 0: the processors the process may use.
  int32_t jobs = 0;
  // INI key and value pairs in command-line order (friendly options are
  // stored as the keys they stand for).
  std::vector<std::pair<std::u16string, std::u16string>> overrides;
};

// Parses the arguments after the program name. False with a message in
// `error` for an unknown option, a missing or unusable value, or no input
// (inputs may be left out with --save-settings).
bool ParseCommandLine(const std::vector<std::u16string>& args, CliOptions& options,
                      std::string& error);

// Applies one override to whichever record has the key. False for an
// unknown key or an unusable value.
bool ApplyOverride(ConversionParameters& params, WindowSettings& window, std::u16string_view key,
                   std::u16string_view value);

// The settings of the file (--ini, else the usual location; the program's
// defaults when there is none) with the overrides on top and the
// edited-value rules applied. Reads only, and the file once: nothing is
// created. `iniPath` receives the file's path (empty when no location
// could be found). Returns what was found there: a file that is too large
// or unreadable is not read (the defaults apply) and is never overwritten.
IniFileState LoadSettings(const CliOptions& options, ConversionParameters& params,
                          WindowSettings& window, std::u16string& iniPath);

// Writes the conversion settings back (--save-settings), creating the
// per-user settings folder when needed. False when they could not be
// written.
bool SaveSettings(const CliOptions& options, const ConversionParameters& params);

const char* UsageText();

}  // namespace pixlane::cli
