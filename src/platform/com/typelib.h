// Type library registration in the registry (registry.h), and loading of a registered library.
//
// A module carries its library as a description (typelib_desc.h) and makes it known to the
// process at load (RegisterTypeLibDescription); registration records it in the registry as
// Windows' RegisterTypeLib does, for the system kind "linux64":
//   TypeLib\{LIBID}\<major>.<minor>             = help string (the name when there is none)
//   TypeLib\{LIBID}\<major>.<minor>\<lcid>\linux64 = the module's path
//   TypeLib\{LIBID}\<major>.<minor>\FLAGS       = "0"
//   TypeLib\{LIBID}\<major>.<minor>\HELPDIR     = the help directory
//   Interface\{IID}                             = interface name
//   Interface\{IID}\ProxyStubClsid, \ProxyStubClsid32 = the automation marshaller
//                                                 ({00020424-...} dual, {00020420-...} dispinterface)
//   Interface\{IID}\TypeLib = {LIBID}, named value "Version" = "<major>.<minor>"
// Version and locale appear in hexadecimal, as Windows writes them. LoadRegTypeLib succeeds
// only for a registered library whose description is known to the process: late-bound
// callers need the library registered.
#ifndef ZAN_PLATFORM_COM_TYPELIB_H_
#define ZAN_PLATFORM_COM_TYPELIB_H_

#include <string_view>

#include "platform/com/typelib_desc.h"
#include "zanclient/com.h"

namespace zan::tlb {

// Makes a description known to this process (a module does so at load); desc must stay alive
// until it is unregistered. A description for the same library and version replaces the
// earlier one. Thread-safe.
void RegisterTypeLibDescription(const TypeLibDesc* desc);
void UnregisterTypeLibDescription(const TypeLibDesc* desc);

// Records the library in the registry (above) in one registry update. E_INVALIDARG for an
// inconsistent description (Validate); registry failures as registry.h states.
HRESULT RegisterTypeLib(const TypeLibDesc& desc, std::string_view modulePath, std::string_view helpDir);

}  // namespace zan::tlb

#ifndef _WIN32  // on Windows OLE Automation's own, declared by the SDK
extern "C" {
// Removes the registration of one library version for a locale and system kind. When no other
// locale remains registered for the version, the version's key and the Interface keys that
// name this library and version go too, and the library's key when it is left empty.
// TYPE_E_REGISTRYACCESS when that registration does not exist; E_INVALIDARG for an unknown
// system kind.
HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind);

// The registered library: the same major version and the highest registered minor version
// not below wVerMinor, for the locale lcid, else its primary language, else LANG_NEUTRAL
// (0), else English (9), registered for "linux64". TYPE_E_LIBNOTREGISTERED when there is no
// such registration; TYPE_E_CANTLOADLIBRARY when the description of the registered version
// is not known to the process. *pptlib gets one reference.
HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib);
}
#endif


#endif
