// Downloading and uploading a business process's AppFiles tree, against Apache.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "platform/os/alert.h"
#include "platform/os/lasterror.h"
#include "support/fault_proxy.h"
#include "support/host.h"
#include "support/local_files.h"
#include "support/request_log.h"
#include "support/temp_dir.h"
#include "support/tree_checksum.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

// Environments: "prod" names both files, "noprofile" has a profile default with refid 0,
// "datasetsonly" has no profile default.
constexpr char kMbp[] =
    "<?xml version=\"1.0\"?>\n"
    "<mbp><bp>"
    "<datasets><defaults><default pkid=\"prod\" refid=\"3\"/><default pkid=\"noprofile\" refid=\"4\"/>"
    "<default pkid=\"datasetsonly\" refid=\"5\"/></defaults></datasets>"
    "<profiles><defaults><default pkid=\"prod\" refid=\"8\"/><default pkid=\"noprofile\" refid=\"0\"/>"
    "</defaults></profiles>"
    "</bp></mbp>";

constexpr char kUsr[] = "[General]\nUser=kim\n";

class EngineTransferTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    XMLSet none;
    ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none, response_));
    ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", none, response_));
    ASSERT_EQ(204, Put(Url("Alpha/Billing/MBP.xml"), kMbp));
    source_.Write("app.usr", kUsr);
    source_.Write("notes.txt", "plain");
    source_.Write("sub/deep.USR", kUsr);
  }
  // Uploads source_ as the process's AppFiles.
  void Upload() { ASSERT_EQ("no error", ErrorOf([&] { engine_.UploadBP(Server(), "Alpha/Billing", source_.path(), response_); })); }
  // The business process's part of the server's document root, as a digest.
  std::string ServerTree() { return TreeChecksums(DavServer::Dir() + "/dav" + R().substr(Server().size())); }
  bool Download(const std::string& environment) {
    return engine_.DownloadBP(Server(), "Alpha/Billing", target_ / "local", environment, response_);
  }

  TempDir source_;
  TempDir target_;
  XMLSet response_;
};

// The line of a listing (one member a line) that starts with prefix; "" when none does.
std::string MemberStarting(const std::string& listing, const std::string& prefix) {
  for (size_t start = 0; start < listing.size();) {
    const size_t end = std::min(listing.find('\n', start), listing.size());
    if (listing.compare(start, prefix.size(), prefix) == 0) return listing.substr(start, end - start);
    start = end + 1;
  }
  return "";
}

TEST_F(EngineTransferTest, UploadReplacesAppFilesExactly) {
  ASSERT_EQ(201, Mkcol(Url("Alpha/Billing/AppFiles")));
  ASSERT_EQ(201, Put(Url("Alpha/Billing/AppFiles/old.txt"), "old"));
  Upload();
  EXPECT_EQ("app.usr\nnotes.txt\nsub/", List(Url("Alpha/Billing/AppFiles")));
  EXPECT_EQ("deep.USR", List(Url("Alpha/Billing/AppFiles/sub")));
  EXPECT_EQ("plain", Get(Url("Alpha/Billing/AppFiles/notes.txt")));
  EXPECT_EQ("", Describe(response_));
}

TEST_F(EngineTransferTest, DownloadWritesTheEnvironmentsFilesIntoUserFiles) {
  Upload();
  EXPECT_TRUE(Download("prod"));
  for (const char* file : {"local/app.usr", "local/sub/deep.USR"}) {
    const std::string text = target_.Read(file);
    EXPECT_NE(std::string::npos, text.find("User=kim")) << text;
    EXPECT_NE(std::string::npos, text.find("ParameterFile=3.prm")) << text;
    EXPECT_NE(std::string::npos, text.find("DefaultCfg=8.cfg")) << text;
  }
  EXPECT_EQ("plain", target_.Read("local/notes.txt"));
  EXPECT_EQ("", Describe(response_));
}

