// The platform's standard conversion of an automation value to text (VariantChangeType to
// VT_BSTR with no flags), as the DOM applies it to values given as VARIANT.
#ifndef ZAN_PLATFORM_DOM_VARIANT_TEXT_H_
#define ZAN_PLATFORM_DOM_VARIANT_TEXT_H_

#include <string>

#include "zanclient/com.h"

namespace zan::dom {

// The text form (UTF-8) of a value: VT_EMPTY "", VT_BSTR its text (null: ""), integers in
// decimal, VT_R8 with up to 15 significant digits ("1.5", "1E+20"), VT_BOOL as the number
// it holds ("-1" for VARIANT_TRUE, "0" for VARIANT_FALSE), a VT_BYREF value as the value it
// points to. Anything else (VT_NULL, VT_ERROR, objects, ...) raises
// _com_error(DISP_E_TYPEMISMATCH).
std::string VariantToText(const VARIANT& value);

}  // namespace zan::dom

#endif
