// ProgIDs over the registry (registry.h): the ProgID registered for a class
// (HKCR\CLSID\{clsid}\ProgID) and the class registered for a ProgID (HKCR\<ProgID>\CLSID).
// Exported with C linkage and the Windows signatures.
#ifndef ZAN_PLATFORM_COM_PROGID_H_
#define ZAN_PLATFORM_COM_PROGID_H_

#include "zanclient/com.h"

extern "C" {
// *lplpszProgID gets a null-terminated UTF-16 string the caller frees with CoTaskMemFree;
// REGDB_E_CLASSNOTREG (and null) when the class has no ProgID.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
// CO_E_CLASSSTRING (and GUID_NULL) when the ProgID is not registered or its CLSID is not a GUID.
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
}

#endif
