#include "module_host.h"

#include <cstdio>
#include <stdexcept>

#include "platform/com/bstr.h"
#include "platform/os/codepage.h"

namespace zan::test {

void* ModuleHost::RequiredSymbol(const char* name) const {
  void* address = Symbol(name);
  if (!address) throw std::runtime_error(std::string("the module does not export ") + name);
  return address;
}

ModuleHost& ModuleHost::Built() {
  static ModuleHost* host = new ModuleHost(ZAN_CLIENT_MODULE);  // kept loaded until exit
  return *host;
}

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
  return SysAllocStringLen(AsOleText(wide.data()), static_cast<UINT>(wide.size()));
}

std::string ModuleHost::Text(BSTR b) const {
  return b ? os::WideToMultiByte(std::u16string_view(AsUtf16(b), SysStringLen(b))) : std::string();
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
