// Loads the installed module, creates a ZANApi object through its class factory, calls
// GetProjects with an empty server URL and expects "not connected" (0x80040067) with the
// error's text in the thread's error information. Exit 0 when all of that holds.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "zanclient/ZANClient.h"

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "host: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  if (std::string(ZANCLIENT_MODULE_PATH) != ZANCLIENT_MODULE_VARIABLE) return Fail("module path and variable differ");
  void* module = dlopen(ZANCLIENT_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!module) return Fail(dlerror());
  auto getClassObject = reinterpret_cast<decltype(&DllGetClassObject)>(dlsym(module, "DllGetClassObject"));
  auto allocString = reinterpret_cast<decltype(&SysAllocString)>(dlsym(module, "SysAllocString"));
  auto freeString = reinterpret_cast<decltype(&SysFreeString)>(dlsym(module, "SysFreeString"));
  auto getErrorInfo = reinterpret_cast<decltype(&GetErrorInfo)>(dlsym(module, "GetErrorInfo"));
  if (!getClassObject || !allocString || !freeString || !getErrorInfo) return Fail("missing export");

  IClassFactory* factory = nullptr;
  if (getClassObject(zanclient::kClsidZANApi, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK)
    return Fail("DllGetClassObject");
  IZANApi* api = nullptr;
  HRESULT hr = factory->CreateInstance(nullptr, zanclient::kIidIZANApi, reinterpret_cast<void**>(&api));
  factory->Release();
  if (hr != S_OK) return Fail("CreateInstance");

  BSTR server = allocString(u"");
  BSTR response = nullptr;
  hr = api->GetProjects(server, &response);
  freeString(server);
  freeString(response);
  int status = 0;
  if (static_cast<uint32_t>(hr) != 0x80040067u) status = Fail("GetProjects did not report 0x80040067");

  IErrorInfo* info = nullptr;
  BSTR text = nullptr;
  if (getErrorInfo(0, &info) != S_OK || !info || info->GetDescription(&text) != S_OK) {
    status = Fail("no error information");
  } else {
    std::u16string description(text);
    if (description.find(u"The ZAN Server is not Connected") == std::u16string::npos)
      status = Fail("unexpected error text");
  }
  freeString(text);
  if (info) info->Release();
  api->Release();
  dlclose(module);
  if (status == 0) std::puts("host: GetProjects(\"\") = 0x80040067, The ZAN Server is not Connected");
  return status;
}
