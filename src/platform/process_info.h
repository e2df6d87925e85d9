// The few facts about processes that the stale-file rule needs — this
// process's id, whether a process id is running on this machine, and the
// machine's name — and the processors this process may use.
#pragma once

#include <cstdint>
#include <string>

namespace pixlane {

uint32_t CurrentProcessId();

// False only when the system says no process has that id; a process that
// exists but cannot be queried counts as running.
bool IsProcessRunning(uint32_t processId);

// The machine's name (host name, computer name); empty when unknown.
std::u16string MachineName();

// The number of processors this process may run on (its affinity mask), at
// least 1.
int UsableProcessorCount();

}  // namespace pixlane
