// POSIX pixel memory: anonymous private mappings, zero-filled by the kernel.
// Under AddressSanitizer the blocks come from the heap instead, so that an
// access past the end of a pixel buffer is reported rather than landing in
// the rest of a mapped page.
#include <sys/mman.h>

#include <cstdlib>

#include "platform/pixel_memory.h"

#if defined(__SANITIZE_ADDRESS__)
#define PIXLANE_HEAP_PIXELS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIXLANE_HEAP_PIXELS 1
#endif
#endif

namespace pixlane {

bool PixelBlock::Allocate(size_t bytes) {
  Release();
  if (bytes == 0) return false;
#ifdef PIXLANE_HEAP_PIXELS
  void* p = std::calloc(bytes, 1);
  if (p == nullptr) return false;
#else
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
#endif
  data_ = static_cast<uint8_t*>(p);
  size_ = bytes;
  return true;
}

void PixelBlock::Release() {
#ifdef PIXLANE_HEAP_PIXELS
  std::free(data_);
#else
  if (data_ != nullptr) ::munmap(data_, size_);
#endif
  data_ = nullptr;
  size_ = 0;
}

}  // namespace pixlane
