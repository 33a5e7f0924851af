// BSTR allocation with the Windows contract: a 32-bit byte length before the text, a
// terminating zero after it; a null BSTR is the empty string. Exported with C linkage so
// a host without a COM runtime of its own can free the strings it receives.
#ifndef ZAN_PLATFORM_COM_BSTR_H_
#define ZAN_PLATFORM_COM_BSTR_H_

#include <string>
#include <string_view>

#include "zanclient/com.h"

#ifndef _WIN32  // on Windows OLE Automation's own, declared by the SDK
extern "C" {
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);
void* CoTaskMemAlloc(size_t cb);
void CoTaskMemFree(void* pv);
}
#endif

namespace zan {

// OLECHAR is one UTF-16 code unit on every system (char16_t here, wchar_t on Windows): the
// text of a BSTR is seen as char16_t without copying.
inline const char16_t* AsUtf16(const OLECHAR* text) { return reinterpret_cast<const char16_t*>(text); }
inline const OLECHAR* AsOleText(const char16_t* text) { return reinterpret_cast<const OLECHAR*>(text); }
inline OLECHAR* AsOleText(char16_t* text) { return reinterpret_cast<OLECHAR*>(text); }

// Owns one BSTR; frees it on destruction. Non-copyable, movable.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view text);
  static Bstr Attach(BSTR b) {
    Bstr r;
    r.b_ = b;
    return r;
  }
  Bstr(Bstr&& o) noexcept : b_(o.b_) { o.b_ = nullptr; }
  Bstr& operator=(Bstr&& o) noexcept;
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }

  BSTR get() const { return b_; }
  BSTR* out();  // frees the current string; for out parameters
  std::u16string_view view() const {
    return b_ ? std::u16string_view(AsUtf16(b_), SysStringLen(b_)) : std::u16string_view();
  }

 private:
  BSTR b_ = nullptr;
};

// The text of a BSTR (null is empty), as UTF-16 and as 8-bit text in the process code page.
std::u16string_view BstrView(BSTR b);
std::string BstrToString(BSTR b);
// A new BSTR holding 8-bit text of the process code page; the caller owns it.
BSTR StringToBstr(std::string_view text);

}  // namespace zan

#endif
