// Stream objects against a real Apache mod_dav server.
#include "platform/ado/stream.h"

#include <chrono>
#include <filesystem>

#include "platform/ado/ado_errors.h"
#include "platform/http/transport.h"
#include "platform/http/url_encoding.h"
#include "support/com_failure.h"
#include "support/dav_server.h"
#include "support/fault_proxy.h"
#include "support/request_log.h"
#include "support/send.h"

namespace zan::ado {
namespace {

static const bool kDavServer = test::DavServer::Register();

using test::ComFailure;

class StreamTest : public test::DavTest {
 protected:
  // The whole text of a resource, read as the record/stream manager reads a document.
  std::string ReadDocument(const std::string& url) {
    StreamPtr stream;
    EXPECT_EQ(S_OK, stream.CreateInstance());
    stream->Charset("ascii");
    stream->Open("URL=" + url, adModeRead, adOpenStreamUnspecified, "", "");
    const int64_t size = stream->Size();
    std::string text = stream->ReadText(static_cast<long>(size));
    stream->Close();
    return text;
  }
  // Replaces a resource's whole text, as the manager writes a document.
  void WriteDocument(const std::string& url, const std::string& text) {
    StreamPtr stream;
    EXPECT_EQ(S_OK, stream.CreateInstance());
    stream->Charset("ascii");
    stream->Open("URL=" + url, adModeReadWrite, adOpenStreamUnspecified, "", "");
    stream->Position(0);
    stream->SetEOS();
    stream->WriteText(text, adWriteChar);
    stream->Close();
  }
  // Moves the file behind url an hour back, so that Apache gives it a strong ETag (it marks
  // one weak during the second after a change).
  void Age(const std::string& url) {
    const std::filesystem::path file = test::DavServer::Dir() + "/dav" + url.substr(Server().size());
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::hours(1));
  }
  // The ETag a read through a stream gives.
  std::string EtagOf(const std::string& url) {
    Stream stream;
    stream.Open("URL=" + url, adModeRead);
    return stream.ETag();
  }
  // A lock taken through a stream, as another client would hold it.
  std::string Lock(const std::string& url) {
    Stream stream;
    stream.Open("URL=" + url, adModeWrite);
    return stream.TakeLock(60);
  }
  void Unlock(const std::string& url, const std::string& token) {
    Stream stream;
    stream.Open("URL=" + url, adModeWrite);
    EXPECT_EQ(S_OK, stream.ReleaseLock(token));
  }
  // The value of a request header the log recorded for the request with that method; "-"
  // when it was not sent.
  static std::string SentHeader(const test::RequestLog& log, const std::string& method, const std::string& name) {
    for (const http::RequestRecord& r : log.records())
      if (r.method == method)
        for (const http::Header& h : r.headers)
          if (h.name == name) return h.value;
    return "-";
  }
};

TEST_F(StreamTest, ReadsAndWritesEveryByteUnchanged) {
  std::string binary;
  for (int b = 0; b < 256; ++b) binary += static_cast<char>(b);
  const std::string texts[] = {
      "",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><MBP Name=\"\xC3\x84rger \xE6\x97\xA5\xE6\x9C\xAC\"/>",
      "\x93\xfa\x96\x7b\x8c\xea (Shift-JIS bytes)",
      binary,
      "line\r\nline\n",
  };
  for (const std::string& text : texts) {
    ASSERT_LT(Put(Url("doc.xml"), "previous content, longer than some"), 300);
    WriteDocument(Url("doc.xml"), text);
    EXPECT_TRUE(Get(Url("doc.xml")) == text) << text.size();
    EXPECT_TRUE(ReadDocument(Url("doc.xml")) == text) << text.size();
  }
}

TEST_F(StreamTest, AShorterTextOverALongerOneLeavesExactlyTheNewText) {
  ASSERT_EQ(201, Put(Url("doc.xml"), std::string(10000, 'L')));
  test::RequestLog log;
  WriteDocument(Url("doc.xml"), "short");
  EXPECT_EQ("PUT", log.Methods());  // one request: the old content is never fetched
  EXPECT_EQ("short", Get(Url("doc.xml")));
  WriteDocument(Url("doc.xml"), "");
  EXPECT_EQ("", Get(Url("doc.xml")));
}

TEST_F(StreamTest, AnEmptyResourceReadsAsEmptyText) {
  ASSERT_EQ(201, Put(Url("empty.xml"), ""));
  EXPECT_EQ("", ReadDocument(Url("empty.xml")));
}

TEST_F(StreamTest, NamesWithReservedAndNonAsciiCharactersWork) {
  for (const std::string name : {"My Project#1.xml", "50%.xml", "\xC3\x84rger?.xml"}) {
    ASSERT_EQ(201, Put(Url(name), "old"));
    WriteDocument(Url(name), name);
    EXPECT_EQ(name, ReadDocument(Url(name)));
  }
}

TEST_F(StreamTest, AMissingResourceFailsAndIsNotCreated) {
  // Reading fails at Open; writing fails when the write reaches the server.
  StreamPtr reader;
  reader.CreateInstance();
  auto failure = ComFailure([&] { reader->Open("URL=" + Url("missing.xml"), adModeRead); });
  EXPECT_EQ(kAdErrUrlDoesNotExist, failure.status);
  EXPECT_NE(std::string::npos, failure.description.find("404 Not Found")) << failure.description;
  EXPECT_NE(std::string::npos, failure.description.find(Url("missing.xml"))) << failure.description;
  StreamPtr writer;
  writer.CreateInstance();
  writer->Open("URL=" + Url("missing.xml"), adModeReadWrite);
  writer->SetEOS();
  writer->WriteText("x");
  failure = ComFailure([&] { writer->Close(); });
  EXPECT_EQ(kAdErrUrlDoesNotExist, failure.status);
  EXPECT_NE(std::string::npos, failure.description.find(Url("missing.xml"))) << failure.description;
  EXPECT_FALSE(Exists(Url("missing.xml")));
}

TEST_F(StreamTest, PartialReadsAndWritesWorkOnTheServerContent) {
  ASSERT_EQ(201, Put(Url("doc.txt"), "abcdef"));
  Stream stream;
  stream.Open("URL=" + Url("doc.txt"), adModeReadWrite);
  EXPECT_EQ(6, stream.Size());
  EXPECT_EQ("ab", stream.ReadText(2));
  EXPECT_EQ(2, stream.Position());
  stream.WriteText("XY");
  EXPECT_EQ("ef", stream.ReadText());
  stream.WriteText("gh", adWriteLine);
  stream.Position(7);
  stream.SetEOS();
  EXPECT_EQ(S_OK, stream.Close());
  EXPECT_EQ("abXYefg", Get(Url("doc.txt")));
}

TEST_F(StreamTest, UnchangedStreamsAreNotWrittenBack) {
  ASSERT_EQ(201, Put(Url("doc.txt"), "abc"));
  test::RequestLog log;
  Stream stream;
  stream.Open("URL=" + Url("doc.txt"), adModeReadWrite);
  stream.Position(0);
  EXPECT_EQ(S_OK, stream.Close());
  EXPECT_EQ("", log.Methods());
}

TEST_F(StreamTest, AFailedWriteReportsAtCloseAndClosesTheStream) {
  ASSERT_EQ(201, Put(Url("doc.txt"), "abc"));
  const http::Response lock = [&] {
    http::Request r;
    r.method = "LOCK";
    r.url = Url("doc.txt");
    r.headers = {{"Content-Type", "text/xml"}};
    r.body = "<?xml version=\"1.0\"?><D:lockinfo xmlns:D=\"DAV:\"><D:lockscope><D:exclusive/></D:lockscope>"
             "<D:locktype><D:write/></D:locktype></D:lockinfo>";
    return http::Perform(r);
  }();
  ASSERT_EQ(200, lock.status);
  Stream stream;
  stream.Open("URL=" + Url("doc.txt"), adModeReadWrite);
  stream.SetEOS();
  stream.WriteText("new");
  const auto failure = ComFailure([&] { stream.Close(); });
  EXPECT_EQ(kAdErrResourceLocked, failure.status);
  EXPECT_EQ("The resource is locked: HTTP/1.1 423 Locked (PUT " + Url("doc.txt") + ")", failure.description);
  EXPECT_EQ(adStateClosed, stream.State());
  EXPECT_EQ("abc", Get(Url("doc.txt")));
}

TEST_F(StreamTest, ReadOnlyAndClosedStreamsRefuseWork) {
  ASSERT_EQ(201, Put(Url("doc.txt"), "abc"));
  Stream stream;
  EXPECT_EQ(kAdErrObjectClosed, ComFailure([&] { stream.Size(); }).status);
  EXPECT_EQ(kAdErrObjectClosed, ComFailure([&] { stream.Close(); }).status);
  EXPECT_EQ(kAdErrInvalidArgument, ComFailure([&] { stream.Open("URL=file:///etc/passwd"); }).status);
  stream.Open("URL=" + Url("doc.txt"), adModeRead);
  EXPECT_EQ(kAdErrObjectOpen, ComFailure([&] { stream.Open("URL=" + Url("doc.txt")); }).status);
  EXPECT_EQ(kAdErrIllegalOperation, ComFailure([&] { stream.WriteText("x"); }).status);
  EXPECT_EQ(kAdErrIllegalOperation, ComFailure([&] { stream.WriteWholeText("x"); }).status);
  EXPECT_EQ(kAdErrIllegalOperation, ComFailure([&] { stream.SetEOS(); }).status);
  EXPECT_EQ(kAdErrInvalidArgument, ComFailure([&] { stream.Position(4); }).status);
  EXPECT_EQ("ascii", (stream.Charset("ascii"), stream.Charset()));
  EXPECT_EQ(S_OK, stream.Close());
  EXPECT_EQ("abc", Get(Url("doc.txt")));

  StreamPtr empty;
  EXPECT_EQ(E_POINTER, ComFailure([&] { empty->Charset("ascii"); }).status);

  Stream memory;  // a whole-text write needs a resource
  memory.Open();
  EXPECT_EQ(kAdErrIllegalOperation, ComFailure([&] { memory.WriteWholeText("x"); }).status);
}

TEST_F(StreamTest, AWholeTextWriteIsOnePutAndLaterReadsFetchIt) {
  ASSERT_EQ(201, Put(Url("doc.txt"), "old text"));
  const std::string text("new\0bytes\xff", 10);
  Stream stream;
  stream.Open("URL=" + Url("doc.txt"), adModeReadWrite);
  {
    test::RequestLog log;
    EXPECT_EQ(S_OK, stream.WriteWholeText(text));
    EXPECT_EQ("PUT", log.Methods());
  }
  EXPECT_EQ(text, Get(Url("doc.txt")));
  test::RequestLog log;
  EXPECT_EQ(10, stream.Size());  // fetched again, not the old text
  EXPECT_EQ(text, stream.ReadText());
  EXPECT_EQ(S_OK, stream.Close());  // nothing left to write
  EXPECT_EQ("GET", log.Methods());
}

TEST_F(StreamTest, AReadKeepsTheEtagAsTheServerSentIt) {
  ASSERT_EQ(201, Put(Url("doc.xml"), "v1"));
  Age(Url("doc.xml"));
  const std::string strong = test::Send("GET", Url("doc.xml")).GetHeader("ETag");
  ASSERT_TRUE(strong.starts_with("\"")) << strong;
  test::FaultProxy proxy(Server());
  proxy.Add(test::FaultRule::Any().WeakETags());
  const struct {
    const char* row;
    std::string url;
    std::string etag;
  } rows[] = {
      {"a strong ETag", Url("doc.xml"), strong},
      {"a weak ETag keeps its mark", proxy.Via(Url("doc.xml")), "W/" + strong},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.row);
    Stream stream;
    stream.Open("URL=" + row.url, adModeRead);
    EXPECT_EQ(row.etag, stream.ETag());
    EXPECT_EQ("v1", stream.TakeText());
  }
  Stream unread;
  unread.Open("URL=" + Url("doc.xml"), adModeWrite);
  EXPECT_EQ("", unread.ETag());  // nothing was fetched
}

