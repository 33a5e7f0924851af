// The BSTR allocator of a system without OLE Automation: a 32-bit byte length before the
// text, a terminating zero after it, on the C heap.
#include <cstdlib>
#include <cstring>

#include "platform/com/bstr.h"

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
