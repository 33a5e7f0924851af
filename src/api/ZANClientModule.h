// The in-process server module ZANClient: its state (lock count, the class map with the one
// class ZANApi and its cached class factory, the cached type description of IZANApi) and the
// work behind the four standard exports. One state per loaded module; any thread: the lock
// count is atomic and the lazy creations run under the module lock.
#ifndef ZAN_API_ZANCLIENTMODULE_H_
#define ZAN_API_ZANCLIENTMODULE_H_

#include <string>

#include "platform/com/dispatch.h"
#include "zanclient/com.h"

class CZANClientModule {
 public:
  CZANClientModule() = delete;

  // At load: makes the module's type library description known to the platform.
  static void Init();
  // At unload: releases the cached class factory. Touches only state without destructors,
  // since it may run before or after the module's static objects are destroyed (dlclose runs
  // it first, process exit last). The kept type information is released by its holder's
  // destructor; the description registry of the platform is part of this module and goes
  // with it.
  static void Term();

  // Live objects and server locks.
  static void Lock();
  static void Unlock();
  static LONG GetLockCount();
  // S_OK when the lock count is 0, else S_FALSE.
  static HRESULT CanUnloadNow();

  // The class factory of ZANApi (created on first request, then kept) asked for riid;
  // CLASS_E_CLASSNOTAVAILABLE for any other class.
  static HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
  // Runs each class's registry script in register mode, stopping at the first failure, then
  // registers the type library. The last status.
  static HRESULT RegisterServer();
  // Runs each class's script in unregister mode and unregisters the type library, ignoring
  // failures. Always S_OK.
  static HRESULT UnregisterServer();

  // The type information of IZANApi that serves IDispatch: loaded from the registered type
  // library (LIBID_ZANCLIENTLib 1.0, the caller's locale) on first success and kept until
  // unload (a function-local static).
  static zan::com::TypeInfoHolder& ApiTypeInfo();

  // The module's full file name; "" when it cannot be determined.
  static std::string GetModulePath();
};

#endif
