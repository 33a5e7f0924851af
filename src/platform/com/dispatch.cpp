#include "platform/com/dispatch.h"

#include "platform/com/typelib.h"

namespace zan::com {

HRESULT TypeInfoHolder::Load(LCID lcid, ITypeInfo** out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!info_) {
    ITypeLib* lib = nullptr;
    if (HRESULT hr = LoadRegTypeLib(libid_, major_, minor_, lcid, &lib); FAILED(hr)) return hr;
    const HRESULT hr = lib->GetTypeInfoOfGuid(iid_, &info_);
    lib->Release();
    if (FAILED(hr)) {
      info_ = nullptr;
      return hr;
    }
  }
  info_->AddRef();
  *out = info_;
  return S_OK;
}

void TypeInfoHolder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (info_) info_->Release();
  info_ = nullptr;
}

HRESULT TypeInfoHolder::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_POINTER;
  *ppTInfo = nullptr;
  if (iTInfo != 0) return DISP_E_BADINDEX;
  return Load(lcid, ppTInfo);
}

HRESULT TypeInfoHolder::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) {
  if (riid != GUID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  if (HRESULT hr = Load(lcid, &info); FAILED(hr)) return hr;
  const HRESULT hr = info->GetIDsOfNames(rgszNames, cNames, rgDispId);
  info->Release();
  return hr;
}

HRESULT TypeInfoHolder::Invoke(void* instance, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                               DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (riid != GUID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  if (HRESULT hr = Load(lcid, &info); FAILED(hr)) return hr;
  const HRESULT hr = info->Invoke(instance, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
  info->Release();
  return hr;
}

}  // namespace zan::com
