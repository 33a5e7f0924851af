// On Windows the module is a DLL exporting its four entry points; BSTRs and error information
// belong to the system (oleaut32), and the identifiers are the public header's values.
#include <windows.h>

#include <stdexcept>

#include "module_host.h"
#include "platform/os/codepage.h"
#include "zanclient/ZANClient_ids.h"

namespace zan::test {
ModuleHost::ModuleHost(const std::string& path) : path_(path) {
  std::u16string wide = os::MultiByteToWide(path);
  for (char16_t& c : wide)
    if (c == u'/') c = u'\\';
  handle_ = LoadLibraryExW(reinterpret_cast<const wchar_t*>(wide.c_str()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!handle_) throw std::runtime_error("LoadLibrary failed for " + path + ": error " + std::to_string(GetLastError()));
  Resolve("DllGetClassObject", DllGetClassObject);
  Resolve("DllCanUnloadNow", DllCanUnloadNow);
  Resolve("DllRegisterServer", DllRegisterServer);
  Resolve("DllUnregisterServer", DllUnregisterServer);
  SysAllocString = &::SysAllocString;
  SysAllocStringLen = &::SysAllocStringLen;
  SysFreeString = &::SysFreeString;
  SysStringLen = &::SysStringLen;
  GetErrorInfo = &::GetErrorInfo;
  clsid = &zanclient::kClsidZANApi;
  iid = &zanclient::kIidIZANApi;
  libid = &zanclient::kLibidZANCLIENTLib;
}

ModuleHost::~ModuleHost() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* ModuleHost::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace zan::test
