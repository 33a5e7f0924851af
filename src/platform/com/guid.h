// GUID text forms ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}") both ways.
#ifndef ZAN_PLATFORM_COM_GUID_H_
#define ZAN_PLATFORM_COM_GUID_H_

#include <optional>
#include <string>
#include <string_view>

#include "zanclient/com.h"

namespace zan {
std::string GuidToString(const GUID& g);                      // upper-case, in braces
std::optional<GUID> GuidFromString(std::string_view text);  // braces optional, any case
}  // namespace zan

#ifndef _WIN32  // on Windows OLE Automation's own, declared by the SDK
extern "C" int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
#endif

#endif
