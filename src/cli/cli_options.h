// Command-line parsing for `pixlane`: input files and folders, the output
// folder (-o) and conversion settings by INI key (--set KEY=VALUE).
#pragma once

#include <string>
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
};

// Parses the arguments after the program name. False with a message in
// `error` for an unknown option, a missing value or a bad --set.
bool ParseCommandLine(const std::vector<std::u16string>& args, CliOptions& options,
                      std::string& error);

const char* UsageText();

}  // namespace pixlane::cli
