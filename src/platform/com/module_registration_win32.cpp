// Module self-registration through the system: ATL's script registrar (CLSID_Registrar, which
// atl.dll serves) runs the module's REGISTRY resource, and OLE Automation registers the module's
// TYPELIB resource.
#include <string>

#include "platform/com/bstr.h"
#include "platform/com/module_registration.h"
#include "platform/os/codepage.h"
#include "platform/os/file_system.h"

namespace zan::com {

// The registrar's interfaces as atl.dll serves them: IRegistrarBase's two members, then
// IRegistrar's eight, in this vtable order. Outside the anonymous namespace: the compiler
// would otherwise take the objects for instances of this file's classes (it sees no class
// derived from them) and call their pure virtual members.
struct RegistrarBase : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR key, LPCOLESTR item) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearReplacements() = 0;
};
struct Registrar : RegistrarBase {
  virtual HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR resFileName, LPCOLESTR id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR resFileName, LPCOLESTR id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileRegister(LPCOLESTR fileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileUnregister(LPCOLESTR fileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE StringRegister(LPCOLESTR data) = 0;
  virtual HRESULT STDMETHODCALLTYPE StringUnregister(LPCOLESTR data) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR resFileName, UINT id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR resFileName, UINT id, LPCOLESTR type) = 0;
};
constexpr CLSID kClsidRegistrar = {0x44EC053A, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};
constexpr IID kIidRegistrar = {0x44EC053B, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};

namespace {

std::wstring Wide(std::string_view text) {
  const std::u16string wide = os::MultiByteToWide(text);
  return std::wstring(AsOleText(wide.data()), wide.size());
}

// Releases an interface pointer at the end of a scope.
template <typename T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p) p->Release();
  }
};

// COM for the calling thread for the length of a registration, when the caller has not
// started it (a host may call the exports without CoInitialize; regsvr32 has started it).
class ComForThisCall {
 public:
  ComForThisCall() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComForThisCall() {
    if (started_) CoUninitialize();
  }

 private:
  bool started_;
};

// The module's type library: from the module file, else from the file of the same name with
// the extension ".tlb".
HRESULT LoadModuleTypeLib(std::string_view modulePath, ITypeLib** lib) {
  HRESULT hr = LoadTypeLibEx(Wide(modulePath).c_str(), REGKIND_NONE, lib);
  if (SUCCEEDED(hr)) return hr;
  std::string tlb(modulePath);
  const size_t dot = tlb.find_last_of(".\\/");
  if (dot != std::string::npos && tlb[dot] == '.') tlb.erase(dot);
  tlb += ".tlb";
  return LoadTypeLibEx(Wide(tlb).c_str(), REGKIND_NONE, lib);
}

}  // namespace

HRESULT RunModuleRegistryScript(const RegistryScript& script, std::string_view modulePath, bool registerMode) {
  ComForThisCall com;
  Held<Registrar> registrar;
  HRESULT hr = CoCreateInstance(kClsidRegistrar, nullptr, CLSCTX_INPROC_SERVER, kIidRegistrar,
                                reinterpret_cast<void**>(&registrar.p));
  if (FAILED(hr)) return hr;
  const std::wstring module = Wide(modulePath);
  const std::wstring escaped = Wide(EscapeScriptText(modulePath));
  if (hr = registrar.p->AddReplacement(L"Module", escaped.c_str()); FAILED(hr)) return hr;
  return registerMode ? registrar.p->ResourceRegister(module.c_str(), static_cast<UINT>(script.resourceId), L"REGISTRY")
                      : registrar.p->ResourceUnregister(module.c_str(), static_cast<UINT>(script.resourceId), L"REGISTRY");
}

void MakeTypeLibKnown(const tlb::TypeLibDesc&) {}
void ForgetTypeLib(const tlb::TypeLibDesc&) {}

HRESULT RegisterModuleTypeLib(const tlb::TypeLibDesc&, std::string_view modulePath) {
  Held<ITypeLib> lib;
  if (HRESULT hr = LoadModuleTypeLib(modulePath, &lib.p); FAILED(hr)) return hr;
  std::wstring path = Wide(modulePath);
  std::wstring helpDir = Wide(os::DirectoryOf(std::string(modulePath)));
  return RegisterTypeLib(lib.p, path.data(), helpDir.data());
}

HRESULT UnregisterModuleTypeLib(const tlb::TypeLibDesc&, std::string_view modulePath) {
  Held<ITypeLib> lib;
  if (HRESULT hr = LoadModuleTypeLib(modulePath, &lib.p); FAILED(hr)) return hr;
  TLIBATTR* attr = nullptr;
  if (HRESULT hr = lib.p->GetLibAttr(&attr); FAILED(hr)) return hr;
  const TLIBATTR a = *attr;
  lib.p->ReleaseTLibAttr(attr);
  // Looked up at run time: older systems' OLE Automation lacks it.
  using UnRegister = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
  HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
  auto unregister = oleaut ? reinterpret_cast<UnRegister>(reinterpret_cast<void*>(GetProcAddress(oleaut, "UnRegisterTypeLib")))
                           : nullptr;
  if (!unregister) return S_OK;
  return unregister(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

}  // namespace zan::com