TEST_F(EngineTransferTest, RefidZeroWritesNoKeys) {
  Upload();
  EXPECT_TRUE(Download("noprofile"));
  EXPECT_EQ(kUsr, target_.Read("local/app.usr"));
  EXPECT_EQ(kUsr, target_.Read("local/sub/deep.USR"));
}

TEST_F(EngineTransferTest, UnknownEnvironmentFailsBeforeAnythingIsCopied) {
  Upload();
  const std::string path = "/mbp/bp/profiles/defaults/default[@pkid='datasetsonly']";
  EXPECT_EQ("0 Xml path not found " + path + " [CZanDavEngine::DownloadBP]",
            ErrorOf([&] { Download("datasetsonly"); }));
  EXPECT_EQ("", target_.Read("local/notes.txt"));
  EXPECT_NE("no error", ErrorOf([&] { Download(""); }));
  EXPECT_EQ("", target_.Read("local/notes.txt"));
}

TEST_F(EngineTransferTest, NeverUploadedProcessDownloadsAnEmptyTree) {
  EXPECT_TRUE(Download("prod"));
  EXPECT_EQ("", TreeChecksums(target_ / "local"));
  // A process that does not exist is no empty one.
  EXPECT_NE("no error", ErrorOf([&] { engine_.DownloadBP(Server(), "Alpha/Nobody", target_ / "x", "prod", response_); }));
  EXPECT_EQ("", TreeChecksums(target_ / "x")) << "no directory";
}

// --- failures: each is reported, and the server's data stays as it was ---

TEST_F(EngineTransferTest, UploadChecksTheLocalDirectoryBeforeAnyRequest) {
  Upload();
  struct Case {
    std::string directory;
    std::string error;
  };
  std::vector<Case> cases = {
      {source_ / "missing", "1 The local directory does not exist: " + (source_ / "missing") + " [CZanDavEngine::UploadBP]"},
      {source_ / "notes.txt", "1 The local path is not a directory: " + (source_ / "notes.txt") + " [CZanDavEngine::UploadBP]"},
      {"", "1 No local directory was given [CZanDavEngine::UploadBP]"},
  };
  if (!OnWindows()) {  // a dangling symbolic link as Linux makes it
    std::filesystem::create_symlink(source_ / "nowhere", source_ / "dangling");
    cases.push_back({source_ / "dangling",
                     "1 The local directory does not exist: " + (source_ / "dangling") + " [CZanDavEngine::UploadBP]"});
  }
  const std::string before = ServerTree();
  for (const Case& c : cases) {
    RequestLog log;
    EXPECT_EQ(c.error, ErrorOf([&] { engine_.UploadBP(Server(), "Alpha/Billing", c.directory, response_); }));
    EXPECT_EQ("", log.Methods()) << c.directory;
  }
  EXPECT_EQ(before, ServerTree());
}

TEST_F(EngineTransferTest, UploadFromAnUnreadableDirectoryFails) {
  ZAN_SKIP_ON_WINDOWS("POSIX permission bits");
  if (RunsAsRoot()) GTEST_SKIP() << "root reads every directory";
  TempDir locked;
  locked.Write("inner/f.txt", "f");
  std::filesystem::permissions(locked / "inner", std::filesystem::perms::none);
  const std::string failure = ErrorOf([&] { engine_.UploadBP(Server(), "Alpha/Billing", locked / "inner", response_); });
  std::filesystem::permissions(locked / "inner", std::filesystem::perms::owner_all);
  EXPECT_EQ("1 The local directory cannot be read: " + (locked / "inner") + ": Permission denied [CZanDavEngine::UploadBP]",
            failure);
}

