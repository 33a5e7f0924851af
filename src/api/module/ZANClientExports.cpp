// The four standard exports of the in-process server module (ZANClient.so, ZANClient.DLL).
// Built into the module only: the version script ZANClient.map (Linux) or ZANClient.def
// (Windows) keeps every other symbol inside it. The module entry is ModuleEntry_<system>.cpp.
#include "api/ZANClientModule.h"
#include "zanclient/ZANClient.h"

extern "C" {

HRESULT DllCanUnloadNow() { return CZANClientModule::CanUnloadNow(); }

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return CZANClientModule::GetClassObject(rclsid, riid, ppv);
}

HRESULT DllRegisterServer() { return CZANClientModule::RegisterServer(); }

HRESULT DllUnregisterServer() {
  return CZANClientModule::UnregisterServer();
}

}  // extern "C"
