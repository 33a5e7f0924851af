#include "platform/com/module_entry.h"

#include "zanclient/com.h"

namespace zan::com {

void TurnOffThreadNotifications(void* instance) { DisableThreadLibraryCalls(static_cast<HMODULE>(instance)); }

}  // namespace zan::com