TEST_F(EngineTransferTest, UploadSwapsTheCompleteTreeInWithTwoMoves) {
  Upload();
  source_.Write("notes.txt", "second");
  RequestLog log;
  Upload();
  // The staging collection, the old tree's MOVE aside, the new tree's MOVE in and the DELETE of
  // the old tree replace the MKCOL/DELETE/MKCOL of the old in-place upload.
  EXPECT_EQ("MKCOL MKCOL PUT PUT PUT MOVE MOVE DELETE", log.Methods());
  EXPECT_EQ(2, log.Count("MKCOL")) << log.Methods();
  EXPECT_EQ(3, log.Count("PUT")) << log.Methods();
  EXPECT_EQ(2, log.Count("MOVE")) << log.Methods();
  EXPECT_EQ(1, log.Count("DELETE")) << log.Methods();
  EXPECT_EQ(8u, log.records().size()) << log.Methods();
  EXPECT_EQ("AppFiles/\nMBP.xml", List(Url("Alpha/Billing")));
  EXPECT_EQ("app.usr\nnotes.txt\nsub/", List(Url("Alpha/Billing/AppFiles")));
  EXPECT_EQ("second", Get(Url("Alpha/Billing/AppFiles/notes.txt")));
}

struct UploadFault {
  const char* name;
  std::vector<FaultRule> rules;
  const char* local;  // what is wrong in the local tree: "", "dangling" or "fifo"
  const char* error;  // a part of the error text
};

class UploadFaultTest : public EngineTransferTest, public ::testing::WithParamInterface<UploadFault> {};

