#include "api/ZANClientModule.h"

#include <atomic>
#include <thread>

#include "api/ModuleRegistration.h"
#include "api/ZANApiClassFactory.h"
#include "api/ZANApiTypeInfo.h"
#include "platform/com/module_registration.h"
#include "platform/os/module_path.h"
#include "zanclient/ZANClient_ids.h"

namespace {

// One entry of the class map.
struct ClassEntry {
  const CLSID* clsid;
  // Runs the class's registry script for the module at modulePath.
  HRESULT (*updateRegistry)(const std::string& modulePath, bool registerMode);
  // A new class factory with one reference, or null.
  IClassFactory* (*createClassObject)();
  IClassFactory* classObject;  // cached once created; guarded by the module lock
};

ClassEntry g_classMap[] = {
    {&CLSID_ZANApi, &zan::api::UpdateRegistryFromScript, &CZANApiClassFactory::Create, nullptr},
};

// The module state is initialised before any code of the module runs and has no destructor
// of its own: nothing of it is torn down behind Term at unload.
constinit std::atomic<LONG> g_lockCount{0};

// The module lock, guarding the lazy creation of the class factory: a spin lock, so that it
// has a constant initializer on every system (a mutex has none under winpthreads), needs no
// destructor (Term may take it after the module's static objects are gone) and owns no memory
// that would outlive an unloaded module. Held only for a creation and one QueryInterface.
constinit std::atomic_flag g_moduleLock = ATOMIC_FLAG_INIT;

class ModuleLockGuard {
 public:
  ModuleLockGuard() {
    while (g_moduleLock.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  ~ModuleLockGuard() { g_moduleLock.clear(std::memory_order_release); }
  ModuleLockGuard(const ModuleLockGuard&) = delete;
  ModuleLockGuard& operator=(const ModuleLockGuard&) = delete;
};

// An address inside this module, for finding the module's file.
void ModuleAnchor() {}

}  // namespace

void CZANClientModule::Init() { zan::com::MakeTypeLibKnown(zan::api::ZANClientTypeLib()); }

void CZANClientModule::Term() {
  ModuleLockGuard lock;
  for (ClassEntry& entry : g_classMap) {
    if (entry.classObject) entry.classObject->Release();
    entry.classObject = nullptr;
  }
}

void CZANClientModule::Lock() { ++g_lockCount; }
void CZANClientModule::Unlock() { --g_lockCount; }
LONG CZANClientModule::GetLockCount() { return g_lockCount.load(); }
HRESULT CZANClientModule::CanUnloadNow() { return g_lockCount.load() == 0 ? S_OK : S_FALSE; }

HRESULT CZANClientModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (ClassEntry& entry : g_classMap) {
    if (*entry.clsid != rclsid) continue;
    ModuleLockGuard lock;
    if (!entry.classObject) entry.classObject = entry.createClassObject();
    if (!entry.classObject) return E_OUTOFMEMORY;
    return entry.classObject->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CZANClientModule::RegisterServer() {
  const std::string path = GetModulePath();
  HRESULT hr = S_OK;
  for (const ClassEntry& entry : g_classMap) {
    hr = entry.updateRegistry(path, true);
    if (FAILED(hr)) return hr;
  }
  return zan::api::RegisterModuleTypeLib(path);
}

HRESULT CZANClientModule::UnregisterServer() {
  const std::string path = GetModulePath();
  for (const ClassEntry& entry : g_classMap) entry.updateRegistry(path, false);
  zan::api::UnregisterModuleTypeLib(path);
  return S_OK;
}

zan::com::TypeInfoHolder& CZANClientModule::ApiTypeInfo() {
  static zan::com::TypeInfoHolder holder(zanclient::kLibidZANCLIENTLib, zanclient::kIidIZANApi, 1, 0);
  return holder;
}

std::string CZANClientModule::GetModulePath() {
  return zan::os::ModulePath(reinterpret_cast<const void*>(&ModuleAnchor));
}
