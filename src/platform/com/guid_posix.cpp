// StringFromGUID2 of a system without OLE: the GUID's text in braces, as UTF-16.
#include "platform/com/guid.h"

extern "C" int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  const std::string s = zan::GuidToString(rguid);
  if (!lpsz || cchMax < static_cast<int>(s.size()) + 1) return 0;
  for (size_t i = 0; i < s.size(); ++i) lpsz[i] = static_cast<OLECHAR>(s[i]);
  lpsz[s.size()] = 0;
  return static_cast<int>(s.size()) + 1;
}
