#include <filesystem>
#include <fstream>

#include "dav_fixture.h"
#include "support/fault_server.h"
#include "support/host.h"
#include "support/local_files.h"
#include "platform/http/parallel.h"
#include "platform/http/transport.h"
#include "support/request_log.h"
#include "support/tree_checksum.h"

namespace zan::test {
namespace {

static const bool kServer = DavServer::Register();

namespace fs = std::filesystem;

// Sets the number of transfer connections for one scope.
class Connections {
 public:
  explicit Connections(size_t n) { http::SetTransferConnections(n); }
  ~Connections() { http::SetTransferConnections(0); }
};

class TransferTest : public DavManagerTest {
 protected:
  // The files below a local directory, relative, sorted, "name=content" joined by "\n".
  static std::string Tree(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      const std::string rel = fs::relative(e.path(), dir).generic_string();
      if (e.is_directory()) {
        files.push_back(rel + "/");
      } else {
        std::ifstream in(e.path(), std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        files.push_back(rel + "=" + content);
      }
    }
    std::sort(files.begin(), files.end());
    std::string out;
    for (const auto& f : files) out += (out.empty() ? "" : "\n") + f;
    return out;
  }
  bool Transfer(const std::string& from, const std::string& to, const std::string& prm = "",
                const std::string& cfg = "") {
    return m.DirUploadDownload(Server(), from, to, prm, cfg, 1);
  }
  // The names of a server directory in the order its listing gives them (the walk's order).
  std::vector<std::string> ListingOrder(const std::string& url) {
    XMLSet listing;
    EXPECT_TRUE(m.FindFilesDav(url, listing));
    std::vector<std::string> order;
    for (long i = 0; i < listing.getCount(); ++i) {
      XMLSet entry;
      listing.getInnerSet(i, entry);
      std::string name;
      entry.getItemValue("FileName", name);
      order.push_back(name);
    }
    return order;
  }
  // A small tree uploaded to R/AppFiles: a.txt, b.usr, sub/c.txt.
  void UploadSample() {
    local.Write("src/a.txt", "A");
    local.Write("src/b.usr", "[General]\r\nUser=me\r\n");
    local.Write("src/sub/c.txt", "C");
    ASSERT_TRUE(Transfer(local / "src", Url("AppFiles")));
  }
};

TEST_F(TransferTest, UploadReplacesTheServerTreeExactly) {
  Mkcol(Url("AppFiles"));
  Put(Url("AppFiles/old.txt"), "old");
  UploadSample();
  EXPECT_EQ(List(Url("AppFiles")), "a.txt\nb.usr\nsub/");
  EXPECT_EQ(List(Url("AppFiles/sub")), "c.txt");
  EXPECT_EQ(Get(Url("AppFiles/sub/c.txt")), "C");
}

TEST_F(TransferTest, DownloadKeepsLocalExtrasReplacesSameNamesAndWritesIniKeysIntoUserFiles) {
  UploadSample();
  Put(Url("AppFiles/UPPER.USR"), "[Other]\r\nx=1\r\n");
  Put(Url("AppFiles/not.usr.txt"), "plain");
  local.Write("dst/extra.txt", "mine");
  local.Write("dst/a.txt", "stale");
  ASSERT_TRUE(Transfer(Url("AppFiles"), local / "dst", "3.prm", "8.cfg"));
  EXPECT_EQ(Tree(local / "dst"),
            "UPPER.USR=[Other]\r\nx=1\r\n[General]\r\nDefaultCfg=8.cfg\r\nParameterFile=3.prm\r\n\n"
            "a.txt=A\n"
            "b.usr=[General]\r\nUser=me\r\nDefaultCfg=8.cfg\r\nParameterFile=3.prm\r\n\n"
            "extra.txt=mine\nnot.usr.txt=plain\nsub/\nsub/c.txt=C");
}

TEST_F(TransferTest, IniKeysOnlyWhenBothNamesAreGiven) {
  UploadSample();
  ASSERT_TRUE(Transfer(Url("AppFiles"), local / "one", "3.prm", ""));
  EXPECT_EQ(local.Read("one/b.usr"), "[General]\r\nUser=me\r\n");
}

TEST_F(TransferTest, DotEntriesAreListedButNeverCopied) {
  local.Write("src/f.txt", "f");
  XMLSet listing;
  ASSERT_TRUE(m.FindFilesLocal(local / "src", listing));
  std::string names;
  for (long i = 0; i < listing.getCount(); ++i) {
    XMLSet entry;
    listing.getInnerSet(i, entry);
    std::string name, dir, dots;
    entry.getItemValue("FileName", name);
    entry.getItemValue("IsDir", dir);
    entry.getItemValue("IsDirDots", dots);
    names += name + ":" + dir + dots + " ";
  }
  EXPECT_EQ(names, ".:TT ..:TT f.txt:FF ");
  ASSERT_TRUE(Transfer(local / "src", Url("AppFiles")));
  EXPECT_EQ(List(Url("AppFiles")), "f.txt");
}

TEST_F(TransferTest, OneRequestPerFileAndPerDirectory) {
  Connections sequential(1);
  for (int i = 0; i < 5; ++i) local.Write("src/d/f" + std::to_string(i), "x");
  local.Write("src/g", "y");
  ASSERT_TRUE(Transfer(local / "src", Url("up")));  // warms the server's depth memory too
  RequestLog log;
  ASSERT_TRUE(Transfer(local / "src", Url("up2")));
  EXPECT_EQ(log.Count("PUT"), 6);
  EXPECT_EQ(log.Count("MKCOL"), 2);
  EXPECT_EQ(log.records().size(), 8u) << log.Methods();
  log.Clear();
  ASSERT_TRUE(Transfer(Url("up2"), local / "down"));
  EXPECT_EQ(log.Count("GET"), 6);
  EXPECT_EQ(log.Count("PROPFIND"), 2);
  EXPECT_EQ(log.records().size(), 8u) << log.Methods();
  if (!OnWindows()) {  // WinHTTP under Wine does not report the connections it opens reliably
    EXPECT_EQ(log.NewConnections(), 0);
  }
}

TEST_F(TransferTest, OverSeveralConnectionsTheRequestsAndTheTreeAreTheSame) {
  Connections pool(8);
  for (int d = 0; d < 3; ++d)
    for (int i = 0; i < 12; ++i) local.Write("src/d" + std::to_string(d) + "/f" + std::to_string(i), std::to_string(d * 100 + i));
  local.Write("src/b.usr", "[General]\r\nUser=me\r\n");
  ASSERT_TRUE(Transfer(local / "src", Url("up")));
  RequestLog log;
  ASSERT_TRUE(Transfer(local / "src", Url("up2")));
  EXPECT_EQ(log.Count("PUT"), 37);
  EXPECT_EQ(log.Count("MKCOL"), 4);
  EXPECT_EQ(log.records().size(), 41u) << log.Methods();
  log.Clear();
  ASSERT_TRUE(Transfer(Url("up2"), local / "down", "P.prm", "C.cfg"));
  EXPECT_EQ(log.Count("GET"), 37);
  EXPECT_EQ(log.Count("PROPFIND"), 4);
  EXPECT_EQ(log.records().size(), 41u) << log.Methods();
  EXPECT_LE(log.NewConnections(), 8);
  // The copies really ran side by side. (WinHTTP's pools, one per thread, may serve them all
  // with the connections the upload opened.)
  if (!OnWindows()) {
    EXPECT_GT(log.NewConnections(), 1);
  }
  fs::remove(local / "src/b.usr");
  fs::remove(local / "down/b.usr");
  EXPECT_EQ(Tree(local / "down"), Tree(local / "src"));
}

TEST_F(TransferTest, OverSeveralConnectionsTheFirstFailureInWalkOrderIsReported) {
  Connections pool(8);
  Mkcol(Url("AppFiles"));
  for (int i = 0; i < 40; ++i) Put(Url("AppFiles/f" + std::to_string(i)), std::to_string(i));
  const std::vector<std::string> order = ListingOrder(Url("AppFiles"));
  ASSERT_EQ(order.size(), 40u);
  // Two files cannot be written; the later one may fail first, the earlier one is reported.
  fs::create_directories(local / ("dst/" + order[9] + "/blocker"));
  fs::create_directories(local / ("dst/" + order[3] + "/blocker"));
  const std::string failure = Failure([&] { Transfer(Url("AppFiles"), local / "dst"); });
  auto names = [&](const std::string& name) {  // the failure's text ends with that file as its target
    const std::string dir = " To " + (local / "dst");
    return failure.ends_with(dir + "\\" + name) || failure.ends_with(dir + "/" + name);
  };
  EXPECT_TRUE(names(order[3])) << failure;
  EXPECT_FALSE(names(order[9])) << failure;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(fs::is_regular_file(local / ("dst/" + order[i]))) << order[i];
}

TEST_F(TransferTest, AFailedCopyStopsTheWalkAndKeepsWhatWasCopied) {
  Connections sequential(1);
  for (int i = 0; i < 5; ++i) Put(Url("AppFiles/f" + std::to_string(i)), "x");
  Mkcol(Url("AppFiles"));
  for (int i = 0; i < 5; ++i) Put(Url("AppFiles/f" + std::to_string(i)), std::to_string(i));
  // The server's order decides which file is third: block exactly that one locally.
  const std::vector<std::string> order = ListingOrder(Url("AppFiles"));
  ASSERT_EQ(order.size(), 5u);
  fs::create_directories(local / ("dst/" + order[2] + "/blocker"));
  EXPECT_NE(Failure([&] { Transfer(Url("AppFiles"), local / "dst"); }), "no error");
  EXPECT_TRUE(fs::is_regular_file(local / ("dst/" + order[0])));
  EXPECT_TRUE(fs::is_regular_file(local / ("dst/" + order[1])));
  EXPECT_FALSE(fs::exists(local / ("dst/" + order[3])));
  EXPECT_FALSE(fs::exists(local / ("dst/" + order[4])));
}

TEST_F(TransferTest, ServerNamesThatWouldLeaveTheDirectoryAreRefusedBeforeAnythingIsWritten) {
  for (const std::string evil : {"..", "../escaped", "a/../../x", "."}) {
    SCOPED_TRACE(evil);
    Mkcol(Url("AppFiles"));
    Put(Url("AppFiles/harmless.txt"), "h");
    Put(Url("AppFiles/victim.txt"), "v");
    fs::create_directories(local / "in");
    XMLSet name;
    name.addItem("displayname", evil);
    ASSERT_TRUE(m.setResourceProperties(Url("AppFiles/victim.txt"), name.getXml()));
    const std::string failure = Failure([&] { Transfer(Url("AppFiles"), local / "in/dst"); });
    EXPECT_NE(failure.find("would leave the local directory"), std::string::npos) << failure;
    EXPECT_EQ(Tree(local / "in"), "");  // the source is listed before the destination is made
    fs::remove_all(local / "in");
    m.DeleteItem(Url("AppFiles"));
  }
}

TEST_F(TransferTest, ServerNamesWithNulOrControlCharactersAreRefusedBeforeAnythingIsWritten) {
  // A server can list "a.txt%00.evil", which decodes to a name that the file system would cut
  // at the NUL; Apache cannot hold such a name, so a stand-in answers the listing.
  for (const std::string href : {"/R/AppFiles/a.txt%00.evil", "/R/AppFiles/bell%07", "/R/AppFiles/x%0D%0Ay"}) {
    SCOPED_TRACE(href);
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>" + href +
        "</D:href><D:propstat><D:prop><D:resourcetype/></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>"
        "</D:response></D:multistatus>";
    FaultServer server("HTTP/1.1 207 Multi-Status\r\nContent-Type: text/xml\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body,
                       FaultServer::After::kClose);
    local.Write("dst/a.txt", "mine");
    const std::string before = TreeChecksums(local.path());
    const std::string failure = Failure([&] { Transfer(server.Url() + "/R/AppFiles", local / "dst"); });
    EXPECT_EQ(0u, failure.find("1004|The server listed a member name that would leave the local directory")) << failure;
    EXPECT_EQ(before, TreeChecksums(local.path()));
  }
}

// Turns the Windows name rules of downloads on or off for one scope.
class WindowsNameRules {
 public:
  explicit WindowsNameRules(bool on) : previous_(CDavADOManager::WindowsNameRules()) {
    CDavADOManager::SetWindowsNameRules(on);
  }
  ~WindowsNameRules() { CDavADOManager::SetWindowsNameRules(previous_); }

