// A small dual interface for the dispatch tests, its type library description and an object
// that implements it with IDispatch served from the registered library.
#ifndef ZAN_TESTS_PLATFORM_COM_TEST_INTERFACE_H_
#define ZAN_TESTS_PLATFORM_COM_TEST_INTERFACE_H_

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/dispatch.h"
#include "platform/com/errorinfo.h"
#include "platform/com/typelib_desc.h"
#include "platform/os/codepage.h"

namespace zan::test {

inline constexpr GUID kTestLibId = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
inline constexpr IID kTestIid = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {0xDD, 0xDD, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}};
inline constexpr CLSID kTestClsid = {0x99999999, 0x8888, 0x7777, {0x66, 0x66, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

// No virtual destructor: the vtable is IUnknown, IDispatch, then these in order.
struct ITest : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Concat(BSTR first, BSTR second, BSTR* result) = 0;  // slot 7
  virtual HRESULT STDMETHODCALLTYPE Fail(BSTR message) = 0;                             // slot 8
  virtual HRESULT STDMETHODCALLTYPE Hello(BSTR* result) = 0;                            // slot 9
  virtual HRESULT STDMETHODCALLTYPE Six(BSTR a, BSTR b, BSTR c, BSTR d, BSTR e, BSTR f, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Nothing() = 0;  // slot 11
};

inline tlb::TypeLibDesc MakeTestLibrary() {
  tlb::TypeLibDesc lib;
  lib.libid = kTestLibId;
  lib.name = "TESTLib";
  lib.helpString = "Test 1.0 Type Library";
  tlb::InterfaceDesc itf;
  itf.iid = kTestIid;
  itf.name = "ITest";
  itf.helpString = "ITest Interface";
  itf.methods = {
      {"Concat", 1, 7, {{"First"}, {"Second"}, {"Result", true}}, "method Concat"},
      {"Fail", 5, 8, {{"Message"}}, "method Fail"},
      {"Hello", 2, 9, {{"Result", true}}, "method Hello"},
      {"Six", 3, 10, {{"a"}, {"b"}, {"c"}, {"d"}, {"e"}, {"f"}, {"Result", true}}, "method Six"},
      {"Nothing", 4, 11, {}, "method Nothing"},
  };
  lib.interfaces.push_back(itf);
  lib.coclasses.push_back({kTestClsid, "Test", "Test Class", kTestIid});
  return lib;
}

// The object: methods record their calls; IDispatch comes from the registered library.
class TestObject final : public ITest {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kTestIid) {
      *ppv = static_cast<ITest*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the stack

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** pp) override {
    return Holder().GetTypeInfo(i, lcid, pp);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT c, LCID lcid, DISPID* ids) override {
    return Holder().GetIDsOfNames(riid, names, c, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* dp, VARIANT* result,
                                   EXCEPINFO* ei, UINT* argErr) override {
    return Holder().Invoke(static_cast<ITest*>(this), id, riid, lcid, flags, dp, result, ei, argErr);
  }

  HRESULT STDMETHODCALLTYPE Concat(BSTR first, BSTR second, BSTR* result) override {
    calls += "Concat(" + Text(first) + "," + Text(second) + ")";
    *result = StringToBstr(Text(first) + Text(second));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Fail(BSTR message) override {
    calls += "Fail(" + Text(message) + ")";
    if (message) {
      ICreateErrorInfo* create = nullptr;
      CreateErrorInfo(&create);
      create->SetSource(const_cast<LPOLESTR>(u"Test.Source"));
      Bstr description(BstrView(message));
      create->SetDescription(description.get());
      create->SetHelpContext(7);
      IErrorInfo* info = nullptr;
      create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
      SetErrorInfo(0, info);
      info->Release();
      create->Release();
    }
    return static_cast<HRESULT>(0x80040066);
  }
  HRESULT STDMETHODCALLTYPE Hello(BSTR* result) override {
    calls += "Hello()";
    *result = StringToBstr("hello");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Six(BSTR a, BSTR b, BSTR c, BSTR d, BSTR e, BSTR f, BSTR* result) override {
    const std::string all = Text(a) + Text(b) + Text(c) + Text(d) + Text(e) + Text(f);
    calls += "Six(" + all + ")";
    *result = StringToBstr(all);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Nothing() override {
    calls += "Nothing()";
    return S_FALSE;
  }

  static com::TypeInfoHolder& Holder() {
    static com::TypeInfoHolder holder(kTestLibId, kTestIid, 1, 0);
    return holder;
  }

  std::string calls;

 private:
  static std::string Text(BSTR b) { return b ? BstrToString(b) : "<null>"; }
  ULONG refs_ = 1;
};

}  // namespace zan::test

#endif
