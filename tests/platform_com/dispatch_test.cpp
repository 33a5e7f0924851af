#include "platform/com/dispatch.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "platform/com/typelib.h"
#include "registry_fixture.h"
#include "support/com_failure.h"
#include "test_interface.h"

namespace zan::test {
namespace {

class Dispatch : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    TestObject::Holder().Clear();
    tlb::RegisterTypeLibDescription(&desc_);
    ASSERT_EQ(tlb::RegisterTypeLib(desc_, "/opt/t/test.so", "/opt/t"), S_OK);
  }
  void TearDown() override {
    TestObject::Holder().Clear();
    tlb::UnregisterTypeLibDescription(&desc_);
    for (BSTR b : strings_) SysFreeString(b);
    SetErrorInfo(0, nullptr);
    RegistryTest::TearDown();
  }

  // Argument makers; the fixture owns what they allocate.
  VARIANT S(const char* text) {
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = Keep(text);
    return v;
  }
  VARIANT Ref(const char* text) {
    VARIANT v{};
    v.vt = VT_BSTR | VT_BYREF;
    strings_.push_back(StringToBstr(text));
    v.pbstrVal = &strings_.back();
    return v;
  }
  VARIANT VarRef(VARIANT inner) {
    variants_.push_back(inner);
    VARIANT v{};
    v.vt = VT_VARIANT | VT_BYREF;
    v.pvarVal = &variants_.back();
    return v;
  }
  static VARIANT Missing() {
    VARIANT v{};
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
  }
  static VARIANT Of(VARTYPE vt) {
    VARIANT v{};
    v.vt = vt;
    return v;
  }

  // Invokes a method of obj_ through IDispatch with the arguments in their natural order
  // (named ones last, with their parameter positions). Returns "=result" ("=<empty>" without
  // one), "exception source|description|scode|context", or the status in hex with " @n" for
  // the argument index reported.
  std::string Call(DISPID id, std::vector<VARIANT> args, std::vector<DISPID> named = {}, WORD flags = DISPATCH_METHOD,
                   bool withResult = true, bool withExcep = true) {
    // rgvarg: named arguments first (in the given order), then positional ones reversed.
    const size_t positional = args.size() - named.size();
    std::vector<VARIANT> rgvarg(args.begin() + static_cast<long>(positional), args.end());
    for (size_t i = positional; i-- > 0;) rgvarg.push_back(args[i]);
    DISPPARAMS dp{rgvarg.data(), named.data(), static_cast<UINT>(rgvarg.size()), static_cast<UINT>(named.size())};
    VARIANT result{};
    result.vt = VT_I4;
    EXCEPINFO ei{};
    UINT argErr = 99;
    const HRESULT hr =
        obj_.Invoke(id, GUID_NULL, 0, flags, &dp, withResult ? &result : nullptr, withExcep ? &ei : nullptr, &argErr);
    if (hr == S_OK) {
      if (!withResult) return "=";
      if (result.vt == VT_EMPTY) return "=<empty>";
      if (result.vt != VT_BSTR) return "=<vt " + std::to_string(result.vt) + ">";
      const std::string text = result.bstrVal ? BstrToString(result.bstrVal) : "<null>";
      SysFreeString(result.bstrVal);
      return "=" + text;
    }
    if (hr == DISP_E_EXCEPTION && withExcep) {
      const std::string text = "exception " + BstrToString(ei.bstrSource) + "|" + BstrToString(ei.bstrDescription) +
                               "|" + Hex(ei.scode) + "|" + std::to_string(ei.dwHelpContext);
      SysFreeString(ei.bstrSource);
      SysFreeString(ei.bstrDescription);
      SysFreeString(ei.bstrHelpFile);
      return text;
    }
    return Hex(hr) + (argErr != 99 ? " @" + std::to_string(argErr) : "");
  }

  // The thread's error information description, taken; "<none>" when there is none.
  static std::string TakeErrorDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return "<none>";
    Bstr text;
    info->GetDescription(text.out());
    info->Release();
    return BstrToString(text.get());
  }

  BSTR Keep(const char* text) {
    strings_.push_back(StringToBstr(text));
    return strings_.back();
  }

  tlb::TypeLibDesc desc_ = MakeTestLibrary();
  TestObject obj_;
  std::deque<BSTR> strings_;
  std::deque<VARIANT> variants_;
};

TEST_F(Dispatch, PositionalArgumentsArriveInOrder) {
  EXPECT_EQ(Call(1, {S("ab"), S("cd")}), "=abcd");
  EXPECT_EQ(Call(2, {}), "=hello");
  EXPECT_EQ(Call(3, {S("1"), S("2"), S("3"), S("4"), S("5"), S("6")}), "=123456");
  EXPECT_EQ(Call(4, {}), "=<empty>");
  EXPECT_EQ(obj_.calls, "Concat(ab,cd)Hello()Six(123456)Nothing()");
}

TEST_F(Dispatch, ArgumentKinds) {
  EXPECT_EQ(Call(1, {Ref("by"), VarRef(S("variant"))}), "=byvariant");
  EXPECT_EQ(Call(1, {VarRef(Ref("deep")), Of(VT_EMPTY)}), "=deep<null>");  // Empty is a null string
  EXPECT_EQ(obj_.calls, "Concat(by,variant)Concat(deep,<null>)");
}

