// The two OLE Automation dispatch helpers of a system without OLE Automation.
#include "platform/com/dispatch.h"

extern "C" HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

extern "C" HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                              VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}
