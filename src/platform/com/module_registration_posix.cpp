// Module self-registration over the stand-in registrar and type-library registry of this folder.
#include <map>
#include <string>

#include "platform/com/module_registration.h"
#include "platform/com/registrar.h"
#include "platform/com/typelib.h"
#include "platform/os/file_system.h"

namespace zan::com {

HRESULT RunModuleRegistryScript(const RegistryScript& script, std::string_view modulePath, bool registerMode) {
  const std::map<std::string, std::string> replacements = {{"Module", EscapeScriptText(modulePath)}};
  return reg::RunRegistryScript(script.text, replacements, registerMode);
}

void MakeTypeLibKnown(const tlb::TypeLibDesc& desc) { tlb::RegisterTypeLibDescription(&desc); }
void ForgetTypeLib(const tlb::TypeLibDesc& desc) { tlb::UnregisterTypeLibDescription(&desc); }

HRESULT RegisterModuleTypeLib(const tlb::TypeLibDesc& desc, std::string_view modulePath) {
  return tlb::RegisterTypeLib(desc, modulePath, os::DirectoryOf(std::string(modulePath)));
}

HRESULT UnregisterModuleTypeLib(const tlb::TypeLibDesc& desc, std::string_view) {
  return UnRegisterTypeLib(desc.libid, desc.majorVersion, desc.minorVersion, desc.lcid, SYS_LINUX64);
}

}  // namespace zan::com
