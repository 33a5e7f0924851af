#include "platform/com/bstr.h"


#include "platform/os/codepage.h"


namespace zan {

Bstr::Bstr(std::u16string_view text) : b_(SysAllocStringLen(AsOleText(text.data()), static_cast<UINT>(text.size()))) {}

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

std::u16string_view BstrView(BSTR b) { return b ? std::u16string_view(AsUtf16(b), SysStringLen(b)) : std::u16string_view(); }

std::string BstrToString(BSTR b) { return os::WideToMultiByte(BstrView(b)); }

BSTR StringToBstr(std::string_view text) {
  const std::u16string wide = os::MultiByteToWide(text);
  return SysAllocStringLen(AsOleText(wide.data()), static_cast<UINT>(wide.size()));
}

}  // namespace zan
