// Win32 process facts: GetCurrentProcessId, OpenProcess with its exit code,
// and GetComputerNameW.
#include <windows.h>

#include "platform/process_info.h"

namespace pixlane {

uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

bool IsProcessRunning(uint32_t processId) {
  if (processId == 0) return false;
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool running = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

std::u16string MachineName() {
  static_assert(sizeof(wchar_t) == 2);
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &length)) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(name), length);
}

}  // namespace pixlane
