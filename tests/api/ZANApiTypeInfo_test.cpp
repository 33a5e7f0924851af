// The type description of IZANApi against the interface itself: every method, called late-bound
// by its DISPID, lands in the vtable slot of the method of the same name with its arguments.
#include "api/ZANApiTypeInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "described_typelib.h"
#include "platform/com/bstr.h"
#include "platform/com/dispatch.h"
#include "platform/com/guid.h"
#include "zanclient/ZANClient.h"

namespace zan::test {
namespace {

// Records the name and arguments of each call; out strings are "<name> out".
class Recorder final : public IZANApi {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

#define ZAN_RECORD(name, out, ...) return Record(#name, {__VA_ARGS__}, out)
  HRESULT STDMETHODCALLTYPE CreateFolder(BSTR a, BSTR b, BSTR c, BSTR d, BSTR* r) override {
    ZAN_RECORD(CreateFolder, r, a, b, c, d);
  }
  HRESULT STDMETHODCALLTYPE CreateBusinessProcess(BSTR a, BSTR b, BSTR c, BSTR d, BSTR* r) override {
    ZAN_RECORD(CreateBusinessProcess, r, a, b, c, d);
  }
  HRESULT STDMETHODCALLTYPE Delete(BSTR a, BSTR b, BSTR* r) override { ZAN_RECORD(Delete, r, a, b); }
  HRESULT STDMETHODCALLTYPE Move(BSTR a, BSTR b, BSTR c, BSTR* r) override { ZAN_RECORD(Move, r, a, b, c); }
  HRESULT STDMETHODCALLTYPE UploadBP(BSTR a, BSTR b, BSTR c, BSTR* r) override { ZAN_RECORD(UploadBP, r, a, b, c); }
  HRESULT STDMETHODCALLTYPE CreateProject(BSTR a, BSTR b, BSTR c, BSTR* r) override {
    ZAN_RECORD(CreateProject, r, a, b, c);
  }
  HRESULT STDMETHODCALLTYPE GetProjectProperties(BSTR a, BSTR b, BSTR* r) override {
    ZAN_RECORD(GetProjectProperties, r, a, b);
  }
  HRESULT STDMETHODCALLTYPE SetProjectProperties(BSTR a, BSTR b, BSTR c, BSTR* r) override {
    ZAN_RECORD(SetProjectProperties, r, a, b, c);
  }
  HRESULT STDMETHODCALLTYPE SetFolderProperties(BSTR a, BSTR b, BSTR c, BSTR* r) override {
    ZAN_RECORD(SetFolderProperties, r, a, b, c);
  }
  HRESULT STDMETHODCALLTYPE SetBusinessProcessProperties(BSTR a, BSTR b, BSTR c, BSTR* r) override {
    ZAN_RECORD(SetBusinessProcessProperties, r, a, b, c);
  }
  HRESULT STDMETHODCALLTYPE GetFolderProperties(BSTR a, BSTR b, BSTR* r) override {
    ZAN_RECORD(GetFolderProperties, r, a, b);
  }
  HRESULT STDMETHODCALLTYPE GetBusinessProcessProperties(BSTR a, BSTR b, BSTR* r) override {
    ZAN_RECORD(GetBusinessProcessProperties, r, a, b);
  }
  HRESULT STDMETHODCALLTYPE GetProjects(BSTR a, BSTR* r) override { ZAN_RECORD(GetProjects, r, a); }
  HRESULT STDMETHODCALLTYPE DeleteProject(BSTR a, BSTR b, BSTR* r) override { ZAN_RECORD(DeleteProject, r, a, b); }
  HRESULT STDMETHODCALLTYPE DeleteFolder(BSTR a, BSTR b, BSTR* r) override { ZAN_RECORD(DeleteFolder, r, a, b); }
  HRESULT STDMETHODCALLTYPE DeleteBusinessProcess(BSTR a, BSTR b, BSTR* r) override {
    ZAN_RECORD(DeleteBusinessProcess, r, a, b);
  }
  HRESULT STDMETHODCALLTYPE SetMBP(BSTR a, BSTR b, BSTR c, BSTR* r) override { ZAN_RECORD(SetMBP, r, a, b, c); }
  HRESULT STDMETHODCALLTYPE GetMBP(BSTR a, BSTR b, BSTR* r) override { ZAN_RECORD(GetMBP, r, a, b); }
  HRESULT STDMETHODCALLTYPE SetProjectInfo(BSTR a, BSTR b, BSTR c, BSTR* r) override {
    ZAN_RECORD(SetProjectInfo, r, a, b, c);
  }
  HRESULT STDMETHODCALLTYPE GetProjectInfo(BSTR a, BSTR b, BSTR* r) override { ZAN_RECORD(GetProjectInfo, r, a, b); }
  HRESULT STDMETHODCALLTYPE GetChildren(BSTR a, BSTR b, BSTR* r) override { ZAN_RECORD(GetChildren, r, a, b); }
  HRESULT STDMETHODCALLTYPE SetMBPFile(BSTR a, BSTR b, BSTR c, BSTR* r) override { ZAN_RECORD(SetMBPFile, r, a, b, c); }
  HRESULT STDMETHODCALLTYPE GetMBPFile(BSTR a, BSTR b, BSTR c) override { ZAN_RECORD(GetMBPFile, nullptr, a, b, c); }
  HRESULT STDMETHODCALLTYPE DownloadBP(BSTR a, BSTR b, BSTR c, BSTR d, BSTR* r) override {
    ZAN_RECORD(DownloadBP, r, a, b, c, d);
  }
#undef ZAN_RECORD

