// Win32 pixel memory: whole blocks reserved and committed read/write with
// VirtualAlloc (zero-filled by the system), released by decommitting the
// pages and then releasing the reservation.
#include <windows.h>

#include "platform/pixel_memory.h"

namespace pixlane {

bool PixelBlock::Allocate(size_t bytes) {
  Release();
  if (bytes == 0) return false;
  void* p = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (p == nullptr) return false;
  data_ = static_cast<uint8_t*>(p);
  size_ = bytes;
  return true;
}

void PixelBlock::Release() {
  if (data_ != nullptr) {
    ::VirtualFree(data_, size_, MEM_DECOMMIT);
    ::VirtualFree(data_, 0, MEM_RELEASE);
  }
  data_ = nullptr;
  size_ = 0;
}

}  // namespace pixlane
