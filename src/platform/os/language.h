// The user's default language as a Windows language identifier: on POSIX taken from the locale
// environment (LC_ALL, then LC_MESSAGES, then LANG; the first one set and not empty), on
// Windows the system's GetUserDefaultLangID.
#ifndef ZAN_PLATFORM_OS_LANGUAGE_H_
#define ZAN_PLATFORM_OS_LANGUAGE_H_

#include <cstdint>
#include <string_view>

namespace zan::os {

constexpr uint16_t kLangEnglishUs = 0x0409;

// The identifier for the user's locale; 0x0409 (English, United States) when the locale is
// unset, "C"/"POSIX" or unknown.
uint16_t GetUserDefaultLangID();
// The identifier for one locale name such as "ja_JP.UTF-8", "de_DE@euro", "zh_TW" or "ko".
// A language without a listed country gets its primary country's identifier.
uint16_t LangIdFromLocale(std::string_view locale);

}  // namespace zan::os

#endif
