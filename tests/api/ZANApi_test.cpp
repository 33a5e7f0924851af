// CZANApi over a stand-in engine: the connection step, argument conversion and input
// preparation, the response text, the catch table and the failures no engine gives on demand.
#include "api/ZANApi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/ZANClientModule.h"
#include "base/GenException.h"
#include "fake_engine.h"
#include "platform/com/bstr.h"
#include "platform/com/errorinfo.h"
#include "platform/os/alert.h"
#include "support/temp_dir.h"
#include "xml/XMLSet.h"

namespace zan::test {
namespace {

std::string Hex(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
  return buffer;
}

// The response text of a set holding the one item ("Called", op).
std::string Response(const std::string& op) {
  XMLSet set;
  set.addItem("Called", op);
  return set.getXml();
}

std::string DefaultSetText() { return XMLSet().getXml(); }

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* object = new CZANApi(nullptr, std::make_unique<FakeEngine>(script_));
    ASSERT_EQ(S_OK, object->NonDelegatingUnknown()->QueryInterface(IID_IZANApi, reinterpret_cast<void**>(&api_)));
    ClearErrorInfo();
  }
  void TearDown() override {
    if (api_) api_->Release();
    SysFreeString(out_);
  }

  // A BSTR that lives until the test ends.
  BSTR B(const std::string& text) { return args_.emplace_back(Bstr::Attach(StringToBstr(text))).get(); }
  // The out parameter, emptied.
  BSTR* Out() {
    SysFreeString(out_);
    out_ = nullptr;
    return &out_;
  }
  // "ok <text>" or "<status> <error text>".
  std::string Result(HRESULT hr) {
    if (SUCCEEDED(hr)) return (hr == S_OK ? "ok " : Hex(hr) + " ") + BstrToString(out_);
    return Hex(hr) + " " + TakeErrorText();
  }
  static std::string TakeErrorText() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return "<none>";
    Bstr description;
    info->GetDescription(description.out());
    info->Release();
    return BstrToString(description.get());
  }
  static void ClearErrorInfo() { SetErrorInfo(0, nullptr); }

  EngineScript script_;
  IZANApi* api_ = nullptr;
  BSTR out_ = nullptr;
  std::vector<Bstr> args_;
};

// --- the connection step ---

TEST_F(ApiTest, EmptyServerUrlPassesTheConnectionStepWithoutConnecting) {
  EXPECT_EQ("ok " + Response("GetProjects"), Result(api_->GetProjects(B(""), Out())));
  EXPECT_EQ("GetProjects()", script_.Calls());
}

TEST_F(ApiTest, OneTrailingSeparatorNamesTheSameServer) {
  for (const char* url : {"http://a", "http://a/", "http://a\\", "http://a"})
    EXPECT_EQ("ok " + Response("GetProjects"), Result(api_->GetProjects(B(url), Out()))) << url;
  EXPECT_EQ("Init(http://a) GetProjects() GetProjects() GetProjects() GetProjects()", script_.Calls());

  script_.calls.clear();
  api_->GetProjects(B("http://a//"), Out());
  EXPECT_EQ("Init(http://a/) GetProjects()", script_.Calls());
}

TEST_F(ApiTest, AnotherServerReconnectsOnceAndStays) {
  for (const char* url : {"http://a", "http://b", "http://b", "http://B"}) api_->GetProjects(B(url), Out());
  EXPECT_EQ("Init(http://a) GetProjects() Init(http://b) GetProjects() GetProjects() Init(http://B) GetProjects()",
            script_.Calls());
}

TEST_F(ApiTest, AnEngineThatDeclinesGivesEFailWithoutErrorInformation) {
  script_.initResult = false;
  BSTR sentinel = B("untouched");
  out_ = sentinel;
  EXPECT_EQ(E_FAIL, api_->GetChildren(B("http://a"), B("Alpha"), &out_));
  EXPECT_EQ(sentinel, out_);
  out_ = nullptr;
  EXPECT_EQ("<none>", TakeErrorText());
  EXPECT_EQ("Init(http://a)", script_.Calls());
}

