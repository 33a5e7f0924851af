// module_path.h on Windows: the module handle of an address and its full file name.
#include <windows.h>

#include "platform/os/module_path.h"
#include "platform/os/win32_text.h"

namespace zan::os {

std::string ModulePath(const void* addressInModule) {
  HMODULE module = nullptr;
  if (!addressInModule ||
      !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(addressInModule), &module)) {
    return {};
  }
  // The name may be longer than MAX_PATH: grow until it fits (a cut name fills the buffer).
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return internal::Narrow(name);
    }
    if (name.size() >= 32768) return {};
    name.resize(name.size() * 2);
  }
}

}  // namespace zan::os
