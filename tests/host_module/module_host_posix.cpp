#include <dlfcn.h>

#include <stdexcept>

#include "module_host.h"

namespace zan::test {

ModuleHost::ModuleHost(const std::string& path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
  Resolve("DllGetClassObject", DllGetClassObject);
  Resolve("DllCanUnloadNow", DllCanUnloadNow);
  Resolve("DllRegisterServer", DllRegisterServer);
  Resolve("DllUnregisterServer", DllUnregisterServer);
  Resolve("SysAllocString", SysAllocString);
  Resolve("SysAllocStringLen", SysAllocStringLen);
  Resolve("SysFreeString", SysFreeString);
  Resolve("SysStringLen", SysStringLen);
  Resolve("GetErrorInfo", GetErrorInfo);
  clsid = static_cast<const CLSID*>(Symbol("CLSID_ZANApi"));
  iid = static_cast<const IID*>(Symbol("IID_IZANApi"));
  libid = static_cast<const GUID*>(Symbol("LIBID_ZANCLIENTLib"));
  if (!clsid || !iid || !libid) throw std::runtime_error("the module does not export its identifiers");
}

ModuleHost::~ModuleHost() {
  if (handle_) dlclose(handle_);
}

void* ModuleHost::Symbol(const char* name) const { return dlsym(handle_, name); }

}  // namespace zan::test