TEST_F(ApiTest, AFailedConnectionIsReportedOnceAndNotRetriedWithTheSameUrl) {
  script_.fault = [](const std::string& op) {
    if (op == "Init") throw CGenException("Can not Connect to http://a", 104, "CZanDavEngine", "InitToZanServer");
  };
  EXPECT_EQ(
      "0x80040068 Can not Connect to http://a\n\r\n\rError 104: Can not Connect to http://a "
      "(CZanDavEngine::InitToZanServer) \n\r",
      Result(api_->GetProjects(B("http://a"), Out())));
  EXPECT_EQ("ok " + Response("GetProjects"), Result(api_->GetProjects(B("http://a/"), Out())));
  EXPECT_EQ("Init(http://a) GetProjects()", script_.Calls());
}

TEST_F(ApiTest, ACOMErrorWhileConnectingIsConvertedWithEmptyNames) {
  script_.fault = [](const std::string& op) {
    if (op == "Init") throw _com_error(E_FAIL);
  };
  EXPECT_EQ("0x80044005 \n\r\n\rError -2147467259:   \n\r", Result(api_->GetProjects(B("http://a"), Out())));
}

TEST_F(ApiTest, OtherFailuresWhileConnectingAreSwallowedAndTheOperationGoesOn) {
  script_.fault = [](const std::string& op) {
    if (op == "Init") throw std::runtime_error("not an error object");
  };
  EXPECT_EQ("ok " + Response("GetProjects"), Result(api_->GetProjects(B("http://a"), Out())));
  EXPECT_EQ("Init(http://a) GetProjects()", script_.Calls());
}

// --- arguments, input preparation and results ---

TEST_F(ApiTest, ArgumentsReachTheEngineAsUtf8WithTheServerUrlAsGiven) {
  const std::string props = "<QKXItem><ZAN_DESCRIPTION>Größe &amp; Maß</ZAN_DESCRIPTION></QKXItem>";
  XMLSet parsed;
  parsed.loadXml(std::string_view(props));
  const std::string url = "http://a/";
  EXPECT_EQ("ok " + Response("CreateProject"), Result(api_->CreateProject(B(url), B("Ärger"), B(props), Out())));
  EXPECT_EQ("ok " + Response("CreateBusinessProcess"),
            Result(api_->CreateBusinessProcess(B(url), B("Ärger\\x"), B("Bp 1"), B(""), Out())));
  EXPECT_EQ("ok " + Response("UploadBP"), Result(api_->UploadBP(B(url), B("A/B"), B("/tmp/dir"), Out())));
  EXPECT_EQ("ok " + Response("DownloadBP"), Result(api_->DownloadBP(B(url), B("A/B"), B("/tmp/d"), B("env1"), Out())));
  EXPECT_EQ("ok " + Response("GetChildren"), Result(api_->GetChildren(B(url), nullptr, Out())));
  EXPECT_EQ("Init(http://a) CreateProject(http://a/,Ärger," + parsed.getXml() +
                ") CreateBusinessProcess(http://a/,Ärger\\x,Bp 1," + DefaultSetText() +
                ") UploadBP(http://a/,A/B,/tmp/dir) DownloadBP(http://a/,A/B,/tmp/d,env1) GetChildren()",
            script_.Calls());
}

TEST_F(ApiTest, CreationsTakeTheDefaultSetForEmptyPropertiesAndWritersTheParsedText) {
  const std::string url = "http://a";
  api_->CreateFolder(B(url), B("P"), B("F"), B(""), Out());
  api_->CreateFolder(B(url), B("P"), B("F"), nullptr, Out());
  api_->SetProjectProperties(B(url), B("P"), B("<QKXItem><a>1</a></QKXItem>"), Out());
  EXPECT_EQ("Init(http://a) CreateFolder(P,F," + DefaultSetText() + ") CreateFolder(P,F," + DefaultSetText() +
                ") SetProjectProperties(P,<QKXItem><a>1</a></QKXItem>)",
            script_.Calls());
}

