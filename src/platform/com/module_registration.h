// Self-registration of an in-process server module: its registry script, run through the
// platform's script registrar, and its type library, recorded in the registry. On Windows the
// system's registrar reads the script from the module's REGISTRY resource and the type library
// is the module's TYPELIB resource; elsewhere the stand-ins of this folder take the script's
// text and the library's description.
#ifndef ZAN_PLATFORM_COM_MODULE_REGISTRATION_H_
#define ZAN_PLATFORM_COM_MODULE_REGISTRATION_H_

#include <string>
#include <string_view>

#include "platform/com/typelib_desc.h"
#include "zanclient/com.h"

namespace zan::com {

// A registry script as the module holds it: its text and the id of its resource of type
// "REGISTRY" (the same script).
struct RegistryScript {
  std::string_view text;
  int resourceId;
};

// Runs the script in register or unregister mode, "%MODULE%" standing for modulePath with its
// single quotes doubled. The registrar's status: REGDB_E_CLASSNOTREG (or the system's creation
// failure) when the registrar cannot be created, then nothing is changed; a malformed script
// or a registry failure.
HRESULT RunModuleRegistryScript(const RegistryScript& script, std::string_view modulePath, bool registerMode);

// The text with every single quote doubled, for a replacement that stands inside quotes.
std::string EscapeScriptText(std::string_view text);

// Makes the module's type library loadable in this process once it is registered (at module
// load; the description must outlive the module's use of it). Nothing on Windows, where the
// module's TYPELIB resource is the library.
void MakeTypeLibKnown(const tlb::TypeLibDesc& desc);
void ForgetTypeLib(const tlb::TypeLibDesc& desc);

// Records the module's type library in the registry with modulePath as its location and the
// module's directory as its help directory. On Windows the library is loaded from the module
// file, else from the file of the same name with the extension ".tlb".
HRESULT RegisterModuleTypeLib(const tlb::TypeLibDesc& desc, std::string_view modulePath);
// Removes that registration (identifier, version, locale and system kind of the library).
// A failure status when it is not registered or cannot be removed.
HRESULT UnregisterModuleTypeLib(const tlb::TypeLibDesc& desc, std::string_view modulePath);

}  // namespace zan::com

#endif
