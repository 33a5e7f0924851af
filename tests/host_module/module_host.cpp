#include "module_host.h"

#include <dlfcn.h>

#include <cstdio>
#include <stdexcept>

#include "platform/os/codepage.h"

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

ModuleHost& ModuleHost::Built() {
  static ModuleHost* host = new ModuleHost(ZAN_CLIENT_MODULE);  // kept loaded until exit
  return *host;
}

void* ModuleHost::Symbol(const char* name) const { return dlsym(handle_, name); }

IClassFactory* ModuleHost::Factory() const {
  IClassFactory* factory = nullptr;
  const HRESULT hr = DllGetClassObject(*clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (hr != S_OK || !factory) throw std::runtime_error("DllGetClassObject failed: " + Hex(hr));
  return factory;
}

IZANApi* ModuleHost::Create() const {
  IClassFactory* factory = Factory();
  IZANApi* api = nullptr;
  const HRESULT hr = factory->CreateInstance(nullptr, *iid, reinterpret_cast<void**>(&api));
  factory->Release();
  if (hr != S_OK || !api) throw std::runtime_error("CreateInstance failed: " + Hex(hr));
  return api;
}

BSTR ModuleHost::Alloc(std::string_view utf8) const {
  const std::u16string wide = os::MultiByteToWide(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string ModuleHost::Text(BSTR b) const {
  return b ? os::WideToMultiByte(std::u16string_view(b, SysStringLen(b))) : std::string();
}

std::string ModuleHost::Take(BSTR b) const {
  std::string text = Text(b);
  SysFreeString(b);
  return text;
}

std::string ModuleHost::TakeErrorText(bool withSource) const {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return "<no error information>";
  BSTR description = nullptr, source = nullptr;
  info->GetDescription(&description);
  info->GetSource(&source);
  info->Release();
  std::string text = Take(description);
  if (withSource) text = Take(source) + "|" + text;
  else SysFreeString(source);
  return text;
}

std::string Hex(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
  return buffer;
}

}  // namespace zan::test