TEST_F(ApiTest, PropertiesThatDoNotParseNeverReachTheEngine) {
  const std::string url = "http://a";
  api_->GetProjects(B(url), Out());  // connects
  const HRESULT refused = zan::err::StatusOf(zan::err::kXmlNotValid);
  EXPECT_EQ(refused, api_->SetFolderProperties(B(url), B("F"), B(""), Out()));
  EXPECT_EQ(refused, api_->SetBusinessProcessProperties(B(url), B("B"), nullptr, Out()));
  EXPECT_EQ(refused, api_->SetProjectProperties(B(url), B("P"), B("<a>"), Out()));
  EXPECT_EQ(refused, api_->CreateFolder(B(url), B("P"), B("F"), B("<a>"), Out()));
  EXPECT_EQ(refused, api_->CreateProject(B(url), B("P"), B("<a><b></a>"), Out()));
  EXPECT_EQ(refused, api_->CreateBusinessProcess(B(url), B("P"), B("B"), B("x"), Out()));
  EXPECT_EQ("Init(http://a) GetProjects()", script_.Calls());
}

TEST_F(ApiTest, EveryOperationReturnsItsResponseText) {
  const std::string u = "http://a";
  TempDir dir;
  dir.Write("file.xml", "<mbp/>");
  struct Row {
    const char* op;
    std::function<HRESULT()> call;
  };
  const std::vector<Row> rows = {
      {"CreateFolder", [&] { return api_->CreateFolder(B(u), B("P"), B("F"), B(""), Out()); }},
      {"CreateBusinessProcess", [&] { return api_->CreateBusinessProcess(B(u), B("P"), B("B"), B(""), Out()); }},
      {"UploadBP", [&] { return api_->UploadBP(B(u), B("B"), B("/d"), Out()); }},
      {"CreateProject", [&] { return api_->CreateProject(B(u), B("P"), B(""), Out()); }},
      {"GetProjectProperties", [&] { return api_->GetProjectProperties(B(u), B("P"), Out()); }},
      {"SetProjectProperties", [&] { return api_->SetProjectProperties(B(u), B("P"), B("<a/>"), Out()); }},
      {"SetFolderProperties", [&] { return api_->SetFolderProperties(B(u), B("F"), B("<a/>"), Out()); }},
      {"SetBusinessProcessProperties",
       [&] { return api_->SetBusinessProcessProperties(B(u), B("B"), B("<a/>"), Out()); }},
      {"GetFolderProperties", [&] { return api_->GetFolderProperties(B(u), B("F"), Out()); }},
      {"GetBusinessProcessProperties", [&] { return api_->GetBusinessProcessProperties(B(u), B("B"), Out()); }},
      {"GetProjects", [&] { return api_->GetProjects(B(u), Out()); }},
      {"Delete", [&] { return api_->DeleteProject(B(u), B("P"), Out()); }},
      {"Delete", [&] { return api_->DeleteFolder(B(u), B("F"), Out()); }},
      {"Delete", [&] { return api_->DeleteBusinessProcess(B(u), B("B"), Out()); }},
      {"SetBusinessProcessMBP", [&] { return api_->SetMBP(B(u), B("B"), B("<mbp/>"), Out()); }},
      {"SetProjectInfo", [&] { return api_->SetProjectInfo(B(u), B("P"), B("<projectinfo/>"), Out()); }},
      {"GetChildren", [&] { return api_->GetChildren(B(u), B("P"), Out()); }},
      {"SetBusinessProcessMBP", [&] { return api_->SetMBPFile(B(u), B("B"), B(dir / "file.xml"), Out()); }},
      {"DownloadBP", [&] { return api_->DownloadBP(B(u), B("B"), B("/d"), B("e"), Out()); }},
  };
  for (const Row& row : rows) EXPECT_EQ("ok " + Response(row.op), Result(row.call())) << row.op;
}

