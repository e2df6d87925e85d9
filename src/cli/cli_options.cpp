// Parsing of the pixlane command line.
#include "cli/cli_options.h"

#include "platform/text.h"
#include "settings/ini_location.h"
#include "settings/settings_store.h"

namespace pixlane::cli {

const char* UsageText() {
  return "usage: pixlane [options] INPUT... -o OUTPUT_FOLDER\n"
         "       pixlane [--ini FILE] --set KEY=VALUE... --save-settings\n"
         "\n"
         "Converts image files, and the images of folders, into OUTPUT_FOLDER.\n"
         "The conversion settings come from the settings file, then --set.\n"
         "\n"
         "options:\n"
         "  -o, --output DIR     output folder (created if missing)\n"
         "  --set KEY=VALUE      conversion setting by its INI key, e.g. OFmt=0\n"
         "                       (0 BMP, 1 PNG, 2 JPEG, 3 TIFF, 4 GIF) or DepOpt=2\n"
         "                       (0 keep, 1 24-bit, 2 8-bit, 3 4-bit, 4 2-bit,\n"
         "                       5 1-bit, 6 8-bit grayscale); may be repeated\n"
         "  --ini FILE           settings file (default: Pixlane.ini beside the\n"
         "                       program, else in the per-user settings folder)\n"
         "  --save-settings      write the conversion settings back to that file\n"
         "  -q, --quiet          print only failures and the summary\n"
         "  -h, --help           show this text\n"
         "  --version            show the version\n";
}

bool ParseCommandLine(const std::vector<std::u16string>& args, CliOptions& options,
                      std::string& error) {
  bool onlyInputs = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (onlyInputs || arg.empty() || arg[0] != u'-' || arg == u"-") {
      options.inputs.push_back(arg);
      continue;
    }
    if (arg == u"--") {
      onlyInputs = true;
    } else if (arg == u"-h" || arg == u"--help") {
      options.showHelp = true;
    } else if (arg == u"--version") {
      options.showVersion = true;
    } else if (arg == u"-q" || arg == u"--quiet") {
      options.quiet = true;
    } else if (arg == u"--save-settings") {
      options.saveSettings = true;
    } else if (arg == u"-o" || arg == u"--output" || arg == u"--set" || arg == u"--ini") {
      if (i + 1 >= args.size()) {
        error = Utf16ToUtf8(arg) + " needs a value";
        return false;
      }
      const std::u16string& value = args[++i];
      if (arg == u"--set") {
        const size_t eq = value.find(u'=');
        if (eq == std::u16string::npos || eq == 0 ||
            !SetConversionParameter(options.params, std::u16string_view(value).substr(0, eq),
                                    std::u16string_view(value).substr(eq + 1))) {
          error = "bad setting '" + Utf16ToUtf8(value) +
                  "' (expected KEY=VALUE with an INI key and a value in its range)";
          return false;
        }
        options.overrides.emplace_back(value.substr(0, eq), value.substr(eq + 1));
      } else if (arg == u"--ini") {
        options.iniPath = value;
      } else {
        options.outputFolder = value;
      }
    } else {
      error = "unknown option " + Utf16ToUtf8(arg);
      return false;
    }
  }
  if (options.showHelp || options.showVersion) return true;
  if (options.saveSettings && options.inputs.empty() && options.outputFolder.empty()) return true;
  if (options.inputs.empty()) {
    error = "no input files or folders given";
    return false;
  }
  if (options.outputFolder.empty()) {
    error = "no output folder given (-o DIR)";
    return false;
  }
  return true;
}

void LoadSettings(CliOptions& options, std::u16string& iniPath) {
  IniLocateOptions locate;
  locate.explicitPath = options.iniPath;
  locate.createFolder = false;
  if (!LocateIniFile(locate, iniPath)) iniPath.clear();
  ConversionParameters params;
  if (!iniPath.empty()) LoadConversionParameters(iniPath, params);
  for (const auto& [key, value] : options.overrides) {
    SetConversionParameter(params, key, value);  // checked while parsing
  }
  ApplyEditedValueRules(params);
  options.params = params;
}

bool SaveSettings(const CliOptions& options) {
  IniLocateOptions locate;
  locate.explicitPath = options.iniPath;
  std::u16string iniPath;
  return LocateIniFile(locate, iniPath) && SaveConversionParameters(iniPath, options.params);
}

}  // namespace pixlane::cli
