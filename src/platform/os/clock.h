// The clock and the time conversions, plus the Windows time structures that the time value is
// built from. Conversions are thread-safe. Local time covers at least the years 1900-2999 on
// every system (POSIX: the C runtime; Windows: the system's time-zone calls, as its C
// runtime refuses times before 1970).
#ifndef ZAN_PLATFORM_OS_CLOCK_H_
#define ZAN_PLATFORM_OS_CLOCK_H_

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace zan::os {

// Calendar time split into fields (Windows layout): month 1-12, day of week 0 = Sunday.
struct SYSTEMTIME {
  uint16_t wYear;
  uint16_t wMonth;
  uint16_t wDayOfWeek;
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
};

// 100-nanosecond intervals since 1601-01-01 00:00:00 UTC, in two halves (Windows layout).
struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};

constexpr FILETIME MakeFileTime(uint64_t ticks) {
  return FILETIME{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}
constexpr uint64_t FileTimeTicks(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Seconds since 1970-01-01 00:00:00 UTC.
int64_t Now();
// The value broken down as local time / UTC; false when the runtime cannot convert it.
bool LocalBreakdown(int64_t seconds, std::tm& out);
bool UtcBreakdown(int64_t seconds, std::tm& out);
// mktime: normalises the fields of tm as local time (tm_isdst < 0: the runtime decides) and
// returns the seconds, or -1 when the time cannot be represented.
int64_t MakeLocalTime(std::tm& tm);
// strftime's formatting into at most bufferSize - 1 bytes: false when the output (with its
// terminator) does not fit or is empty. The directives are those every C runtime knows
// (%a %A %b %B %c %d %H %I %j %m %M %p %S %U %w %W %x %X %y %Y %Z %%) and %C %D %e %F %h %n
// %R %t %T %u, computed here; names and the %c %x %X forms come from the runtime's current
// locale. Any other '%' sequence (an unknown directive, a modifier, a '%' at the end) is
// copied as it stands: the format never reaches the runtime unchecked.
bool FormatTime(std::string_view format, const std::tm& tm, size_t bufferSize, std::string& out);
// Broken-down time as calendar fields with the given milliseconds.
SYSTEMTIME SystemTimeOf(const std::tm& tm, uint16_t milliseconds);
// A file time as local calendar fields (the zone rules of that date); false for a file time
// beyond the runtime's range (at or above 2^63, as the Windows conversion).
bool FileTimeToLocalSystemTime(const FILETIME& ft, SYSTEMTIME& out);

}  // namespace zan::os

#endif
