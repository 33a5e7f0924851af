#include "platform/com/typelib.h"

#include <gtest/gtest.h>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/typeinfo.h"
#include "registry_fixture.h"
#include "support/com_failure.h"
#include "test_interface.h"

namespace zan::test {
namespace {

#define LIB "{11111111-2222-3333-4444-555555555555}"
#define IFACE "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"

class TypeLib : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    tlb::RegisterTypeLibDescription(&desc_);
  }
  void TearDown() override {
    tlb::UnregisterTypeLibDescription(&desc_);
    RegistryTest::TearDown();
  }

  // "ok" with the library's name, or the load's status in hex.
  static std::string Load(WORD major, WORD minor, LCID lcid) {
    ITypeLib* lib = nullptr;
    const HRESULT hr = LoadRegTypeLib(kTestLibId, major, minor, lcid, &lib);
    if (FAILED(hr)) return Hex(hr) + (lib ? " (not null)" : "");
    Bstr name;
    lib->GetDocumentation(-1, name.out(), nullptr, nullptr, nullptr);
    TLIBATTR* attr = nullptr;
    lib->GetLibAttr(&attr);
    const std::string result = "ok " + BstrToString(name.get()) + " " + std::to_string(attr->wMajorVerNum) + "." +
                               std::to_string(attr->wMinorVerNum);
    lib->ReleaseTLibAttr(attr);
    lib->Release();
    return result;
  }

  tlb::TypeLibDesc desc_ = MakeTestLibrary();
};

const char* const kRegisteredKeys =
    "Interface\n"
    "Interface\\" IFACE
    " @=ITest\n"
    "Interface\\" IFACE
    "\\ProxyStubClsid @={00020424-0000-0000-C000-000000000046}\n"
    "Interface\\" IFACE
    "\\ProxyStubClsid32 @={00020424-0000-0000-C000-000000000046}\n"
    "Interface\\" IFACE "\\TypeLib @=" LIB
    " Version=1.0\n"
    "TypeLib\n"
    "TypeLib\\" LIB
    "\n"
    "TypeLib\\" LIB
    "\\1.0 @=Test 1.0 Type Library\n"
    "TypeLib\\" LIB
    "\\1.0\\0\n"
    "TypeLib\\" LIB
    "\\1.0\\0\\linux64 @=/opt/t/test.so\n"
    "TypeLib\\" LIB
    "\\1.0\\FLAGS @=0\n"
    "TypeLib\\" LIB "\\1.0\\HELPDIR @=/opt/t\n";

TEST_F(TypeLib, RegisterRecordsLibraryAndInterfaces) {
  ASSERT_EQ(tlb::RegisterTypeLib(desc_, "/opt/t/test.so", "/opt/t"), S_OK);
  EXPECT_EQ(Dump(), kRegisteredKeys);
}

TEST_F(TypeLib, LoadNeedsRegistration) {
  EXPECT_EQ(Load(1, 0, 0), "8002801D");  // TYPE_E_LIBNOTREGISTERED
  ASSERT_EQ(tlb::RegisterTypeLib(desc_, "/opt/t/test.so", "/opt/t"), S_OK);
  EXPECT_EQ(Load(1, 0, 0), "ok TESTLib 1.0");
  EXPECT_EQ(Load(1, 0, 0x0409), "ok TESTLib 1.0");  // falls back to the neutral locale
  EXPECT_EQ(Load(1, 1, 0), "8002801D");             // no 1.1 or later
  EXPECT_EQ(Load(2, 0, 0), "8002801D");
  ASSERT_EQ(UnRegisterTypeLib(kTestLibId, 1, 0, 0, SYS_LINUX64), S_OK);
  EXPECT_EQ(Load(1, 0, 0), "8002801D");
  EXPECT_EQ(Dump(), "");
}

TEST_F(TypeLib, LoadTakesTheHighestMinorVersionItKnows) {
  tlb::TypeLibDesc v12 = MakeTestLibrary();
  v12.minorVersion = 2;
  v12.name = "TESTLib12";
  ASSERT_EQ(tlb::RegisterTypeLib(desc_, "/opt/t/test.so", "/opt/t"), S_OK);
  ASSERT_EQ(tlb::RegisterTypeLib(v12, "/opt/t/test.so", "/opt/t"), S_OK);
  // 1.2 is registered but not known to the process.
  EXPECT_EQ(Load(1, 0, 0), "80029C4A");  // TYPE_E_CANTLOADLIBRARY
  tlb::RegisterTypeLibDescription(&v12);
  EXPECT_EQ(Load(1, 0, 0), "ok TESTLib12 1.2");
  EXPECT_EQ(Load(1, 2, 0), "ok TESTLib12 1.2");
  tlb::UnregisterTypeLibDescription(&v12);
}

