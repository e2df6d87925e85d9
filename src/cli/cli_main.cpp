// Entry point of `pixlane`: converts the arguments to UTF-16, parses them,
// loads the settings file under the --set values, saves the settings when
// asked, runs the conversion and prints UTF-8 lines. Exit codes: 0 all
// converted, 1 some file failed, 2 usage or start-up error (or, with
// --save-settings and nothing to convert, settings not written).
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_convert.h"
#include "cli/cli_options.h"
#include "platform/text.h"

namespace {

void PrintLine(const std::string& line, bool isError) {
  std::FILE* stream = isError ? stderr : stdout;
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
}

int Run(const std::vector<std::u16string>& args) {
  using namespace pixlane::cli;
  CliOptions options;
  std::string error;
  if (!ParseCommandLine(args, options, error)) {
    PrintLine("pixlane: " + error, true);
    std::fputs(UsageText(), stderr);
    return 2;
  }
  if (options.showHelp) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (options.showVersion) {
    std::puts("pixlane " PIXLANE_VERSION);
    return 0;
  }
  std::u16string iniPath;
  LoadSettings(options, iniPath);
  bool saved = true;
  if (options.saveSettings && !SaveSettings(options)) {
    // The user asked for the settings to be kept: never lose them silently.
    saved = false;
    const std::string where =
        iniPath.empty() ? std::string("the settings file") : pixlane::Utf16ToUtf8(iniPath);
    PrintLine("pixlane: warning: could not write the settings to " + where, true);
  }
  if (options.inputs.empty()) return saved ? 0 : 2;  // --save-settings alone
  ConversionSummary summary;
  if (!RunConversion(options, PrintLine, summary)) return 2;
  PrintLine(std::to_string(summary.converted) + " converted, " + std::to_string(summary.failed) +
                " failed",
            false);
  return summary.failed == 0 ? 0 : 1;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  static_assert(sizeof(wchar_t) == 2);
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(pixlane::Utf8ToUtf16(argv[i]));
  return Run(args);
}
#endif
