// Record objects against a real Apache mod_dav server (and fault-injecting stand-ins for a
// server that fails mid-transfer).
#include "platform/ado/record.h"

#include <chrono>
#include <filesystem>

#include "platform/ado/ado_errors.h"
#include "platform/http/http_errors.h"
#include "platform/http/transport.h"
#include "support/com_failure.h"
#include "support/dav_server.h"
#include "support/fault_server.h"
#include "support/host.h"
#include "support/local_files.h"
#include "support/request_log.h"
#include "support/temp_dir.h"

namespace zan::ado {
namespace {

static const bool kDavServer = test::DavServer::Register();

using test::ComFailure;

std::string Pattern(size_t size, uint32_t seed = 7) {
  std::string s(size, '\0');
  for (char& c : s) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

// The names in a local directory, sorted, joined by blanks (temporary files would show).
std::string LocalNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

// The texts sorted and joined by "\n", as DavTest::List gives names.
std::string Lines(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  std::string out;
  for (const auto& t : texts) out += (out.empty() ? "" : "\n") + t;
  return out;
}

// "file://" + a Windows-style local path (backslash separators), as the tree copy builds it.
std::string FileUrl(const std::string& path) {
  std::string windows = path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return "file://" + windows;
}

class RecordTest : public test::DavTest {
 protected:
  // One record per operation, as the managers use them.
  HRESULT Create(const std::string& url, long createOptions) {
    RecordPtr record;
    EXPECT_EQ(S_OK, record.CreateInstance());
    const HRESULT hr = record->Open(url, vtMissing, adModeReadWrite, createOptions, adOpenRecordUnspecified, "", "");
    record->Close();
    return hr;
  }
  HRESULT Delete(const std::string& url) {
    RecordPtr record;
    record.CreateInstance();
    record->Open(url, vtMissing, adModeRead, adFailIfNotExists, adOpenRecordUnspecified, "", "");
    const HRESULT hr = record->DeleteRecord("", false);
    record->Close();
    return hr;
  }
  HRESULT Copy(const std::string& from, const std::string& to, long options = adCopyOverWrite) {
    RecordPtr record;
    record.CreateInstance();
    record->Open(Server(), vtMissing, adModeUnknown, adFailIfNotExists, adOpenRecordUnspecified, "", "");
    return record->CopyRecord(from, to, "", "", options, false);
  }
};

TEST_F(RecordTest, CreatesCollectionsAndEmptyResourcesButNeverOverAnExistingOne) {
  EXPECT_EQ(S_OK, Create(Url("A"), adCreateCollection));
  EXPECT_EQ(S_OK, Create(Url("A/doc.xml"), adCreateNonCollection));
  EXPECT_EQ("A/\nTemplates/", List(R()));
  EXPECT_EQ("doc.xml", List(Url("A")));
  EXPECT_EQ("", Get(Url("A/doc.xml")));

  const auto again = ComFailure([&] { Create(Url("A"), adCreateCollection); });
  EXPECT_EQ(kAdErrResourceExists, again.status);
  EXPECT_EQ("The resource already exists: HTTP/1.1 405 Method Not Allowed (MKCOL " + Url("A") + ")", again.description);

  ASSERT_EQ(204, Put(Url("A/doc.xml"), "keep me"));
  EXPECT_EQ(kAdErrResourceExists, ComFailure([&] { Create(Url("A/doc.xml"), adCreateNonCollection); }).status);
  EXPECT_EQ("keep me", Get(Url("A/doc.xml")));
  EXPECT_EQ(kAdErrResourceExists, ComFailure([&] { Create(Url("A"), adCreateNonCollection); }).status);
}

TEST_F(RecordTest, CreatingUnderAMissingParentIsAnUnspecifiedErrorNamingTheUrl) {
  for (long options : {adCreateCollection, adCreateNonCollection}) {
    const auto failure = ComFailure([&] { Create(Url("missing/child"), options); });
    EXPECT_EQ(E_FAIL, failure.status);
    EXPECT_TRUE(failure.description.starts_with("Unspecified error: HTTP/1.1 409 Conflict")) << failure.description;
    EXPECT_NE(std::string::npos, failure.description.find(Url("missing/child"))) << failure.description;
  }
}

TEST_F(RecordTest, CreateWithOverwriteReplacesAWholeTreeOrCreatesAMissingOne) {
  ASSERT_EQ(201, Mkcol(Url("A")));
  ASSERT_EQ(201, Mkcol(Url("A/sub")));
  ASSERT_EQ(201, Put(Url("A/sub/x.txt"), "x"));
  EXPECT_EQ(S_OK, Create(Url("A"), adCreateCollection | adCreateOverwrite));
  EXPECT_EQ("", List(Url("A")));
  EXPECT_EQ(S_OK, Create(Url("B"), adCreateCollection | adCreateOverwrite));
  EXPECT_EQ("A/\nB/\nTemplates/", List(R()));
  EXPECT_EQ(S_OK, Create(Url("A/f.txt"), adCreateNonCollection | adCreateOverwrite));
  EXPECT_EQ(S_OK, Create(Url("A/f.txt"), adCreateNonCollection | adCreateOverwrite));
}

TEST_F(RecordTest, OpenIfExistsKeepsWhatIsThere) {
  ASSERT_EQ(201, Put(Url("f.txt"), "content"));
  EXPECT_EQ(S_OK, Create(Url("f.txt"), adCreateNonCollection | adOpenIfExists));
  EXPECT_EQ("content", Get(Url("f.txt")));
  EXPECT_EQ(S_OK, Create(Url("C"), adCreateCollection | adOpenIfExists));
  EXPECT_TRUE(Exists(Url("C")));
  EXPECT_EQ(kAdErrInvalidArgument,
            ComFailure([&] { Create(Url("D"), adCreateCollection | adOpenIfExists | adCreateOverwrite); }).status);
}

TEST_F(RecordTest, FailIfNotExistsAsksTheServerOncePerUrlUntilTheUrlIsDeleted) {
  ForgetKnownUrls();
  ASSERT_EQ(201, Mkcol(Url("A")));
  test::RequestLog log;
  for (int i = 0; i < 5; ++i) {
    RecordPtr record;
    record.CreateInstance();
    EXPECT_EQ(S_OK, record->Open(Url("A"), vtMissing, adModeRead, adFailIfNotExists, adOpenRecordUnspecified, "", ""));
  }
  EXPECT_EQ("PROPFIND", log.Methods());

  EXPECT_EQ(S_OK, Delete(Url("A")));
  EXPECT_EQ("PROPFIND DELETE", log.Methods());
  const auto missing = ComFailure([&] { Delete(Url("A")); });
  EXPECT_EQ(kAdErrUrlDoesNotExist, missing.status);
  EXPECT_EQ("The resource does not exist: HTTP/1.1 404 Not Found (PROPFIND " + Url("A") + ")", missing.description);
}

TEST_F(RecordTest, DeletingACollectionForgetsTheUrlsBelowIt) {
  ForgetKnownUrls();
  ASSERT_EQ(201, Mkcol(Url("A")));
  ASSERT_EQ(201, Put(Url("A/f.txt"), "f"));
  RecordPtr child;
  child.CreateInstance();
  child->Open(Url("A/f.txt"));  // now known to exist
  EXPECT_EQ(S_OK, Delete(Url("A")));
  EXPECT_EQ(kAdErrUrlDoesNotExist, ComFailure([&] { Delete(Url("A/f.txt")); }).status);
}

TEST_F(RecordTest, DeletesACollectionWithEverythingInIt) {
  ASSERT_EQ(201, Mkcol(Url("A")));
  ASSERT_EQ(201, Mkcol(Url("A/B")));
  ASSERT_EQ(201, Put(Url("A/B/c.txt"), "c"));
  EXPECT_EQ(S_OK, Delete(Url("A")));
  EXPECT_EQ("Templates/", List(R()));

  RecordPtr record;
  record.CreateInstance();
  record->Open(R());
  ASSERT_EQ(201, Put(Url("rel.txt"), "r"));
  EXPECT_EQ(S_OK, record->DeleteRecord("rel.txt"));
  EXPECT_FALSE(Exists(Url("rel.txt")));
}

TEST_F(RecordTest, CopiesOnTheServerHonouringOverwrite) {
  ASSERT_EQ(201, Put(Url("a.txt"), "new text"));
  ASSERT_EQ(201, Put(Url("b.txt"), "old text that is longer"));
  EXPECT_EQ(kAdErrResourceExists, ComFailure([&] { Copy(Url("a.txt"), Url("b.txt"), adCopyUnspecified); }).status);
  EXPECT_EQ("old text that is longer", Get(Url("b.txt")));
  EXPECT_EQ(S_OK, Copy(Url("a.txt"), Url("b.txt"), adCopyOverWrite));
  EXPECT_EQ("new text", Get(Url("b.txt")));
  EXPECT_EQ(S_OK, Copy(Url("a.txt"), Url("c.txt"), adCopyUnspecified));
  EXPECT_EQ("new text", Get(Url("c.txt")));

  EXPECT_EQ(S_OK, Copy(Url("Templates"), Url("T2")));
  EXPECT_EQ(List(Url("Templates")), List(Url("T2")));

  const auto missing = ComFailure([&] { Copy(Url("nothing"), Url("d.txt")); });
  EXPECT_EQ(kAdErrUrlDoesNotExist, missing.status);
  EXPECT_NE(std::string::npos, missing.description.find("(COPY " + Url("nothing") + " to " + Url("d.txt") + ")"));
}

TEST_F(RecordTest, MovesOnTheServerReplacingAWholeTreeOnlyWithOverwrite) {
  ASSERT_EQ(201, Mkcol(Url("new")));
  ASSERT_EQ(201, Put(Url("new/n.txt"), "new"));
  ASSERT_EQ(201, Mkcol(Url("old")));
  ASSERT_EQ(201, Put(Url("old/o.txt"), "old"));
  RecordPtr record;
  record.CreateInstance();
  record->Open(Server(), vtMissing, adModeUnknown, adFailIfNotExists, adOpenRecordUnspecified, "", "");
  const auto taken = ComFailure([&] { record->MoveRecord(Url("new"), Url("old"), "", "", adMoveUnspecified, false); });
  EXPECT_EQ(kAdErrResourceExists, taken.status);
  EXPECT_NE(std::string::npos, taken.description.find("(MOVE " + Url("new") + " to " + Url("old") + ")")) << taken.description;
  EXPECT_EQ("o.txt", List(Url("old")));
  EXPECT_EQ(S_OK, record->MoveRecord(Url("new"), Url("old"), "", "", adMoveOverWrite, false));
  EXPECT_EQ("n.txt", List(Url("old")));
  EXPECT_FALSE(Exists(Url("new")));
  EXPECT_EQ(kAdErrUrlDoesNotExist,
            ComFailure([&] { record->MoveRecord(Url("new"), Url("other"), "", "", adMoveOverWrite, false); }).status);
  EXPECT_EQ(kAdErrInvalidArgument,
            ComFailure([&] { record->MoveRecord(Url("old"), "file:///tmp/x", "", "", adMoveOverWrite, false); }).status);
}

TEST_F(RecordTest, AFifoIsRefusedInsteadOfWaitedFor) {
  ZAN_SKIP_ON_WINDOWS("Windows has no FIFOs in its file system");
  test::TempDir dir;
  ASSERT_TRUE(test::MakeFifo(dir / "pipe"));
  const auto failure = ComFailure([&] { Copy(FileUrl(dir / "pipe"), Url("pipe")); });
  EXPECT_EQ(kAdErrOpeningFile, failure.status);
  EXPECT_EQ("Not a regular file: " + (dir / "pipe"), failure.description);
  EXPECT_FALSE(Exists(Url("pipe")));
}

TEST_F(RecordTest, NamesWithReservedAndNonAsciiCharactersRoundTrip) {
  const std::string names[] = {"My Project#1", "50%", "\xC3\x84rger", "what?", "a;b=c&d", "x%41y", "sp  ace "};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string dir = Url(name);
    EXPECT_EQ(S_OK, Create(dir, adCreateCollection));
    EXPECT_EQ(S_OK, Create(dir + "/" + name + ".xml", adCreateNonCollection));
    EXPECT_EQ(name + ".xml", List(dir));
    ASSERT_EQ(204, Put(dir + "/" + name + ".xml", name));
    EXPECT_EQ(S_OK, Copy(dir + "/" + name + ".xml", dir + "/copy of " + name));
    EXPECT_EQ(name, Get(dir + "/copy of " + name));
    EXPECT_EQ(Lines({name + ".xml", "copy of " + name}), List(dir));
    EXPECT_EQ(S_OK, Delete(dir));
  }
  EXPECT_EQ("Templates/", List(R()));
}

TEST_F(RecordTest, CopiesLargeFilesBetweenDiskAndServerByteForByte) {
  test::TempDir dir;
  const std::string content = Pattern(6 * 1024 * 1024 + 3);
  dir.Write("up.bin", content);
  EXPECT_EQ(S_OK, Copy(FileUrl(dir / "up.bin"), Url("big.bin")));
  EXPECT_TRUE(Get(Url("big.bin")) == content);

  EXPECT_EQ(S_OK, Copy(Url("big.bin"), FileUrl(dir / "down.bin")));
  EXPECT_TRUE(dir.Read("down.bin") == content);
  EXPECT_EQ("down.bin up.bin", LocalNames(dir.path()));
}

TEST_F(RecordTest, DownloadReplacesOnlyWithOverwriteAndUploadLikewise) {
  test::TempDir dir;
  dir.Write("local.txt", "local");
  ASSERT_EQ(201, Put(Url("server.txt"), "server"));
  EXPECT_EQ(kAdErrResourceExists,
            ComFailure([&] { Copy(Url("server.txt"), FileUrl(dir / "local.txt"), adCopyUnspecified); }).status);
  EXPECT_EQ("local", dir.Read("local.txt"));
  EXPECT_EQ(S_OK, Copy(Url("server.txt"), FileUrl(dir / "local.txt")));
  EXPECT_EQ("server", dir.Read("local.txt"));

  dir.Write("other.txt", "other");
  EXPECT_EQ(kAdErrResourceExists,
            ComFailure([&] { Copy(FileUrl(dir / "other.txt"), Url("server.txt"), adCopyUnspecified); }).status);
  EXPECT_EQ("server", Get(Url("server.txt")));
  EXPECT_EQ(S_OK, Copy(FileUrl(dir / "other.txt"), Url("server.txt")));
  EXPECT_EQ("other", Get(Url("server.txt")));
  EXPECT_EQ("local.txt other.txt", LocalNames(dir.path()));
}

TEST_F(RecordTest, AFailedDownloadLeavesNoFileBehind) {
  test::TempDir dir;
  dir.Write("kept.txt", "kept");
  const auto missing = ComFailure([&] { Copy(Url("missing.txt"), FileUrl(dir / "new.txt")); });
  EXPECT_EQ(kAdErrUrlDoesNotExist, missing.status);
  EXPECT_EQ("The resource does not exist: HTTP/1.1 404 Not Found (GET " + Url("missing.txt") + ")", missing.description);
  EXPECT_EQ(kAdErrUrlDoesNotExist, ComFailure([&] { Copy(Url("missing.txt"), FileUrl(dir / "kept.txt")); }).status);
  EXPECT_EQ("kept", dir.Read("kept.txt"));
  EXPECT_EQ("kept.txt", LocalNames(dir.path()));
  EXPECT_EQ(kAdErrUrlDoesNotExist,
            ComFailure([&] { Copy(Url("Templates"), FileUrl(dir / "no-such-dir/x.txt")); }).status);
}

TEST_F(RecordTest, UploadFailuresNameTheFileOrTheUrl) {
  test::TempDir dir;
  const auto noFile = ComFailure([&] { Copy(FileUrl(dir / "absent.txt"), Url("x.txt")); });
  EXPECT_EQ(kAdErrUrlDoesNotExist, noFile.status);
  EXPECT_NE(std::string::npos, noFile.description.find(dir / "absent.txt")) << noFile.description;
  EXPECT_EQ(kAdErrOpeningFile, ComFailure([&] { Copy(FileUrl(dir.path()), Url("x.txt")); }).status);

  dir.Write("f.txt", "f");
  const auto noParent = ComFailure([&] { Copy(FileUrl(dir / "f.txt"), Url("no/parent.txt")); });
  EXPECT_EQ(E_FAIL, noParent.status);
  EXPECT_TRUE(noParent.description.starts_with("Unspecified error: HTTP/1.1 409 Conflict")) << noParent.description;
  EXPECT_FALSE(Exists(Url("x.txt")));
}

TEST_F(RecordTest, ATreeCopyUsesOneConnectionAndOneExistenceCheck) {
  ForgetKnownUrls();
  test::TempDir dir;
  for (int i = 0; i < 10; ++i) dir.Write("f" + std::to_string(i), Pattern(1000 + i, i));
  test::RequestLog log;
  ASSERT_EQ(S_OK, Create(Url("up"), adCreateCollection | adCreateOverwrite));
  for (int i = 0; i < 10; ++i) ASSERT_EQ(S_OK, Copy(FileUrl(dir / ("f" + std::to_string(i))), Url("up/f" + std::to_string(i))));
  for (int i = 0; i < 10; ++i) ASSERT_EQ(S_OK, Copy(Url("up/f" + std::to_string(i)), FileUrl(dir / ("g" + std::to_string(i)))));
  EXPECT_EQ(1, log.Count("PROPFIND"));
  EXPECT_EQ(10, log.Count("PUT"));
  EXPECT_EQ(10, log.Count("GET"));
  EXPECT_LE(log.NewConnections(), 1);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(dir.Read("g" + std::to_string(i)) == Pattern(1000 + i, i)) << i;
}

TEST_F(RecordTest, ObjectStateAndArgumentsAreChecked) {
  RecordPtr empty;
  EXPECT_EQ(E_POINTER, ComFailure([&] { empty->Close(); }).status);

  Record record;
  EXPECT_EQ(kAdErrObjectClosed, ComFailure([&] { record.Close(); }).status);
  EXPECT_EQ(kAdErrObjectClosed, ComFailure([&] { record.DeleteRecord(); }).status);
  EXPECT_EQ(kAdErrObjectClosed, ComFailure([&] { record.CopyRecord(Url("a"), Url("b")); }).status);
  EXPECT_EQ(kAdErrInvalidArgument, ComFailure([&] { record.Open("ftp://h/x"); }).status);
  EXPECT_EQ(kAdErrInvalidArgument, ComFailure([&] { record.Open("file:///tmp"); }).status);
  EXPECT_EQ(kAdErrInvalidArgument, ComFailure([&] { record.Open(Url("x"), vtMissing, adModeReadWrite, 4); }).status);
  EXPECT_EQ(adStateClosed, record.State());
  EXPECT_EQ(S_OK, record.Open(R()));
  EXPECT_EQ(adStateOpen, record.State());
  EXPECT_EQ(kAdErrObjectOpen, ComFailure([&] { record.Open(R()); }).status);
  EXPECT_EQ(kAdErrInvalidArgument, ComFailure([&] { record.CopyRecord(Url("a"), "ftp://h/b"); }).status);
  EXPECT_EQ(kAdErrInvalidArgument, ComFailure([&] { record.CopyRecord(Url("a"), Url("b"), "", "", 1, true); }).status);
  std::string newUrl;
  ASSERT_EQ(201, Put(Url("a"), "a"));
  EXPECT_EQ(S_OK, record.CopyRecord(Url("a"), Url("b"), "", "", adCopyOverWrite, false, &newUrl));
  EXPECT_EQ(Url("b"), newUrl);
  EXPECT_EQ(S_OK, record.Close());
}

class ScopedTimeouts {
 public:
  explicit ScopedTimeouts(std::chrono::milliseconds stall) : previous_(http::GetTimeouts()) {
    http::SetTimeouts(http::Timeouts{std::chrono::seconds(2), stall});
  }
  ~ScopedTimeouts() { http::SetTimeouts(previous_); }