TEST_F(TypeLib, UnregisterRemovesOnlyThatRegistration) {
  tlb::TypeLibDesc german = MakeTestLibrary();
  german.lcid = 0x0407;
  ASSERT_EQ(tlb::RegisterTypeLib(desc_, "/opt/t/test.so", "/opt/t"), S_OK);
  ASSERT_EQ(tlb::RegisterTypeLib(german, "/opt/t/test.so", "/opt/t"), S_OK);
  ASSERT_EQ(reg::SetValue("Interface\\{00000000-0000-0000-0000-000000000001}", "", "IOther"), S_OK);
  EXPECT_EQ(UnRegisterTypeLib(kTestLibId, 1, 0, 0, SYS_WIN32), TYPE_E_REGISTRYACCESS);
  EXPECT_EQ(UnRegisterTypeLib(kTestLibId, 1, 0, 0, static_cast<SYSKIND>(77)), E_INVALIDARG);
  ASSERT_EQ(UnRegisterTypeLib(kTestLibId, 1, 0, 0, SYS_LINUX64), S_OK);
  // Another locale is still registered: the interface stays.
  EXPECT_EQ(Default("Interface\\" IFACE), "ITest");
  EXPECT_EQ(Load(1, 0, 0x0407), "ok TESTLib 1.0");
  ASSERT_EQ(UnRegisterTypeLib(kTestLibId, 1, 0, 0x0407, SYS_LINUX64), S_OK);
  EXPECT_EQ(Dump(), "Interface\nInterface\\{00000000-0000-0000-0000-000000000001} @=IOther\n");
  EXPECT_EQ(UnRegisterTypeLib(kTestLibId, 1, 0, 0x0407, SYS_LINUX64), TYPE_E_REGISTRYACCESS);
}

TEST_F(TypeLib, InconsistentDescriptionsAreRefused) {
  auto broken = [](auto change) {
    tlb::TypeLibDesc d = MakeTestLibrary();
    change(d);
    return d;
  };
  const tlb::TypeLibDesc cases[] = {
      broken([](tlb::TypeLibDesc& d) { d.interfaces[0].methods[1].dispid = 1; }),
      broken([](tlb::TypeLibDesc& d) { d.interfaces[0].methods[1].name = "CONCAT"; }),
      broken([](tlb::TypeLibDesc& d) { d.interfaces[0].methods[1].vtableSlot = 7; }),
      broken([](tlb::TypeLibDesc& d) { d.interfaces[0].methods[1].vtableSlot = 6; }),
      broken([](tlb::TypeLibDesc& d) { d.interfaces[0].methods[1].dispid = DISPID_UNKNOWN; }),
      broken([](tlb::TypeLibDesc& d) { d.interfaces[0].methods[0].params[0].outRetval = true; }),
      broken([](tlb::TypeLibDesc& d) { d.interfaces[0].methods[0].params[1].name = "first"; }),
      broken([](tlb::TypeLibDesc& d) { d.interfaces[0].methods[0].params[1].name = ""; }),
      broken([](tlb::TypeLibDesc& d) {
        d.interfaces[0].methods[3].params.insert(d.interfaces[0].methods[3].params.begin(), tlb::ParamDesc{"z"});
      }),
      broken([](tlb::TypeLibDesc& d) { d.coclasses[0].defaultInterface = GUID_NULL; }),
  };
  for (const auto& d : cases) {
    EXPECT_EQ(tlb::RegisterTypeLib(d, "/x.so", "/"), E_INVALIDARG);
    ITypeLib* lib = nullptr;
    EXPECT_EQ(tlb::LoadTypeLibFromDescription(d, &lib), E_INVALIDARG);
    EXPECT_EQ(lib, nullptr);
  }
  EXPECT_EQ(Dump(), "");
}

class TypeInfoObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(tlb::LoadTypeLibFromDescription(desc_, &lib_), S_OK);
    ASSERT_EQ(lib_->GetTypeInfoOfGuid(kTestIid, &info_), S_OK);
  }
  void TearDown() override {
    if (info_) info_->Release();
    if (lib_) lib_->Release();
  }

  // "name|help" of a member, or the status in hex.
  std::string Doc(MEMBERID id) {
    Bstr name, help;
    DWORD context = 99;
    Bstr file;
    const HRESULT hr = info_->GetDocumentation(id, name.out(), help.out(), &context, file.out());
    if (FAILED(hr)) return "error";
    return BstrToString(name.get()) + "|" + BstrToString(help.get()) + (context || file.get() ? "|extra" : "");
  }
  // Names of a member joined with ',', at most max of them.
  std::string Names(MEMBERID id, UINT max = 10) {
    BSTR names[10] = {};
    UINT count = 99;
    if (FAILED(info_->GetNames(id, names, max, &count))) return "error";
    std::string out;
    for (UINT i = 0; i < count; ++i) {
      out += (i ? "," : "") + BstrToString(names[i]);
      SysFreeString(names[i]);
    }
    return out;
  }
  // DISPIDs for names, joined with ',', then '!' when the call failed.
  std::string Ids(std::initializer_list<const char16_t*> names) {
    std::vector<LPOLESTR> list;
    for (const char16_t* n : names) list.push_back(const_cast<LPOLESTR>(n));
    std::vector<DISPID> ids(list.size(), 1234);
    const HRESULT hr = DispGetIDsOfNames(info_, list.data(), static_cast<UINT>(list.size()), ids.data());
    std::string out;
    for (size_t i = 0; i < ids.size(); ++i) out += (i ? "," : "") + std::to_string(ids[i]);
    return out + (hr == DISP_E_UNKNOWNNAME ? "!" : FAILED(hr) ? "?" : "");
  }

  tlb::TypeLibDesc desc_ = MakeTestLibrary();
  ITypeLib* lib_ = nullptr;
  ITypeInfo* info_ = nullptr;
};

