#include "cli/module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "cli/host_system.h"

namespace zancli {

namespace {

// Directory of the running executable ("" when unknown).
std::string ExecutableDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

template <class F>
bool Resolve(void* handle, const char* name, F& out, std::string* error) {
  out = reinterpret_cast<F>(dlsym(handle, name));
  if (out == nullptr) *error = std::string("the module does not export ") + name;
  return out != nullptr;
}

// ZANCLIENT_MODULE, "" when unset or empty.
std::string EnvModule() { return EnvironmentValue("ZANCLIENT_MODULE"); }

}  // namespace

std::unique_ptr<Module> Module::Load(const std::string& path, std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* text = dlerror();
    *error = text ? text : ("cannot load " + path);
    return nullptr;
  }
  Exports e;
  bool ok = Resolve(handle, "DllGetClassObject", e.DllGetClassObject, error) &&
            Resolve(handle, "DllCanUnloadNow", e.DllCanUnloadNow, error) &&
            Resolve(handle, "DllRegisterServer", e.DllRegisterServer, error) &&
            Resolve(handle, "DllUnregisterServer", e.DllUnregisterServer, error) &&
            Resolve(handle, "SysAllocStringLen", e.SysAllocStringLen, error) &&
            Resolve(handle, "SysFreeString", e.SysFreeString, error) &&
            Resolve(handle, "SysStringLen", e.SysStringLen, error) &&
            Resolve(handle, "GetErrorInfo", e.GetErrorInfo, error);
  if (!ok) {
    *error += " (" + path + ")";
    dlclose(handle);
    return nullptr;
  }
  return std::unique_ptr<Module>(new Module(handle, path, e));
}

Module::~Module() { dlclose(handle_); }

std::vector<std::string> ModuleCandidates(const std::string& explicitPath) {
  if (!explicitPath.empty()) return {explicitPath};
  if (std::string env = EnvModule(); !env.empty()) return {env};
  std::vector<std::string> out;
  std::string dir = ExecutableDir();
  if (!dir.empty()) {
    out.push_back(dir + "/" ZAN_CLI_RELATIVE_LIBDIR "/ZANClient.so");
    out.push_back(dir + "/ZANClient.so");
  }
#ifdef ZAN_CLI_BUILD_TREE_MODULE
  out.push_back(ZAN_CLI_BUILD_TREE_MODULE);
#endif
  return out;
}

std::unique_ptr<Module> FindAndLoadModule(const std::string& explicitPath, std::string* error) {
  std::vector<std::string> candidates = ModuleCandidates(explicitPath);
  // An explicit choice is loaded as given, so its own failure is what the user sees.
  if (!explicitPath.empty() || !EnvModule().empty()) {
    return Module::Load(candidates.front(), error);
  }
  std::string tried;
  for (const std::string& path : candidates) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      tried += "\n  " + path;
      continue;
    }
    std::string normalized = std::filesystem::weakly_canonical(path, ec).string();
    return Module::Load(ec ? path : normalized, error);
  }
  *error = "cannot find the module ZANClient.so; looked at:" + tried +
           "\nset ZANCLIENT_MODULE or pass --module PATH";
  return nullptr;
}

}  // namespace zancli
