// Parsing of the pixlane command line and loading of its settings.
#include "cli/cli_options.h"

#include <functional>

#include "cli/cli_text.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "settings/ini_location.h"
#include "settings/settings_store.h"

namespace pixlane::cli {
namespace {

using Overrides = std::vector<std::pair<std::u16string, std::u16string>>;

// The most files converted at a time that -j accepts.
constexpr int kMaxJobs = 256;

struct Choice {
  std::u16string_view word;
  std::u16string_view value;
};

// A friendly option that takes a value and turns it into INI overrides.
struct ValueOption {
  std::u16string_view longName;
  std::u16string_view shortName;
  // False when the value is not acceptable.
  std::function<bool(std::u16string_view value, Overrides& out)> expand;
};

bool IsNumber(std::u16string_view text) {
  if (text.empty()) return false;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

// Maps a word from `choices` to one key.
ValueOption ChoiceOption(std::u16string_view longName, std::u16string_view key,
                         std::vector<Choice> choices) {
  return {longName, u"", [key, choices](std::u16string_view value, Overrides& out) {
            for (const Choice& c : choices) {
              if (EqualsIgnoreCaseAscii(value, c.word)) {
                out.emplace_back(key, c.value);
                return true;
              }
            }
            return false;
          }};
}

// A number for `key`, optionally switching `flagKey` on.
ValueOption NumberOption(std::u16string_view longName, std::u16string_view key,
                         std::u16string_view flagKey = {}, std::u16string_view flagValue = u"1") {
  return {longName, u"", [key, flagKey, flagValue](std::u16string_view value, Overrides& out) {
            if (!IsNumber(value) && !(value.size() > 1 && value[0] == u'-' && IsNumber(value.substr(1)))) {
              return false;
            }
            if (!flagKey.empty()) out.emplace_back(flagKey, flagValue);
            out.emplace_back(key, value);
            return true;
          }};
}

// A text for `key`, switching `flagKey` on.
ValueOption TextOption(std::u16string_view longName, std::u16string_view key,
                       std::u16string_view flagKey) {
  return {longName, u"", [key, flagKey](std::u16string_view value, Overrides& out) {
            out.emplace_back(flagKey, u"1");
            out.emplace_back(key, value);
            return true;
          }};
}

const std::vector<ValueOption>& ValueOptions() {
  static const std::vector<ValueOption> options = {
      ChoiceOption(u"--format", u"OFmt",
                   {{u"bmp", u"0"}, {u"png", u"1"}, {u"jpeg", u"2"}, {u"jpg", u"2"},
                    {u"tiff", u"3"}, {u"tif", u"3"}, {u"gif", u"4"}}),
      ChoiceOption(u"--input-format", u"IFmt",
                   {{u"all", u"0"}, {u"bmp", u"1"}, {u"png", u"2"}, {u"jpeg", u"3"},
                    {u"jpg", u"3"}, {u"tiff", u"4"}, {u"tif", u"4"}, {u"gif", u"5"}}),
      ChoiceOption(u"--depth", u"DepOpt",
                   {{u"keep", u"0"}, {u"24", u"1"}, {u"8", u"2"}, {u"4", u"3"}, {u"2", u"4"},
                    {u"1", u"5"}, {u"gray", u"6"}}),
      ChoiceOption(u"--sharpen", u"UsmOpt",
                   {{u"none", u"0"}, {u"weak", u"1"}, {u"medium", u"2"}, {u"strong", u"3"}}),
      ChoiceOption(u"--rotate", u"TurOpt",
                   {{u"0", u"0"}, {u"90", u"1"}, {u"180", u"2"}, {u"270", u"3"}}),
      ChoiceOption(u"--naming", u"NameSet",
                   {{u"input", u"0"}, {u"exif", u"1"}, {u"serial", u"2"}}),
      ChoiceOption(u"--markers", u"Marker", {{u"none", u"0"}, {u"comments", u"1"}, {u"all", u"2"}}),
      ChoiceOption(u"--sampling", u"Sampling", {{u"4:1", u"0"}, {u"4:2:0", u"0"}, {u"2:1", u"1"},
                                                {u"4:2:2", u"1"}, {u"1:1", u"2"}, {u"4:4:4", u"2"}}),
      NumberOption(u"--quality", u"Quality"),
      NumberOption(u"--level", u"Level"),
      NumberOption(u"--limit-kb", u"LmtVal", u"Limit"),
      NumberOption(u"--width", u"RszSize", u"RszOpt", u"1"),
      NumberOption(u"--height", u"RszSize", u"RszOpt", u"2"),
      NumberOption(u"--long-side", u"RszSize", u"RszOpt", u"3"),
      NumberOption(u"--digits", u"DigitNum"),
      NumberOption(u"--start", u"StartNum"),
      NumberOption(u"--brightness", u"GamVal", u"GamOpt"),
      NumberOption(u"--contrast", u"CrtVal", u"CrtOpt"),
      NumberOption(u"--saturation", u"HlsSVal", u"HlsSOpt"),
      NumberOption(u"--hue", u"HlsHVal", u"HlsHOpt"),
      TextOption(u"--prefix", u"TopStr", u"TopAdd"),
      TextOption(u"--suffix", u"EndStr", u"EndAdd"),
      TextOption(u"--subfolder", u"MkDirStr", u"MkDirAdd"),
      TextOption(u"--comment", u"CmtStr1", u"CmtOpt"),
      // The image input plug-in folder ("SPI"); empty switches plug-ins off.
      {u"--plugins", u"", [](std::u16string_view value, Overrides& out) {
         out.emplace_back(u"SPI", value);
         return true;
       }},
  };
  return options;
}

struct SwitchOption {
  std::u16string_view name;
  std::vector<std::pair<std::u16string_view, std::u16string_view>> overrides;
};

const std::vector<SwitchOption>& SwitchOptions() {
  static const std::vector<SwitchOption> options = {
      {u"--lossless", {{u"JTrans", u"1"}}},
      {u"--auto-levels", {{u"HgmOpt", u"1"}}},
      {u"--interlace", {{u"Interlace", u"1"}}},
      {u"--progressive", {{u"Progressive", u"1"}}},
      {u"--delete-inputs", {{u"IFileDel", u"1"}, {u"Recycle", u"0"}}},
      {u"--recycle-inputs", {{u"IFileDel", u"1"}, {u"Recycle", u"1"}}},
      {u"--html-tags", {{u"HtmlTag", u"1"}}},
      {u"--show-hidden", {{u"Hidden", u"0"}}},
  };
  return options;
}

}  // namespace

const char* UsageText() {
  return "usage: pixlane [options] FOLDER            convert the folder's images\n"
         "       pixlane [options] FILE_OR_FOLDER...  convert these files\n"
         "       pixlane [--ini FILE] [options] --save-settings\n"
         "\n"
         "A single folder is converted like the window's \"変換\" button: its files\n"
         "matching the input filter, in name order. Files (and several folders)\n"
         "are converted like a Send To conversion. Settings come from the settings\n"
         "file, then from the options below, in command-line order.\n"
         "\n"
         "where the outputs go:\n"
         "  -o, --output DIR       output folder (created when missing); default:\n"
         "                         OSPath for a folder, else the input folder;\n"
         "                         SdToPath for files, else the first file's folder\n"
         "  --subfolder NAME       write into a subfolder of the output folder\n"
         "  --naming input|exif|serial   name from the input, the Exif date, or a\n"
         "                         serial number (--digits N, --start N)\n"
         "  --prefix TEXT, --suffix TEXT  added around the name\n"
         "  --dry-run              print the output names and convert nothing\n"
         "\n"
         "output format:\n"
         "  --format bmp|png|jpeg|tiff|gif   (default from the settings: jpeg)\n"
         "  --depth keep|24|8|4|2|1|gray     bit depth\n"
         "  --quality N            JPEG quality 1-100\n"
         "  --limit-kb N           JPEG: highest quality that fits in N KB\n"
         "  --sampling 4:2:0|4:2:2|4:4:4     JPEG chroma sampling\n"
         "  --progressive          JPEG progressive\n"
         "  --level N              PNG compression level 0-9\n"
         "  --interlace            PNG/GIF interlaced\n"
         "  --comment TEXT         comment in JPEG/PNG files\n"
         "  --lossless             JPEG to JPEG without recompression (rotation,\n"
         "                         --markers none|comments|all)\n"
         "\n"
         "processing (in this order):\n"
         "  --rotate 90|180|270    rotation\n"
         "  --auto-levels          histogram auto-correction\n"
         "  --brightness N, --contrast N   -100..100\n"
         "  --saturation N (-255..255), --hue N (-180..180)\n"
         "  --width N, --height N, --long-side N   reduce to at most N pixels\n"
         "  --sharpen weak|medium|strong   outline emphasis\n"
         "\n"
         "inputs:\n"
         "  --input-format all|bmp|png|jpeg|tiff|gif   files listed from a folder\n"
         "  --show-hidden          list hidden files too\n"
         "  --plugins DIR          read other formats with the image input plug-ins\n"
         "                         (.spi, Windows) in DIR; listed under --input-format all\n"
         "  --delete-inputs        delete each input once its complete output is\n"
         "                         safely on disk (a damaged input is kept)\n"
         "  --recycle-inputs       move each input to the recycle bin instead\n"
         "  --html-tags            write an HTML file of <img> tags for small outputs\n"
         "\n"
         "settings:\n"
         "  --set KEY=VALUE        any \"CvtPrms\" or \"MWin\" key of the settings file,\n"
         "                         e.g. --set DepOpt=2 --set EndMes=0\n"
         "  --ini FILE             settings file (default: Pixlane.ini beside the\n"
         "                         program, else the per-user settings folder)\n"
         "  --save-settings        write the conversion settings back to that file\n"
         "\n"
         "  -j, --jobs N           convert N files at a time (default: as many as\n"
         "                         the processors this program may use); outputs,\n"
         "                         names and messages are those of -j 1\n"
         "  -q, --quiet            print only failures and the summary\n"
         "  -h, --help             show this text\n"
         "  --version              show the version\n"
         "\n"
         "Exit status: 0 every file converted, 1 some failed or an input to be\n"
         "deleted was kept, 2 usage or folder error. Ctrl-C stops after the\n"
         "current file; a second Ctrl-C stops at once (after a running commit).\n";
}

bool ApplyOverride(ConversionParameters& params, WindowSettings& window, std::u16string_view key,
                   std::u16string_view value) {
  if (FindConversionParameterKey(key) != nullptr) {
    return SetConversionParameter(params, key, value);
  }
  return SetWindowSetting(window, key, value);
}

bool ParseCommandLine(const std::vector<std::u16string>& args, CliOptions& options,
                      std::string& error) {
  bool onlyInputs = false;
  // Checks every override as it is given, so that mistakes are reported by
  // the option that made them.
  ConversionParameters checkParams;
  WindowSettings checkWindow;
  auto addOverride = [&](std::u16string_view key, std::u16string_view value,
                         const std::u16string& option) {
    if (!ApplyOverride(checkParams, checkWindow, key, value)) {
      error = "bad value for " + PrintableText(option) + ": '" + PrintableText(value) + "'";
      const NameProblem problem = CheckNameSetting(key, value);
      if (problem != NameProblem::None) {
        error += " (" + RefusedSettingText({key, std::u16string(value), problem}) + ")";
      }
      return false;
    }
    options.overrides.emplace_back(key, value);
    return true;
  };

  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (onlyInputs || arg.empty() || arg[0] != u'-' || arg == u"-") {
      options.inputs.push_back(arg);
      continue;
    }
    if (arg == u"--") {
      onlyInputs = true;
      continue;
    }
    if (arg == u"-h" || arg == u"--help") {
      options.showHelp = true;
      continue;
    }
    if (arg == u"--version") {
      options.showVersion = true;
      continue;
    }
    if (arg == u"-q" || arg == u"--quiet") {
      options.quiet = true;
      continue;
    }
    if (arg == u"--save-settings") {
      options.saveSettings = true;
      continue;
    }
    if (arg == u"--dry-run") {
      options.dryRun = true;
      continue;
    }
    if (arg == u"-j" || arg == u"--jobs" || (arg.size() > 2 && arg.substr(0, 2) == u"-j")) {
      std::u16string_view value;
      if (arg.size() > 2 && arg[1] == u'j') {
        value = std::u16string_view(arg).substr(2);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = PrintableText(arg) + " needs a value";
        return false;
      }
      if (!IsNumber(value) || value.size() > 4 || std::stoi(Utf16ToUtf8(value)) < 1 ||
          std::stoi(Utf16ToUtf8(value)) > kMaxJobs) {
        error = "bad value for -j: '" + PrintableText(value) + "' (1 to " +
                std::to_string(kMaxJobs) + ")";
        return false;
      }
      options.jobs = std::stoi(Utf16ToUtf8(value));
      continue;
    }
    bool matched = false;
    for (const SwitchOption& s : SwitchOptions()) {
      if (arg == s.name) {
        for (const auto& [key, value] : s.overrides) {
          if (!addOverride(key, value, arg)) return false;
        }
        matched = true;
        break;
      }
    }
    if (matched) continue;

    // Everything else takes a value.
    const ValueOption* valueOption = nullptr;
    for (const ValueOption& o : ValueOptions()) {
      if (arg == o.longName) valueOption = &o;
    }
    const bool known = valueOption != nullptr || arg == u"-o" || arg == u"--output" ||
                       arg == u"--set" || arg == u"--ini";
    if (!known) {
      error = "unknown option " + PrintableText(arg);
      return false;
    }
    if (i + 1 >= args.size()) {
      error = PrintableText(arg) + " needs a value";
      return false;
    }
    const std::u16string& value = args[++i];
    if (arg == u"-o" || arg == u"--output") {
      options.outputFolder = value;
    } else if (arg == u"--ini") {
      options.iniPath = value;
    } else if (arg == u"--set") {
      const size_t eq = value.find(u'=');
      if (eq == std::u16string::npos || eq == 0) {
        error = "bad setting '" + PrintableText(value) + "' (expected KEY=VALUE)";
        return false;
      }
      const std::u16string_view key = std::u16string_view(value).substr(0, eq);
      const std::u16string_view setting = std::u16string_view(value).substr(eq + 1);
      if (!addOverride(key, setting, arg)) {
        const NameProblem problem = CheckNameSetting(key, setting);
        error = "bad setting '" + PrintableText(value) + "' (" +
                (problem != NameProblem::None
                     ? RefusedSettingText({key, std::u16string(setting), problem})
                     : std::string("an INI key of \"CvtPrms\" or \"MWin\" and a value in its range")) +
                ")";
        return false;
      }
    } else {
      Overrides expanded;
      if (!valueOption->expand(value, expanded)) {
        error = "bad value for " + PrintableText(arg) + ": '" + PrintableText(value) + "'";
        return false;
      }
      for (const auto& [key, v] : expanded) {
        if (!addOverride(key, v, arg)) return false;
      }
    }
  }
  if (options.showHelp || options.showVersion) return true;
  if (options.inputs.empty() && !options.saveSettings) {
    error = "no input files or folders given";
    return false;
  }
  return true;
}

IniFileState LoadSettings(const CliOptions& options, ConversionParameters& params,
                          WindowSettings& window, std::u16string& iniPath) {
  IniLocateOptions locate;
  locate.explicitPath = options.iniPath;
  locate.createFolder = false;
  if (!LocateIniFile(locate, iniPath)) iniPath.clear();
  params = ConversionParameters{};
  window = WindowSettings{};
  IniFileState state = IniFileState::Missing;
  if (!iniPath.empty()) {
    IniDocument ini;
    state = ini.Load(iniPath);
    if (state == IniFileState::Loaded) {
      LoadConversionParameters(ini, params);
      // Window placement and the pictures folder do not matter here.
      LoadWindowSettings(ini, WorkArea{}, u"", window);
    }
  }
  for (const auto& [key, value] : options.overrides) {
    ApplyOverride(params, window, key, value);  // checked while parsing
  }
  ApplyEditedValueRules(params);
  return state;
}

bool SaveSettings(const CliOptions& options, const ConversionParameters& params) {
  IniLocateOptions locate;
  locate.explicitPath = options.iniPath;
  std::u16string iniPath;
  return LocateIniFile(locate, iniPath) && SaveConversionParameters(iniPath, params);
}

}  // namespace pixlane::cli
