// module_path.h on POSIX: dladdr, then realpath.
#include "platform/os/module_path.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <memory>

namespace zan::os {

std::string ModulePath(const void* addressInModule) {
  Dl_info info{};
  if (!addressInModule || dladdr(addressInModule, &info) == 0 || !info.dli_fname || !*info.dli_fname) return {};
  // The loader reports the name the module was opened by; resolve it to its full form.
  std::unique_ptr<char, decltype(&free)> resolved(realpath(info.dli_fname, nullptr), &free);
  return resolved ? std::string(resolved.get()) : std::string(info.dli_fname);
}

}  // namespace zan::os
