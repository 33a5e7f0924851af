// IDispatch from type information, as OLE Automation and ATL provide it: the two standard
// helpers DispGetIDsOfNames and DispInvoke, and TypeInfoHolder, which serves the four IDispatch
// members of a dual interface from its registered type library.
#ifndef ZAN_PLATFORM_COM_DISPATCH_H_
#define ZAN_PLATFORM_COM_DISPATCH_H_

#include <mutex>

#include "zanclient/com.h"

#ifndef _WIN32  // on Windows OLE Automation's own, declared by the SDK
extern "C" {
// ptinfo->GetIDsOfNames; E_INVALIDARG for a null ptinfo.
HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid);
// ptinfo->Invoke on the interface pointer _this; E_INVALIDARG for a null ptinfo.
HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                   VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr);
}
#endif

namespace zan::com {

// The type information of one dual interface, loaded from its registered type library
// (LoadRegTypeLib, with the locale of the first call) on first use and then kept until
// Clear or destruction; a failed load is tried again on the next call, so late-bound calls
// work once the library is registered. Thread-safe.
class TypeInfoHolder {
 public:
  TypeInfoHolder(const GUID& libid, const IID& iid, WORD majorVersion, WORD minorVersion)
      : libid_(libid), iid_(iid), major_(majorVersion), minor_(minorVersion) {}
  ~TypeInfoHolder() { Clear(); }
  TypeInfoHolder(const TypeInfoHolder&) = delete;
  TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

  // IDispatch::GetTypeInfo: DISP_E_BADINDEX for iTInfo other than 0; the load's failure
  // (TYPE_E_LIBNOTREGISTERED ...) otherwise.
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  // IDispatch::GetIDsOfNames: DISP_E_UNKNOWNINTERFACE unless riid is GUID_NULL.
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  // IDispatch::Invoke on the interface pointer `instance` (that of the interface described):
  // DISP_E_UNKNOWNINTERFACE unless riid is GUID_NULL.
  HRESULT Invoke(void* instance, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  // Releases the kept type information (for a module's unload).
  void Clear();

 private:
  HRESULT Load(LCID lcid, ITypeInfo** out);  // one reference

  GUID libid_;
  IID iid_;
  WORD major_, minor_;
  std::mutex mutex_;
  ITypeInfo* info_ = nullptr;
};

}  // namespace zan::com

#endif
