// CZANApi: identity, lifetime, dispatch, the connection step and the operation frame. The
// operations themselves are in ZANApiNodes.cpp and ZANApiDocuments.cpp.
#include "api/ZANApi.h"

#include <new>
#include <utility>

#include "api/ZANClientModule.h"
#include "base/FileUtils.h"
#include "base/GenException.h"
#include "engine/ZanDavEngine.h"
#include "platform/com/bstr.h"
#include "platform/com/com_error.h"
#include "xml/XMLSet.h"

namespace {
constexpr char kClassName[] = "CZANApi";
}  // namespace

CZANApi::CZANApi(IUnknown* outer, std::unique_ptr<CZanEngine> engine)
    : m_outer(outer ? outer : &m_inner),
      m_engine(engine ? std::move(engine) : std::make_unique<CZanDavEngine>()) {
  CZANClientModule::Lock();
}

CZANApi::~CZANApi() { CZANClientModule::Unlock(); }

// --- identity and lifetime ---

HRESULT CZANApi::InnerUnknown::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  const bool aggregated = m_owner.m_outer != this;
  if (riid == IID_IUnknown && aggregated) {
    *ppv = static_cast<IUnknown*>(this);  // the inner identity, held only by the outer object
  } else if (riid == IID_IUnknown || riid == IID_IZANApi || riid == IID_IDispatch) {
    *ppv = static_cast<IZANApi*>(&m_owner);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

ULONG CZANApi::InnerUnknown::AddRef() { return ++m_owner.m_refCount; }

ULONG CZANApi::InnerUnknown::Release() {
  const ULONG n = --m_owner.m_refCount;
  if (n == 0) delete &m_owner;
  return n;
}

HRESULT CZANApi::QueryInterface(REFIID riid, void** ppv) { return m_outer->QueryInterface(riid, ppv); }
ULONG CZANApi::AddRef() { return m_outer->AddRef(); }
ULONG CZANApi::Release() { return m_outer->Release(); }

// --- IDispatch ---

HRESULT CZANApi::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT CZANApi::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
  return CZANClientModule::ApiTypeInfo().GetTypeInfo(iTInfo, lcid, ppTInfo);
}

HRESULT CZANApi::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) {
  return CZANClientModule::ApiTypeInfo().GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
}

HRESULT CZANApi::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  return CZANClientModule::ApiTypeInfo().Invoke(static_cast<IZANApi*>(this), dispIdMember, riid, lcid, wFlags,
                                                pDispParams, pVarResult, pExcepInfo, puArgErr);
}

// --- the connection step and the operation frame ---

HRESULT CZANApi::Connect(BSTR serverUrl) {
  const std::string url = CFileUtils::RemoveTrailingSlash(zan::BstrToString(serverUrl));
  try {
    if (m_engine->IsConnected(url)) return S_OK;
    XMLSet scratch;
    return m_engine->InitToZanServer(url, scratch) ? S_OK : E_FAIL;
  } catch (const _com_error& e) {
    return CGenException(e, "", "").ReportToCaller(CLSID_ZANApi);
  } catch (const CGenException& e) {
    return e.ReportToCaller(CLSID_ZANApi);
  }
}

HRESULT CZANApi::Run(const char* operation, Catch catchKind, BSTR serverUrl, BodyRef body) noexcept {
  try {
    HRESULT status = S_FALSE;
    try {
      status = Connect(serverUrl);
    } catch (...) {
      // Failures the connection step does not handle itself leave the status at 1; the
      // operation goes on and meets the engine's own connection check.
    }
    if (FAILED(status)) return status;

    const bool named = catchKind != Catch::kPlain;
    try {
      body();
      return S_OK;
    } catch (const _com_error& e) {
      return CGenException(e, named ? kClassName : "", named ? operation : "").ReportToCaller(CLSID_ZANApi);
    } catch (CGenException& e) {
      if (catchKind == Catch::kDocument)
        e.AddContext(e.GetErrorDescription(), e.GetErrorCode(), kClassName, operation);
      return e.ReportToCaller(CLSID_ZANApi);
    } catch (const std::bad_alloc&) {
      return CGenException("Out of memory", E_OUTOFMEMORY, kClassName, operation).ReportToCaller(CLSID_ZANApi);
    } catch (HRESULT bareStatus) {
      // A platform component that could not be created reports its bare status.
      return CGenException("Unknown Error.", bareStatus, kClassName, operation).ReportToCaller(CLSID_ZANApi);
    } catch (...) {
      return CGenException("Unknown Error.", 1, kClassName, operation).ReportToCaller(CLSID_ZANApi);
    }
  } catch (...) {
    return E_OUTOFMEMORY;  // building the report ran out of memory; nothing may leave the interface
  }
}

void CZANApi::SetResult(BSTR* out, const std::string& text) {
  BSTR result = zan::StringToBstr(text);
  if (!result) throw std::bad_alloc();
  *out = result;
}

void CZANApi::RequireDone(bool done, const char* operation, const std::string& item) {
  if (!done) throw CGenException(std::string(operation) + " did not complete for " + item, 1, kClassName, operation);
}
