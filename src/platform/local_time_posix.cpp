// POSIX local time through localtime_r (the TZ rules of the date itself).
#include <ctime>

#include "platform/local_time.h"

namespace pixlane {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;
// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDifferenceSeconds = 11644473600;

}  // namespace

bool FileTimeToLocalDateTime(FileTime time, LocalDateTime& local) {
  // FileTime fits in int64 seconds after the division.
  const int64_t seconds =
      static_cast<int64_t>(time / static_cast<uint64_t>(kTicksPerSecond)) -
      kEpochDifferenceSeconds;
  const auto t = static_cast<time_t>(seconds);
  if (static_cast<int64_t>(t) != seconds) return false;
  struct tm parts {};
  if (::localtime_r(&t, &parts) == nullptr) return false;
  local.year = parts.tm_year + 1900;
  local.month = parts.tm_mon + 1;
  local.day = parts.tm_mday;
  local.hour = parts.tm_hour;
  local.minute = parts.tm_min;
  local.second = parts.tm_sec;
  return true;
}

}  // namespace pixlane
