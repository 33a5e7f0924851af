#include "cli/module.h"

#include <filesystem>
#include <system_error>

#include "cli/host_system.h"
#include "cli/local_path.h"

namespace zancli {

namespace {

// ZANCLIENT_MODULE, "" when unset or empty.
std::string EnvModule() { return EnvironmentValue("ZANCLIENT_MODULE"); }

}  // namespace

std::unique_ptr<Module> Module::Load(const std::string& path, std::string* error) {
  void* library = module_system::Open(path, error);
  if (library == nullptr) return nullptr;
  using module_system::ResolveExport;
  Exports e;
  bool ok = ResolveExport(library, "DllGetClassObject", e.DllGetClassObject, error) &&
            ResolveExport(library, "DllCanUnloadNow", e.DllCanUnloadNow, error) &&
            ResolveExport(library, "DllRegisterServer", e.DllRegisterServer, error) &&
            ResolveExport(library, "DllUnregisterServer", e.DllUnregisterServer, error) &&
            module_system::ResolveAutomation(library, &e, error);
  if (!ok) {
    *error += " (" + path + ")";
    module_system::Close(library);
    return nullptr;
  }
  return std::unique_ptr<Module>(new Module(library, path, e));
}

Module::~Module() { module_system::Close(handle_); }

std::vector<std::string> ModuleCandidates(const std::string& explicitPath) {
  if (!explicitPath.empty()) return {explicitPath};
  if (std::string env = EnvModule(); !env.empty()) return {env};
  std::vector<std::string> out = module_system::InstalledCandidates();
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
    if (!std::filesystem::exists(LocalPath(path), ec)) {
      tried += "\n  " + path;
      continue;
    }
    std::filesystem::path normalized = std::filesystem::weakly_canonical(LocalPath(path), ec);
    return Module::Load(ec ? path : Utf8Path(normalized), error);
  }
  *error = std::string("cannot find the module ") + module_system::kFileName + "; looked at:" + tried +
           "\nset ZANCLIENT_MODULE or pass --module PATH";
  return nullptr;
}

}  // namespace zancli
