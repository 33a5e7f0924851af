// The 24 operations of a ZANApi object created through the loaded module, called through its
// vtable against the test server: responses on success, status and full error text on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "support/temp_dir.h"
#include "support/tree_checksum.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

std::string Node(const std::string& name, const std::string& type, const std::string& hasChildren) {
  return Item({{"ZAN_NAME", name}, {"ZAN_NODE_TYPE", type}, {"ZAN_HAS_CHILDREN", hasChildren}});
}

// The lines of a full error text: the description first, then one formatted line per state.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\n\r", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  lines.push_back(text.substr(start));
  return lines;
}

// The contexts ("Class::Method") of the first n formatted lines of a full error text.
std::string Contexts(const std::string& text, size_t n) {
  std::string out;
  for (const std::string& line : Lines(text)) {
    if (!line.starts_with("Error ") || n == 0) continue;
    --n;
    const size_t open = line.rfind(" (");
    const size_t close = line.rfind(") ");
    out += (out.empty() ? "" : " ") +
           (open == std::string::npos || close < open ? std::string() : line.substr(open + 2, close - open - 2));
  }
  return out;
}

class OperationsTest : public HostServerTest {
 protected:
  // Alpha (project) / Designs (folder) / Billing (business process).
  void MakeTree() {
    ASSERT_EQ("ok " + Set(""), Result(api_->CreateProject(Root(), B("Alpha"), B(""), Out())));
    ASSERT_EQ("ok " + Set(""), Result(api_->CreateFolder(Root(), B("Alpha"), B("Designs"), B(""), Out())));
    ASSERT_EQ("ok " + Set(""),
              Result(api_->CreateBusinessProcess(Root(), B("Alpha/Designs"), B("Billing"), B(""), Out())));
  }
};

