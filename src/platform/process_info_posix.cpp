// POSIX process facts: getpid, kill(pid, 0), gethostname and the affinity
// mask.
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/process_info.h"
#include "platform/text.h"

namespace pixlane {

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

bool IsProcessRunning(uint32_t processId) {
  if (processId == 0 || processId > static_cast<uint32_t>(INT_MAX)) return false;
  // EPERM: it exists but belongs to someone else.
  return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH;
}

std::u16string MachineName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return Utf8ToUtf16(name);
}

int UsableProcessorCount() {
#ifdef __linux__
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
#endif
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}

}  // namespace pixlane
