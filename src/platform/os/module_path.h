// The file of a loaded module (the executable or a shared library), found from an address
// inside it: the counterpart of asking the platform for a module handle's file name.
#ifndef ZAN_PLATFORM_OS_MODULE_PATH_H_
#define ZAN_PLATFORM_OS_MODULE_PATH_H_

#include <string>

namespace zan::os {

// The absolute, link-free path of the module that holds addressInModule (any function or
// object defined in it); "" when the address belongs to no loaded module. Any thread.
std::string ModulePath(const void* addressInModule);

}  // namespace zan::os

#endif
