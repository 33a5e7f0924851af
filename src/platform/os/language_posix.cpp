// GetUserDefaultLangID on POSIX: from the locale environment.
#include "platform/os/environment.h"
#include "platform/os/language.h"

namespace zan::os {

uint16_t GetUserDefaultLangID() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::string value = EnvironmentValue(name);
    if (!value.empty()) return LangIdFromLocale(value);
  }
  return kLangEnglishUs;
}

}  // namespace zan::os
