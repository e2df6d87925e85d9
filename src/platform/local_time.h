// Calendar date and time in the user's local time zone for a file time (the
// time-zone rules in force on that date, so that both builds agree).
#pragma once

#include <cstdint>

#include "platform/file_system.h"

namespace pixlane {

struct LocalDateTime {
  int32_t year = 0;
  int32_t month = 0;   // 1..12
  int32_t day = 0;     // 1..31
  int32_t hour = 0;    // 0..23
  int32_t minute = 0;  // 0..59
  int32_t second = 0;  // 0..59 (60 for a leap second where the system has one)
};

// False when the time cannot be represented (out of the system's range).
bool FileTimeToLocalDateTime(FileTime time, LocalDateTime& local);

}  // namespace pixlane
