// QKTime: a point in time as a signed 64-bit count of seconds since 1970-01-01 00:00:00 UTC
// (0: no time set; times after 2038 included), built from the clock or from calendar fields,
// broken down and formatted. QKTimeSpan: a duration in seconds. Plain values; any thread.
#ifndef ZAN_BASE_QKTIME_H_
#define ZAN_BASE_QKTIME_H_

#include <compare>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/os/clock.h"

class QKTime {
 public:
  // Buffer size of the formatting, terminator included: longer output formats as "".
  static constexpr size_t kMaxTimeBufferSize = 128;

  QKTime() = default;
  explicit QKTime(int64_t seconds) : m_time(seconds) {}
  // Local calendar fields, normalised by the runtime (month 1-12, nDST < 0: the runtime
  // decides about daylight saving). Checked: "nDay >= 1 && nDay <= 31",
  // "nMonth >= 1 && nMonth <= 12", "nYear >= 1900", then "m_time != -1" (the runtime could
  // convert the fields); a failed check goes to the assertion hook (base/Assertion.h).
  QKTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);
  // MS-DOS date (day bits 0-4, month bits 5-8, year - 1980 bits 9-15) and time (seconds / 2
  // bits 0-4, minutes bits 5-10, hours bits 11-15), then as from calendar fields.
  QKTime(uint16_t wDosDate, uint16_t wDosTime, int nDST = -1);
  // Year below 1900 gives 0; else as from calendar fields (day of week and milliseconds ignored).
  explicit QKTime(const zan::os::SYSTEMTIME& st, int nDST = -1);
  // A UTC file time, taken as local calendar fields; 0 when the conversion fails.
  explicit QKTime(const zan::os::FILETIME& ft, int nDST = -1);

  static QKTime CurrentTime();

  // The value broken down as UTC / local time, copied into *ptm when ptm is given, else into
  // a buffer of the calling thread that the next call overwrites; null when the runtime
  // cannot convert the value.
  std::tm* UtcParts(std::tm* ptm = nullptr) const;
  std::tm* LocalParts(std::tm* ptm = nullptr) const;
  // Local time as calendar fields (milliseconds 0); false when the conversion fails.
  bool ToSystemTime(zan::os::SYSTEMTIME& st) const;

  // strftime of the local / UTC breakdown into kMaxTimeBufferSize bytes; "" when the
  // conversion fails or the output does not fit. Never raises.
  std::string Format(std::string_view format) const;
  std::string FormatUtc(std::string_view format) const;

  int64_t Seconds() const { return m_time; }

  friend bool operator==(const QKTime&, const QKTime&) = default;
  friend auto operator<=>(const QKTime&, const QKTime&) = default;

 private:
  void FromFields(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST);

  int64_t m_time = 0;
};

class QKTimeSpan {
 public:
  QKTimeSpan() = default;
  explicit QKTimeSpan(int64_t seconds) : m_timeSpan(seconds) {}
  QKTimeSpan(int64_t lDays, int nHours, int nMins, int nSecs);

  // The parts truncate towards zero: a negative span has negative parts.
  int64_t Days() const { return m_timeSpan / 86400; }
  int64_t TotalHours() const { return m_timeSpan / 3600; }
  int64_t Hours() const { return TotalHours() - Days() * 24; }
  int64_t TotalMinutes() const { return m_timeSpan / 60; }
  int64_t Minutes() const { return TotalMinutes() - TotalHours() * 60; }
  int64_t TotalSeconds() const { return m_timeSpan; }
  int64_t Seconds() const { return m_timeSpan - TotalMinutes() * 60; }

  // Copies format, a double-byte character of the process code page as one, replacing
  // "%D" by the days ("%ld"), "%H" "%M" "%S" by the parts ("%02d"), "%%" by '%' and '%'
  // with any other character by that character; a '%' ending the format is dropped. Output
  // longer than QKTime::kMaxTimeBufferSize - 1 bytes gives "" (never a cut-off text).
  std::string Format(std::string_view format) const;

  friend bool operator==(const QKTimeSpan&, const QKTimeSpan&) = default;
  friend auto operator<=>(const QKTimeSpan&, const QKTimeSpan&) = default;

 private:
  int64_t m_timeSpan = 0;
};

#endif
