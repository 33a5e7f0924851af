#include "platform/dom/variant_text.h"

#include <cstdio>
#include <string>

#include "platform/com/bstr.h"
#include "platform/com/com_error.h"
#include "platform/os/codepage.h"

namespace zan::dom {

namespace {

[[noreturn]] void Mismatch() { throw _com_error(DISP_E_TYPEMISMATCH, "Type mismatch."); }

std::string FromBstr(BSTR b) { return zan::os::WideToMultiByte(zan::BstrView(b)); }

std::string FromDouble(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  return buf;
}

}  // namespace

std::string VariantToText(const VARIANT& v) {
  const VARTYPE vt = v.vt;
  if (vt & VT_BYREF) {
    if (!v.byref) Mismatch();
    switch (vt & ~VT_BYREF) {
      case VT_BSTR: return FromBstr(*v.pbstrVal);
      case VT_I2: return std::to_string(*static_cast<const int16_t*>(v.byref));
      case VT_BOOL: return std::to_string(*static_cast<const VARIANT_BOOL*>(v.byref));
      case VT_I4:
      case VT_INT: return std::to_string(*static_cast<const int32_t*>(v.byref));
      case VT_UI4:
      case VT_UINT: return std::to_string(*static_cast<const uint32_t*>(v.byref));
      case VT_I8: return std::to_string(*static_cast<const int64_t*>(v.byref));
      case VT_R8: return FromDouble(*static_cast<const double*>(v.byref));
      case VT_VARIANT: return VariantToText(*v.pvarVal);
      default: Mismatch();
    }
  }
  switch (vt) {
    case VT_EMPTY: return {};
    case VT_BSTR: return FromBstr(v.bstrVal);
    case VT_I2: return std::to_string(v.iVal);
    case VT_BOOL: return std::to_string(v.boolVal);
    case VT_I4:
    case VT_INT: return std::to_string(v.lVal);
    case VT_UI4:
    case VT_UINT: return std::to_string(static_cast<uint32_t>(v.lVal));
    case VT_I8: return std::to_string(v.llVal);
    case VT_R8: return FromDouble(v.dblVal);
    default: Mismatch();
  }
}

}  // namespace zan::dom
