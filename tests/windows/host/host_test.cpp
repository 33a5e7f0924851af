// A C++ host of ZANClient.DLL on Windows: the module as the system loads it (exports,
// resources, version block, type library), objects created through the registry
// (CoCreateInstance of the ProgID's class) and called bound to the interface and late-bound
// through IDispatch, failures read back through GetErrorInfo, and the module's unload answer.
// The DLL is registered (the registration test runs first); ZAN_ROOT_URL names a repository
// root on a running server, ZAN_CLIENT_DLL the module's file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "owned_bstr.h"
#include "zanclient/ZANClient.h"

namespace {

using zan::test::Bstr;

std::wstring Env(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? value : L"";
}

template <typename T>
struct Ref {
  T* p = nullptr;
  ~Ref() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  void** out() { return reinterpret_cast<void**>(&p); }
};

std::string Narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// The calling thread's error information's description; "" when none is set.
std::wstring ErrorText() {
  Ref<IErrorInfo> info;
  if (GetErrorInfo(0, &info.p) != S_OK || !info.p) return L"";
  Bstr text;
  info->GetDescription(text.out());
  return text.text();
}

const std::wstring kPrologue =
    L"<?xml version=\"1.0\"?><?xml:stylesheet type=\"text/xsl\" version=\"1.0\" "
    L"xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"?><?xml:output method=\"html\" encoding=\"UTF-16\"?>";
const std::wstring kEmptySet = kPrologue + L"<QKXItem/>";

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    root_ = Env(L"ZAN_ROOT_URL");
    ASSERT_FALSE(root_.empty()) << "ZAN_ROOT_URL is not set";
  }
  void TearDown() override { CoUninitialize(); }

  // A new object through the registry: the ProgID's class, created in process.
  HRESULT Create(REFIID iid, void** out) {
    CLSID clsid;
    if (HRESULT hr = CLSIDFromProgID(L"ZANClient.ZANApi", &clsid); FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out);
  }

  std::wstring root_;
};

TEST_F(HostTest, TheRegisteredProgIdNamesTheClass) {
  CLSID clsid;
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"ZANClient.ZANApi", &clsid));
  EXPECT_TRUE(IsEqualGUID(clsid, zanclient::kClsidZANApi));
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"ZANClient.ZANApi.1", &clsid));
  EXPECT_TRUE(IsEqualGUID(clsid, zanclient::kClsidZANApi));
  LPOLESTR progId = nullptr;
  ASSERT_EQ(S_OK, ProgIDFromCLSID(zanclient::kClsidZANApi, &progId));
  EXPECT_EQ(L"ZANClient.ZANApi.1", std::wstring(progId));
  CoTaskMemFree(progId);
}

TEST_F(HostTest, BoundToTheInterfaceOperationsRunAgainstTheServer) {
  Ref<IZANApi> api;
  ASSERT_EQ(S_OK, Create(zanclient::kIidIZANApi, api.out()));
  Bstr out;
  ASSERT_EQ(S_OK, api->CreateProject(Bstr(root_).get(), Bstr(L"Gamma").get(), Bstr(L"").get(), out.out()));
  EXPECT_EQ(kEmptySet, out.text());
  ASSERT_EQ(S_OK, api->CreateBusinessProcess(Bstr(root_).get(), Bstr(L"Gamma").get(), Bstr(L"Audit").get(),
                                             Bstr(L"").get(), out.out()));
  ASSERT_EQ(S_OK, api->GetChildren(Bstr(root_).get(), Bstr(L"Gamma").get(), out.out()));
  EXPECT_EQ(kPrologue + L"<QKXItem><QKXItem><ZAN_NAME>Audit</ZAN_NAME><ZAN_NODE_TYPE>ZAN_BP</ZAN_NODE_TYPE>"
                        L"<ZAN_HAS_CHILDREN>FALSE</ZAN_HAS_CHILDREN></QKXItem></QKXItem>",
            out.text());
  ASSERT_EQ(S_OK, api->GetMBP(Bstr(root_).get(), Bstr(L"Gamma/Audit").get(), out.out()));
  EXPECT_NE(std::wstring::npos, out.text().find(L"<bp id=\"Gamma/Audit\"")) << Narrow(out.text());

  // A failure: the status, no out value, and the full text as the thread's error information.
  Bstr missing;
  EXPECT_EQ(static_cast<HRESULT>(0x80040066), api->GetChildren(Bstr(root_).get(), Bstr(L"Gamma/Nope").get(), missing.out()));
  EXPECT_EQ(nullptr, missing.get());
  EXPECT_EQ(L"Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r", ErrorText());
  EXPECT_EQ(L"", ErrorText());  // taken by the first read

  ASSERT_EQ(S_OK, api->DeleteProject(Bstr(root_).get(), Bstr(L"Gamma").get(), out.out()));
  ASSERT_EQ(S_OK, api->GetProjects(Bstr(root_).get(), out.out()));
  EXPECT_EQ(kEmptySet, out.text());
}

