// The module entry of ZANClient.DLL: process attach and detach.
#include "api/ZANClientModule.h"
#include "platform/com/module_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    zan::com::TurnOffThreadNotifications(instance);
    CZANClientModule::Init();
  } else if (reason == DLL_PROCESS_DETACH) {
    CZANClientModule::Term();
  }
  return TRUE;
}