TEST_F(ApiTest, AnEngineOperationThatReturnsFalseIsAFailure) {
  // An operation that did not do its work never returns S_OK: code 1 with a text naming the
  // operation and the item, and the out parameter stays unwritten.
  script_.result = false;
  const std::string u = "http://a";
  struct Row {
    const char* text;
    std::function<HRESULT()> call;
  };
  const std::vector<Row> rows = {
      {"CreateFolder did not complete for P/F", [&] { return api_->CreateFolder(B(u), B("P"), B("F"), B(""), Out()); }},
      {"CreateBusinessProcess did not complete for P/B",
       [&] { return api_->CreateBusinessProcess(B(u), B("P"), B("B"), B(""), Out()); }},
      {"CreateProject did not complete for P", [&] { return api_->CreateProject(B(u), B("P"), B(""), Out()); }},
      {"UploadBP did not complete for B", [&] { return api_->UploadBP(B(u), B("B"), B("/d"), Out()); }},
      {"DownloadBP did not complete for B", [&] { return api_->DownloadBP(B(u), B("B"), B("/d"), B("e"), Out()); }},
      {"GetProjectProperties did not complete for P", [&] { return api_->GetProjectProperties(B(u), B("P"), Out()); }},
      {"SetProjectProperties did not complete for P",
       [&] { return api_->SetProjectProperties(B(u), B("P"), B("<a/>"), Out()); }},
      {"SetFolderProperties did not complete for F",
       [&] { return api_->SetFolderProperties(B(u), B("F"), B("<a/>"), Out()); }},
      {"SetBusinessProcessProperties did not complete for B",
       [&] { return api_->SetBusinessProcessProperties(B(u), B("B"), B("<a/>"), Out()); }},
      {"GetFolderProperties did not complete for F", [&] { return api_->GetFolderProperties(B(u), B("F"), Out()); }},
      {"GetBusinessProcessProperties did not complete for B",
       [&] { return api_->GetBusinessProcessProperties(B(u), B("B"), Out()); }},
      {"GetProjects did not complete for http://a", [&] { return api_->GetProjects(B(u), Out()); }},
      {"DeleteProject did not complete for P", [&] { return api_->DeleteProject(B(u), B("P"), Out()); }},
      {"DeleteFolder did not complete for F", [&] { return api_->DeleteFolder(B(u), B("F"), Out()); }},
      {"DeleteBusinessProcess did not complete for B",
       [&] { return api_->DeleteBusinessProcess(B(u), B("B"), Out()); }},
      {"GetChildren did not complete for P", [&] { return api_->GetChildren(B(u), B("P"), Out()); }},
      {"SetMBP did not complete for B", [&] { return api_->SetMBP(B(u), B("B"), B("<mbp/>"), Out()); }},
      {"GetMBP did not complete for B", [&] { return api_->GetMBP(B(u), B("B"), Out()); }},
      {"SetProjectInfo did not complete for P",
       [&] { return api_->SetProjectInfo(B(u), B("P"), B("<projectinfo/>"), Out()); }},
      {"GetProjectInfo did not complete for P", [&] { return api_->GetProjectInfo(B(u), B("P"), Out()); }},
  };
  for (const Row& row : rows) {
    const std::string result = Result(row.call());
    EXPECT_EQ("0x80040001 " + std::string(row.text), result.substr(0, 11 + std::string(row.text).size()))
        << result;
    EXPECT_EQ(nullptr, out_) << row.text;
  }
}

TEST_F(ApiTest, DocumentsPassAsTheirOwnText) {
  script_.document = "<mbp lastmodified=\"t\"><bp id=\"Alpha/Billing\"><x>ü</x></bp></mbp>";
  CMBPEntity stored;
  stored.loadXml(std::string_view(script_.document));
  EXPECT_EQ("ok " + stored.getXml(), Result(api_->GetMBP(B("http://a"), B("Alpha/Billing"), Out())));
  EXPECT_EQ("ok " + stored.getXml(), Result(api_->GetProjectInfo(B("http://a"), B("Alpha"), Out())));

  script_.calls.clear();
  api_->SetMBP(B("http://a"), B("Alpha/Billing"), B(script_.document), Out());
  api_->SetProjectInfo(B("http://a"), B("Alpha"), B("<projectinfo><projectName>Ö</projectName></projectinfo>"),
                       Out());
  CProjectInfoEntity info;
  info.loadXml(std::string_view("<projectinfo><projectName>Ö</projectName></projectinfo>"));
  EXPECT_EQ("SetBusinessProcessMBP(Alpha/Billing," + stored.getXml() + ") SetProjectInfo(Alpha," + info.getXml() + ")",
            script_.Calls());
}