TEST_P(UploadFaultTest, KeepsTheOldAppFilesWholeAndRemovesTheStaging) {
  Upload();
  const std::string before = ServerTree();
  source_.Write("notes.txt", "second");
  source_.Write("sub/more.txt", "more");
  if (std::string(GetParam().local) == "dangling") {
    ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them");
    std::filesystem::create_symlink(source_ / "nowhere", source_ / "sub/z");
  }
  if (std::string(GetParam().local) == "fifo") {
    ZAN_SKIP_ON_WINDOWS("Windows has no FIFOs in its file system");
    ASSERT_TRUE(MakeFifo(source_ / "sub/z"));
  }
  const std::string name = GetParam().name;
  if (name == "FileCut" || name == "MoveAsideCut") ZAN_SKIP_ON_WINDOWS("Wine's WinHTTP crashes reading a reply whose connection is reset after its status line (a Wine bug)");
  FaultProxy proxy(Server());
  for (const FaultRule& rule : GetParam().rules) proxy.Add(rule);
  CZanDavEngine engine;
  XMLSet scratch;
  ASSERT_TRUE(engine.InitToZanServer(proxy.Via(R()), scratch));
  const std::string failure = ErrorOf([&] { engine.UploadBP(proxy.Url(), "Alpha/Billing", source_.path(), scratch); });
  EXPECT_NE(std::string::npos, failure.find(GetParam().error)) << failure;
  EXPECT_NE(std::string::npos, failure.find("[CZanDavEngine::UploadBP]")) << failure;
  EXPECT_EQ(before, ServerTree()) << failure;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UploadFaultTest,
    ::testing::Values(
        UploadFault{"DanglingLink", {}, "dangling", "A symbolic link is not uploaded: "},
        UploadFault{"Fifo", {}, "fifo", "Not a regular file"},
        UploadFault{"StagingRefused", {FaultRule::On("MKCOL").Respond(507).Times(1)}, "", "AppFiles.upload-"},
        UploadFault{"SubdirectoryRefused", {FaultRule::On("MKCOL", "/sub").Respond(403)}, "", "403 Forbidden"},
        UploadFault{"FileRefused", {FaultRule::On("PUT", "more.txt").Respond(500)}, "", "500 Internal Server Error"},
        UploadFault{"FileReset", {FaultRule::On("PUT", "notes.txt").Reset()}, "", "notes.txt"},
        UploadFault{"FileCut", {FaultRule::On("PUT", "app.usr").ResetAfterServer()}, "", "app.usr"},
        UploadFault{"MoveRefused", {FaultRule::On("MOVE").Respond(500)}, "", "500 Internal Server Error"},
        UploadFault{"MoveLocked", {FaultRule::On("MOVE").Respond(423)}, "", "423 Locked"},
        UploadFault{"MoveReset", {FaultRule::On("MOVE").Reset()}, "", "MOVE"},
        // The old tree stood aside already: it is put back under its name.
        UploadFault{"MoveInRefused", {FaultRule::On("MOVE", "AppFiles.upload-").Respond(500)}, "",
                    "500 Internal Server Error"},
        UploadFault{"MoveInReset", {FaultRule::On("MOVE", "AppFiles.upload-").Reset()}, "", "MOVE"},
        // The server moved the old tree aside but its reply was lost: it is moved back.
        UploadFault{"MoveAsideCut", {FaultRule::On("MOVE").ResetAfterServer().Times(1)}, "", "MOVE"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTransferTest, AStagingCollectionThatCannotBeRemovedIsNamed) {
  Upload();
  source_.Write("notes.txt", "second");
  FaultProxy proxy(Server());
  proxy.Add(FaultRule::On("MOVE").Respond(500));
  proxy.Add(FaultRule::On("DELETE").Respond(500));
  CZanDavEngine engine;
  XMLSet scratch;
  ASSERT_TRUE(engine.InitToZanServer(proxy.Via(R()), scratch));
  const std::string failure = ErrorOf([&] { engine.UploadBP(proxy.Url(), "Alpha/Billing", source_.path(), scratch); });
  const std::string staging = MemberStarting(List(Url("Alpha/Billing")), "AppFiles.upload-");
  ASSERT_TRUE(staging.starts_with("AppFiles.upload-")) << staging;
  // A name every file system stores as itself (a Windows-hosted server keeps collections as
  // directories: ':' would name a stream there).
  const std::string stagingName = staging.substr(0, staging.find('/'));
  EXPECT_EQ(std::string::npos, stagingName.find_first_not_of(
                                   "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.-"))
      << stagingName;
  EXPECT_NE(std::string::npos, failure.find("MOVE")) << failure;
  EXPECT_NE(std::string::npos, failure.find(" .The staging collection " + proxy.Via(Url("Alpha/Billing/")) +
                                            staging.substr(0, staging.find('/')) + " could not be removed: "))
      << failure;
  EXPECT_EQ("plain", Get(Url("Alpha/Billing/AppFiles/notes.txt")));
}

TEST_F(EngineTransferTest, AReplacedTreeThatCannotBeRemovedIsNamedAndTheUploadStands) {
  Upload();
  source_.Write("notes.txt", "second");
  FaultProxy proxy(Server());
  proxy.Add(FaultRule::On("DELETE", "AppFiles.replaced-").Respond(500));
  std::vector<std::string> alerts;
  const zan::os::AlertSink previous =
      zan::os::SetAlertSink([&](std::string_view, std::string_view text) { alerts.emplace_back(text); });
  CZanDavEngine engine;
  XMLSet scratch;
  ASSERT_TRUE(engine.InitToZanServer(proxy.Via(R()), scratch));
  const std::string failure = ErrorOf([&] { EXPECT_TRUE(engine.UploadBP(proxy.Url(), "Alpha/Billing", source_.path(), scratch)); });
  zan::os::SetAlertSink(previous);
  EXPECT_EQ("no error", failure);
  const std::string aside = MemberStarting(List(Url("Alpha/Billing")), "AppFiles.replaced-");
  ASSERT_TRUE(aside.starts_with("AppFiles.replaced-")) << aside;
  ASSERT_EQ(1u, alerts.size());
  EXPECT_TRUE(alerts[0].starts_with("The new AppFiles is in place, but the replaced tree " +
                                    proxy.Via(Url("Alpha/Billing/")) + aside.substr(0, aside.find('/')) +
                                    " could not be removed: "))
      << alerts[0];
  EXPECT_NE(std::string::npos, alerts[0].find("500")) << alerts[0];
  EXPECT_EQ("second", Get(Url("Alpha/Billing/AppFiles/notes.txt")));
  EXPECT_EQ("plain", Get(Url("Alpha/Billing/" + aside.substr(0, aside.find('/')) + "/notes.txt")));
}

struct DownloadFault {
  const char* name;
  FaultRule rule;
  const char* error;  // a part of the error text
};

// A listing whose one member came without a 200 propstat.
constexpr char kGhostListing[] =
    "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/elsewhere/ghost.txt</D:href>"
    "<D:propstat><D:prop><D:displayname/></D:prop><D:status>HTTP/1.1 404 Not Found</D:status></D:propstat>"
    "</D:response></D:multistatus>";

class DownloadFaultTest : public EngineTransferTest, public ::testing::WithParamInterface<DownloadFault> {};

TEST_P(DownloadFaultTest, IsReportedAndChangesNothingOnTheServer) {
  Upload();
  const std::string before = ServerTree();
  FaultProxy proxy(Server());
  const size_t rule = proxy.Add(GetParam().rule);
  CZanDavEngine engine;
  XMLSet scratch;
  ASSERT_TRUE(engine.InitToZanServer(proxy.Via(R()), scratch));
  const std::string failure =
      ErrorOf([&] { engine.DownloadBP(proxy.Url(), "Alpha/Billing", target_ / "local", "prod", scratch); });
  EXPECT_NE(std::string::npos, failure.find(GetParam().error)) << failure;
  EXPECT_NE(std::string::npos, failure.find("[CZanDavEngine::DownloadBP]")) << failure;
  EXPECT_LE(1, proxy.Hits(rule));
  EXPECT_EQ(before, ServerTree());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadFaultTest,
    ::testing::Values(
        DownloadFault{"ListingRefused", FaultRule::On("PROPFIND", "Billing/AppFiles").Respond(500), "Dav Unknown Error"},
        DownloadFault{"SubListingRefused", FaultRule::On("PROPFIND", "AppFiles/sub").Respond(500), "AppFiles/sub"},
        DownloadFault{"ListingOfAnExistingCollectionNotFound",
                      FaultRule::On("PROPFIND", "Billing/AppFiles").Respond(404).Times(1), "404"},
        DownloadFault{"ListingReset", FaultRule::On("PROPFIND", "Billing/AppFiles").Reset(), "PROPFIND"},
        DownloadFault{"ListingCut", FaultRule::On("PROPFIND", "AppFiles/sub").Truncate(), "PROPFIND"},
        DownloadFault{"ListingNotMultistatus",
                      FaultRule::On("PROPFIND", "Billing/AppFiles").Respond(207, "<html><body>busy</body></html>"),
                      "The server's reply is not a well-formed multistatus: its document element is not a DAV: "
                      "multistatus (PROPFIND "},
        DownloadFault{"MemberWithoutProperties",
                      FaultRule::On("PROPFIND", "AppFiles/sub").Respond(207, kGhostListing),
                      "The server listed a member without its properties: /elsewhere/ghost.txt"},
        DownloadFault{"FileRefused", FaultRule::On("GET", "notes.txt").Respond(500), "500 Internal Server Error"},
        DownloadFault{"FileCut", FaultRule::On("GET", "deep.USR").Truncate(), "deep.USR"},
        DownloadFault{"FileReset", FaultRule::On("GET", "app.usr").Reset(), "app.usr"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTransferTest, AFailedSettingsWriteFailsTheDownload) {
  Upload();
  std::string mbp = kMbp;
  mbp.replace(mbp.find("</defaults></datasets>"), 0, "<default pkid=\"split\" refid=\"3&#10;x\"/>");
  mbp.replace(mbp.find("</defaults></profiles>"), 0, "<default pkid=\"split\" refid=\"8\"/>");
  ASSERT_EQ(204, Put(Url("Alpha/Billing/MBP.xml"), mbp));
  const std::string failure = ErrorOf([&] { Download("split"); });
  EXPECT_NE(std::string::npos, failure.find("Could not write the environment's settings into ")) << failure;
  // The system's text for a value it cannot store.
  const std::string invalid = os::SystemMessageLine(os::ErrorValue(os::ErrorKind::kInvalid));
  EXPECT_NE(std::string::npos, failure.find(invalid)) << failure;
  EXPECT_NE(std::string::npos, failure.find("[CZanDavEngine::DownloadBP]")) << failure;
}

}  // namespace
}  // namespace zan::test
