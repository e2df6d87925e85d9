// Windows local time: the UTC file time converted with the time-zone rules in
// force on that date (SystemTimeToTzSpecificLocalTime), not with today's
// daylight-saving bias as FileTimeToLocalFileTime would.
#include <windows.h>

#include "platform/local_time.h"

namespace pixlane {

bool FileTimeToLocalDateTime(FileTime time, LocalDateTime& local) {
  FILETIME utcFile;
  utcFile.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  utcFile.dwHighDateTime = static_cast<DWORD>(time >> 32);
  SYSTEMTIME utc;
  SYSTEMTIME zoned;
  if (!FileTimeToSystemTime(&utcFile, &utc)) return false;
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &zoned)) return false;
  local.year = zoned.wYear;
  local.month = zoned.wMonth;
  local.day = zoned.wDay;
  local.hour = zoned.wHour;
  local.minute = zoned.wMinute;
  local.second = zoned.wSecond;
  return true;
}

}  // namespace pixlane
