// clock.h on POSIX: the C runtime's reentrant conversions.
#include "platform/os/clock.h"

namespace zan::os {

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

}  // namespace zan::os
