#include "platform/com/progid.h"

#include <cstring>
#include <string>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/registry.h"
#include "platform/os/codepage.h"

extern "C" HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (!lplpszProgID) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  std::string progId;
  const HRESULT hr = zan::reg::QueryValue("CLSID\\" + zan::GuidToString(clsid) + "\\ProgID", "", &progId);
  if (hr == zan::reg::kNotFound || hr == zan::reg::kUnsupportedType) return REGDB_E_CLASSNOTREG;
  if (FAILED(hr)) return hr;
  const std::u16string wide = zan::os::MultiByteToWide(progId);
  auto* out = static_cast<OLECHAR*>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
  if (!out) return E_OUTOFMEMORY;
  std::memcpy(out, wide.data(), wide.size() * sizeof(OLECHAR));
  out[wide.size()] = 0;
  *lplpszProgID = out;
  return S_OK;
}

extern "C" HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  *lpclsid = GUID_NULL;
  const std::string progId = zan::os::WideToMultiByte(std::u16string_view(lpszProgID));
  if (!zan::reg::IsValidKeyName(progId)) return CO_E_CLASSSTRING;
  std::string text;
  const HRESULT hr = zan::reg::QueryValue(progId + "\\CLSID", "", &text);
  if (hr == zan::reg::kNotFound || hr == zan::reg::kUnsupportedType) return CO_E_CLASSSTRING;
  if (FAILED(hr)) return hr;
  const auto clsid = zan::GuidFromString(text);
  if (!clsid) return CO_E_CLASSSTRING;
  *lpclsid = *clsid;
  return S_OK;
}
