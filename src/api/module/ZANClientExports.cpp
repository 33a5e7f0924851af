// The exports of the module ZANClient.so and its load and unload hooks. Built into the
// module only; the version script ZANClient.map keeps every other symbol inside it.
#include "api/ZANClientModule.h"
#include "zanclient/ZANClient.h"

namespace {

// Module entry, process attach: the module's state is ready before dlopen returns.
__attribute__((constructor)) void ModuleAttach() { CZANClientModule::Init(); }

// Module entry, process detach: runs at dlclose or process exit.
__attribute__((destructor)) void ModuleDetach() { CZANClientModule::Term(); }

}  // namespace

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
