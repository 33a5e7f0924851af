// clock.h on Windows: the system clock and its time-zone conversions, which cover 1601-30827
// (the C runtime's localtime and mktime refuse times before 1970). UTC is plain arithmetic.
#include <windows.h>

#include "platform/os/backend.h"
#include "platform/os/clock.h"

namespace zan::os {

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;
constexpr int64_t kLastSecond = 922337203684LL - kSecondsFrom1601To1970;  // file times stay below 2^63

// UTC seconds since 1970 as system time fields; false outside 1601-30827.
bool ToSystemTime(int64_t seconds, ::SYSTEMTIME& out) {
  if (seconds < -kSecondsFrom1601To1970 || seconds > kLastSecond) return false;
  const uint64_t ticks = static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
  ::FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  return ::FileTimeToSystemTime(&ft, &out) != FALSE;
}

// The seconds since 1970 of system time fields, read without a time zone.
int64_t SecondsOf(const ::SYSTEMTIME& st) {
  std::tm tm{};
  tm.tm_year = st.wYear - 1900;
  tm.tm_mon = st.wMonth - 1;
  tm.tm_mday = st.wDay;
  tm.tm_hour = st.wHour;
  tm.tm_min = st.wMinute;
  tm.tm_sec = st.wSecond;
  return internal::SecondsOfFields(tm);
}

// Minutes to add to UTC for local standard time, and the daylight-saving shift in minutes
// (0 where the zone keeps none).
void ZoneOffsets(int& standardMinutes, int& daylightShiftMinutes) {
  TIME_ZONE_INFORMATION zone{};
  const DWORD mode = ::GetTimeZoneInformation(&zone);
  standardMinutes = -static_cast<int>(zone.Bias + zone.StandardBias);
  daylightShiftMinutes =
      mode == TIME_ZONE_ID_INVALID || zone.DaylightDate.wMonth == 0 ? 0 : static_cast<int>(zone.StandardBias - zone.DaylightBias);
}

}  // namespace

int64_t Now() {
  ::FILETIME ft{};
  ::GetSystemTimeAsFileTime(&ft);
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
}

bool UtcBreakdown(int64_t seconds, std::tm& out) {
  internal::FieldsOfSeconds(seconds, out);
  return true;
}

bool LocalBreakdown(int64_t seconds, std::tm& out) {
  ::SYSTEMTIME utc{};
  ::SYSTEMTIME local{};
  if (!ToSystemTime(seconds, utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return false;
  const int64_t localSeconds = SecondsOf(local);
  internal::FieldsOfSeconds(localSeconds, out);
  int standard = 0;
  int shift = 0;
  ZoneOffsets(standard, shift);
  out.tm_isdst = shift != 0 && (localSeconds - seconds) / 60 != standard ? 1 : 0;
  return true;
}

int64_t MakeLocalTime(std::tm& tm) {
  std::tm fields{};
  internal::FieldsOfSeconds(internal::SecondsOfFields(tm), fields);  // normalised as mktime does
  if (fields.tm_year < 1601 - 1900 || fields.tm_year > 30827 - 1900) return -1;
  ::SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(fields.tm_year + 1900);
  local.wMonth = static_cast<WORD>(fields.tm_mon + 1);
  local.wDay = static_cast<WORD>(fields.tm_mday);
  local.wDayOfWeek = static_cast<WORD>(fields.tm_wday);
  local.wHour = static_cast<WORD>(fields.tm_hour);
  local.wMinute = static_cast<WORD>(fields.tm_min);
  local.wSecond = static_cast<WORD>(fields.tm_sec);
  ::SYSTEMTIME utc{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) return -1;
  int64_t seconds = SecondsOf(utc);
  std::tm result{};
  if (!LocalBreakdown(seconds, result)) return -1;
  // Fields that say whether daylight saving applies are taken at their word, as mktime does.
  int standard = 0;
  int shift = 0;
  ZoneOffsets(standard, shift);
  if (tm.tm_isdst >= 0 && (tm.tm_isdst > 0) != (result.tm_isdst > 0) && shift != 0) {
    seconds += (tm.tm_isdst > 0 ? -60 : 60) * static_cast<int64_t>(shift);
    if (!LocalBreakdown(seconds, result)) return -1;
  }
  tm = result;
  return seconds;
}

}  // namespace zan::os
