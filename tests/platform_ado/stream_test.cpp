// Stream objects against a real Apache mod_dav server.
#include "platform/ado/stream.h"

#include "platform/ado/ado_errors.h"
#include "platform/http/transport.h"
#include "support/com_failure.h"
#include "support/dav_server.h"
#include "support/request_log.h"

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
  EXPECT_EQ(kAdErrIllegalOperation, ComFailure([&] { stream.SetEOS(); }).status);
  EXPECT_EQ(kAdErrInvalidArgument, ComFailure([&] { stream.Position(4); }).status);
  EXPECT_EQ("ascii", (stream.Charset("ascii"), stream.Charset()));
  EXPECT_EQ(S_OK, stream.Close());
  EXPECT_EQ("abc", Get(Url("doc.txt")));

  StreamPtr empty;
  EXPECT_EQ(E_POINTER, ComFailure([&] { empty->Charset("ascii"); }).status);
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
