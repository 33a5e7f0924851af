#include "platform/os/clock.h"

#include <gtest/gtest.h>

namespace {

using namespace zan::os;

constexpr uint64_t kTicksAt1970 = 116444736000000000ULL;

TEST(Clock, FileTimeToLocalFields) {
  // 2003-07-15 09:05:03.789 UTC
  const int64_t seconds = 1058259903;
  const FILETIME ft = MakeFileTime(kTicksAt1970 + static_cast<uint64_t>(seconds) * 10000000ULL + 7890000ULL);
  EXPECT_EQ(FileTimeTicks(ft), kTicksAt1970 + static_cast<uint64_t>(seconds) * 10000000ULL + 7890000ULL);
  SYSTEMTIME st{};
  ASSERT_TRUE(FileTimeToLocalSystemTime(ft, st));
  std::tm local{};
  ASSERT_TRUE(LocalBreakdown(seconds, local));
  EXPECT_EQ(st.wYear, local.tm_year + 1900);
  EXPECT_EQ(st.wMonth, local.tm_mon + 1);
  EXPECT_EQ(st.wDay, local.tm_mday);
  EXPECT_EQ(st.wDayOfWeek, local.tm_wday);
  EXPECT_EQ(st.wHour, local.tm_hour);
  EXPECT_EQ(st.wMinute, local.tm_min);
  EXPECT_EQ(st.wSecond, 3);
  EXPECT_EQ(st.wMilliseconds, 789);
}

TEST(Clock, FileTimeLimits) {
  SYSTEMTIME st{};
  EXPECT_FALSE(FileTimeToLocalSystemTime(MakeFileTime(1ULL << 63), st));
  EXPECT_FALSE(FileTimeToLocalSystemTime(MakeFileTime(~0ULL), st));
  ASSERT_TRUE(FileTimeToLocalSystemTime(MakeFileTime(0), st));
  EXPECT_TRUE(st.wYear == 1600 || st.wYear == 1601) << st.wYear;  // 1601-01-01 UTC, local
}

TEST(Clock, UtcBreakdownAndFormat) {
  std::tm tm{};
  ASSERT_TRUE(UtcBreakdown(0, tm));
  std::string out;
  ASSERT_TRUE(FormatTime("%Y-%m-%d %H:%M:%S", tm, 128, out));
  EXPECT_EQ(out, "1970-01-01 00:00:00");
  EXPECT_TRUE(FormatTime("%Y", tm, 5, out));
  EXPECT_EQ(out, "1970");
  EXPECT_FALSE(FormatTime("%Y", tm, 4, out));  // no room for the terminator
  EXPECT_FALSE(FormatTime("", tm, 128, out));
}

TEST(Clock, MakeLocalTimeRoundTrip) {
  std::tm tm{};
  tm.tm_year = 103;
  tm.tm_mon = 6;
  tm.tm_mday = 15;
  tm.tm_hour = 9;
  tm.tm_min = 5;
  tm.tm_sec = 3;
  tm.tm_isdst = -1;
  const int64_t t = MakeLocalTime(tm);
  std::tm back{};
  ASSERT_TRUE(LocalBreakdown(t, back));
  EXPECT_EQ(back.tm_hour, 9);
  EXPECT_EQ(back.tm_mday, 15);
  EXPECT_GT(Now(), 1058259903);
}

}  // namespace