TEST_F(OperationsTest, CreatesListsAndDeletesNodes) {
  EXPECT_EQ("ok " + Set(""), Result(api_->GetProjects(Root(), Out())));
  EXPECT_EQ("ok " + Set(""),
            Result(api_->CreateProject(Root(), B("Alpha"),
                                       B("<QKXItem><ZAN_DESCRIPTION>Sales &amp; more</ZAN_DESCRIPTION></QKXItem>"),
                                       Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->CreateFolder(Root(), B("Alpha"), B("Designs"), B(""), Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->CreateFolder(Root(), B("Alpha"), B("Größe"), B(""), Out())));
  EXPECT_EQ("ok " + Set(""),
            Result(api_->CreateBusinessProcess(Root(), B("Alpha/Designs"), B("Billing"), B(""), Out())));
  EXPECT_TRUE(Exists(Url("Alpha/MPR.xml")));
  EXPECT_TRUE(Exists(Url("Alpha/Designs/Billing/MBP.xml")));

  EXPECT_EQ("ok " + Set(Node("Alpha", "ZAN_PROJECT", "TRUE")), Result(api_->GetProjects(Root(), Out())));
  const std::string children = Result(api_->GetChildren(Root(), B("Alpha"), Out()));
  EXPECT_TRUE(children == "ok " + Set(Node("Designs", "ZAN_FOLDER", "TRUE") + Node("Größe", "ZAN_FOLDER", "FALSE")) ||
              children == "ok " + Set(Node("Größe", "ZAN_FOLDER", "FALSE") + Node("Designs", "ZAN_FOLDER", "TRUE")))
      << children;
  EXPECT_EQ("ok " + Set(Node("Billing", "ZAN_BP", "FALSE")), Result(api_->GetChildren(Root(), B("Alpha/Designs/"), Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->GetChildren(Root(), B("Alpha/Designs/Billing"), Out())));

  EXPECT_EQ("ok " + Set(""), Result(api_->DeleteBusinessProcess(Root(), B("Alpha/Designs/Billing"), Out())));
  EXPECT_FALSE(Exists(Url("Alpha/Designs/Billing")));
  EXPECT_EQ("ok " + Set(""), Result(api_->DeleteFolder(Root(), B("Alpha/Designs"), Out())));
  EXPECT_EQ("ok " + Set(Node("Größe", "ZAN_FOLDER", "FALSE")), Result(api_->GetChildren(Root(), B("Alpha"), Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->DeleteProject(Root(), B("Alpha"), Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->GetProjects(Root(), Out())));
}

TEST_F(OperationsTest, ReadsAndWritesProperties) {
  MakeTree();
  EXPECT_EQ("ok " + Set(Item({{"ZAN_NAME", "Alpha"}, {"ZAN_NODE_TYPE", "ZAN_PROJECT"}, {"ZAN_HAS_CHILDREN", "TRUE"}})),
            Result(api_->GetProjectProperties(Root(), B("Alpha"), Out())));
  const std::string description = "<QKXItem><ZAN_DESCRIPTION>Ünïcödé &lt;1&gt;</ZAN_DESCRIPTION></QKXItem>";
  EXPECT_EQ("ok " + Set(""), Result(api_->SetProjectProperties(Root(), B("Alpha"), B(description), Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->SetFolderProperties(Root(), B("Alpha/Designs"), B(description), Out())));
  EXPECT_EQ("ok " + Set(""),
            Result(api_->SetBusinessProcessProperties(Root(), B("Alpha/Designs/Billing"), B(description), Out())));
  const std::string d = "Ünïcödé &lt;1&gt;";
  EXPECT_EQ("ok " + Set(Item({{"ZAN_NAME", "Alpha"}, {"ZAN_NODE_TYPE", "ZAN_PROJECT"}, {"ZAN_HAS_CHILDREN", "TRUE"},
                              {"ZAN_DESCRIPTION", d}})),
            Result(api_->GetProjectProperties(Root(), B("Alpha"), Out())));
  EXPECT_EQ("ok " + Set(Item({{"ZAN_HAS_CHILDREN", "TRUE"}, {"ZAN_NODE_TYPE", "ZAN_FOLDER"}, {"ZAN_NAME", "Designs"},
                              {"ZAN_DESCRIPTION", d}})),
            Result(api_->GetFolderProperties(Root(), B("Alpha/Designs"), Out())));
  EXPECT_EQ("ok " + Set(Item({{"ZAN_HAS_CHILDREN", "FALSE"}, {"ZAN_NODE_TYPE", "ZAN_BP"}, {"ZAN_DESCRIPTION", d},
                              {"ZAN_NAME", "Billing"}})),
            Result(api_->GetBusinessProcessProperties(Root(), B("Alpha/Designs/Billing"), Out())));
}

TEST_F(OperationsTest, ReadsAndMergesDocuments) {
  MakeTree();
  const std::string stored = Get(Url("Alpha/Designs/Billing/MBP.xml"));
  const std::string mbp = Result(api_->GetMBP(Root(), B("Alpha/Designs/Billing"), Out()));
  ASSERT_TRUE(mbp.starts_with("ok ")) << mbp;
  EXPECT_NE(std::string::npos, mbp.find("<bp id=\"Alpha/Designs/Billing\" name=\"Billing\"")) << mbp;
  EXPECT_NE(std::string::npos, mbp.find("<owner>Finance IT</owner>")) << mbp;

  // A marked change replaces its element; everything else stays as stored.
  std::string changed = mbp.substr(3);
  const std::string owner = "<owner>Finance IT</owner>";
  changed.replace(changed.find(owner), owner.size(), "<owner dirty=\"1\">Billing team</owner>");
  const std::string merged = Result(api_->SetMBP(Root(), B("Alpha/Designs/Billing"), B(changed), Out()));
  ASSERT_TRUE(merged.starts_with("ok ")) << merged;
  EXPECT_NE(std::string::npos, merged.find("<owner>Billing team</owner>")) << merged;
  EXPECT_EQ(std::string::npos, merged.find("dirty")) << merged;
  EXPECT_EQ(std::string::npos, merged.find("_pkid")) << merged;
  EXPECT_EQ(merged.substr(3), Get(Url("Alpha/Designs/Billing/MBP.xml")));  // returned as stored
  EXPECT_NE(stored, Get(Url("Alpha/Designs/Billing/MBP.xml")));

  const std::string info = Result(api_->GetProjectInfo(Root(), B("Alpha"), Out()));
  ASSERT_TRUE(info.starts_with("ok ")) << info;
  EXPECT_NE(std::string::npos, info.find("<projectName>Alpha</projectName>")) << info;
  std::string changedInfo = info.substr(3);
  const std::string contacts = "<contacts>";
  changedInfo.replace(changedInfo.find(contacts), contacts.size(),
                      "<contacts><contact pkid=\"qa\" name=\"Quality\" mail=\"qa@example.com\"/>");
  const std::string mergedInfo = Result(api_->SetProjectInfo(Root(), B("Alpha"), B(changedInfo), Out()));
  EXPECT_NE(std::string::npos, mergedInfo.find("<contact pkid=\"qa\" name=\"Quality\"")) << mergedInfo;
  EXPECT_NE(std::string::npos, Get(Url("Alpha/MPR.xml")).find("pkid=\"qa\""));
}

TEST_F(OperationsTest, ReadsAndWritesMBPFiles) {
  MakeTree();
  TempDir local;
  Out();
  EXPECT_EQ("ok ", Result(api_->GetMBPFile(Root(), B("Alpha/Designs/Billing"), B(local.path()))));
  const std::string written = local.Read("MBP.xml");
  EXPECT_NE(std::string::npos, written.find("<bp id=\"Alpha/Designs/Billing\"")) << written;

  std::string changed = written;
  const std::string owner = "<owner>Finance IT</owner>";
  ASSERT_NE(std::string::npos, changed.find(owner)) << changed;
  changed.replace(changed.find(owner), owner.size(), "<owner dirty=\"1\">From a file</owner>");
  local.Write("changed.xml", changed);
  const std::string merged = Result(api_->SetMBPFile(Root(), B("Alpha/Designs/Billing"), B(local / "changed.xml"), Out()));
  EXPECT_NE(std::string::npos, merged.find("<owner>From a file</owner>")) << merged;
  EXPECT_NE(std::string::npos, Get(Url("Alpha/Designs/Billing/MBP.xml")).find("<owner>From a file</owner>"));
}

TEST_F(OperationsTest, UploadsAndDownloadsApplicationFiles) {
  MakeTree();
  TempDir local;
  local.Write("up/run.usr", "[General]\nUser=me\n");
  local.Write("up/data/input.txt", "äöü\n");
  EXPECT_EQ("ok " + Set(""),
            Result(api_->UploadBP(Root(), B("Alpha/Designs/Billing"), B(local / "up"), Out())));
  EXPECT_EQ("data/\nrun.usr", List(Url("Alpha/Designs/Billing/AppFiles")));

  EXPECT_EQ("ok " + Set(""),
            Result(api_->DownloadBP(Root(), B("Alpha/Designs/Billing"), B(local / "down"), B("DEV"), Out())));
  EXPECT_EQ("äöü\n", local.Read("down/data/input.txt"));
  const std::string usr = local.Read("down/run.usr");
  EXPECT_NE(std::string::npos, usr.find("ParameterFile=3.prm")) << usr;
  EXPECT_NE(std::string::npos, usr.find("DefaultCfg=dev_local.cfg")) << usr;
}

TEST_F(OperationsTest, AnUploadBuildsTheTreeBesideTheOldOneAndSwapsItIn) {
  MakeTree();
  TempDir local;
  local.Write("up/run.usr", "[General]\nUser=me\n");
  local.Write("up/data/input.txt", "one");
  const std::string billing = R().substr(R().find('/', 8)) + "/Alpha/Designs/Billing/";
  ASSERT_EQ("ok " + Set(""), Result(api_->UploadBP(Root(), B("Alpha/Designs/Billing"), B(local / "up"), Out())));
  const size_t first = Requests(billing).size();
  local.Write("up/data/input.txt", "two");
  ASSERT_EQ("ok " + Set(""), Result(api_->UploadBP(Root(), B("Alpha/Designs/Billing"), B(local / "up"), Out())));
  // The server's access log: per upload one MKCOL per directory (the staging collection the
  // first), one PUT per file, one MOVE of the old tree aside and one of the new tree in; the
  // old tree is deleted only after the new one has taken its name. The PUTs run on parallel
  // connections and a server logs a request after it has answered it, so a PUT's line may
  // follow a MOVE the client sent once that PUT was answered: the order is checked on the
  // other requests, which go one after another; that the moved tree was whole shows in its
  // content below.
  std::vector<std::string> second = Requests(billing);
  second.erase(second.begin(), second.begin() + static_cast<std::ptrdiff_t>(first));
  std::string methods;
  std::string inSequence;
  for (const std::string& line : second) {
    const std::string method = line.substr(0, line.find(' '));
    methods += method + " ";
    if (method != "PUT") inSequence += method + " ";
  }
  EXPECT_EQ(7u, second.size()) << methods;
  EXPECT_EQ(2, std::count_if(second.begin(), second.end(), [](const std::string& l) { return l.starts_with("PUT "); }))
      << methods;
  EXPECT_EQ("MKCOL MKCOL MOVE MOVE DELETE ", inSequence) << methods;
  EXPECT_EQ("AppFiles/\nMBP.xml", List(Url("Alpha/Designs/Billing")));
  EXPECT_EQ("two", Get(Url("Alpha/Designs/Billing/AppFiles/data/input.txt")));
}

TEST_F(OperationsTest, LocalPathsThatNameNothingFailAndLeaveTheServerAsItWas) {
  MakeTree();
  TempDir local;
  local.Write("up/run.usr", "[General]\nUser=me\n");
  local.Write("bad.xml", "<mbp><bp></mbp>");
  ASSERT_EQ("ok " + Set(""), Result(api_->UploadBP(Root(), B("Alpha/Designs/Billing"), B(local / "up"), Out())));
  const std::string root = DavServer::Dir() + "/dav" + R().substr(Server().size());
  const std::string before = TreeChecksums(root);
  const bool rootFileBefore = std::filesystem::exists("/MBP.xml");
  struct Case {
    std::function<HRESULT()> call;
    std::string description;
    std::string context;
  };
  auto upload = [&](const std::string& dir) {
    return [&, dir] { return api_->UploadBP(Root(), B("Alpha/Designs/Billing"), B(dir), Out()); };
  };
  auto setFile = [&](const std::string& file) {
    return [&, file] { return api_->SetMBPFile(Root(), B("Alpha/Designs/Billing"), B(file), Out()); };
  };
  const std::vector<Case> cases = {
      {upload(local / "missing"), "The local directory does not exist: " + (local / "missing"), "CZanDavEngine::UploadBP"},
      {upload(local / "bad.xml"), "The local path is not a directory: " + (local / "bad.xml"), "CZanDavEngine::UploadBP"},
      {upload(""), "No local directory was given", "CZanDavEngine::UploadBP"},
      {setFile(local / "missing.xml"), "Could not read file" + (local / "missing.xml"), "CZANApi::SetMBPFile"},
      {setFile(local / "up"), "Could not read file" + (local / "up"), "CZANApi::SetMBPFile"},
      {setFile(local / "bad.xml"), "Could not read file" + (local / "bad.xml"), "CZANApi::SetMBPFile"},
      {setFile(""), "Could not read file", "CZANApi::SetMBPFile"},
      {[&] { return api_->GetMBPFile(Root(), B("Alpha/Designs/Billing"), B("")); }, "No local directory was given",
       "CZANApi::GetMBPFile"},
  };
  for (const Case& c : cases) {
    const std::string result = Result(c.call());
    EXPECT_EQ("0x80040001 " + c.description + "\n\r\n\rError 1: " + c.description + " (" + c.context + ") ",
              result.substr(0, result.find("\n\r", result.find("\n\r\n\r") + 4)))
        << result;
  }
  EXPECT_EQ(before, TreeChecksums(root));
  EXPECT_EQ(rootFileBefore, std::filesystem::exists("/MBP.xml"));
}

TEST_F(OperationsTest, AProcessThatWasNeverUploadedDownloadsAsAnEmptyTree) {
  MakeTree();
  TempDir local;
  EXPECT_EQ("ok " + Set(""),
            Result(api_->DownloadBP(Root(), B("Alpha/Designs/Billing"), B(local / "down"), B("DEV"), Out())));
  EXPECT_EQ("", TreeChecksums(local / "down"));
}

TEST_F(OperationsTest, DeleteAndMoveChangeNothing) {
  MakeTree();
  BSTR* out = Out();
  EXPECT_EQ(S_OK, api_->Delete(Root(), B("Alpha"), out));
  EXPECT_EQ(nullptr, *out);
  EXPECT_EQ(S_OK, api_->Move(Root(), B("Alpha/Designs"), B("Beta"), out));
  EXPECT_EQ(nullptr, *out);
  EXPECT_TRUE(Exists(Url("Alpha/Designs/Billing")));
}

// --- failures ---

TEST_F(OperationsTest, AMissingNodeIsReportedWithItsFullText) {
  EXPECT_EQ("0x80040066 Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r",
            Result(api_->GetChildren(Root(), B("Missing"), Out())));

  // The document operations add their own line to the error's path; the listing does not.
  const std::string mbp = Result(api_->GetMBP(Root(), B("Missing"), Out()));
  EXPECT_EQ("CZANApi::GetMBP CZanDavEngine::GetBusinessProcessMBP", Contexts(mbp, 2)) << mbp;
  const std::vector<std::string> lines = Lines(mbp);
  ASSERT_LE(4u, lines.size()) << mbp;
  EXPECT_EQ(lines[3].substr(0, lines[3].rfind(" (")) + " (CZANApi::GetMBP) ", lines[2])
      << "the context line repeats the error's description and code";
}

TEST_F(OperationsTest, PropertiesThatDoNotParseAreRefusedBeforeAnyChange) {
  MakeTree();
  const std::string before = Result(api_->GetFolderProperties(Root(), B("Alpha/Designs"), Out()));
  const std::string refused = "0x800403EB XMLSet passed Xml not valid\n\r\n\rError 1003: XMLSet passed Xml not valid  \n\r";
  for (const char* bad : {"<QKXItem><Owner>x</Owner>", "not xml", "<?xml version=\"1.0\"?>"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(refused, Result(api_->CreateProject(Root(), B("Beta"), B(bad), Out())));
    EXPECT_EQ(refused, Result(api_->CreateFolder(Root(), B("Alpha"), B("Notes"), B(bad), Out())));
    EXPECT_EQ(refused, Result(api_->CreateBusinessProcess(Root(), B("Alpha"), B("Orders"), B(bad), Out())));
    EXPECT_EQ(refused, Result(api_->SetProjectProperties(Root(), B("Alpha"), B(bad), Out())));
    EXPECT_EQ(refused, Result(api_->SetFolderProperties(Root(), B("Alpha/Designs"), B(bad), Out())));
    EXPECT_EQ(refused, Result(api_->SetBusinessProcessProperties(Root(), B("Alpha/Designs/Billing"), B(bad), Out())));
  }
  // A writer has nothing to write without a text.
  EXPECT_EQ(refused, Result(api_->SetFolderProperties(Root(), B("Alpha/Designs"), B(""), Out())));

  EXPECT_FALSE(Exists(Url("Beta")));
  EXPECT_FALSE(Exists(Url("Alpha/Notes")));
  EXPECT_FALSE(Exists(Url("Alpha/Orders")));
  EXPECT_EQ(before, Result(api_->GetFolderProperties(Root(), B("Alpha/Designs"), Out())));
}

TEST_F(OperationsTest, AnEmptyServerUrlMeetsTheEnginesConnectionCheck) {
  EXPECT_EQ("0x80040067 The ZAN Server is not Connected\n\r\n\rError 103: The ZAN Server is not Connected "
            "(CZanDavEngine::verifyConnection) \n\r",
            Result(api_->GetChildren(B(""), B("Alpha"), Out())));
}

TEST_F(OperationsTest, OneTrailingSeparatorDoesNotReconnect) {
  const std::string templates = R().substr(R().find('/', 8)) + "/Templates/MBP.xml";
  EXPECT_EQ("ok " + Set(""), Result(api_->GetProjects(Root(), Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->GetProjects(B(R() + "/"), Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->GetProjects(B(R() + "\\"), Out())));
  EXPECT_EQ(1u, Requests(templates).size());
}

TEST_F(OperationsTest, AFailedConnectionIsTriedAgainAndKeepsNothingOfTheEarlierServer) {
  const std::string templates = R().substr(R().find('/', 8)) + "/Templates/MBP.xml";
  EXPECT_EQ("ok " + Set(""), Result(api_->GetProjects(Root(), Out())));
  const std::string nowhere = Url("Nowhere");
  const std::string first = Result(api_->GetProjects(B(nowhere), Out()));
  EXPECT_TRUE(first.starts_with("0x80040068 Can not Connect to " + nowhere + ": ")) << first;
  EXPECT_NE(first.find("\n\r\n\rError 104: Can not Connect to " + nowhere + ": "), std::string::npos) << first;
  EXPECT_NE(first.find("HTTP/1.1 404 Not Found"), std::string::npos) << first;
  // The next call with that URL connects again, and fails again.
  const std::string again = Result(api_->GetProjects(B(nowhere), Out()));
  EXPECT_EQ(first, again);
  EXPECT_EQ(2u, Requests("/Nowhere/Templates/MBP.xml").size());
  // Back on the first server, the object connects anew: nothing of it was kept.
  EXPECT_EQ("ok " + Set(""), Result(api_->GetProjects(Root(), Out())));
  EXPECT_EQ(2u, Requests(templates).size());
}

}  // namespace
}  // namespace zan::test
