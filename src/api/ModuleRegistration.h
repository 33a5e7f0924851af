// Self-registration of the module: the registry script of a class and the type library.
#ifndef ZAN_API_MODULEREGISTRATION_H_
#define ZAN_API_MODULEREGISTRATION_H_

#include <string>

#include "zanclient/com.h"

namespace zan::api {

// Runs the registry script of ZANApi in register or unregister mode, "%MODULE%" standing for
// modulePath with its single quotes doubled. The registrar's status: its creation failure,
// a malformed script or a registry failure.
HRESULT UpdateRegistryFromScript(const std::string& modulePath, bool registerMode);
// Records the module's type library (ZANClientTypeLib; on Windows the module's TYPELIB
// resource) in the registry with the module's path as its location and the module's directory
// as its help directory.
HRESULT RegisterModuleTypeLib(const std::string& modulePath);
// Removes that registration (identifier, version, locale and system kind of the library);
// TYPE_E_REGISTRYACCESS when it is not registered.
HRESULT UnregisterModuleTypeLib(const std::string& modulePath);

}  // namespace zan::api

#endif
