// Late-bound calls by description: name lookup and Invoke for a dual interface described by
// an InterfaceDesc, calling the object's vtable slot directly (the COM binary convention: an
// interface pointer points at a pointer to an array of function pointers, each taking the
// interface pointer first). Used by the type information objects (typeinfo.h).
#ifndef ZAN_PLATFORM_COM_INVOKE_H_
#define ZAN_PLATFORM_COM_INVOKE_H_

#include "platform/com/typelib_desc.h"
#include "zanclient/com.h"

namespace zan::tlb {

// rgszNames[0] names a method, the following names its in parameters; names compare
// ASCII case-insensitively. A method's DISPID is its dispatch identifier, a parameter's is
// its position (0 for the first). Unknown names get DISPID_UNKNOWN and the call returns
// DISP_E_UNKNOWNNAME (an unknown method leaves every DISPID unknown).
HRESULT IdsOfNames(const InterfaceDesc& itf, LPOLESTR* rgszNames, UINT cNames, DISPID* rgDispId);

// Calls method m of the interface pointer `instance` with the arguments of DISPPARAMS
// (positional arguments in reverse order, named ones by parameter position) and the
// platform's failure statuses:
//  - wFlags without DISPATCH_METHOD: DISP_E_MEMBERNOTFOUND;
//  - argument count other than the in-parameter count: DISP_E_BADPARAMCOUNT;
//  - a named argument with no such parameter, or given twice: DISP_E_PARAMNOTFOUND;
//  - an argument that is not VT_BSTR, VT_BSTR|VT_BYREF, VT_VARIANT|VT_BYREF to one of
//    those, or VT_EMPTY (a null string, as OLE coerces Empty): DISP_E_TYPEMISMATCH; a
//    missing argument (VT_ERROR with DISP_E_PARAMNOTFOUND): DISP_E_PARAMNOTOPTIONAL;
//    *puArgErr then gets the argument's index in rgvarg.
// The thread's error information is cleared before the call. When the method fails, the
// result is DISP_E_EXCEPTION and *pExcepInfo (when given) gets source, description, help
// file and context from the thread's error information (taken, so cleared) and scode = the
// method's status; without pExcepInfo the error information stays for the caller. On
// success the out-retval string goes to *pVarResult as VT_BSTR (the caller owns it; freed
// when pVarResult is null); a method without one leaves VT_EMPTY there.
HRESULT InvokeMethod(void* instance, const MethodDesc& m, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                     EXCEPINFO* pExcepInfo, UINT* puArgErr);

}  // namespace zan::tlb

#endif
