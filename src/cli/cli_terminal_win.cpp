// Windows console: _isatty and a console control handler that only sets a
// flag for Ctrl-C and Ctrl-Break.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "cli/cli_terminal.h"
#include "platform/temporary_files.h"

namespace pixlane::cli {
namespace {

std::atomic<bool>* gStopFlag = nullptr;
// 0: no commit running; 1: a commit is running; 2: one is running and a
// second Ctrl-C waits for its end.
std::atomic<int> gCommitState{0};

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (gStopFlag != nullptr && !gStopFlag->exchange(true)) return TRUE;
  // Second: end (the default handler), unless a commit is running.
  int running = 1;
  if (gCommitState.compare_exchange_strong(running, 2) || running == 2) return TRUE;
  return FALSE;
}

}  // namespace

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallStopRequestHandler(std::atomic<bool>* flag) {
  gStopFlag = flag;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void HoldImmediateStop(bool hold) {
  if (hold) {
    gCommitState.store(1);
  } else if (gCommitState.exchange(0) == 2) {
    DeleteOwnTemporaryFiles();  // those of files converted ahead (-j) not open any more
    ExitProcess(STATUS_CONTROL_C_EXIT);
  }
}

}  // namespace pixlane::cli
