#include "api/ModuleRegistration.h"

#include "api/ModuleResources.h"
#include "api/ZANApiTypeInfo.h"
#include "platform/com/module_registration.h"

namespace zan::api {

HRESULT UpdateRegistryFromScript(const std::string& modulePath, bool registerMode) {
  return com::RunModuleRegistryScript({RegistryScript(), kRegistryScriptResource}, modulePath, registerMode);
}

HRESULT RegisterModuleTypeLib(const std::string& modulePath) {
  return com::RegisterModuleTypeLib(ZANClientTypeLib(), modulePath);
}

HRESULT UnregisterModuleTypeLib(const std::string& modulePath) {
  return com::UnregisterModuleTypeLib(ZANClientTypeLib(), modulePath);
}

}  // namespace zan::api