 private:
  http::Timeouts previous_;
};

TEST_F(RecordTest, ADownloadFromAServerThatFailsMidBodyErrsAndLeavesNoFile) {
  test::TempDir dir;
  dir.Write("doc.xml", "previous");
  ScopedTimeouts timeouts(std::chrono::seconds(1));
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'x');
  struct Case {
    test::FaultServer::After after;
    HRESULT status;
  } cases[] = {{test::FaultServer::After::kGoSilent, http::kErrTimeout},
               {test::FaultServer::After::kClose, http::kErrConnectionAborted}};
  for (const Case& c : cases) {
    test::FaultServer server(head, c.after);
    RecordPtr record;
    record.CreateInstance();
    record->Open(Server());
    for (const char* target : {"doc.xml", "fresh.xml"}) {
      const auto failure = ComFailure([&] { record->CopyRecord(server.Url() + "/R/doc.xml", FileUrl(dir / target), "", "", adCopyOverWrite, false); });
      EXPECT_EQ(c.status, failure.status) << failure.description;
    }
    EXPECT_EQ("previous", dir.Read("doc.xml"));
    EXPECT_EQ("doc.xml", LocalNames(dir.path()));
  }
}

TEST_F(RecordTest, ARefusedConnectionFailsTheOpen) {
  const std::string url = "http://127.0.0.1:" + std::to_string(test::RefusedPort());
  RecordPtr record;
  record.CreateInstance();
  const auto failure = ComFailure([&] { record->Open(url); });
  EXPECT_EQ(http::kErrCannotConnect, failure.status);
  EXPECT_NE(std::string::npos, failure.description.find("(PROPFIND " + url + ")")) << failure.description;
}

}  // namespace
}  // namespace zan::ado