TEST_F(Dispatch, ArgumentErrorsNameTheArgument) {
  // Argument indexes count in rgvarg, where the last argument comes first.
  EXPECT_EQ(Call(1, {S("a"), Of(VT_I4)}), "80020005 @0");  // DISP_E_TYPEMISMATCH
  EXPECT_EQ(Call(1, {Of(VT_NULL), S("b")}), "80020005 @1");
  EXPECT_EQ(Call(1, {Missing(), S("b")}), "8002000F @1");  // DISP_E_PARAMNOTOPTIONAL
  EXPECT_EQ(Call(1, {S("a"), VarRef(Missing())}), "8002000F @0");
  EXPECT_EQ(Call(1, {S("a"), VarRef(VarRef(S("x")))}), "80020005 @0");
  EXPECT_EQ(Call(1, {S("a"), Of(VT_BSTR | VT_BYREF)}), "80020005 @0");  // null reference
  EXPECT_EQ(obj_.calls, "");
}

TEST_F(Dispatch, CountFlagsAndMembers) {
  EXPECT_EQ(Call(1, {S("a")}), "8002000E");  // DISP_E_BADPARAMCOUNT
  EXPECT_EQ(Call(1, {S("a"), S("b"), S("c")}), "8002000E");
  EXPECT_EQ(Call(2, {S("a")}), "8002000E");
  EXPECT_EQ(Call(2, {}, {}, DISPATCH_PROPERTYGET), "80020003");  // DISP_E_MEMBERNOTFOUND
  EXPECT_EQ(Call(2, {}, {}, DISPATCH_METHOD | DISPATCH_PROPERTYGET), "=hello");
  EXPECT_EQ(Call(77, {}), "80020003");
  EXPECT_EQ(Call(2, {}, {}, DISPATCH_METHOD, false), "=");  // result freed by Invoke
  EXPECT_EQ(obj_.calls, "Hello()Hello()");
}

TEST_F(Dispatch, NamedArguments) {
  EXPECT_EQ(Call(1, {S("second"), S("first")}, {1, 0}), "=firstsecond");
  EXPECT_EQ(Call(1, {S("one"), S("two")}, {1}), "=onetwo");
  EXPECT_EQ(Call(1, {S("one"), S("two")}, {0}), "80020004 @0");  // DISP_E_PARAMNOTFOUND: given twice
  EXPECT_EQ(Call(1, {S("one"), S("two")}, {2}), "80020004 @0");
  EXPECT_EQ(Call(1, {S("x"), S("y")}, {1, 1}), "80020004 @1");
  EXPECT_EQ(obj_.calls, "Concat(first,second)Concat(one,two)");
}

TEST_F(Dispatch, FailureBecomesAnExceptionWithTheErrorInformation) {
  EXPECT_EQ(Call(5, {S("it broke")}), "exception Test.Source|it broke|80040066|7");
  EXPECT_EQ(TakeErrorDescription(), "<none>");  // taken into EXCEPINFO
  // Without EXCEPINFO the error information stays for the caller.
  EXPECT_EQ(Call(5, {S("kept")}, {}, DISPATCH_METHOD, true, false), "80020009");
  EXPECT_EQ(TakeErrorDescription(), "kept");
}

TEST_F(Dispatch, StaleErrorInformationIsNotReported) {
  EXPECT_EQ(Call(5, {S("first")}, {}, DISPATCH_METHOD, true, false), "80020009");
  // A failure that sets no error information reports only its status.
  EXPECT_EQ(Call(5, {Of(VT_EMPTY)}), "exception ||80040066|0");
}

TEST_F(Dispatch, NamesThroughTheObject) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"concat"), const_cast<LPOLESTR>(u"Second")};
  DISPID ids[2];
  ASSERT_EQ(obj_.GetIDsOfNames(GUID_NULL, names, 2, 0x409, ids), S_OK);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(obj_.GetIDsOfNames(kTestIid, names, 2, 0, ids), DISP_E_UNKNOWNINTERFACE);
  DISPPARAMS none{};
  EXPECT_EQ(obj_.Invoke(2, kTestIid, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_UNKNOWNINTERFACE);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(obj_.GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  ASSERT_EQ(obj_.GetTypeInfo(0, 0, &info), S_OK);
  Bstr name;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.out(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(BstrToString(name.get()), "ITest");
  info->Release();
}

TEST_F(Dispatch, LateBindingNeedsTheRegisteredLibraryVtableCallsDoNot) {
  ASSERT_EQ(UnRegisterTypeLib(kTestLibId, 1, 0, 0, SYS_LINUX64), S_OK);
  EXPECT_EQ(Call(2, {}), "8002801D");  // TYPE_E_LIBNOTREGISTERED
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"Hello")};
  DISPID id = 0;
  EXPECT_EQ(obj_.GetIDsOfNames(GUID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
  Bstr direct;
  ASSERT_EQ(static_cast<ITest&>(obj_).Hello(direct.out()), S_OK);
  EXPECT_EQ(BstrToString(direct.get()), "hello");
  // Registering later makes late binding work; the loaded type information is then kept.
  ASSERT_EQ(tlb::RegisterTypeLib(desc_, "/opt/t/test.so", "/opt/t"), S_OK);
  EXPECT_EQ(Call(2, {}), "=hello");
  ASSERT_EQ(UnRegisterTypeLib(kTestLibId, 1, 0, 0, SYS_LINUX64), S_OK);
  EXPECT_EQ(Call(2, {}), "=hello");
}

TEST_F(Dispatch, StandardHelpersRefuseANullTypeInfo) {
  DISPID id;
  EXPECT_EQ(DispGetIDsOfNames(nullptr, nullptr, 0, &id), E_INVALIDARG);
  EXPECT_EQ(DispInvoke(&obj_, nullptr, 1, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace zan::test
