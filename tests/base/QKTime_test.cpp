#include "base/QKTime.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/Assertion.h"
#include "platform/os/codepage.h"
#include "support/time_stamp.h"

namespace {

constexpr uint64_t kTicksAt1970 = 116444736000000000ULL;
constexpr int32_t k20030715090503Utc = 1058259903;

std::string Stamp(const QKTime& t) { return t.Format("%Y-%m-%d %H:%M:%S"); }

// Installs an assertion hook for one scope.
class HookGuard {
 public:
  explicit HookGuard(zan::AssertionHook hook) : previous_(zan::SetAssertionHook(hook)) {}
  ~HookGuard() { zan::SetAssertionHook(previous_); }

 private:
  zan::AssertionHook previous_;
};

void ThrowingHook(const char* text) { throw std::logic_error(text); }

std::vector<std::string> g_recorded;
void RecordingHook(const char* text) { g_recorded.emplace_back(text); }

// The text of the first failed check while building the value ("" when none).
template <typename Build>
std::string FirstFailure(Build build) {
  HookGuard guard(ThrowingHook);
  try {
    build();
  } catch (const std::logic_error& e) {
    return e.what();
  }
  return "";
}

TEST(QKTime, DefaultIsZero) {
  EXPECT_EQ(QKTime().Seconds(), 0);
  EXPECT_EQ(QKTime(12345).Seconds(), 12345);
  QKTime a(5);
  QKTime b = a;
  EXPECT_EQ(a, b);
}

TEST(QKTime, CurrentTimeStampHas19Characters) {
  const std::string stamp = Stamp(QKTime::CurrentTime());
  EXPECT_EQ(stamp.size(), 19u);
  EXPECT_TRUE(zan::test::IsTimeStamp(stamp)) << stamp;
  const int64_t now = zan::os::Now();
  EXPECT_LE(std::abs(QKTime::CurrentTime().Seconds() - now), 1);
}

TEST(QKTime, CalendarFieldsAreLocalTimeAndNormalised) {
  struct Case {
    int y, mo, d, h, mi, s;
    const char* stamp;
  } cases[] = {
      {2003, 7, 15, 9, 5, 3, "2003-07-15 09:05:03"},
      {2003, 12, 31, 24, 0, 0, "2004-01-01 00:00:00"},
      {2003, 2, 31, 0, 0, 0, "2003-03-03 00:00:00"},
      {2000, 2, 29, 23, 59, 60, "2000-03-01 00:00:00"},
      {2003, 7, 15, 0, -1, 0, "2003-07-14 23:59:00"},
      {1969, 12, 31, 12, 0, 0, "1969-12-31 12:00:00"},
      {2038, 1, 1, 0, 0, 0, "2038-01-01 00:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(Stamp(QKTime(c.y, c.mo, c.d, c.h, c.mi, c.s)), c.stamp) << c.stamp;
}

TEST(QKTime, DosDateAndTime) {
  const auto dosDate = [](int y, int m, int d) { return static_cast<uint16_t>(((y - 1980) << 9) | (m << 5) | d); };
  const auto dosTime = [](int h, int m, int s) { return static_cast<uint16_t>((h << 11) | (m << 5) | (s / 2)); };
  struct Case {
    uint16_t date, time;
    const char* stamp;
  } cases[] = {
      {dosDate(2003, 7, 15), dosTime(9, 5, 3), "2003-07-15 09:05:02"},  // seconds in steps of two
      {dosDate(1980, 1, 1), 0, "1980-01-01 00:00:00"},
      {dosDate(2037, 12, 31), dosTime(23, 59, 58), "2037-12-31 23:59:58"},
      {0x2EEF, 0x48A1, "2003-07-15 09:05:02"},
  };
  for (const auto& c : cases) EXPECT_EQ(Stamp(QKTime(c.date, c.time)), c.stamp) << c.stamp;
}

TEST(QKTime, SystemTime) {
  zan::os::SYSTEMTIME st{2003, 7, 6, 15, 9, 5, 3, 999};  // day of week and milliseconds are ignored
  EXPECT_EQ(Stamp(QKTime(st)), "2003-07-15 09:05:03");
  st.wYear = 1899;
  EXPECT_EQ(QKTime(st).Seconds(), 0);
  st.wYear = 0;
  EXPECT_EQ(QKTime(st).Seconds(), 0);
}

TEST(QKTime, ToSystemTime) {
  zan::os::SYSTEMTIME st{};
  ASSERT_TRUE(QKTime(2003, 7, 15, 9, 5, 3).ToSystemTime(st));
  EXPECT_EQ(st.wYear, 2003);
  EXPECT_EQ(st.wMonth, 7);
  EXPECT_EQ(st.wDayOfWeek, 2);  // a Tuesday
  EXPECT_EQ(st.wDay, 15);
  EXPECT_EQ(st.wHour, 9);
  EXPECT_EQ(st.wMinute, 5);
  EXPECT_EQ(st.wSecond, 3);
  EXPECT_EQ(st.wMilliseconds, 0);
  EXPECT_EQ(QKTime(st), QKTime(2003, 7, 15, 9, 5, 3));
}

TEST(QKTime, FileTime) {
  const uint64_t ticks = kTicksAt1970 + static_cast<uint64_t>(k20030715090503Utc) * 10000000ULL + 7890000ULL;
  EXPECT_EQ(QKTime(zan::os::MakeFileTime(ticks)).Seconds(), k20030715090503Utc);  // fraction dropped
  EXPECT_EQ(QKTime(zan::os::MakeFileTime(kTicksAt1970)).Seconds(), 0);
  EXPECT_EQ(QKTime(zan::os::MakeFileTime(0)).Seconds(), 0);          // 1601: before 1900
  EXPECT_EQ(QKTime(zan::os::MakeFileTime(1ULL << 63)).Seconds(), 0);  // not convertible
}

TEST(QKTime, Parts) {
  const QKTime t(k20030715090503Utc);
  std::tm mine{};
  ASSERT_EQ(t.UtcParts(&mine), &mine);
  EXPECT_EQ(mine.tm_year, 103);
  EXPECT_EQ(mine.tm_mon, 6);
  EXPECT_EQ(mine.tm_mday, 15);
  EXPECT_EQ(mine.tm_hour, 9);
  const std::tm* shared = t.UtcParts();
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->tm_min, 5);
  std::tm local{};
  ASSERT_EQ(t.LocalParts(&local), &local);
  std::tm expected{};
  ASSERT_TRUE(zan::os::LocalBreakdown(k20030715090503Utc, expected));
  EXPECT_EQ(local.tm_hour, expected.tm_hour);
  EXPECT_EQ(local.tm_mday, expected.tm_mday);
  EXPECT_EQ(t.LocalParts()->tm_hour, expected.tm_hour);
}

TEST(QKTime, FormatLimits) {
  const QKTime t(0);
  EXPECT_EQ(t.FormatUtc("%Y-%m-%d %H:%M:%S"), "1970-01-01 00:00:00");
  EXPECT_EQ(QKTime(k20030715090503Utc).FormatUtc("%d.%m.%Y %%"), "15.07.2003 %");
  EXPECT_EQ(t.FormatUtc(std::string(127, 'x')), std::string(127, 'x'));
  EXPECT_EQ(t.FormatUtc(std::string(128, 'x')), "");
  std::string years;
  for (int i = 0; i < 32; ++i) years += "%Y";  // 128 characters of output
  EXPECT_EQ(t.FormatUtc(years), "");
  EXPECT_EQ(t.Format(years), "");
  EXPECT_EQ(t.FormatUtc(""), "");
}

// Every directive of the checked formatting, on a date of each century the value covers; an
// unknown directive is copied, never handed to the runtime (the Windows one aborts on it).
TEST(QKTime, FormatUtcDirectives) {
  struct Row {
    int64_t seconds;
    const char* format;
    const char* text;
  } rows[] = {
      {-2208988800LL, "%Y-%m-%d %H:%M:%S", "1900-01-01 00:00:00"},  // a Monday
      {-2208988800LL, "%a %A %b %B %h", "Mon Monday Jan January Jan"},
      {-2208988800LL, "%j %u %w %U %W %C %y", "001 1 1 00 01 19 00"},
      {-1LL, "%F %T %R %D %e", "1969-12-31 23:59:59 23:59 12/31/69 31"},
      {-1LL, "%I %p", "11 PM"},
      {k20030715090503Utc, "%I%p %n%t|", "09AM \n\t|"},
      {k20030715090503Utc, "%Q %E %Oy %z %", "%Q %E %Oy %z %"},
      {int64_t{4102444800}, "%Y %j %a", "2100 001 Fri"},
  };
  for (const Row& r : rows) EXPECT_EQ(QKTime(r.seconds).FormatUtc(r.format), r.text) << r.format;
}

// Local calendar fields from 1900 on convert and format on every system.
TEST(QKTime, LocalYearsFrom1900) {
  for (const int year : {1900, 1901, 1950, 1969, 1970, 2038, 2100}) {
    const QKTime t(year, 7, 15, 9, 5, 3);
    EXPECT_EQ(Stamp(t), std::to_string(year) + "-07-15 09:05:03");
  }
}

TEST(QKTime, FailedChecksQuoteTheirTextInOrder) {
  struct Case {
    int y, mo, d;
    const char* text;
  } cases[] = {
      {1899, 13, 0, "nDay >= 1 && nDay <= 31"},
      {2003, 7, 32, "nDay >= 1 && nDay <= 31"},
      {1899, 13, 1, "nMonth >= 1 && nMonth <= 12"},
      {2003, 0, 1, "nMonth >= 1 && nMonth <= 12"},
      {1899, 12, 1, "nYear >= 1900"},
      {1900, 1, 1, ""},  // the 64-bit count holds times before 1901...
      {2040, 1, 1, ""},  // ...and after 2038
      {2003, 7, 15, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirstFailure([&] { QKTime(c.y, c.mo, c.d, 0, 0, 0); }), c.text) << c.y << "-" << c.mo << "-" << c.d;
  }
  EXPECT_EQ(FirstFailure([] { QKTime(static_cast<uint16_t>(0), static_cast<uint16_t>(0)); }),
            "nDay >= 1 && nDay <= 31");
  zan::os::SYSTEMTIME st{2040, 1, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ(FirstFailure([&] { QKTime{st}; }), "");
}

TEST(QKTime, TimesAfter2038FormatCorrectly) {
  struct Case {
    int y, mo, d, h, mi, s;
    const char* stamp;
  } cases[] = {
      {2038, 1, 19, 3, 14, 8, "2038-01-19 03:14:08"},  // one second past the 32-bit count
      {2040, 2, 29, 12, 0, 0, "2040-02-29 12:00:00"},
      {2106, 2, 7, 6, 28, 16, "2106-02-07 06:28:16"},  // past the unsigned 32-bit count
      {3000, 12, 31, 23, 59, 59, "3000-12-31 23:59:59"},
  };
  for (const auto& c : cases) {
    const QKTime t(c.y, c.mo, c.d, c.h, c.mi, c.s);
    EXPECT_GT(t.Seconds(), int64_t{0x7FFFFFFF}) << c.stamp;
    EXPECT_EQ(Stamp(t), c.stamp);
    EXPECT_EQ(Stamp(QKTime(t.Seconds())), c.stamp) << "the count round-trips";
  }
  EXPECT_EQ(QKTime(int64_t{0x80000000}).FormatUtc("%Y-%m-%d %H:%M:%S"), "2038-01-19 03:14:08");
  EXPECT_EQ(QKTimeSpan(int64_t{0x80000000}).Days(), 24855);
}

TEST(QKTime, HookThatReturnsSeesEveryCheck) {
  HookGuard guard(RecordingHook);
  g_recorded.clear();
  const QKTime t(1899, 13, 0, 0, 0, 0);
  // The runtime normalises the fields (day 0 of month 13 of 1899: 1899-12-31), which the
  // 64-bit count holds.
  EXPECT_EQ(g_recorded,
            (std::vector<std::string>{"nDay >= 1 && nDay <= 31", "nMonth >= 1 && nMonth <= 12", "nYear >= 1900"}));
  EXPECT_EQ(Stamp(t), "1899-12-31 00:00:00");
}

TEST(QKTimeDeathTest, DefaultHookPrintsAndAborts) {
  EXPECT_DEATH(QKTime(2003, 7, 0, 0, 0, 0), "Assertion failed: nDay >= 1 && nDay <= 31");
}

TEST(QKTimeSpan, Parts) {
  struct Case {
    int32_t seconds;
    int32_t days, hours, minutes, secs;
  } cases[] = {
      {90061, 1, 1, 1, 1}, {0, 0, 0, 0, 0}, {86399, 0, 23, 59, 59}, {-90061, -1, -1, -1, -1}, {3600, 0, 1, 0, 0},
  };
  for (const auto& c : cases) {
    const QKTimeSpan s(c.seconds);
    EXPECT_EQ(s.Days(), c.days) << c.seconds;
    EXPECT_EQ(s.Hours(), c.hours) << c.seconds;
    EXPECT_EQ(s.Minutes(), c.minutes) << c.seconds;
    EXPECT_EQ(s.Seconds(), c.secs) << c.seconds;
  }
  EXPECT_EQ(QKTimeSpan(1, 1, 1, 1), QKTimeSpan(90061));
  EXPECT_EQ(QKTimeSpan(90061).TotalHours(), 25);
  EXPECT_EQ(QKTimeSpan(90061).TotalMinutes(), 1501);
}

TEST(QKTimeSpan, Format) {
  struct Case {
    int32_t seconds;
    std::string format, text;
  } cases[] = {
      {90061, "%D %H:%M:%S", "1 01:01:01"},
      {864000 * 3 + 5, "%Dd %Ss", "30d 05s"},
      {5, "100%%", "100%"},
      {5, "%x%Y", "xY"},
      {5, "end%", "end"},
      {5, "", ""},
      {-90061, "%D %H", "-1 -1"},
      {5, std::string(127, 'a'), std::string(127, 'a')},
      {5, std::string(128, 'a'), ""},
      {5, std::string(126, 'a') + "%S", ""},  // 128 bytes of output
      {5, std::string(125, 'a') + "%S", std::string(125, 'a') + "05"},
  };
  for (const auto& c : cases) EXPECT_EQ(QKTimeSpan(c.seconds).Format(c.format), c.text) << c.format;
}

TEST(QKTimeSpan, FormatCopiesDoubleByteCharactersWhole) {
  const unsigned previous = zan::os::SetACP(zan::os::kCodePageShiftJis);
  // The lead byte 0x95 takes the '%' after it: no directive.
  EXPECT_EQ(QKTimeSpan(90061).Format("\x95%D"), "\x95%D");
  EXPECT_EQ(QKTimeSpan(90061).Format("%\x95%D"), "\x95%D");
  EXPECT_EQ(QKTimeSpan(90061).Format("%D\x95"), "1\x95");
  zan::os::SetACP(previous);
  EXPECT_EQ(QKTimeSpan(90061).Format("\x95%D"), "\x95" "1");
}

}  // namespace
