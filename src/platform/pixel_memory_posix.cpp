// POSIX pixel pages: anonymous private mappings, zero-filled by the kernel.
// Under AddressSanitizer the blocks come from the heap instead, so that an
// access past the end of a pixel buffer is reported rather than landing in
// the rest of a mapped page (write protection is then not applied).
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/pixel_memory.h"

#if defined(__SANITIZE_ADDRESS__)
#define PIXLANE_HEAP_PIXELS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIXLANE_HEAP_PIXELS 1
#endif
#endif

namespace pixlane::pixel_pages {

#ifdef PIXLANE_HEAP_PIXELS

size_t Granularity() { return 64; }
void* Map(size_t bytes) { return std::calloc(bytes, 1); }
void Unmap(void* data, size_t) { std::free(data); }
bool Protect(void*, size_t, bool) { return true; }

#else

size_t Granularity() {
  static const size_t page = [] {
    const long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<size_t>(size) : size_t{4096};
  }();
  return page;
}

void* Map(size_t bytes) {
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
  // Large blocks in 2 MiB pages where the system allows it (transparent
  // huge pages in "madvise" mode): one fault instead of 512. Only a hint;
  // refused or not, the block is the same.
  if (bytes >= (size_t{4} << 20)) ::madvise(p, bytes, MADV_HUGEPAGE);
#endif
  return p;
}

void Unmap(void* data, size_t bytes) { ::munmap(data, bytes); }

bool Protect(void* data, size_t bytes, bool readOnly) {
  return ::mprotect(data, bytes, readOnly ? PROT_READ : PROT_READ | PROT_WRITE) == 0;
}

#endif

}  // namespace pixlane::pixel_pages
