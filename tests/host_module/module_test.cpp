// The module as a host sees it: its exports, class objects, lifetime, aggregation, registration
// and late binding, through dlopen only.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "host_fixture.h"
#include "module_host.h"
#include "platform/com/bstr.h"
#include "support/host.h"
#include "support/temp_dir.h"
#include "zanclient/ZANClient_ids.h"

namespace zan::test {
namespace {

constexpr IID kISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

// The defined dynamic symbols of a shared object, from nm.
std::set<std::string> ExportedSymbols(const std::string& path) {
  std::set<std::string> names;
  const std::string command = "nm -D --defined-only '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t space = text.rfind(' ');
    if (space != std::string::npos) names.insert(text.substr(space + 1));
  }
  pclose(pipe);
  return names;
}

// A copy of the built module in a directory of its own, loaded as a module of its own (its
// own state: nothing cached, nothing registered by other tests).
struct ModuleCopy {
  explicit ModuleCopy(const std::string& directoryName = "lib") {
    const std::filesystem::path directory = std::filesystem::path(dir.path()) / directoryName;
    std::filesystem::create_directories(directory);
    path = (directory / "ZANClient.so").string();
    std::filesystem::copy_file(ModuleHost::Built().path(), path);
    host = std::make_unique<ModuleHost>(path);
  }
  TempDir dir;
  std::string path;
  std::unique_ptr<ModuleHost> host;
};

// A controlling object for aggregation: counts its references and hands IZANApi queries to
// its inner object.
class Outer final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  IUnknown* inner = nullptr;
  ULONG refs = 1;
};

class ModuleTest : public ::testing::Test {
 protected:
  ModuleHost& host_ = ModuleHost::Built();
  ScopedRegistry registry_;
};

TEST_F(ModuleTest, ExportsExactlyTheModuleInterface) {
  ZAN_SKIP_ON_WINDOWS("nm reads the exports of ELF shared objects; the DLL exports what ZANClient.def lists");
  const std::set<std::string> expected = {
      "CLSID_ZANApi",    "IID_IZANApi",       "LIBID_ZANCLIENTLib", "DllGetClassObject",
      "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer", "SysAllocString",
      "SysAllocStringLen", "SysFreeString",   "SysStringLen",       "GetErrorInfo"};
  EXPECT_EQ(expected, ExportedSymbols(host_.path()));
  EXPECT_EQ(zanclient::kClsidZANApi, *host_.clsid);
  EXPECT_EQ(zanclient::kIidIZANApi, *host_.iid);
  EXPECT_EQ(zanclient::kLibidZANCLIENTLib, *host_.libid);
}

TEST_F(ModuleTest, ServesOneCachedClassFactoryForZANApiOnly) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, host_.DllGetClassObject(*host_.iid, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_NOINTERFACE, host_.DllGetClassObject(*host_.clsid, *host_.iid, &object));

  IClassFactory* first = host_.Factory();
  IClassFactory* second = host_.Factory();
  EXPECT_EQ(first, second);
  void* unknown = nullptr;
  EXPECT_EQ(S_OK, first->QueryInterface(IID_IUnknown, &unknown));
  EXPECT_EQ(static_cast<void*>(first), unknown);
  first->Release();
  first->Release();
  second->Release();
  EXPECT_EQ(S_OK, host_.DllCanUnloadNow());  // a held factory does not keep the module
}

TEST_F(ModuleTest, CanUnloadOnlyWhenNoObjectOrServerLockLives) {
  EXPECT_EQ(S_OK, host_.DllCanUnloadNow());
  IZANApi* a = host_.Create();
  IZANApi* b = host_.Create();
  EXPECT_EQ(S_FALSE, host_.DllCanUnloadNow());
  a->Release();
  EXPECT_EQ(S_FALSE, host_.DllCanUnloadNow());
  b->Release();
  EXPECT_EQ(S_OK, host_.DllCanUnloadNow());

  IClassFactory* factory = host_.Factory();
  EXPECT_EQ(S_OK, factory->LockServer(1));
  EXPECT_EQ(S_FALSE, host_.DllCanUnloadNow());
  EXPECT_EQ(S_OK, factory->LockServer(0));
  EXPECT_EQ(S_OK, host_.DllCanUnloadNow());
  factory->Release();
}

TEST_F(ModuleTest, AnObjectHasOneIdentityAndNoErrorSupportInterface) {
  IZANApi* api = host_.Create();
  void* dispatch = nullptr;
  void* unknown = nullptr;
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(S_OK, api->QueryInterface(IID_IDispatch, &dispatch));
  EXPECT_EQ(S_OK, api->QueryInterface(IID_IUnknown, &unknown));
  EXPECT_EQ(E_NOINTERFACE, api->QueryInterface(kISupportErrorInfo, &other));
  EXPECT_EQ(nullptr, other);
  EXPECT_EQ(static_cast<void*>(api), dispatch);
  EXPECT_EQ(static_cast<void*>(api), unknown);
  api->Release();
  api->Release();
  EXPECT_EQ(0u, api->Release());
  EXPECT_EQ(S_OK, host_.DllCanUnloadNow());
}