// Invoke by name with string arguments; the result's text, or the failure's status and the
// exception's description.
std::wstring CallByName(IDispatch* dispatch, const wchar_t* name, std::vector<std::wstring> args, HRESULT* status) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  *status = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(*status)) return L"";
  std::vector<VARIANT> argv(args.size());
  for (size_t i = 0; i < args.size(); ++i) {  // positional arguments go in reverse order
    VariantInit(&argv[args.size() - 1 - i]);
    argv[args.size() - 1 - i].vt = VT_BSTR;
    argv[args.size() - 1 - i].bstrVal = SysAllocString(args[i].c_str());
  }
  DISPPARAMS params = {argv.data(), nullptr, static_cast<UINT>(argv.size()), 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception = {};
  UINT argError = 0;
  *status = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception, &argError);
  for (VARIANT& v : argv) VariantClear(&v);
  std::wstring text;
  if (*status == DISP_E_EXCEPTION) {
    *status = exception.scode;
    if (exception.bstrDescription) text = exception.bstrDescription;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  } else if (result.vt == VT_BSTR && result.bstrVal) {
    text = result.bstrVal;
  }
  VariantClear(&result);
  return text;
}

TEST_F(HostTest, LateBoundThroughIDispatch) {
  Ref<IDispatch> dispatch;
  ASSERT_EQ(S_OK, Create(IID_IDispatch, dispatch.out()));
  UINT count = 0;
  ASSERT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);

  HRESULT status = E_FAIL;
  EXPECT_EQ(kEmptySet, CallByName(dispatch.p, L"GetProjects", {root_}, &status));
  EXPECT_EQ(S_OK, status);
  EXPECT_EQ(kEmptySet, CallByName(dispatch.p, L"createproject", {root_, L"Delta", L""}, &status));  // any case
  EXPECT_EQ(S_OK, status);
  EXPECT_EQ(L"Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r",
            CallByName(dispatch.p, L"GetChildren", {root_, L"Delta/Nope"}, &status));
  EXPECT_EQ(static_cast<HRESULT>(0x80040066), status);
  CallByName(dispatch.p, L"GetChildren", {root_}, &status);
  EXPECT_EQ(DISP_E_BADPARAMCOUNT, status);
  CallByName(dispatch.p, L"NoSuchOperation", {root_}, &status);
  EXPECT_EQ(DISP_E_UNKNOWNNAME, status);
  EXPECT_EQ(kEmptySet, CallByName(dispatch.p, L"DeleteProject", {root_, L"Delta"}, &status));
  EXPECT_EQ(S_OK, status);
}

TEST_F(HostTest, TheModuleUnloadsOnlyWithoutLiveObjects) {
  HMODULE module = LoadLibraryW(Env(L"ZAN_CLIENT_DLL").c_str());
  ASSERT_NE(nullptr, module);
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  auto canUnloadNow = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(nullptr, getClassObject);
  ASSERT_NE(nullptr, canUnloadNow);

  Ref<IClassFactory> factory;
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IDispatch, IID_IClassFactory, factory.out()));
  ASSERT_EQ(S_OK, getClassObject(zanclient::kClsidZANApi, IID_IClassFactory, factory.out()));
  IZANApi* api = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, zanclient::kIidIZANApi, reinterpret_cast<void**>(&api)));
  EXPECT_EQ(S_FALSE, canUnloadNow());
  api->Release();
  EXPECT_EQ(S_OK, canUnloadNow());
  ASSERT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(S_FALSE, canUnloadNow());
  ASSERT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(S_OK, canUnloadNow());

  // Aggregation: the outer object may ask for IUnknown only.
  IUnknown* outer = reinterpret_cast<IUnknown*>(factory.p);  // any identity will do as the outer object
  void* inner = nullptr;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IDispatch, &inner));
  EXPECT_EQ(S_OK, factory->CreateInstance(outer, IID_IUnknown, &inner));
  if (inner) static_cast<IUnknown*>(inner)->Release();
  EXPECT_EQ(S_OK, canUnloadNow());
  factory.p->Release();
  factory.p = nullptr;
  FreeLibrary(module);
}

