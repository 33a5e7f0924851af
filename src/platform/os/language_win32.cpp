// GetUserDefaultLangID on Windows: the system's own.
#include <windows.h>

#include "platform/os/language.h"

namespace zan::os {

uint16_t GetUserDefaultLangID() { return static_cast<uint16_t>(::GetUserDefaultLangID()); }

}  // namespace zan::os
