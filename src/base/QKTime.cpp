#include "base/QKTime.h"

#include <cstdio>

#include "base/Assertion.h"
#include "platform/os/codepage.h"

namespace {

thread_local std::tm t_parts;

std::tm* Deliver(const std::tm& parts, std::tm* ptm) {
  std::tm* target = ptm ? ptm : &t_parts;
  *target = parts;
  return target;
}

}  // namespace

QKTime::QKTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST) {
  FromFields(nYear, nMonth, nDay, nHour, nMin, nSec, nDST);
}

QKTime::QKTime(uint16_t wDosDate, uint16_t wDosTime, int nDST) {
  FromFields(1980 + (wDosDate >> 9), (wDosDate >> 5) & 0x0F, wDosDate & 0x1F, wDosTime >> 11, (wDosTime >> 5) & 0x3F,
             (wDosTime & 0x1F) * 2, nDST);
}

QKTime::QKTime(const zan::os::SYSTEMTIME& st, int nDST) {
  if (st.wYear < 1900) return;
  FromFields(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, nDST);
}

QKTime::QKTime(const zan::os::FILETIME& ft, int nDST) {
  zan::os::SYSTEMTIME st;
  if (!zan::os::FileTimeToLocalSystemTime(ft, st)) return;
  *this = QKTime(st, nDST);
}

void QKTime::FromFields(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST) {
  ZAN_ASSERT(nDay >= 1 && nDay <= 31);
  ZAN_ASSERT(nMonth >= 1 && nMonth <= 12);
  ZAN_ASSERT(nYear >= 1900);
  std::tm tm{};
  tm.tm_sec = nSec;
  tm.tm_min = nMin;
  tm.tm_hour = nHour;
  tm.tm_mday = nDay;
  tm.tm_mon = nMonth - 1;
  tm.tm_year = nYear - 1900;
  tm.tm_isdst = nDST;
  m_time = zan::os::MakeLocalTime(tm);  // -1: the runtime cannot convert the fields
  ZAN_ASSERT(m_time != -1);
}

QKTime QKTime::CurrentTime() { return QKTime(zan::os::Now()); }

std::tm* QKTime::UtcParts(std::tm* ptm) const {
  std::tm parts;
  if (!zan::os::UtcBreakdown(m_time, parts)) return nullptr;
  return Deliver(parts, ptm);
}

std::tm* QKTime::LocalParts(std::tm* ptm) const {
  std::tm parts;
  if (!zan::os::LocalBreakdown(m_time, parts)) return nullptr;
  return Deliver(parts, ptm);
}

bool QKTime::ToSystemTime(zan::os::SYSTEMTIME& st) const {
  std::tm parts;
  if (!zan::os::LocalBreakdown(m_time, parts)) return false;
  st = zan::os::SystemTimeOf(parts, 0);
  return true;
}

std::string QKTime::Format(std::string_view format) const {
  std::tm parts;
  std::string out;
  if (!zan::os::LocalBreakdown(m_time, parts) || !zan::os::FormatTime(format, parts, kMaxTimeBufferSize, out)) {
    return std::string();
  }
  return out;
}

std::string QKTime::FormatUtc(std::string_view format) const {
  std::tm parts;
  std::string out;
  if (!zan::os::UtcBreakdown(m_time, parts) || !zan::os::FormatTime(format, parts, kMaxTimeBufferSize, out)) {
    return std::string();
  }
  return out;
}

QKTimeSpan::QKTimeSpan(int64_t lDays, int nHours, int nMins, int nSecs)
    : m_timeSpan(static_cast<int64_t>(nSecs) +
                 60 * (static_cast<int64_t>(nMins) + 60 * (static_cast<int64_t>(nHours) + 24 * lDays))) {}

std::string QKTimeSpan::Format(std::string_view format) const {
  std::string out;
  char number[32];
  for (size_t i = 0; i < format.size(); ++i) {
    const char ch = format[i];
    if (ch != '%') {
      out += ch;
      if (zan::os::IsDBCSLeadByte(static_cast<unsigned char>(ch)) && i + 1 < format.size()) out += format[++i];
      continue;
    }
    if (++i == format.size()) break;  // a lone '%' at the end
    const char directive = format[i];
    switch (directive) {
      case 'D':
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>(Days()));
        out += number;
        break;
      case 'H':
        std::snprintf(number, sizeof number, "%02d", static_cast<int>(Hours()));
        out += number;
        break;
      case 'M':
        std::snprintf(number, sizeof number, "%02d", static_cast<int>(Minutes()));
        out += number;
        break;
      case 'S':
        std::snprintf(number, sizeof number, "%02d", static_cast<int>(Seconds()));
        out += number;
        break;
      default:  // "%%" and any other character: the character itself
        out += directive;
        if (zan::os::IsDBCSLeadByte(static_cast<unsigned char>(directive)) && i + 1 < format.size()) {
          out += format[++i];
        }
        break;
    }
    if (out.size() >= QKTime::kMaxTimeBufferSize) return std::string();
  }
  if (out.size() >= QKTime::kMaxTimeBufferSize) return std::string();
  return out;
}
