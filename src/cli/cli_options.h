// Command-line parsing for `pixlane`: input files and folders, the output
// folder (-o), the settings file (--ini, --save-settings) and conversion
// settings by INI key (--set KEY=VALUE), which override the file's values.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/conversion_parameters.h"

namespace pixlane::cli {

struct CliOptions {
  std::vector<std::u16string> inputs;
  std::u16string outputFolder;
  ConversionParameters params;
  bool showHelp = false;
  bool showVersion = false;
  bool quiet = false;
  // The settings file given with --ini; empty: the usual location.
  std::u16string iniPath;
  // --save-settings: write the conversion settings back to the file.
  bool saveSettings = false;
  // The --set KEY=VALUE pairs in command-line order.
  std::vector<std::pair<std::u16string, std::u16string>> overrides;
};

// Parses the arguments after the program name; `params` then holds the
// defaults with the --set values applied. False with a message in `error`
// for an unknown option, a missing value or a bad --set. Inputs and -o may
// be left out with --save-settings.
bool ParseCommandLine(const std::vector<std::u16string>& args, CliOptions& options,
                      std::string& error);

// Replaces `params` by the settings of the file (--ini, else the usual
// location; defaults when there is none) with the --set values on top and
// the edited-value rules applied. Reads only: nothing is created. Returns
// the file's path in `iniPath` (empty when no location could be found).
void LoadSettings(CliOptions& options, std::u16string& iniPath);

// Writes the conversion settings to the file (--save-settings), creating
// the per-user settings folder when needed. False when they could not be
// written.
bool SaveSettings(const CliOptions& options);

const char* UsageText();

}  // namespace pixlane::cli
