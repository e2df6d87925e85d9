// Windows console: _isatty and a console control handler that only sets a
// flag for Ctrl-C and Ctrl-Break.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "cli/cli_terminal.h"

namespace pixlane::cli {
namespace {

std::atomic<bool>* gStopFlag = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (gStopFlag == nullptr || gStopFlag->exchange(true)) return FALSE;  // second: end
  return TRUE;
}

}  // namespace

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallStopRequestHandler(std::atomic<bool>* flag) {
  gStopFlag = flag;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace pixlane::cli
