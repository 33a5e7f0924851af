// Ids, names and property values that would make an operation touch something other than its
// own node, through the loaded module against the test server: every writing operation
// refuses them before any request, with the failure it gives for a missing node, and the
// server's document root stays byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "support/host.h"
#include "support/temp_dir.h"
#include "support/tree_checksum.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

class HostileIdsTest : public HostServerTest {
 protected:
  void SetUp() override {
    HostServerTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ("ok " + Set(""), Result(api_->CreateProject(Root(), B("Alpha"), B(""), Out())));
    ASSERT_EQ("ok " + Set(""), Result(api_->CreateFolder(Root(), B("Alpha"), B("Designs"), B(""), Out())));
    ASSERT_EQ("ok " + Set(""),
              Result(api_->CreateBusinessProcess(Root(), B("Alpha/Designs"), B("Billing"), B(""), Out())));
    local_.Write("up/a.txt", "A");
    ASSERT_EQ("ok " + Set(""), Result(api_->UploadBP(Root(), B("Alpha/Designs/Billing"), B(local_ / "up"), Out())));
    mbp_ = Get(Url("Alpha/Designs/Billing/MBP.xml"));
    mpr_ = Get(Url("Alpha/MPR.xml"));
    local_.Write("changed.xml", mbp_);
  }

  // The document root of the server, every byte of it.
  static std::string DocumentRoot() { return TreeChecksums(DavServer::Dir() + "/dav"); }
  size_t RequestCount() const { return Requests("").size(); }

  TempDir local_;
  std::string mbp_;
  std::string mpr_;
};

struct WriteOperation {
  const char* name;
  std::function<HRESULT(const std::string& id)> call;
};

TEST_F(HostileIdsTest, EveryWritingOperationRefusesHostileIdsBeforeAnyRequest) {
  const std::string props = "<QKXItem><ZAN_DESCRIPTION>x</ZAN_DESCRIPTION></QKXItem>";
  const std::string dir = local_ / "up";
  const std::string file = local_ / "changed.xml";
  const std::vector<WriteOperation> operations = {
      {"DeleteProject", [&](const std::string& id) { return api_->DeleteProject(Root(), B(id), Out()); }},
      {"DeleteFolder", [&](const std::string& id) { return api_->DeleteFolder(Root(), B(id), Out()); }},
      {"DeleteBusinessProcess",
       [&](const std::string& id) { return api_->DeleteBusinessProcess(Root(), B(id), Out()); }},
      {"SetProjectProperties",
       [&](const std::string& id) { return api_->SetProjectProperties(Root(), B(id), B(props), Out()); }},
      {"SetFolderProperties",
       [&](const std::string& id) { return api_->SetFolderProperties(Root(), B(id), B(props), Out()); }},
      {"SetBusinessProcessProperties",
       [&](const std::string& id) {
         return api_->SetBusinessProcessProperties(Root(), B(id), B(props), Out());
       }},
      {"CreateFolder",
       [&](const std::string& id) { return api_->CreateFolder(Root(), B(id), B("New"), B(""), Out()); }},
      {"CreateBusinessProcess",
       [&](const std::string& id) {
         return api_->CreateBusinessProcess(Root(), B(id), B("New"), B(""), Out());
       }},
      {"SetMBP", [&](const std::string& id) { return api_->SetMBP(Root(), B(id), B(mbp_), Out()); }},
      {"SetMBPFile", [&](const std::string& id) { return api_->SetMBPFile(Root(), B(id), B(file), Out()); }},
      {"SetProjectInfo",
       [&](const std::string& id) { return api_->SetProjectInfo(Root(), B(id), B(mpr_), Out()); }},
      {"UploadBP", [&](const std::string& id) { return api_->UploadBP(Root(), B(id), B(dir), Out()); }},
  };
  const std::vector<std::string> hostile = {
      "",          "/",         ".",                 "..",           "Alpha/..",     "Alpha/Designs/../..",
      "Alpha\\..", "Alpha/./Designs", "Alpha/Designs/Billing/..", "Templates", "Templates/MBP.xml", "templates/",
      "%2e%2e",    "Alpha/%2e%2e",    "Alpha/Designs/%2E%2e/%2e%2e", "Alpha%2f..", "Templat%65s",
  };

  // What each operation reports for a node that does not exist (nothing there to change).
  std::vector<HRESULT> missing;
  for (const WriteOperation& op : operations) {
    const HRESULT hr = op.call("Nope");
    EXPECT_TRUE(FAILED(hr)) << op.name;
    missing.push_back(hr);
  }

  const std::string before = DocumentRoot();
  ASSERT_NE(std::string::npos, before.find("Alpha/Designs/Billing/AppFiles/a.txt")) << before;
  for (size_t i = 0; i < operations.size(); ++i) {
    for (const std::string& id : hostile) {
      SCOPED_TRACE(std::string(operations[i].name) + " '" + id + "'");
      const size_t requests = RequestCount();
      const std::string result = Result(operations[i].call(id));
      EXPECT_EQ(Hex(missing[i]), result.substr(0, result.find(' '))) << result;
      EXPECT_NE(std::string::npos, result.find("Refused id '" + id + "'")) << result;
      EXPECT_EQ(requests, RequestCount()) << "no request may leave";
    }
  }
  EXPECT_EQ(before, DocumentRoot());
}