TEST_F(ModuleTest, AggregationGivesOnlyTheInnerUnknown) {
  IClassFactory* factory = host_.Factory();
  Outer outer;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IDispatch, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, *host_.iid, &object));
  EXPECT_EQ(S_OK, host_.DllCanUnloadNow());

  IUnknown* inner = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  outer.inner = inner;
  EXPECT_EQ(1u, outer.refs);
  EXPECT_EQ(S_FALSE, host_.DllCanUnloadNow());

  IZANApi* api = nullptr;
  ASSERT_EQ(S_OK, outer.QueryInterface(*host_.iid, reinterpret_cast<void**>(&api)));
  EXPECT_EQ(2u, outer.refs);  // the inner object's interfaces count on the outer object
  void* identity = nullptr;
  ASSERT_EQ(S_OK, api->QueryInterface(IID_IUnknown, &identity));
  EXPECT_EQ(static_cast<void*>(&outer), identity);
  void* dispatch = nullptr;
  ASSERT_EQ(S_OK, api->QueryInterface(IID_IDispatch, &dispatch));
  EXPECT_EQ(4u, outer.refs);
  for (int i = 0; i < 3; ++i) api->Release();
  EXPECT_EQ(1u, outer.refs);
  EXPECT_EQ(0u, inner->Release());
  EXPECT_EQ(S_OK, host_.DllCanUnloadNow());
  factory->Release();
}

TEST_F(ModuleTest, UnregisteringSucceedsEvenWhenNothingIsRegistered) {
  ZAN_SKIP_ON_WINDOWS("it changes the registration in the system registry, which the run's other tests share "
                      "(tests/windows/registration.sh tests registering there)");
  EXPECT_EQ(S_OK, host_.DllUnregisterServer());
  EXPECT_EQ(S_OK, host_.DllUnregisterServer());
  EXPECT_EQ("", registry_.Lines());
}

TEST_F(ModuleTest, RegisteringWritesTheClassProgIdsAndTypeLibrary) {
  ZAN_SKIP_ON_WINDOWS("it changes the registration in the system registry, which the run's other tests share "
                      "(tests/windows/registration.sh tests registering there)");
  ModuleCopy copy("it's here");  // a quote in the module's path
  const std::string clsid = ZANCLIENT_CLSID_ZANAPI_STR;
  const std::string libid = ZANCLIENT_LIBID_ZANCLIENTLIB_STR;
  const std::string iid = ZANCLIENT_IID_IZANAPI_STR;
  const std::string dir = std::filesystem::path(copy.path).parent_path().string();
  ASSERT_EQ(S_OK, copy.host->DllRegisterServer());
  EXPECT_EQ("[CLSID]\n"
            "[CLSID\\" + clsid + "]\n"
            "@=\"ZANApi Class\"\n"
            "[CLSID\\" + clsid + "\\InprocServer32]\n"
            "@=\"" + copy.path + "\"\n"
            "\"ThreadingModel\"=\"Apartment\"\n"
            "[CLSID\\" + clsid + "\\ProgID]\n"
            "@=\"ZANClient.ZANApi.1\"\n"
            "[CLSID\\" + clsid + "\\Programmable]\n"
            "[CLSID\\" + clsid + "\\TypeLib]\n"
            "@=\"" + libid + "\"\n"
            "[CLSID\\" + clsid + "\\VersionIndependentProgID]\n"
            "@=\"ZANClient.ZANApi\"\n"
            "[Interface]\n"
            "[Interface\\" + iid + "]\n"
            "@=\"IZANApi\"\n"
            "[Interface\\" + iid + "\\ProxyStubClsid]\n"
            "@=\"{00020424-0000-0000-C000-000000000046}\"\n"
            "[Interface\\" + iid + "\\ProxyStubClsid32]\n"
            "@=\"{00020424-0000-0000-C000-000000000046}\"\n"
            "[Interface\\" + iid + "\\TypeLib]\n"
            "@=\"" + libid + "\"\n"
            "\"Version\"=\"1.0\"\n"
            "[TypeLib]\n"
            "[TypeLib\\" + libid + "]\n"
            "[TypeLib\\" + libid + "\\1.0]\n"
            "@=\"ZANClient 1.0 Type Library\"\n"
            "[TypeLib\\" + libid + "\\1.0\\0]\n"
            "[TypeLib\\" + libid + "\\1.0\\0\\linux64]\n"
            "@=\"" + copy.path + "\"\n"
            "[TypeLib\\" + libid + "\\1.0\\FLAGS]\n"
            "@=\"0\"\n"
            "[TypeLib\\" + libid + "\\1.0\\HELPDIR]\n"
            "@=\"" + dir + "\"\n"
            "[ZANClient.ZANApi]\n"
            "@=\"ZANApi Class\"\n"
            "[ZANClient.ZANApi\\CLSID]\n"
            "@=\"" + clsid + "\"\n"
            "[ZANClient.ZANApi\\CurVer]\n"
            "@=\"ZANClient.ZANApi.1\"\n"
            "[ZANClient.ZANApi.1]\n"
            "@=\"ZANApi Class\"\n"
            "[ZANClient.ZANApi.1\\CLSID]\n"
            "@=\"" + clsid + "\"\n",
            registry_.Lines());

  ASSERT_EQ(S_OK, copy.host->DllUnregisterServer());
  EXPECT_EQ("[CLSID]\n", registry_.Lines());  // the shared CLSID key is never removed
  EXPECT_EQ(S_OK, copy.host->DllUnregisterServer());
  EXPECT_EQ("[CLSID]\n", registry_.Lines());
}

