#include <dlfcn.h>

#include <stdexcept>

#include "module_host.h"

namespace zan::test {

namespace {
template <typename F>
void Resolve(const ModuleHost& host, const char* name, F*& out) {
  out = reinterpret_cast<F*>(host.Symbol(name));
  if (!out) throw std::runtime_error(std::string("the module does not export ") + name);
}
}  // namespace

ModuleHost::ModuleHost(const std::string& path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
  Resolve(*this, "DllGetClassObject", DllGetClassObject);
  Resolve(*this, "DllCanUnloadNow", DllCanUnloadNow);
  Resolve(*this, "DllRegisterServer", DllRegisterServer);
  Resolve(*this, "DllUnregisterServer", DllUnregisterServer);
  Resolve(*this, "SysAllocString", SysAllocString);
  Resolve(*this, "SysAllocStringLen", SysAllocStringLen);
  Resolve(*this, "SysFreeString", SysFreeString);
  Resolve(*this, "SysStringLen", SysStringLen);
  Resolve(*this, "GetErrorInfo", GetErrorInfo);
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
