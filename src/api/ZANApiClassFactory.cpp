#include "api/ZANApiClassFactory.h"

#include <new>

#include "api/ZANApi.h"
#include "api/ZANClientModule.h"

IClassFactory* CZANApiClassFactory::Create() { return new (std::nothrow) CZANApiClassFactory(); }

HRESULT CZANApiClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

ULONG CZANApiClassFactory::AddRef() { return ++m_refCount; }

ULONG CZANApiClassFactory::Release() {
  const ULONG n = --m_refCount;
  if (n == 0) delete this;
  return n;
}

HRESULT CZANApiClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = nullptr;
  if (pUnkOuter && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  CZANApi* object = nullptr;
  try {
    object = new CZANApi(pUnkOuter);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
  // Hold the object while asking it for riid, so a refused query destroys it.
  IUnknown* inner = object->NonDelegatingUnknown();
  inner->AddRef();
  const HRESULT hr = inner->QueryInterface(riid, ppvObject);
  inner->Release();
  return hr;
}

HRESULT CZANApiClassFactory::LockServer(int fLock) {
  if (fLock)
    CZANClientModule::Lock();
  else
    CZANClientModule::Unlock();
  return S_OK;
}