  std::string last;

 private:
  HRESULT Record(const char* name, std::initializer_list<BSTR> args, BSTR* out) {
    last = name;
    last += "(";
    bool first = true;
    for (BSTR a : args) {
      last += (first ? "" : ",") + BstrToString(a);
      first = false;
    }
    last += ")";
    if (out) *out = StringToBstr(std::string(name) + " out");
    return S_OK;
  }
};

TEST(ZANApiTypeInfo, LibraryInterfaceAndClass) {
  const tlb::TypeLibDesc& lib = api::ZANClientTypeLib();
  EXPECT_EQ(tlb::Validate(lib), S_OK);
  EXPECT_EQ(GuidToString(lib.libid), ZANCLIENT_LIBID_ZANCLIENTLIB_STR);
  EXPECT_EQ(lib.name, "ZANCLIENTLib");
  EXPECT_EQ(lib.helpString, "ZANClient 1.0 Type Library");
  EXPECT_EQ(lib.majorVersion * 100 + lib.minorVersion, 100);
  ASSERT_EQ(lib.interfaces.size(), 1u);
  EXPECT_EQ(GuidToString(lib.interfaces[0].iid), ZANCLIENT_IID_IZANAPI_STR);
  EXPECT_EQ(lib.interfaces[0].name, "IZANApi");
  EXPECT_EQ(lib.interfaces[0].helpString, "IZANApi Interface");
  EXPECT_TRUE(lib.interfaces[0].dual);
  ASSERT_EQ(lib.coclasses.size(), 1u);
  EXPECT_EQ(GuidToString(lib.coclasses[0].clsid), ZANCLIENT_CLSID_ZANAPI_STR);
  EXPECT_EQ(lib.coclasses[0].name, "ZANApi");
  EXPECT_EQ(lib.coclasses[0].helpString, "ZANApi Class");
  EXPECT_EQ(lib.coclasses[0].defaultInterface, lib.interfaces[0].iid);
}

TEST(ZANApiTypeInfo, IdentifiersAgree) {
  EXPECT_EQ(GuidToString(zanclient::kClsidZANApi), ZANCLIENT_CLSID_ZANAPI_STR);
  EXPECT_EQ(GuidToString(zanclient::kIidIZANApi), ZANCLIENT_IID_IZANAPI_STR);
  EXPECT_EQ(GuidToString(zanclient::kLibidZANCLIENTLib), ZANCLIENT_LIBID_ZANCLIENTLIB_STR);
}

TEST(ZANApiTypeInfo, MethodsDispidsAndParameters) {
  std::string table;
  for (const tlb::MethodDesc& m : api::ZANClientTypeLib().interfaces[0].methods) {
    table += std::to_string(m.dispid) + " " + m.name + "(";
    for (size_t i = 0; i < m.params.size(); ++i)
      table += std::string(i ? "," : "") + (m.params[i].outRetval ? "out " : "") + m.params[i].name;
    table += ")";
    if (m.helpString != "method " + m.name) table += " help: " + m.helpString;
    table += "\n";
  }
  EXPECT_EQ(table,
            "2 CreateFolder(serverUrl,Parent,FolderName,Properties,out Response)\n"
            "3 CreateBusinessProcess(serverUrl,Parent,BusinessProcessName,Properties,out Response)\n"
            "4 Delete(serverUrl,Parent,out Response)\n"
            "5 Move(serverUrl,SourceParent,DestinationParent,out Response)\n"
            "7 UploadBP(serverUrl,BusinessProcessId,LocalDirectory,out Response)\n"
            "8 CreateProject(serverUrl,ProjectName,Properties,out Response)\n"
            "9 GetProjectProperties(serverUrl,ProjectName,out Response)\n"
            "10 SetProjectProperties(serverUrl,ProjectName,Properties,out Response)\n"
            "11 SetFolderProperties(serverUrl,FolderId,Properties,out Response)\n"
            "12 SetBusinessProcessProperties(serverUrl,BusinessProcessId,Properties,out Response)\n"
            "13 GetFolderProperties(serverUrl,FolderId,out Response)\n"
            "14 GetBusinessProcessProperties(serverUrl,BusinessProcessId,out Response)\n"
            "15 GetProjects(serverUrl,out Response)\n"
            "16 DeleteProject(serverUrl,ProjectName,out Response)\n"
            "17 DeleteFolder(serverUrl,FolderId,out Response)\n"
            "18 DeleteBusinessProcess(serverUrl,BusinessProcessId,out Response)\n"
            "19 SetMBP(serverUrl,BusinessProcessId,MBP,out Response)\n"
            "20 GetMBP(serverUrl,BusinessProcessId,out MBP)\n"
            "21 SetProjectInfo(serverUrl,ProjectId,ProjectInfo,out Response)\n"
            "22 GetProjectInfo(serverUrl,ProjectId,out ProjectInfo)\n"
            "23 GetChildren(serverUrl,Parent,out Response)\n"
            "25 SetMBPFile(serverUrl,BusinessProcessId,BPFile,out Response)\n"
            "26 GetMBPFile(serverUrl,BusinessProcessId,MBPFile)\n"
            "27 DownloadBP(serverUrl,BusinessProcessId,LocalDirectory,environment,out Response)\n");
}

TEST(ZANApiTypeInfo, EveryDispidReachesItsVtableSlot) {
  ITypeLib* lib = nullptr;
  ASSERT_EQ(LoadDescribedTypeLib(&lib), S_OK);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(zanclient::kIidIZANApi, &info), S_OK);
  Recorder rec;
  for (const tlb::MethodDesc& m : api::ZANClientTypeLib().interfaces[0].methods) {
    std::vector<Bstr> texts;
    std::vector<VARIANT> args(m.InCount());
    std::string expected = m.name + "(";
    for (size_t i = 0; i < m.InCount(); ++i) {
      texts.emplace_back(std::u16string(u"arg") + static_cast<char16_t>(u'0' + i));
      args[m.InCount() - 1 - i].vt = VT_BSTR;  // reverse order
      args[m.InCount() - 1 - i].bstrVal = texts.back().get();
      expected += (i ? ",arg" : "arg") + std::to_string(i);
    }
    expected += ")";
    DISPPARAMS dp{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    VARIANT result{};
    EXCEPINFO ei{};
    UINT argErr = 0;
    rec.last.clear();
    ASSERT_EQ(DispInvoke(static_cast<IZANApi*>(&rec), info, m.dispid, DISPATCH_METHOD, &dp, &result, &ei, &argErr),
              S_OK)
        << m.name;
    EXPECT_EQ(rec.last, expected);
    if (m.HasOut()) {
      ASSERT_EQ(result.vt, VT_BSTR) << m.name;
      EXPECT_EQ(BstrToString(result.bstrVal), m.name + " out");
      SysFreeString(result.bstrVal);
    } else {
      EXPECT_EQ(result.vt, VT_EMPTY) << m.name;
    }
  }
  info->Release();
  lib->Release();
}

}  // namespace
}  // namespace zan::test