TEST_F(StreamTest, TakeTextMovesTheRestOutOfAReadingStream) {
  ASSERT_EQ(201, Put(Url("doc.txt"), "abcdef"));
  Stream reader;
  reader.Open("URL=" + Url("doc.txt"), adModeRead);
  EXPECT_EQ("ab", reader.ReadText(2));
  EXPECT_EQ("cdef", reader.TakeText());
  EXPECT_EQ(2, reader.Size());
  EXPECT_EQ("", reader.TakeText());
  Stream writer;
  writer.Open("URL=" + Url("doc.txt"), adModeReadWrite);
  EXPECT_EQ(kAdErrIllegalOperation, ComFailure([&] { writer.TakeText(); }).status);
}

TEST_F(StreamTest, AConditionalWriteLandsOnlyWhileItsConditionHolds) {
  enum class Condition { kCurrentEtag, kOldEtag, kHeldLock, kReleasedLock, kOtherClientsLock };
  const struct {
    const char* row;
    Condition condition;
    HRESULT status;
  } rows[] = {
      {"If-Match of the current ETag", Condition::kCurrentEtag, S_OK},
      {"If-Match of an ETag from before another client's change", Condition::kOldEtag, kAdErrResourceChanged},
      {"the lock token held", Condition::kHeldLock, S_OK},
      {"a lock token already released", Condition::kReleasedLock, kAdErrResourceChanged},
      {"no token while another client holds a lock", Condition::kOtherClientsLock, kAdErrResourceLocked},
  };
  const std::string url = Url("doc.xml");
  for (const auto& row : rows)
  for (const bool whole : {false, true}) {  // WriteText and Close, or WriteWholeText
    SCOPED_TRACE(std::string(row.row) + (whole ? ", whole text" : ", buffered"));
    ASSERT_LT(Put(url, "stored"), 300);
    Age(url);
    std::string before = "stored";
    std::string token;     // given to the stream
    std::string ifMatch;   // given to the stream
    std::string held;      // a lock to release after the write
    switch (row.condition) {
      case Condition::kCurrentEtag:
        ifMatch = EtagOf(url);
        ASSERT_FALSE(ifMatch.empty() || ifMatch.starts_with("W/")) << ifMatch;
        break;
      case Condition::kOldEtag:
        ifMatch = EtagOf(url);
        before = "changed by another client";
        ASSERT_LT(Put(url, before), 300);
        break;
      case Condition::kHeldLock:
        token = held = Lock(url);
        break;
      case Condition::kReleasedLock:
        token = Lock(url);
        Unlock(url, token);
        break;
      case Condition::kOtherClientsLock:
        held = Lock(url);
        break;
    }
    ASSERT_TRUE(token.empty() == (row.condition != Condition::kHeldLock && row.condition != Condition::kReleasedLock));
    test::RequestLog log;
    Stream stream;
    stream.Open("URL=" + url, adModeReadWrite);
    stream.LockToken(token);
    stream.IfMatch(ifMatch);
    const test::ComFailureResult result = ComFailure([&] {
      if (whole) {
        stream.WriteWholeText("mine");
      } else {
        stream.SetEOS();
        stream.WriteText("mine");
      }
      stream.Close();
    });
    const std::string methods = log.Methods();
    if (!held.empty()) Unlock(url, held);
    EXPECT_EQ(test::Hex(row.status), test::Hex(result.status)) << result.description;
    EXPECT_EQ(row.status == S_OK ? "mine" : before, Get(url));
    EXPECT_EQ("PUT", methods);
    EXPECT_EQ(token.empty() ? "-" : "<" + http::EncodeUrl(url) + "> (<" + token + ">)", SentHeader(log, "PUT", "If"));
    EXPECT_EQ(ifMatch.empty() ? "*" : ifMatch, SentHeader(log, "PUT", "If-Match"));
  }
}

