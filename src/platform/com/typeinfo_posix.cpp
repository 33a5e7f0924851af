#include "platform/com/typeinfo.h"

#include <atomic>
#include <new>
#include <string>

#include "platform/com/bstr.h"
#include "platform/com/invoke.h"

namespace zan::tlb {

namespace {

// Gives one string to an optional out parameter.
void Give(BSTR* out, const std::string& text) {
  if (out) *out = StringToBstr(text);
}

// The answer of GetDocumentation: name and help string, no help context or file.
HRESULT GiveDocumentation(const std::string& name, const std::string& help, BSTR* pBstrName, BSTR* pBstrDocString,
                          DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  Give(pBstrName, name);
  Give(pBstrDocString, help);
  if (pdwHelpContext) *pdwHelpContext = 0;
  if (pBstrHelpFile) *pBstrHelpFile = nullptr;
  return S_OK;
}

// Reference counting and QueryInterface for one interface.
template <typename Interface>
class RefCounted : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == Iid()) {
      *ppv = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

 protected:
  virtual ~RefCounted() = default;

 private:
  static const IID& Iid();
  std::atomic<ULONG> refs_{1};
};

template <>
const IID& RefCounted<ITypeInfo>::Iid() {
  return IID_ITypeInfo;
}
template <>
const IID& RefCounted<ITypeLib>::Iid() {
  return IID_ITypeLib;
}

class TypeLib final : public RefCounted<ITypeLib> {
 public:
  explicit TypeLib(const TypeLibDesc& desc) : desc_(desc) {}
  const TypeLibDesc& desc() const { return desc_; }

  UINT STDMETHODCALLTYPE GetTypeInfoCount() override {
    return static_cast<UINT>(desc_.interfaces.size() + desc_.coclasses.size());
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) override {
    if (!pTKind) return E_INVALIDARG;
    if (index >= GetTypeInfoCount()) return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = index < desc_.interfaces.size() ? TKIND_DISPATCH : TKIND_COCLASS;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override {
    if (!ppTinfo) return E_INVALIDARG;
    *ppTinfo = nullptr;
    for (size_t i = 0; i < desc_.interfaces.size(); ++i)
      if (desc_.interfaces[i].iid == guid) return GetTypeInfo(static_cast<UINT>(i), ppTinfo);
    for (size_t i = 0; i < desc_.coclasses.size(); ++i)
      if (desc_.coclasses[i].clsid == guid) return GetTypeInfo(static_cast<UINT>(desc_.interfaces.size() + i), ppTinfo);
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) override {
    if (!ppTLibAttr) return E_INVALIDARG;
    *ppTLibAttr =
        new (std::nothrow) TLIBATTR{desc_.libid, desc_.lcid, SYS_LINUX64, desc_.majorVersion, desc_.minorVersion, 0};
    return *ppTLibAttr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                             BSTR* pBstrHelpFile) override {
    const std::string* name = nullptr;
    const std::string* help = nullptr;
    const size_t interfaces = desc_.interfaces.size();
    if (index == -1) {
      name = &desc_.name;
      help = &desc_.helpString;
    } else if (index >= 0 && static_cast<size_t>(index) < interfaces) {
      name = &desc_.interfaces[static_cast<size_t>(index)].name;
      help = &desc_.interfaces[static_cast<size_t>(index)].helpString;
    } else if (index >= 0 && static_cast<size_t>(index) < interfaces + desc_.coclasses.size()) {
      name = &desc_.coclasses[static_cast<size_t>(index) - interfaces].name;
      help = &desc_.coclasses[static_cast<size_t>(index) - interfaces].helpString;
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    return GiveDocumentation(*name, *help, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
  }
  HRESULT STDMETHODCALLTYPE IsName(LPOLESTR, ULONG, BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, USHORT*) override { return E_NOTIMPL; }
  void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) override { delete pTLibAttr; }

 private:
  const TypeLibDesc& desc_;
};

// The type information of one interface (itf set) or one coclass (coclass set). Holds a
// reference to its library.
class TypeInfo final : public RefCounted<ITypeInfo> {
 public:
  TypeInfo(TypeLib* lib, UINT index, const InterfaceDesc* itf, const CoClassDesc* coclass)
      : lib_(lib), index_(index), itf_(itf), coclass_(coclass) {
    lib_->AddRef();
  }

  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override {
    if (!pcNames || (cMaxNames && !rgBstrNames)) return E_INVALIDARG;
    *pcNames = 0;
    const MethodDesc* m = itf_ ? itf_->FindMethod(memid) : nullptr;
    if (!m) return TYPE_E_ELEMENTNOTFOUND;
    if (cMaxNames == 0) return S_OK;
    rgBstrNames[(*pcNames)++] = StringToBstr(m->name);
    for (size_t i = 0; i < m->params.size() && *pcNames < cMaxNames; ++i)
      rgBstrNames[(*pcNames)++] = StringToBstr(m->params[i].name);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override {
    if (!itf_) {
      if (!pMemId) return E_INVALIDARG;
      for (UINT i = 0; i < cNames; ++i) pMemId[i] = DISPID_UNKNOWN;
      return cNames ? DISP_E_UNKNOWNNAME : S_OK;
    }
    return IdsOfNames(*itf_, rgszNames, cNames, pMemId);
  }
  HRESULT STDMETHODCALLTYPE Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    const MethodDesc* m = itf_ ? itf_->FindMethod(memid) : nullptr;
    if (!m) return DISP_E_MEMBERNOTFOUND;
    return InvokeMethod(pvInstance, *m, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
  }
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                             DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override {
    const std::string* name = nullptr;
    const std::string* help = nullptr;
    if (memid == MEMBERID_NIL) {
      name = itf_ ? &itf_->name : &coclass_->name;
      help = itf_ ? &itf_->helpString : &coclass_->helpString;
    } else if (const MethodDesc* m = itf_ ? itf_->FindMethod(memid) : nullptr) {
      name = &m->name;
      help = &m->helpString;
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    return GiveDocumentation(*name, *help, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
  }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override {
    if (ppTLib) {
      *ppTLib = lib_;
      lib_->AddRef();
    }
    if (pIndex) *pIndex = index_;
    return S_OK;
  }
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR*) override {}
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

 private:
  ~TypeInfo() override { lib_->Release(); }

  TypeLib* lib_;
  UINT index_;
  const InterfaceDesc* itf_;
  const CoClassDesc* coclass_;
};

HRESULT TypeLib::GetTypeInfo(UINT index, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = nullptr;
  const size_t interfaces = desc_.interfaces.size();
  if (index >= GetTypeInfoCount()) return TYPE_E_ELEMENTNOTFOUND;
  if (index < interfaces)
    *ppTInfo = new (std::nothrow) TypeInfo(this, index, &desc_.interfaces[index], nullptr);
  else
    *ppTInfo = new (std::nothrow) TypeInfo(this, index, nullptr, &desc_.coclasses[index - interfaces]);
  return *ppTInfo ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT LoadTypeLibFromDescription(const TypeLibDesc& desc, ITypeLib** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (HRESULT hr = Validate(desc); FAILED(hr)) return hr;
  *out = new (std::nothrow) TypeLib(desc);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace zan::tlb
