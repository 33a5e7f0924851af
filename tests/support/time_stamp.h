// Whether a text has the shape of a time stamp, "YYYY-MM-DD HH:MM:SS" with digits in every
// numeric place (no std::regex: gcc 12 warns inside it under the sanitizers).
#ifndef ZAN_TESTS_SUPPORT_TIME_STAMP_H_
#define ZAN_TESTS_SUPPORT_TIME_STAMP_H_

#include <string_view>

namespace zan::test {

inline bool IsTimeStamp(std::string_view text) {
  constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (text.size() != kShape.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool ok = kShape[i] == 'd' ? text[i] >= '0' && text[i] <= '9' : text[i] == kShape[i];
    if (!ok) return false;
  }
  return true;
}

}  // namespace zan::test

#endif