TEST_F(StreamTest, ALockIsTakenOnlyOnAResourceThatIsThere) {
  ASSERT_EQ(201, Put(Url("doc.xml"), "v1"));
  const std::string token = Lock(Url("doc.xml"));
  EXPECT_TRUE(token.starts_with("opaquelocktoken:")) << token;
  const auto taken = ComFailure([&] { Lock(Url("doc.xml")); });
  EXPECT_EQ(kAdErrResourceLocked, taken.status);
  EXPECT_EQ("The resource is locked: HTTP/1.1 423 Locked (LOCK " + Url("doc.xml") + ")", taken.description);
  Unlock(Url("doc.xml"), token);
  EXPECT_EQ("", Lock(Url("missing.xml")));
  EXPECT_FALSE(Exists(Url("missing.xml")));
  Stream memory;
  memory.Open();
  EXPECT_EQ(kAdErrIllegalOperation, ComFailure([&] { memory.TakeLock(60); }).status);
}

TEST(StreamMemoryTest, AStreamWithoutSourceLivesInMemory) {
  Stream stream;
  ASSERT_EQ(S_OK, stream.Open());
  stream.WriteText("hello");
  stream.Position(0);
  EXPECT_EQ("hello", stream.ReadText());
  EXPECT_EQ(S_OK, stream.Close());
}

}  // namespace
}  // namespace zan::ado
