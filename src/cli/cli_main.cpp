// Entry point of `pixlane`: converts the arguments to UTF-16, parses them,
// loads the settings, saves them when asked, and runs the conversion.
// Exit codes: 0 every file converted, 1 some failed or an input that was to
// be deleted was kept, 2 usage, settings or folder error.
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/cli_terminal.h"
#include "cli/cli_text.h"
#include "cli/heap_tuning.h"
#include "platform/text.h"


namespace {

void WriteLine(std::FILE* stream, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

int Run(const std::vector<std::u16string>& args) {
  using namespace pixlane;
  using namespace pixlane::cli;
  CliOptions options;
  std::string error;
  if (!ParseCommandLine(args, options, error)) {
    WriteLine(stderr, "pixlane: " + error);
    WriteLine(stderr, "Try 'pixlane --help'.");
    return kExitUsageOrFolderError;
  }
  if (options.showHelp) {
    std::fputs(UsageText(), stdout);
    return kExitAllConverted;
  }
  if (options.showVersion) {
    std::puts("pixlane " PIXLANE_VERSION);
    return kExitAllConverted;
  }
  ConversionParameters params;
  WindowSettings window;
  std::u16string iniPath;
  const IniFileState iniState = LoadSettings(options, params, window, iniPath);
  if (iniState == IniFileState::TooLarge || iniState == IniFileState::Unreadable) {
    // The defaults apply, and the file is left exactly as it is.
    WriteLine(stderr, "pixlane: warning: the settings file " + Utf16ToUtf8(iniPath) +
                          (iniState == IniFileState::TooLarge
                               ? " is larger than 1 MiB and was not read"
                               : " could not be read") +
                          "; using the default settings");
  }
  bool saved = true;
  if (options.saveSettings && !SaveSettings(options, params)) {
    // The user asked for the settings to be kept: never lose them silently.
    saved = false;
    const std::string where = iniPath.empty() ? std::string("the settings file") : cli::PrintableText(iniPath);
    WriteLine(stderr, "pixlane: warning: could not write the settings to " + where);
  }
  if (options.inputs.empty()) return saved ? kExitAllConverted : kExitUsageOrFolderError;

  static std::atomic<bool> stopRequested{false};
  InstallStopRequestHandler(&stopRequested);
  CliOutput output;
  output.out = [](const std::string& line) { WriteLine(stdout, line); };
  output.err = [](const std::string& line) { WriteLine(stderr, line); };
  output.status = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  output.progressBar = StandardErrorIsTerminal();
  output.holdStop = HoldImmediateStop;
  return RunCli(options, params, window, output, &stopRequested);
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
  pixlane::cli::TuneHeapForImageBatches(argv);
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(pixlane::Utf8ToUtf16(argv[i]));
  return Run(args);
}
#endif
