// Per-thread COM error information: the error-information object and the three calls
// that create, install and fetch it. Exported with C linkage and the Windows signatures.
#ifndef ZAN_PLATFORM_COM_ERRORINFO_H_
#define ZAN_PLATFORM_COM_ERRORINFO_H_

#include "zanclient/com.h"

#ifndef _WIN32  // on Windows OLE Automation's own, declared by the SDK
extern "C" {
// A new, empty error-information object; *pperrinfo gets one reference.
HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
// Installs perrinfo (may be null) as the calling thread's error information, replacing
// and releasing the previous one. dwReserved must be 0.
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
// Hands the calling thread's error information to the caller and clears it: S_OK with
// one reference, or S_FALSE and null when there is none.
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
// The ProgID registered for a class; *lplpszProgID is freed with CoTaskMemFree.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
}
#endif

#endif