TEST_F(ApiTest, MBPFilesPassThroughAnItemSet) {
  TempDir dir;
  dir.Write("in.xml", "<mbp>\n  <bp id=\"1\"/>\n</mbp>\n");
  XMLSet viaSet;
  viaSet.loadFromFile(dir / "in.xml");
  api_->SetMBPFile(B("http://a"), B("B"), B(dir / "in.xml"), Out());
  EXPECT_EQ("Init(http://a) SetBusinessProcessMBP(B," + viaSet.getXml() + ")", script_.Calls());

  EXPECT_EQ(S_OK, api_->GetMBPFile(B("http://a"), B("B"), B(dir.path())));
  XMLSet written;
  written.loadXml(std::string_view(script_.document));
  EXPECT_EQ(written.getXml(), dir.Read("MBP.xml"));

  const std::string missing = dir / "no/such";
  EXPECT_EQ("0x80040001 Could not write to file" + missing + "/MBP.xml\n\r\n\rError 1: Could not write to file" +
                missing + "/MBP.xml (CZANApi::GetMBPFile) \n\rError 1: Could not write to file" + missing +
                "/MBP.xml (CXmlBasicQKParser::toFile) \n\r",
            Result(api_->GetMBPFile(B("http://a"), B("B"), B(missing))));
}

// A file path that names no readable document, or an empty directory, never reaches the engine.
TEST_F(ApiTest, MBPFilePathsThatNameNothingFailBeforeTheEngine) {
  TempDir dir;
  dir.Write("bad.xml", "<mbp><bp></mbp>");
  for (const std::string& path : {dir / "missing.xml", dir.path(), dir / "bad.xml", std::string()}) {
    const std::string text = "Could not read file" + path;
    EXPECT_EQ("0x80040001 " + text + "\n\r\n\rError 1: " + text + " (CZANApi::SetMBPFile) \n\rError 1: " + text +
                  " (CXmlBasicQKParser::fromFile) \n\r",
              Result(api_->SetMBPFile(B("http://a"), B("B"), B(path), Out())));
  }
  EXPECT_EQ("0x80040001 No local directory was given\n\r\n\rError 1: No local directory was given (CZANApi::GetMBPFile) "
            "\n\rError 1: No local directory was given  \n\r",
            Result(api_->GetMBPFile(B("http://a"), B("B"), B(""))));
  EXPECT_EQ("Init(http://a)", script_.Calls());
}

TEST_F(ApiTest, DeleteAndMoveDoNothing) {
  BSTR sentinel = B("untouched");
  out_ = sentinel;
  EXPECT_EQ(S_OK, api_->Delete(B("http://a"), B("Alpha"), &out_));
  EXPECT_EQ(S_OK, api_->Move(B("http://a"), B("Alpha"), B("Beta"), &out_));
  EXPECT_EQ(S_OK, api_->Delete(nullptr, nullptr, nullptr));
  EXPECT_EQ(sentinel, out_);
  out_ = nullptr;
  EXPECT_EQ("", script_.Calls());
}