TEST_F(HostileIdsTest, ReadsRefuseDotSegmentsButStillReadTheRootAndTheTemplates) {
  const std::string missingMbp = Result(api_->GetMBP(Root(), B("Nope"), Out()));
  for (const std::string id : {"Alpha/..", "..", "Alpha/Designs/%2e%2e"}) {
    SCOPED_TRACE(id);
    const size_t requests = RequestCount();
    EXPECT_EQ(0u, Result(api_->GetChildren(Root(), B(id), Out())).find("0x80040066 Item wasn't found."));
    EXPECT_EQ(0u, Result(api_->GetFolderProperties(Root(), B(id), Out()))
                      .find("0x80040194 The item you requested was not found. Refused id"));
    const std::string mbp = Result(api_->GetMBP(Root(), B(id + "/Designs/Billing"), Out()));
    EXPECT_EQ(missingMbp.substr(0, 10), mbp.substr(0, 10)) << mbp;
    EXPECT_EQ(requests, RequestCount());
  }
  EXPECT_EQ(0u, Result(api_->GetChildren(Root(), B(""), Out())).find("ok "));
  EXPECT_EQ(0u, Result(api_->GetProjects(Root(), Out())).find("ok "));
  const std::string templateMbp = Result(api_->GetMBP(Root(), B("Templates"), Out()));
  EXPECT_EQ(0u, templateMbp.find("ok ")) << templateMbp;
}

TEST_F(HostileIdsTest, HostileNamesAndNodePropertyValuesAreRefusedWithNothingCreated) {
  const std::string before = DocumentRoot();
  const std::vector<std::string> names = {"", ".", "..", "../../etc", "a/b", "a\\b", "tab\there", "bell\x07",
                                          "esc\x1b[2J", "cr\rlf\n", "del\x7f"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(0u, Result(api_->CreateProject(Root(), B(name), B(""), Out())).find("0x800403EC Invalid node name"));
    EXPECT_EQ(0u,
              Result(api_->CreateFolder(Root(), B("Alpha"), B(name), B(""), Out())).find("0x800403EC Invalid node name"));
    EXPECT_EQ(0u, Result(api_->CreateBusinessProcess(Root(), B("Alpha"), B(name), B(""), Out()))
                      .find("0x800403EC Invalid node name"));
  }
  EXPECT_EQ(0u, Result(api_->CreateProject(Root(), B("templates"), B(""), Out())).find("0x800403EC"));
  const std::vector<std::pair<std::string, std::string>> values = {
      {"ZAN_NAME", ".."},          {"ZAN_NAME", "a/b"},       {"ZAN_NAME", ""},
      {"ZAN_NODE_TYPE", "ZAN_ROOT"}, {"ZAN_NODE_TYPE", "x"},  {"ZAN_HAS_CHILDREN", "MAYBE"},
  };
  for (const auto& [name, value] : values) {
    SCOPED_TRACE(name + "=" + value);
    const std::string props = "<QKXItem><ZAN_DESCRIPTION>d</ZAN_DESCRIPTION><" + name + ">" + value + "</" + name +
                              "></QKXItem>";
    EXPECT_EQ(0u, Result(api_->SetProjectProperties(Root(), B("Alpha"), B(props), Out())).find("0x800403EC"));
    EXPECT_EQ(0u, Result(api_->SetFolderProperties(Root(), B("Alpha/Designs"), B(props), Out())).find("0x800403EC"));
    EXPECT_EQ(0u, Result(api_->SetBusinessProcessProperties(Root(), B("Alpha/Designs/Billing"), B(props), Out()))
                      .find("0x800403EC"));
    EXPECT_EQ(0u, Result(api_->CreateFolder(Root(), B("Alpha"), B("New"), B(props), Out())).find("0x800403EC"));
  }
  EXPECT_EQ(before, DocumentRoot());
}

TEST_F(HostileIdsTest, GetMBPFileDoesNotWriteThroughASymbolicLink) {
  ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them");
  local_.Write("outside/victim.xml", "victim");
  std::filesystem::create_directories(local_ / "get");
  std::filesystem::create_symlink(local_ / "outside/victim.xml", local_ / "get/MBP.xml");
  const std::string outside = TreeChecksums(local_ / "outside");
  const std::string result = Result(api_->GetMBPFile(Root(), B("Alpha/Designs/Billing"), B(local_ / "get")));
  EXPECT_NE(0u, result.find("ok")) << result;
  EXPECT_NE(std::string::npos, result.find("Could not write to file")) << result;
  EXPECT_EQ(outside, TreeChecksums(local_ / "outside"));
  EXPECT_TRUE(std::filesystem::is_symlink(local_ / "get/MBP.xml"));
}

}  // namespace
}  // namespace zan::test
