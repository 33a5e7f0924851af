#include "platform/com/errorinfo.h"

#include <atomic>
#include <string>

#include "platform/com/bstr.h"

namespace {

class ErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
 public:
  // IUnknown, shared by both interfaces; identity is the IErrorInfo face.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IErrorInfo)
      *ppv = static_cast<IErrorInfo*>(this);
    else if (riid == IID_ICreateErrorInfo)
      *ppv = static_cast<ICreateErrorInfo*>(this);
    else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* p) override {
    if (!p) return E_INVALIDARG;
    *p = guid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* p) override { return Give(source_, p); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* p) override { return Give(description_, p); }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* p) override { return Give(helpFile_, p); }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* p) override {
    if (!p) return E_INVALIDARG;
    *p = helpContext_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID g) override {
    guid_ = g;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR s) override { return Take(source_, s); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR s) override { return Take(description_, s); }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR s) override { return Take(helpFile_, s); }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD c) override {
    helpContext_ = c;
    return S_OK;
  }

 private:
  ~ErrorInfo() = default;
  static HRESULT Give(const std::u16string& s, BSTR* p) {
    if (!p) return E_INVALIDARG;
    *p = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return *p ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT Take(std::u16string& field, LPOLESTR s) {
    field = s ? std::u16string(s) : std::u16string();
    return S_OK;
  }

  std::atomic<ULONG> refs_{1};
  GUID guid_ = GUID_NULL;
  std::u16string source_, description_, helpFile_;
  DWORD helpContext_ = 0;
};

// The calling thread's error information; released when the thread ends.
struct ThreadSlot {
  IErrorInfo* info = nullptr;
  ~ThreadSlot() {
    if (info) info->Release();
  }
};
thread_local ThreadSlot t_slot;

}  // namespace

extern "C" {

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = new (std::nothrow) ErrorInfo();
  return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  if (perrinfo) perrinfo->AddRef();
  if (t_slot.info) t_slot.info->Release();
  t_slot.info = perrinfo;
  return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (dwReserved != 0 || !pperrinfo) return E_INVALIDARG;
  *pperrinfo = t_slot.info;
  t_slot.info = nullptr;
  return *pperrinfo ? S_OK : S_FALSE;
}

}  // extern "C"
