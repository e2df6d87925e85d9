// glibc's malloc set up for image batches. libjpeg's whole-image buffers
// (progressive files: tens of MB a file) come from malloc; the defaults
// would map them afresh and unmap them on free, so that every file paid a
// page fault per 4 KiB again.
#include "cli/heap_tuning.h"

#include <cstdlib>  // defines __GLIBC__ with the C library's headers

#if defined(__GLIBC__)
#include <malloc.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#endif

namespace pixlane::cli {

#if defined(__GLIBC__)
namespace {

constexpr char kTunables[] = "GLIBC_TUNABLES";
constexpr char kHugePageHeap[] = "glibc.malloc.hugetlb";

// True when the kernel gives transparent huge pages only to memory marked
// for them: with "always" the heap gets them anyway, with "never" not at all.
bool HugePagesOnRequest() {
  std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string line;
  return std::getline(mode, line) && line.find("[madvise]") != std::string::npos;
}

// glibc marks its heap for transparent huge pages (one fault per 2 MiB
// instead of 512, and far fewer TLB misses over the pixel rows) only when
// told so at start-up: the glibc.malloc.hugetlb tunable has no mallopt.
// So the program runs itself again once with the tunable added. A tunable
// the user set is kept as it is, and when the program cannot be run again
// (no /proc) it carries on with the ordinary heap.
void ExecWithHugePageHeap(char** argv) {
  const char* tunables = std::getenv(kTunables);
  if (tunables != nullptr && std::strstr(tunables, kHugePageHeap) != nullptr) return;
  if (!HugePagesOnRequest()) return;
  const std::string previous = tunables != nullptr ? tunables : "";
  const std::string value = (previous.empty() ? "" : previous + ":") + kHugePageHeap + "=1";
  if (setenv(kTunables, value.c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
  if (tunables != nullptr) {
    setenv(kTunables, previous.c_str(), 1);
  } else {
    unsetenv(kTunables);
  }
}

}  // namespace

void TuneHeapForImageBatches(char** argv) {
  ExecWithHugePageHeap(argv);
  // Large blocks stay in the heap (up to glibc's largest threshold, 32 MiB,
  // and not trimmed below 256 MiB free), so the next file reuses the pages.
  // One heap for all threads, so that the workers of -j reuse each other's
  // pages too (they call malloc a few times per file, never per pixel).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_ARENA_MAX, 1);
}

#else

void TuneHeapForImageBatches(char** /*argv*/) {}

#endif

}  // namespace pixlane::cli
