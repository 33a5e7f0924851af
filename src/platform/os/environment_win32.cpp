// environment.h on Windows: the wide-character environment and the user's profile directory.
#include <windows.h>

#include "platform/os/environment.h"
#include "platform/os/win32_text.h"

namespace zan::os {

namespace {

std::wstring WideValue(const wchar_t* name) {
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD n = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    if (n < value.size()) {
      value.resize(n);
      return value;
    }
    value.resize(n);  // n counts the terminator when the buffer was too small
  }
}

}  // namespace

std::string EnvironmentValue(const char* name) {
  const std::wstring wideName = internal::Wide(name);
  return internal::Narrow(WideValue(wideName.c_str()));
}

std::string HomeDirectory() {
  if (std::wstring home = WideValue(L"USERPROFILE"); !home.empty()) return internal::Narrow(home);
  const std::wstring drive = WideValue(L"HOMEDRIVE");
  const std::wstring path = WideValue(L"HOMEPATH");
  if (!drive.empty() && !path.empty()) return internal::Narrow(drive + path);
  return ".";
}

std::string TemporaryDirectory() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
  if (n == 0 || n > MAX_PATH + 1) return ".\\";
  std::string out = internal::Narrow(std::wstring_view(buffer, n));
  if (out.back() != '\\' && out.back() != '/') out += '\\';
  return out;
}

}  // namespace zan::os