TEST_F(ModuleTest, LateBindingFailsCleanlyWhileTheLibraryIsNotRegistered) {
  ZAN_SKIP_ON_WINDOWS("it changes the registration in the system registry, which the run's other tests share "
                      "(tests/windows/registration.sh tests registering there)");
  ModuleCopy copy;
  ModuleHost& host = *copy.host;
  IZANApi* api = host.Create();
  UINT count = 0;
  EXPECT_EQ(S_OK, api->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, api->GetTypeInfo(0, 0, &info));
  EXPECT_EQ(nullptr, info);
  std::u16string name = u"GetChildren";
  LPOLESTR names[] = {AsOleText(name.data())};
  DISPID id = 0;
  EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, api->GetIDsOfNames(GUID_NULL, names, 1, 0, &id));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, api->Invoke(15, GUID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));

  // Once registered, the same object binds late; unregistering does not take the loaded
  // description away from it.
  ASSERT_EQ(S_OK, host.DllRegisterServer());
  EXPECT_EQ(S_OK, api->GetIDsOfNames(GUID_NULL, names, 1, 0, &id));
  EXPECT_EQ(23, id);
  ASSERT_EQ(S_OK, host.DllUnregisterServer());
  EXPECT_EQ(S_OK, api->GetIDsOfNames(GUID_NULL, names, 1, 0, &id));
  api->Release();
}

TEST_F(ModuleTest, NamesOfEveryOperationBindToTheirDispatchIdentifiers) {
  ASSERT_EQ(S_OK, host_.DllRegisterServer());
  IZANApi* api = host_.Create();
  const std::pair<std::u16string, DISPID> rows[] = {
      {u"CreateFolder", 2},
      {u"CreateBusinessProcess", 3},
      {u"Delete", 4},
      {u"Move", 5},
      {u"UploadBP", 7},
      {u"CreateProject", 8},
      {u"GetProjectProperties", 9},
      {u"SetProjectProperties", 10},
      {u"SetFolderProperties", 11},
      {u"SetBusinessProcessProperties", 12},
      {u"GetFolderProperties", 13},
      {u"GetBusinessProcessProperties", 14},
      {u"GetProjects", 15},
      {u"DeleteProject", 16},
      {u"DeleteFolder", 17},
      {u"DeleteBusinessProcess", 18},
      {u"SetMBP", 19},
      {u"GetMBP", 20},
      {u"SetProjectInfo", 21},
      {u"GetProjectInfo", 22},
      {u"GetChildren", 23},
      {u"SetMBPFile", 25},
      {u"GetMBPFile", 26},
      {u"DownloadBP", 27},
  };
  for (const auto& [name, dispid] : rows) {
    std::u16string text = name;
    LPOLESTR names[] = {AsOleText(text.data())};
    DISPID id = 0;
    EXPECT_EQ(S_OK, api->GetIDsOfNames(GUID_NULL, names, 1, 0, &id));
    EXPECT_EQ(dispid, id);
  }
  std::u16string unknown = u"Rename";
  LPOLESTR names[] = {AsOleText(unknown.data())};
  DISPID id = 0;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, api->GetIDsOfNames(GUID_NULL, names, 1, 0, &id));
  EXPECT_EQ(DISPID_UNKNOWN, id);
  api->Release();
  if (!OnWindows()) {  // there the registration stays for the run's other tests
    EXPECT_EQ(S_OK, host_.DllUnregisterServer());
  }
}

}  // namespace
}  // namespace zan::test
