// Loading the module on POSIX: dlopen. The module itself carries the BSTR and
// error-information calls (there is no system OLE Automation to take them from).
#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "cli/module.h"

namespace zancli::module_system {

namespace {

// Directory of the running executable ("" when unknown).
std::string ExecutableDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

}  // namespace

const char kFileName[] = "ZANClient.so";
const char kRegistryNote[] =
    "The registry is the file $ZANCLIENT_REGISTRY, else $XDG_DATA_HOME/zanclient/registry, else "
    "~/.local/share/zanclient/registry.";

void* Open(const std::string& path, std::string* error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* text = dlerror();
    *error = text ? text : ("cannot load " + path);
  }
  return library;
}

void* Symbol(void* library, const char* name) { return dlsym(library, name); }

void Close(void* library) { dlclose(library); }

bool ResolveAutomation(void* library, Exports* e, std::string* error) {
  return ResolveExport(library, "SysAllocStringLen", e->SysAllocStringLen, error) &&
         ResolveExport(library, "SysFreeString", e->SysFreeString, error) &&
         ResolveExport(library, "SysStringLen", e->SysStringLen, error) &&
         ResolveExport(library, "GetErrorInfo", e->GetErrorInfo, error);
}

std::vector<std::string> InstalledCandidates() {
  std::string dir = ExecutableDir();
  if (dir.empty()) return {};
  // <bindir>/<libdir relative to bindir>/ZANClient.so, then beside zan.
  return {dir + "/" ZAN_CLI_RELATIVE_LIBDIR "/" + std::string(kFileName), dir + "/" + std::string(kFileName)};
}

}  // namespace zancli::module_system
