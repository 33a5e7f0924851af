#include "api/ModuleRegistration.h"

#include <map>

#include "api/ModuleResources.h"
#include "api/ZANApiTypeInfo.h"
#include "platform/com/registrar.h"
#include "platform/com/typelib.h"
#include "platform/os/file_system.h"

namespace zan::api {

HRESULT UpdateRegistryFromScript(const std::string& modulePath, bool registerMode) {
  const std::map<std::string, std::string> replacements = {{"Module", reg::EscapeScriptText(modulePath)}};
  return reg::RunRegistryScript(RegistryScript(), replacements, registerMode);
}

HRESULT RegisterModuleTypeLib(const std::string& modulePath) {
  return tlb::RegisterTypeLib(ZANClientTypeLib(), modulePath, os::DirectoryOf(modulePath));
}

HRESULT UnregisterModuleTypeLib() {
  const tlb::TypeLibDesc& lib = ZANClientTypeLib();
  return UnRegisterTypeLib(lib.libid, lib.majorVersion, lib.minorVersion, lib.lcid, SYS_LINUX64);
}

}  // namespace zan::api