// The version block of the module file.
std::wstring VersionString(const std::vector<char>& block, const std::wstring& name) {
  void* value = nullptr;
  UINT size = 0;
  const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &size) || !value) return L"<missing>";
  return std::wstring(static_cast<const wchar_t*>(value), size ? size - 1 : 0);
}

TEST_F(HostTest, TheModuleCarriesItsResources) {
  const std::wstring file = Env(L"ZAN_CLIENT_DLL");
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, block.data()));
  EXPECT_EQ(L"ZANClient Module", VersionString(block, L"FileDescription"));
  EXPECT_EQ(L"ZANClient Module", VersionString(block, L"ProductName"));
  EXPECT_EQ(L"ZANClient", VersionString(block, L"InternalName"));
  EXPECT_EQ(L"ZANClient.DLL", VersionString(block, L"OriginalFilename"));
  EXPECT_EQ(L"", VersionString(block, L"OLESelfRegister"));
  DWORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(4u, length);
  EXPECT_EQ(0x04B00409u, *translation);

  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module);
  wchar_t name[32] = {};
  EXPECT_EQ(9, LoadStringW(module, 100, name, 32));
  EXPECT_EQ(std::wstring(L"ZANClient"), name);
  HRSRC script = FindResourceExW(module, L"REGISTRY", MAKEINTRESOURCEW(101), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(nullptr, script);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(module, script))), SizeofResource(module, script));
  EXPECT_NE(std::string::npos, text.find("InprocServer32 = s '%MODULE%'")) << text;
  EXPECT_NE(nullptr, FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB"));
  FreeLibrary(module);
}

TEST_F(HostTest, TheTypeLibraryDescribesTheInterface) {
  Ref<ITypeLib> lib;
  ASSERT_EQ(S_OK, LoadRegTypeLib(zanclient::kLibidZANCLIENTLib, 1, 0, LOCALE_NEUTRAL, &lib.p));
  Bstr name, doc;
  ASSERT_EQ(S_OK, lib->GetDocumentation(-1, name.out(), doc.out(), nullptr, nullptr));
  EXPECT_EQ(L"ZANCLIENTLib", name.text());
  EXPECT_EQ(L"ZANClient 1.0 Type Library", doc.text());
  Ref<ITypeInfo> info;
  ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(zanclient::kIidIZANApi, &info.p));
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
  EXPECT_EQ(TKIND_DISPATCH, attr->typekind);  // the dual interface's dispatch side
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  info->ReleaseTypeAttr(attr);
  // Every operation by name, with its dispatch identifier.
  const std::vector<std::pair<const wchar_t*, DISPID>> operations = {
      {L"CreateFolder", 2}, {L"CreateBusinessProcess", 3}, {L"Delete", 4}, {L"Move", 5}, {L"UploadBP", 7},
      {L"CreateProject", 8}, {L"GetProjectProperties", 9}, {L"SetProjectProperties", 10},
      {L"SetFolderProperties", 11}, {L"SetBusinessProcessProperties", 12}, {L"GetFolderProperties", 13},
      {L"GetBusinessProcessProperties", 14}, {L"GetProjects", 15}, {L"DeleteProject", 16}, {L"DeleteFolder", 17},
      {L"DeleteBusinessProcess", 18}, {L"SetMBP", 19}, {L"GetMBP", 20}, {L"SetProjectInfo", 21},
      {L"GetProjectInfo", 22}, {L"GetChildren", 23}, {L"SetMBPFile", 25}, {L"GetMBPFile", 26}, {L"DownloadBP", 27}};
  for (const auto& [op, dispid] : operations) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(op)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(S_OK, info->GetIDsOfNames(names, 1, &id)) << Narrow(op);
    EXPECT_EQ(dispid, id) << Narrow(op);
  }
}

}  // namespace
