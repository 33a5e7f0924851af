#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>

#include "platform/os/codepage.h"

extern "C" {

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
  if (cch > 0x7FFFFFF0u / sizeof(OLECHAR)) return nullptr;
  const size_t bytes = static_cast<size_t>(cch) * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  const uint32_t prefix = static_cast<uint32_t>(bytes);
  std::memcpy(block, &prefix, sizeof prefix);
  auto* text = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
  if (pch)
    std::memcpy(text, pch, bytes);
  else
    std::memset(text, 0, bytes);
  text[cch] = 0;
  return text;
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  UINT n = 0;
  while (psz[n]) ++n;
  return SysAllocStringLen(psz, n);
}

void SysFreeString(BSTR bstr) {
  if (bstr) std::free(reinterpret_cast<unsigned char*>(bstr) - sizeof(uint32_t));
}

UINT SysStringLen(BSTR bstr) {
  if (!bstr) return 0;
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<unsigned char*>(bstr) - sizeof(uint32_t), sizeof prefix);
  return prefix / sizeof(OLECHAR);
}

void* CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }
void CoTaskMemFree(void* pv) { std::free(pv); }

}  // extern "C"

namespace zan {

Bstr::Bstr(std::u16string_view text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

Bstr& Bstr::operator=(Bstr&& o) noexcept {
  if (this != &o) {
    SysFreeString(b_);
    b_ = o.b_;
    o.b_ = nullptr;
  }
  return *this;
}

BSTR* Bstr::out() {
  SysFreeString(b_);
  b_ = nullptr;
  return &b_;
}

std::u16string_view BstrView(BSTR b) { return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view(); }

std::string BstrToString(BSTR b) { return os::WideToMultiByte(BstrView(b)); }

BSTR StringToBstr(std::string_view text) {
  const std::u16string wide = os::MultiByteToWide(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace zan
