// The ZANClient module as a host sees it: the shared library loaded with dlopen and its exports
// resolved by name. zan is a host, so it loads the module itself rather than through a platform
// piece of the module; nothing of the module is linked into zan.
#ifndef ZAN_CLI_MODULE_H_
#define ZAN_CLI_MODULE_H_

#include <memory>
#include <string>
#include <vector>

#include "zanclient/ZANClient.h"

namespace zancli {

// The exports of the module that a host calls.
struct Exports {
  decltype(&::DllGetClassObject) DllGetClassObject = nullptr;
  decltype(&::DllCanUnloadNow) DllCanUnloadNow = nullptr;
  decltype(&::DllRegisterServer) DllRegisterServer = nullptr;
  decltype(&::DllUnregisterServer) DllUnregisterServer = nullptr;
  decltype(&::SysAllocStringLen) SysAllocStringLen = nullptr;
  decltype(&::SysFreeString) SysFreeString = nullptr;
  decltype(&::SysStringLen) SysStringLen = nullptr;
  decltype(&::GetErrorInfo) GetErrorInfo = nullptr;
};

// One loaded module. Non-copyable; unloads the library on destruction, so every object and
// string it handed out must be released first.
class Module {
 public:
  // Loads the library at path and resolves every export; null with *error set on failure.
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
// environment variable ZANCLIENT_MODULE when set; else the install layout relative to the zan
// executable (<bindir>/<relative libdir>/ZANClient.so), the executable's own
// directory, and the module of the build tree zan was built in.
std::vector<std::string> ModuleCandidates(const std::string& explicitPath);

// Loads the first candidate that exists; null with *error listing what was tried otherwise.
std::unique_ptr<Module> FindAndLoadModule(const std::string& explicitPath, std::string* error);

}  // namespace zancli

#endif
