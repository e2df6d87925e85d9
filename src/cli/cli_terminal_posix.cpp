// POSIX console: isatty and a SIGINT handler that only sets a flag (a
// second Ctrl-C ends the program, after the commit that is running, and
// then takes the temporary files of files converted ahead along).
#include <signal.h>
#include <unistd.h>

#include "cli/cli_terminal.h"
#include "platform/temporary_files.h"

namespace pixlane::cli {
namespace {

std::atomic<bool>* gStopFlag = nullptr;
// 0: no commit running; 1: a commit is running; 2: one is running and a
// second Ctrl-C waits for its end. Lock-free, so the handler may use it.
std::atomic<int> gCommitState{0};
static_assert(std::atomic<int>::is_always_lock_free);

[[noreturn]] void StopNow() {
  ::signal(SIGINT, SIG_DFL);
  ::raise(SIGINT);
  ::_exit(130);
}

void OnInterrupt(int) {
  if (gStopFlag != nullptr && !gStopFlag->exchange(true)) return;
  // Second Ctrl-C: stop at once, as the user clearly wants, unless a commit
  // is running; then as soon as it has finished.
  int running = 1;
  if (gCommitState.compare_exchange_strong(running, 2) || running == 2) return;
  StopNow();
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

void HoldImmediateStop(bool hold) {
  if (hold) {
    gCommitState.store(1);
  } else if (gCommitState.exchange(0) == 2) {
    // Not in the handler: the files converted ahead of their commits (-j)
    // can go with the program.
    DeleteOwnTemporaryFiles();
    StopNow();
  }
}

}  // namespace pixlane::cli
