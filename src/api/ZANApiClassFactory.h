// The class factory of ZANApi: creates CZANApi objects, plain or aggregated. One factory is
// created per loaded module and shared by every thread; its reference count is atomic and
// does not hold the module (LockServer does).
#ifndef ZAN_API_ZANAPICLASSFACTORY_H_
#define ZAN_API_ZANAPICLASSFACTORY_H_

#include <atomic>

#include "zanclient/com.h"

class CZANApiClassFactory final : public IClassFactory {
 public:
  // A new factory with one reference, or null when memory is short.
  static IClassFactory* Create();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // Without an outer object: a plain object asked for riid. With one: riid must be IUnknown
  // (else CLASS_E_NOAGGREGATION) and the aggregated object's own IUnknown is returned.
  // E_OUTOFMEMORY (or E_FAIL) when the object cannot be made; *ppvObject is then null.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
  // Non-zero takes one module lock, zero gives one back.
  HRESULT STDMETHODCALLTYPE LockServer(int fLock) override;

 private:
  CZANApiClassFactory() = default;
  ~CZANApiClassFactory() = default;

  std::atomic<ULONG> m_refCount{1};
};

#endif