TEST_F(TypeInfoObjects, Documentation) {
  EXPECT_EQ(Doc(MEMBERID_NIL), "ITest|ITest Interface");
  EXPECT_EQ(Doc(1), "Concat|method Concat");
  EXPECT_EQ(Doc(77), "error");
  EXPECT_EQ(info_->GetDocumentation(5, nullptr, nullptr, nullptr, nullptr), S_OK);
}

TEST_F(TypeInfoObjects, Names) {
  EXPECT_EQ(Names(1), "Concat,First,Second,Result");
  EXPECT_EQ(Names(1, 2), "Concat,First");
  EXPECT_EQ(Names(4), "Nothing");
  EXPECT_EQ(Names(77), "error");
}

TEST_F(TypeInfoObjects, IdsOfNames) {
  EXPECT_EQ(Ids({u"Concat"}), "1");
  EXPECT_EQ(Ids({u"cONCAT", u"second", u"FIRST"}), "1,1,0");
  EXPECT_EQ(Ids({u"Concat", u"Third", u"First"}), "1,-1,0!");
  EXPECT_EQ(Ids({u"Concat", u"Result"}), "1,-1!");  // the retval is no argument
  EXPECT_EQ(Ids({u"Missing", u"First"}), "-1,-1!");
  EXPECT_EQ(Ids({u"Fail"}), "5");
}

TEST_F(TypeInfoObjects, LibraryAndCoclass) {
  EXPECT_EQ(lib_->GetTypeInfoCount(), 2u);
  TYPEKIND kind;
  ASSERT_EQ(lib_->GetTypeInfoType(0, &kind), S_OK);
  EXPECT_EQ(kind, TKIND_DISPATCH);
  ASSERT_EQ(lib_->GetTypeInfoType(1, &kind), S_OK);
  EXPECT_EQ(kind, TKIND_COCLASS);
  EXPECT_EQ(lib_->GetTypeInfoType(2, &kind), TYPE_E_ELEMENTNOTFOUND);
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(lib_->GetTypeInfoOfGuid(kTestClsid, &coclass), S_OK);
  Bstr name, help;
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, name.out(), help.out(), nullptr, nullptr), S_OK);
  EXPECT_EQ(BstrToString(name.get()) + "|" + BstrToString(help.get()), "Test|Test Class");
  ITypeLib* containing = nullptr;
  UINT index = 99;
  ASSERT_EQ(coclass->GetContainingTypeLib(&containing, &index), S_OK);
  EXPECT_EQ(containing, lib_);
  EXPECT_EQ(index, 1u);
  containing->Release();
  coclass->Release();
  ITypeInfo* none = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(lib_->GetTypeInfoOfGuid(GUID_NULL, &none), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(none, nullptr);
  ASSERT_EQ(lib_->GetDocumentation(-1, name.out(), help.out(), nullptr, nullptr), S_OK);
  EXPECT_EQ(BstrToString(name.get()) + "|" + BstrToString(help.get()), "TESTLib|Test 1.0 Type Library");
  ASSERT_EQ(lib_->GetDocumentation(0, name.out(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(BstrToString(name.get()), "ITest");
  EXPECT_EQ(lib_->GetDocumentation(2, name.out(), nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeInfoObjects, UnservedMembersSayNotImplemented) {
  TYPEATTR* attr = nullptr;
  EXPECT_EQ(info_->GetTypeAttr(&attr), E_NOTIMPL);
  FUNCDESC* func = nullptr;
  EXPECT_EQ(info_->GetFuncDesc(0, &func), E_NOTIMPL);
  ITypeComp* comp = nullptr;
  EXPECT_EQ(info_->GetTypeComp(&comp), E_NOTIMPL);
  EXPECT_EQ(lib_->GetTypeComp(&comp), E_NOTIMPL);
  void* unknown = nullptr;
  EXPECT_EQ(info_->QueryInterface(IID_ITypeInfo, &unknown), S_OK);
  static_cast<ITypeInfo*>(unknown)->Release();
  EXPECT_EQ(info_->QueryInterface(IID_IDispatch, &unknown), E_NOINTERFACE);
}

}  // namespace
}  // namespace zan::test
