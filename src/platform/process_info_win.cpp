// Win32 process facts: GetCurrentProcessId, OpenProcess with its exit code,
// GetComputerNameW and the process's affinity mask.
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

int UsableProcessorCount() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  int count = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system)) {
    for (; process != 0; process &= process - 1) ++count;
  }
  if (count > 0) return count;
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

}  // namespace pixlane
