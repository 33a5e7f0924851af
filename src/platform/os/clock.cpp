// The portable half of clock.h: calendar arithmetic, the file-time conversion and the
// checked formatting.
#include "platform/os/clock.h"

#include <cstdio>

#include "platform/os/backend.h"
#include "platform/os/codepage.h"

namespace zan::os {

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr uint64_t kTicksPerSecond = 10000000ULL;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1-12).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

void AppendNumber(std::string& out, const char* format, long long value) {
  char number[32];
  std::snprintf(number, sizeof number, format, value);
  out += number;
}

// One directive the C runtime formats from the locale (names, %c, %x, %X, %p, %Z), passed
// alone so the runtime never sees a directive it does not know.
void AppendFromRuntime(std::string& out, char directive, const std::tm& tm) {
  const char format[3] = {'%', directive, '\0'};
  char text[256];
  const size_t n = std::strftime(text, sizeof text, format, &tm);
  out.append(text, n);
}

void AppendDirective(std::string& out, char d, const std::tm& tm) {
  const long long year = static_cast<long long>(tm.tm_year) + 1900;
  switch (d) {
    case '%': out += '%'; break;
    case 'n': out += '\n'; break;
    case 't': out += '\t'; break;
    case 'Y': AppendNumber(out, "%lld", year); break;
    case 'C': AppendNumber(out, "%02lld", FloorDiv(year, 100)); break;
    case 'y': AppendNumber(out, "%02lld", ((year % 100) + 100) % 100); break;
    case 'm': AppendNumber(out, "%02lld", tm.tm_mon + 1); break;
    case 'd': AppendNumber(out, "%02lld", tm.tm_mday); break;
    case 'e': AppendNumber(out, "%2lld", tm.tm_mday); break;
    case 'H': AppendNumber(out, "%02lld", tm.tm_hour); break;
    case 'I': AppendNumber(out, "%02lld", tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12); break;
    case 'M': AppendNumber(out, "%02lld", tm.tm_min); break;
    case 'S': AppendNumber(out, "%02lld", tm.tm_sec); break;
    case 'j': AppendNumber(out, "%03lld", tm.tm_yday + 1); break;
    case 'w': AppendNumber(out, "%lld", tm.tm_wday); break;
    case 'u': AppendNumber(out, "%lld", tm.tm_wday == 0 ? 7 : tm.tm_wday); break;
    case 'U': AppendNumber(out, "%02lld", (tm.tm_yday + 7 - tm.tm_wday) / 7); break;
    case 'W': AppendNumber(out, "%02lld", (tm.tm_yday + 7 - (tm.tm_wday + 6) % 7) / 7); break;
    case 'D':
      for (const char c : {'m', '/', 'd', '/', 'y'}) c == '/' ? void(out += '/') : AppendDirective(out, c, tm);
      break;
    case 'F':
      for (const char c : {'Y', '-', 'm', '-', 'd'}) c == '-' ? void(out += '-') : AppendDirective(out, c, tm);
      break;
    case 'R':
    case 'T':
      AppendDirective(out, 'H', tm);
      out += ':';
      AppendDirective(out, 'M', tm);
      if (d == 'T') {
        out += ':';
        AppendDirective(out, 'S', tm);
      }
      break;
    case 'h': AppendFromRuntime(out, 'b', tm); break;
    case 'a': case 'A': case 'b': case 'B': case 'c': case 'p': case 'x': case 'X': case 'Z':
      AppendFromRuntime(out, d, tm);
      break;
    default:  // not a directive every runtime knows: the text as it stands
      out += '%';
      out += d;
      break;
  }
}

}  // namespace

namespace internal {

int64_t SecondsOfFields(const std::tm& tm) {
  const int64_t months = static_cast<int64_t>(tm.tm_year) * 12 + tm.tm_mon;
  const int64_t year = FloorDiv(months, 12) + 1900;
  const int64_t month = months - FloorDiv(months, 12) * 12 + 1;
  const int64_t days = DaysFromCivil(year, month, 1) + tm.tm_mday - 1;
  return days * 86400 + static_cast<int64_t>(tm.tm_hour) * 3600 + static_cast<int64_t>(tm.tm_min) * 60 + tm.tm_sec;
}

void FieldsOfSeconds(int64_t seconds, std::tm& out) {
  const int64_t days = FloorDiv(seconds, 86400);
  const int64_t rest = seconds - days * 86400;
  // civil_from_days
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  out = std::tm{};
  out.tm_year = static_cast<int>(y - 1900);
  out.tm_mon = static_cast<int>(m - 1);
  out.tm_mday = static_cast<int>(d);
  out.tm_hour = static_cast<int>(rest / 3600);
  out.tm_min = static_cast<int>(rest / 60 % 60);
  out.tm_sec = static_cast<int>(rest % 60);
  out.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  out.tm_yday = static_cast<int>(days - DaysFromCivil(y, 1, 1));
  out.tm_isdst = 0;
}

}  // namespace internal

bool FormatTime(std::string_view format, const std::tm& tm, size_t bufferSize, std::string& out) {
  if (bufferSize == 0) return false;
  std::string text;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%') {
      text += c;
      // The trail byte of a double-byte character is never read as a '%'.
      if (IsDBCSLeadByte(static_cast<unsigned char>(c)) && i + 1 < format.size()) text += format[++i];
    } else if (i + 1 == format.size()) {
      text += '%';
    } else {
      AppendDirective(text, format[++i], tm);
    }
    if (text.size() >= bufferSize) return false;
  }
  if (text.empty()) return false;
  out = std::move(text);
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
