#include "platform/os/clock.h"

#include <memory>

namespace zan::os {

namespace {
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr uint64_t kTicksPerSecond = 10000000ULL;
}  // namespace

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

bool LocalBreakdown(int64_t seconds, std::tm& out) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  return localtime_r(&t, &out) != nullptr;
}

bool UtcBreakdown(int64_t seconds, std::tm& out) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  return gmtime_r(&t, &out) != nullptr;
}

int64_t MakeLocalTime(std::tm& tm) { return static_cast<int64_t>(std::mktime(&tm)); }

bool FormatTime(std::string_view format, const std::tm& tm, size_t bufferSize, std::string& out) {
  if (bufferSize == 0) return false;
  const std::string fmt(format);
  std::unique_ptr<char[]> buf(new char[bufferSize]);
  const size_t n = std::strftime(buf.get(), bufferSize, fmt.c_str(), &tm);
  if (n == 0) return false;
  out.assign(buf.get(), n);
  return true;
}

bool FileTimeToLocalSystemTime(const FILETIME& ft, SYSTEMTIME& out) {
  const uint64_t ticks = FileTimeTicks(ft);
  if (ticks >= (1ULL << 63)) return false;
  const int64_t seconds = static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
  std::tm tm{};
  if (!LocalBreakdown(seconds, tm)) return false;
  out = SystemTimeOf(tm, static_cast<uint16_t>((ticks / 10000) % 1000));
  return true;
}

SYSTEMTIME SystemTimeOf(const std::tm& tm, uint16_t milliseconds) {
  SYSTEMTIME st;
  st.wYear = static_cast<uint16_t>(tm.tm_year + 1900);
  st.wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
  st.wDayOfWeek = static_cast<uint16_t>(tm.tm_wday);
  st.wDay = static_cast<uint16_t>(tm.tm_mday);
  st.wHour = static_cast<uint16_t>(tm.tm_hour);
  st.wMinute = static_cast<uint16_t>(tm.tm_min);
  st.wSecond = static_cast<uint16_t>(tm.tm_sec);
  st.wMilliseconds = milliseconds;
  return st;
}

}  // namespace zan::os
