// Win32 pixel pages: whole blocks reserved and committed read/write with
// VirtualAlloc (zero-filled by the system), released by decommitting the
// pages and then releasing the reservation.
#include <windows.h>

#include "platform/pixel_memory.h"

namespace pixlane::pixel_pages {

size_t Granularity() {
  static const size_t page = [] {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwPageSize > 0 ? static_cast<size_t>(info.dwPageSize) : size_t{4096};
  }();
  return page;
}

void* Map(size_t bytes) {
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void Unmap(void* data, size_t bytes) {
  ::VirtualFree(data, bytes, MEM_DECOMMIT);
  ::VirtualFree(data, 0, MEM_RELEASE);
}

bool Protect(void* data, size_t bytes, bool readOnly) {
  DWORD old = 0;
  return ::VirtualProtect(data, bytes, readOnly ? PAGE_READONLY : PAGE_READWRITE, &old) != 0;
}

}  // namespace pixlane::pixel_pages