TEST_F(ApiTest, ANullOutPointerIsRefusedBeforeAnyWork) {
  BSTR u = B("http://a");
  BSTR x = B("x");
  const std::vector<std::function<HRESULT()>> calls = {
      [&] { return api_->CreateFolder(u, x, x, x, nullptr); },
      [&] { return api_->CreateBusinessProcess(u, x, x, x, nullptr); },
      [&] { return api_->UploadBP(u, x, x, nullptr); },
      [&] { return api_->CreateProject(u, x, x, nullptr); },
      [&] { return api_->GetProjectProperties(u, x, nullptr); },
      [&] { return api_->SetProjectProperties(u, x, x, nullptr); },
      [&] { return api_->SetFolderProperties(u, x, x, nullptr); },
      [&] { return api_->SetBusinessProcessProperties(u, x, x, nullptr); },
      [&] { return api_->GetFolderProperties(u, x, nullptr); },
      [&] { return api_->GetBusinessProcessProperties(u, x, nullptr); },
      [&] { return api_->GetProjects(u, nullptr); },
      [&] { return api_->DeleteProject(u, x, nullptr); },
      [&] { return api_->DeleteFolder(u, x, nullptr); },
      [&] { return api_->DeleteBusinessProcess(u, x, nullptr); },
      [&] { return api_->SetMBP(u, x, x, nullptr); },
      [&] { return api_->GetMBP(u, x, nullptr); },
      [&] { return api_->SetProjectInfo(u, x, x, nullptr); },
      [&] { return api_->GetProjectInfo(u, x, nullptr); },
      [&] { return api_->GetChildren(u, x, nullptr); },
      [&] { return api_->SetMBPFile(u, x, x, nullptr); },
      [&] { return api_->DownloadBP(u, x, x, x, nullptr); },
  };
  for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(E_POINTER, calls[i]()) << i;
  EXPECT_EQ("", script_.Calls());
}

// --- the catch table ---

class CatchTest : public ApiTest {
 protected:
  std::string Fail(const std::function<HRESULT()>& call, const std::string& failingOp,
                   const std::function<void()>& raise) {
    script_.fault = [&](const std::string& op) {
      if (op == failingOp) raise();
    };
    return Result(call());
  }
};

TEST_F(CatchTest, ErrorObjectsPassUnchangedExceptThroughTheDocumentOperations) {
  const std::string u = "http://a";
  TempDir dir;
  dir.Write("file.xml", "<mbp/>");
  struct Row {
    const char* engineOp;
    const char* context;  // the API's own context line, or "" when the error passes unchanged
    std::function<HRESULT()> call;
  };
  const std::vector<Row> rows = {
      {"CreateFolder", "", [&] { return api_->CreateFolder(B(u), B("P"), B("F"), B(""), Out()); }},
      {"CreateBusinessProcess", "", [&] { return api_->CreateBusinessProcess(B(u), B("P"), B("B"), B(""), Out()); }},
      {"CreateProject", "", [&] { return api_->CreateProject(B(u), B("P"), B(""), Out()); }},
      {"GetProjectProperties", "", [&] { return api_->GetProjectProperties(B(u), B("P"), Out()); }},
      {"SetProjectProperties", "", [&] { return api_->SetProjectProperties(B(u), B("P"), B("<a/>"), Out()); }},
      {"SetFolderProperties", "", [&] { return api_->SetFolderProperties(B(u), B("F"), B("<a/>"), Out()); }},
      {"SetBusinessProcessProperties", "",
       [&] { return api_->SetBusinessProcessProperties(B(u), B("B"), B("<a/>"), Out()); }},
      {"GetFolderProperties", "", [&] { return api_->GetFolderProperties(B(u), B("F"), Out()); }},
      {"GetBusinessProcessProperties", "",
       [&] { return api_->GetBusinessProcessProperties(B(u), B("B"), Out()); }},
      {"GetProjects", "", [&] { return api_->GetProjects(B(u), Out()); }},
      {"Delete", "", [&] { return api_->DeleteProject(B(u), B("P"), Out()); }},
      {"Delete", "", [&] { return api_->DeleteFolder(B(u), B("F"), Out()); }},
      {"Delete", "", [&] { return api_->DeleteBusinessProcess(B(u), B("B"), Out()); }},
      {"DownloadBP", "", [&] { return api_->DownloadBP(B(u), B("B"), B("/d"), B("e"), Out()); }},
      {"GetChildren", "", [&] { return api_->GetChildren(B(u), B("P"), Out()); }},
      {"SetBusinessProcessMBP", "SetMBP", [&] { return api_->SetMBP(B(u), B("B"), B("<mbp/>"), Out()); }},
      {"GetBusinessProcessMBP", "GetMBP", [&] { return api_->GetMBP(B(u), B("B"), Out()); }},
      {"SetProjectInfo", "SetProjectInfo",
       [&] { return api_->SetProjectInfo(B(u), B("P"), B("<projectinfo/>"), Out()); }},
      {"GetProjectInfo", "GetProjectInfo", [&] { return api_->GetProjectInfo(B(u), B("P"), Out()); }},
      {"SetBusinessProcessMBP", "SetMBPFile", [&] { return api_->SetMBPFile(B(u), B("B"), B(dir / "file.xml"), Out()); }},
      {"GetBusinessProcessMBP", "GetMBPFile", [&] { return api_->GetMBPFile(B(u), B("B"), B("/none")); }},
  };
  const std::string engineLine = "Error 7: Seven (CZanDavEngine::X) \n\r";
  for (const Row& row : rows) {
    const std::string context = *row.context ? std::string("Error 7: Seven (CZANApi::") + row.context + ") \n\r" : "";
    EXPECT_EQ("0x80040007 Seven\n\r\n\r" + context + engineLine,
              Fail(row.call, row.engineOp, [] { throw CGenException("Seven", 7, "CZanDavEngine", "X"); }))
        << row.engineOp << " " << row.context;
  }
}

