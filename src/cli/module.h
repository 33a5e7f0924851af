// The ZANClient module as a host sees it: the library loaded at run time and its exports
// resolved by name. zan is a host, so it loads the module itself rather than through a platform
// piece of the module; nothing of the module is linked into zan.
#ifndef ZAN_CLI_MODULE_H_
#define ZAN_CLI_MODULE_H_

#include <memory>
#include <string>
#include <vector>

#include "zanclient/ZANClient.h"

namespace zancli {

// The calls a host makes: the module's four exports (as every in-process server has them), and
// the BSTR and error-information calls (the module's own on POSIX, the system's OLE Automation
// on Windows).
struct Exports {
  HRESULT(STDMETHODCALLTYPE* DllGetClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDMETHODCALLTYPE* DllCanUnloadNow)() = nullptr;
  HRESULT(STDMETHODCALLTYPE* DllRegisterServer)() = nullptr;
  HRESULT(STDMETHODCALLTYPE* DllUnregisterServer)() = nullptr;
  decltype(&::SysAllocStringLen) SysAllocStringLen = nullptr;
  decltype(&::SysFreeString) SysFreeString = nullptr;
  decltype(&::SysStringLen) SysStringLen = nullptr;
  decltype(&::GetErrorInfo) GetErrorInfo = nullptr;
};

// One loaded module. Non-copyable; unloads the library on destruction, so every object and
// string it handed out must be released first.
class Module {
 public:
  // Loads the library at path (UTF-8) and resolves every call; null with *error set on failure.
  static std::unique_ptr<Module> Load(const std::string& path, std::string* error);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  const Exports& exports() const { return exports_; }
  const std::string& path() const { return path_; }

 private:
  Module(void* handle, std::string path, const Exports& exports)
      : handle_(handle), path_(std::move(path)), exports_(exports) {}

  void* handle_;
  std::string path_;
  Exports exports_;
};

// The places the module is looked for, in order: explicitPath (--module) when given; else the
// environment variable ZANCLIENT_MODULE when set; else the system's places beside the zan
// executable (module_system::InstalledCandidates), then the module of the build tree zan was
// built in.
std::vector<std::string> ModuleCandidates(const std::string& explicitPath);

// Loads the first candidate that exists; null with *error listing what was tried otherwise.
std::unique_ptr<Module> FindAndLoadModule(const std::string& explicitPath, std::string* error);

// The system's side of loading, one backend per system (module_posix.cpp: dlopen;
// module_win32.cpp: LoadLibraryW).
namespace module_system {

// The module's file name: "ZANClient.so" or "ZANClient.DLL".
extern const char kFileName[];
// How `zan register` records the registration, for the help text.
extern const char kRegistryNote[];

// Opens the library at path (UTF-8); null with *error set to the system's reason on failure.
// The handle is for Symbol and Close only.
void* Open(const std::string& path, std::string* error);
// The address of the library's export name; null when it has none.
void* Symbol(void* library, const char* name);
// Unloads the library; every object and string of it must have been released.
void Close(void* library);
// Fills the BSTR and error-information calls of *e; false with *error set when one is missing.
bool ResolveAutomation(void* library, Exports* e, std::string* error);

// Where an installed module lies relative to the running zan executable, in order (none when
// the executable's own path is unknown).
std::vector<std::string> InstalledCandidates();

// Sets out to the library's export name; false with *error naming it when there is none.
template <class F>
bool ResolveExport(void* library, const char* name, F& out, std::string* error) {
  out = reinterpret_cast<F>(Symbol(library, name));
  if (out == nullptr) *error = std::string("the module does not export ") + name;
  return out != nullptr;
}

}  // namespace module_system

}  // namespace zancli

#endif
