// What the system asks of an in-process server module when it is loaded.
#ifndef ZAN_PLATFORM_COM_MODULE_ENTRY_H_
#define ZAN_PLATFORM_COM_MODULE_ENTRY_H_

namespace zan::com {

// At process attach: the module takes no thread attach and detach notifications. Windows
// only (a shared object gets none). instance is the module's own handle.
void TurnOffThreadNotifications(void* instance);

}  // namespace zan::com

#endif