TEST_F(CatchTest, COMErrorsAreConvertedWithTheOperationsNamesWhereItHasThem) {
  const std::string u = "http://a";
  const auto raise = [] { throw _com_error(E_FAIL, "boom"); };
  const std::string plain = "0x80044005 boom\n\r\n\rError -2147467259: boom  \n\r";
  const auto named = [](const std::string& op) {
    return "0x80044005 boom\n\r\n\rError -2147467259: boom (CZANApi::" + op + ") \n\r";
  };
  EXPECT_EQ(plain, Fail([&] { return api_->CreateProject(B(u), B("P"), B(""), Out()); }, "CreateProject", raise));
  EXPECT_EQ(plain, Fail([&] { return api_->DeleteFolder(B(u), B("F"), Out()); }, "Delete", raise));
  EXPECT_EQ(named("GetChildren"), Fail([&] { return api_->GetChildren(B(u), B("P"), Out()); }, "GetChildren", raise));
  EXPECT_EQ(named("GetMBP"), Fail([&] { return api_->GetMBP(B(u), B("B"), Out()); }, "GetBusinessProcessMBP", raise));
  EXPECT_EQ(named("SetProjectInfo"),
            Fail([&] { return api_->SetProjectInfo(B(u), B("P"), B("<p/>"), Out()); }, "SetProjectInfo", raise));
}

TEST_F(CatchTest, GetChildrenReportsItemNotFoundUnchanged) {
  EXPECT_EQ("0x80040066 Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r",
            Fail([&] { return api_->GetChildren(B("http://a"), B("Missing"), Out()); }, "GetChildren",
                 [] { throw CGenException("Item wasn't found.", 102, "", ""); }));
}

TEST_F(CatchTest, FailuresOfOtherKindsFollowTheErrorContract) {
  const auto call = [&] { return api_->GetProjects(B("http://a"), Out()); };
  EXPECT_EQ("0x8007000E Out of memory\n\r\n\rError -2147024882: Out of memory (CZANApi::GetProjects) \n\r",
            Fail(call, "GetProjects", [] { throw std::bad_alloc(); }));
  EXPECT_EQ("0x80040154 Unknown Error.\n\r\n\rError -2147221164: Unknown Error. (CZANApi::GetProjects) \n\r",
            Fail(call, "GetProjects", [] { throw REGDB_E_CLASSNOTREG; }));
  EXPECT_EQ("0x80040001 Unknown Error.\n\r\n\rError 1: Unknown Error. (CZANApi::GetProjects) \n\r",
            Fail(call, "GetProjects", [] { throw std::runtime_error("x"); }));
}

