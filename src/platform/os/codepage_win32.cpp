// codepage.h on Windows: lead bytes by the system's table of the module's code page, and the
// path text for the wide-character calls (win32_text.h).
#include <windows.h>

#include "platform/os/codepage.h"
#include "platform/os/win32_text.h"

namespace zan::os {

bool IsDBCSLeadByte(unsigned char b) {
  const unsigned codePage = GetACP();
  return codePage != kCodePageUtf8 && ::IsDBCSLeadByteEx(codePage, b) != FALSE;
}

namespace internal {

std::wstring Wide(std::string_view text) {
  const unsigned codePage = GetACP();
  if (codePage == kCodePageUtf8) {
    const std::u16string wide = MultiByteToWide(text);
    return std::wstring(wide.begin(), wide.end());
  }
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view text) {
  const unsigned codePage = GetACP();
  if (codePage == kCodePageUtf8) return WideToMultiByte(std::u16string(text.begin(), text.end()));
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace internal

}  // namespace zan::os
