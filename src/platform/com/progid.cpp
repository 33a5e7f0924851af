#include "platform/com/errorinfo.h"

// No class registry is present yet: every lookup fails, and callers then set no source.
extern "C" HRESULT ProgIDFromCLSID(REFCLSID, LPOLESTR* lplpszProgID) {
  if (!lplpszProgID) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  return REGDB_E_CLASSNOTREG;
}