TEST_F(CatchTest, AFailedUploadShowsOneAlertAfterReporting) {
  std::vector<std::string> alerts;
  os::AlertSink previous = os::SetAlertSink([&](std::string_view caption, std::string_view text) {
    alerts.push_back(std::string(caption) + "|" + std::string(text));
  });
  const auto upload = [&] { return api_->UploadBP(B("http://a"), B("B"), B("/d"), Out()); };
  const std::string full = "Four\n\r\n\rError 4: Four (CZanDavEngine::UploadBP) \n\r";
  EXPECT_EQ("0x80040004 " + full,
            Fail(upload, "UploadBP", [] { throw CGenException("Four", 4, "CZanDavEngine", "UploadBP"); }));
  EXPECT_EQ(std::vector<std::string>{"ZAN|" + full}, alerts);

  alerts.clear();
  EXPECT_EQ("0x80044005 \n\r\n\rError -2147467259:   \n\r", Fail(upload, "UploadBP", [] { throw _com_error(E_FAIL); }));
  EXPECT_EQ("ok " + Response("UploadBP"), Fail(upload, "none", [] {}));
  EXPECT_TRUE(alerts.empty());
  os::SetAlertSink(previous);
}

TEST_F(CatchTest, SuccessLeavesTheErrorInformationAlone) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(S_OK, CreateErrorInfo(&create));
  create->SetDescription(const_cast<LPOLESTR>(AsOleText(u"earlier")));
  IErrorInfo* info = nullptr;
  create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
  SetErrorInfo(0, info);
  info->Release();
  create->Release();
  EXPECT_EQ("ok " + Response("GetProjects"), Result(api_->GetProjects(B("http://a"), Out())));
  EXPECT_EQ("earlier", TakeErrorText());
}

// --- identity, lifetime and aggregation ---

// A controlling object that counts the references it is given and answers IZANApi from its
// inner object.
class Outer final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  IUnknown* inner = nullptr;
  ULONG refs = 1;
};

TEST(ApiObject, AnswersIZANApiIDispatchAndIUnknownWithOneIdentity) {
  EngineScript script;
  const LONG locks = CZANClientModule::GetLockCount();
  auto* object = new CZANApi(nullptr, std::make_unique<FakeEngine>(script));
  EXPECT_EQ(locks + 1, CZANClientModule::GetLockCount());
  IZANApi* api = nullptr;
  ASSERT_EQ(S_OK, object->NonDelegatingUnknown()->QueryInterface(IID_IZANApi, reinterpret_cast<void**>(&api)));
  void* dispatch = nullptr;
  void* unknown = nullptr;
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(S_OK, api->QueryInterface(IID_IDispatch, &dispatch));
  EXPECT_EQ(S_OK, api->QueryInterface(IID_IUnknown, &unknown));
  const IID supportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  EXPECT_EQ(E_NOINTERFACE, api->QueryInterface(supportErrorInfo, &other));
  EXPECT_EQ(nullptr, other);
  EXPECT_EQ(static_cast<void*>(api), dispatch);
  EXPECT_EQ(static_cast<void*>(api), unknown);
  EXPECT_EQ(4u, api->AddRef());
  for (int i = 0; i < 3; ++i) api->Release();
  EXPECT_EQ(locks + 1, CZANClientModule::GetLockCount());
  EXPECT_EQ(0u, api->Release());
  EXPECT_EQ(locks, CZANClientModule::GetLockCount());
}

TEST(ApiObject, AnAggregatedObjectDelegatesToItsOuterObject) {
  EngineScript script;
  Outer outer;
  auto* object = new CZANApi(&outer, std::make_unique<FakeEngine>(script));
  IUnknown* inner = nullptr;
  ASSERT_EQ(S_OK, object->NonDelegatingUnknown()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&inner)));
  outer.inner = inner;
  EXPECT_EQ(object->NonDelegatingUnknown(), inner);

  IZANApi* api = nullptr;
  ASSERT_EQ(S_OK, inner->QueryInterface(IID_IZANApi, reinterpret_cast<void**>(&api)));
  EXPECT_EQ(2u, outer.refs);  // the face's reference is the outer object's
  void* identity = nullptr;
  EXPECT_EQ(S_OK, api->QueryInterface(IID_IUnknown, &identity));
  EXPECT_EQ(static_cast<void*>(&outer), identity);
  EXPECT_EQ(3u, outer.refs);
  api->Release();
  api->Release();
  EXPECT_EQ(1u, outer.refs);
  EXPECT_EQ(0u, inner->Release());  // the outer object lets go of its inner object
}

}  // namespace
}  // namespace zan::test
