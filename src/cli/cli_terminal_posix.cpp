// POSIX console: isatty and a SIGINT handler that only sets a flag.
#include <signal.h>
#include <unistd.h>

#include "cli/cli_terminal.h"

namespace pixlane::cli {
namespace {

std::atomic<bool>* gStopFlag = nullptr;

void OnInterrupt(int) {
  if (gStopFlag == nullptr || gStopFlag->exchange(true)) {
    // Second Ctrl-C: stop at once, as the user clearly wants.
    ::signal(SIGINT, SIG_DFL);
    ::raise(SIGINT);
  }
}

}  // namespace

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void InstallStopRequestHandler(std::atomic<bool>* flag) {
  gStopFlag = flag;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace pixlane::cli