 private:
  bool previous_;
};

TEST_F(TransferTest, WithWindowsNameRulesANameWindowsCannotStoreIsRefusedBeforeAnythingIsWritten) {
  WindowsNameRules rules(true);
  // Each name (or pair of names) stands deep in the tree, after files and a directory that
  // the walk meets first: not even the destination directory may be made.
  const std::vector<std::vector<std::string>> hostile = {
      {"CON"}, {"con.txt"}, {"Nul.tar.gz"}, {"prn"}, {"AUX.log"}, {"COM1"}, {"lpt9.txt"}, {"CONIN$"},
      {"CON .txt"}, {"COM\xC2\xB9"}, {"a:b"}, {"report.txt:hidden"}, {"star*"}, {"what?"}, {"quote\""},
      {"less<"}, {"more>"}, {"pipe|"}, {"trailing."}, {"trailing "}, {"Readme.txt", "README.TXT"},
      {"\xC3\x84pfel", "\xC3\xA4PFEL"}};
  for (const std::vector<std::string>& names : hostile) {
    SCOPED_TRACE(names.front());
    Mkcol(Url("AppFiles"));
    Put(Url("AppFiles/first.txt"), "1");
    Mkcol(Url("AppFiles/a"));
    Put(Url("AppFiles/a/second.txt"), "2");
    Mkcol(Url("AppFiles/z"));
    for (const std::string& name : names) Put(Url("AppFiles/z/" + name), "evil");
    fs::create_directories(local / "in");
    const std::string failure = Failure([&] { Transfer(Url("AppFiles"), local / "in/dst"); });
    EXPECT_EQ(0u, failure.find("1004|The server listed ")) << failure;
    EXPECT_TRUE(failure.find("that Windows cannot store as itself") != std::string::npos ||
                failure.find("which Windows stores as one") != std::string::npos)
        << failure;
    EXPECT_NE(std::string::npos, failure.find(" in " + Url("AppFiles/z"))) << failure;  // the listing's URL
    EXPECT_EQ(Tree(local / "in"), "");
    fs::remove_all(local / "in");
    m.DeleteItem(Url("AppFiles"));
  }
}

TEST_F(TransferTest, WithoutWindowsNameRulesSuchNamesAreStoredAsTheyAre) {
  ZAN_SKIP_ON_WINDOWS("the rules cannot be switched off where the file system follows them");
  WindowsNameRules rules(false);
  Mkcol(Url("AppFiles"));
  for (const std::string name : {"a:b", "trailing.", "CON", "Readme.txt", "README.TXT"}) Put(Url("AppFiles/" + name), name);
  ASSERT_TRUE(Transfer(Url("AppFiles"), local / "dst"));
  EXPECT_EQ(Tree(local / "dst"), "CON=CON\nREADME.TXT=README.TXT\nReadme.txt=Readme.txt\na:b=a:b\ntrailing.=trailing.");
}

TEST_F(TransferTest, LocalNamesAreJoinedWithSlashesAndWhatCannotBeUploadedSafelyIsRefused) {
  ZAN_SKIP_ON_WINDOWS("names holding a backslash, symbolic links as Linux makes them, and FIFOs");
  // Around the uploaded directory: files that must never reach the server.
  local.Write("x", "SECRET x");
  local.Write("outside/secret.txt", "SECRET file");
  const auto refused = [&](const std::string& what, const std::function<void()>& make) {
    SCOPED_TRACE(what);
    fs::remove_all(local / "src");
    local.Write("src/ok.txt", "ok");
    make();
    const std::string failure = Failure([&] { Transfer(local / "src", Url("AppFiles")); });
    EXPECT_NE("no error", failure);
    for (const std::string name : {"x", "..\\x", "link", "dirlink/secret.txt", "fifo"})
      EXPECT_EQ(std::string::npos, Get(Url("AppFiles/" + name)).find("SECRET")) << name;
    return failure;
  };
  // "..\x" is one name here; a backslash would separate on the server (and on Windows).
  std::string failure = refused("backslash", [&] { local.Write("src/..\\x", "inner"); });
  EXPECT_NE(std::string::npos, failure.find("A local name holding '\\' cannot be uploaded")) << failure;
  failure = refused("file link", [&] { fs::create_symlink(local / "outside/secret.txt", local / "src/link"); });
  EXPECT_NE(std::string::npos, failure.find("A symbolic link is not uploaded")) << failure;
  failure = refused("directory link", [&] { fs::create_directory_symlink(local / "outside", local / "src/dirlink"); });
  EXPECT_NE(std::string::npos, failure.find("A symbolic link is not uploaded")) << failure;
  failure = refused("fifo", [&] { ASSERT_TRUE(MakeFifo(local / "src/fifo")); });
  EXPECT_NE(std::string::npos, failure.find("Not a regular file")) << failure;
  // A plain tree still goes up whole.
  fs::remove(local / "src/fifo");
  ASSERT_TRUE(Transfer(local / "src", Url("AppFiles")));
  EXPECT_EQ("ok.txt", List(Url("AppFiles")));
}

TEST_F(TransferTest, DownloadFollowsNoSymbolicLinkOutOfTheTarget) {
  ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them");
  Mkcol(Url("AppFiles"));
  Mkcol(Url("AppFiles/sub"));
  Put(Url("AppFiles/sub/f.txt"), "from the server");
  Put(Url("AppFiles/a.txt"), "A from the server");
  Put(Url("AppFiles/b.usr"), "[General]\r\n");
  local.Write("outside/victim.txt", "victim");
  local.Write("outside/victim.usr", "[General]\r\nUser=victim\r\n");
  fs::create_directories(local / "dst");
  fs::create_symlink(local / "outside/victim.txt", local / "dst/a.txt");
  fs::create_symlink(local / "outside/victim.usr", local / "dst/b.usr");
  const std::string outside = TreeChecksums(local / "outside");
  ASSERT_NE("", outside);

  // A directory link where the server has a directory: refused, never entered.
  fs::create_directory_symlink(local / "outside", local / "dst/sub");
  const std::string failure = Failure([&] { Transfer(Url("AppFiles"), local / "dst", "3.prm", "8.cfg"); });
  EXPECT_NE(std::string::npos, failure.find("A symbolic link in the local directory is not followed")) << failure;
  EXPECT_EQ(outside, TreeChecksums(local / "outside"));

  // File links are replaced inside the target, never written through.
  fs::remove(local / "dst/sub");
  ASSERT_TRUE(Transfer(Url("AppFiles"), local / "dst", "3.prm", "8.cfg"));
  EXPECT_EQ(outside, TreeChecksums(local / "outside"));
  EXPECT_EQ("A from the server", local.Read("dst/a.txt"));
  EXPECT_FALSE(fs::is_symlink(local / "dst/a.txt"));
  EXPECT_EQ("[General]\r\nDefaultCfg=8.cfg\r\nParameterFile=3.prm\r\n", local.Read("dst/b.usr"));
  EXPECT_EQ("from the server", local.Read("dst/sub/f.txt"));
}

TEST_F(TransferTest, EdgesOfTheDirectoryForm) {
  EXPECT_FALSE(Transfer("", Url("x")));
  EXPECT_FALSE(Transfer(local / "src", ""));
  EXPECT_FALSE(Exists(Url("x")));
  // A source that cannot be listed fails before the destination is touched: a missing local
  // directory leaves the server's collection as it was, a missing collection makes no local
  // directory.
  Mkcol(Url("AppFiles"));
  Put(Url("AppFiles/old"), "o");
  // The system's own error number and text.
  const char* notFound = OnWindows() ? "3|" : "2|";
  const char* notFoundText = OnWindows() ? ": Path not found." : ": No such file or directory";
  EXPECT_EQ(Failure([&] { Transfer(local / "missing", Url("AppFiles")); }),
            notFound + ("Cannot list the local directory " + (local / "missing")) + notFoundText);
  EXPECT_EQ(List(Url("AppFiles")), "old");
  EXPECT_EQ(Failure([&] { Transfer(Url("nothing"), local / "made"); }),
            "404|The item you requested was not found. " + Url("nothing") + " (HTTP/1.1 404 Not Found)");
  EXPECT_FALSE(fs::exists(local / "made"));
  local.Write("made/keep", "k");
  // Capitals are not a server URL: a local path whose parent is missing.
  const std::string capitals = "HTTP://127.0.0.1:1/x/y";
  const std::string failure = Failure([&] { Transfer(local / "made", capitals); });
  EXPECT_NE(failure.find(" " + capitals), std::string::npos) << failure;
  // One trailing separator is removed from each side.
  local.Write("src/f.txt", "f");
  EXPECT_TRUE(Transfer(local / "src\\", Url("AppFiles/")));
  EXPECT_EQ(List(Url("AppFiles")), "f.txt");
}

TEST_F(TransferTest, AServerThatStopsAnsweringEndsTheCallWithinTheStallTimeout) {
  FaultServer silent("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npartial", FaultServer::After::kGoSilent);
  const http::Timeouts saved = http::GetTimeouts();
  http::SetTimeouts({std::chrono::milliseconds(2000), std::chrono::seconds(1)});
  const auto start = std::chrono::steady_clock::now();
  const std::string failure =
      Failure([&] { m.Copy(silent.Url(), silent.Url() + "/f", "file://" + (local / "f"), "", "", 1); });
  const auto took = std::chrono::steady_clock::now() - start;
  http::SetTimeouts(saved);
  EXPECT_NE(failure, "no error");
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_FALSE(fs::exists(local / "f"));
}

}  // namespace
}  // namespace zan::test
