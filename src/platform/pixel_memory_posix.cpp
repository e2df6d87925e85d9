// POSIX pixel memory: anonymous private mappings, zero-filled by the kernel.
#include <sys/mman.h>

#include "platform/pixel_memory.h"

namespace pixlane {

bool PixelBlock::Allocate(size_t bytes) {
  Release();
  if (bytes == 0) return false;
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(p);
  size_ = bytes;
  return true;
}

void PixelBlock::Release() {
  if (data_ != nullptr) ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace pixlane
