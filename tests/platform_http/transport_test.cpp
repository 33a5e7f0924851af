// The transport against a real Apache mod_dav server, and against fault-injecting stand-ins
// for a server that stops answering.
#include "platform/http/transport.h"

#include <chrono>
#include <thread>

#include "platform/com/com_error.h"
#include "platform/http/http_errors.h"
#include "platform/http/url_encoding.h"
#include "platform/os/file.h"
#include "support/com_failure.h"
#include "support/dav_server.h"
#include "support/fault_proxy.h"
#include "support/fault_server.h"
#include "support/host.h"
#include "support/request_log.h"
#include "support/scoped_env.h"
#include "support/send.h"
#include "support/temp_dir.h"

namespace zan::http {
namespace {

using zan::test::Send;

static const bool kDavServer = test::DavServer::Register();

// Short timeouts for one test; the previous ones come back afterwards.
class ScopedTimeouts {
 public:
  ScopedTimeouts(std::chrono::milliseconds connect, std::chrono::seconds stall) : previous_(GetTimeouts()) {
    SetTimeouts(Timeouts{connect, stall});
  }
  ~ScopedTimeouts() { SetTimeouts(previous_); }

 private:
  Timeouts previous_;
};

// The failure status of a call that must throw _com_error, with its description.
template <typename F>
std::pair<HRESULT, std::string> Failure(F&& call) {
  const test::ComFailureResult r = test::ComFailure(std::forward<F>(call));
  return {r.status, r.description};
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  uint32_t x = 12345;
  for (char& c : s) {
    x = x * 1103515245 + 12345;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

class TransportTest : public test::DavTest {};

TEST_F(TransportTest, ReusesOneConnectionPerThread) {
  auto run = [this](long* opened, int* requests) {
    test::RequestLog log;
    for (int i = 0; i < 5; ++i) {
      const std::string url = Url("reuse" + std::to_string(reinterpret_cast<uintptr_t>(opened) % 97) + "-" + std::to_string(i));
      EXPECT_EQ(201, Send("PUT", url, {}, "x").status);
      EXPECT_EQ(200, Send("GET", url).status);
      EXPECT_EQ(207, Send("PROPFIND", url, {{"Depth", "0"}}).status);
      EXPECT_EQ(404, Send("GET", url + "-missing").status);
      EXPECT_EQ(204, Send("DELETE", url).status);
    }
    *opened = log.NewConnections();
    *requests = static_cast<int>(log.records().size());
  };
  // Fresh threads start without a connection: each opens exactly one for all its requests.
  long openedA = -1, openedB = -1;
  int requestsA = 0, requestsB = 0;
  std::thread a(run, &openedA, &requestsA);
  a.join();
  std::thread b(run, &openedB, &requestsB);
  b.join();
  EXPECT_EQ(25, requestsA);
  if (!test::OnWindows()) {  // WinHTTP under Wine does not report the connections it opens reliably
    EXPECT_EQ(1, openedA);
    EXPECT_EQ(1, openedB);
  }
}

TEST_F(TransportTest, ErrorStatusesAreRepliesWithStatusLineAndHeaders) {
  const Response missing = Send("GET", Url("missing"));
  EXPECT_EQ(404, missing.status);
  EXPECT_EQ("HTTP/1.1 404 Not Found", missing.statusLine);
  EXPECT_EQ("Not Found", missing.statusText);
  EXPECT_NE("", missing.GetHeader("content-type"));

  ASSERT_EQ(201, Send("PUT", Url("a.txt"), {}, "abc").status);
  const Response got = Send("GET", Url("a.txt"));
  EXPECT_EQ("abc", got.body);
  EXPECT_EQ("3", got.GetHeader("Content-Length"));
  EXPECT_NE("", got.GetHeader("ETAG"));
  EXPECT_EQ("", got.GetHeader("X-Not-There"));
}

TEST_F(TransportTest, LockTokenHeaderIsReadableAndUsable) {
  ASSERT_EQ(201, Send("PUT", Url("locked.txt"), {}, "v1").status);
  const Response lock = Send("LOCK", Url("locked.txt"), {{"Timeout", "Second-60"}, {"Content-Type", "text/xml"}},
                             "<?xml version=\"1.0\"?><D:lockinfo xmlns:D=\"DAV:\"><D:lockscope><D:exclusive/>"
                             "</D:lockscope><D:locktype><D:write/></D:locktype></D:lockinfo>");
  ASSERT_EQ(200, lock.status);
  const std::string token = lock.GetHeader("Lock-Token");
  ASSERT_TRUE(token.starts_with("<opaquelocktoken:")) << token;
  EXPECT_EQ(423, Send("PUT", Url("locked.txt"), {}, "v2").status);
  EXPECT_EQ(204, Send("UNLOCK", Url("locked.txt"), {{"Lock-Token", token}}).status);
  EXPECT_EQ(204, Send("PUT", Url("locked.txt"), {}, "v2").status);
}

TEST_F(TransportTest, EmptyBodyIsSentAsContentLengthZeroAndNoBodyAsNone) {
  ASSERT_EQ(201, Send("PUT", Url("empty.txt"), {}, "").status);
  EXPECT_EQ("", Get(Url("empty.txt")));
  EXPECT_EQ(201, Send("MKCOL", Url("col")).status);  // MKCOL refuses any body
}

TEST_F(TransportTest, StreamsABodyFromAFileAndAReplyIntoASink) {
  test::TempDir dir;
  const std::string content = Pattern(5 * 1024 * 1024 + 17);
  dir.Write("big.bin", content);
  zan::os::File file = zan::os::File::OpenForReading(dir / "big.bin");
  ASSERT_TRUE(file.isOpen());
  Request put;
  put.method = "PUT";
  put.url = Url("big.bin");
  put.bodyFile = &file;
  EXPECT_EQ(201, Perform(put).status);
  file.Close();

  std::string received;
  size_t chunks = 0;
  Request get;
  get.method = "GET";
  get.url = Url("big.bin");
  get.sink = [&](std::string_view chunk) {
    received.append(chunk);
    ++chunks;
  };
  const Response r = Perform(get);
  EXPECT_EQ(200, r.status);
  EXPECT_EQ("", r.body);
  EXPECT_GT(chunks, 1u);
  EXPECT_TRUE(received == content) << received.size();

  // A failure reply does not reach the sink.
  get.url = Url("nothing-here");
  received.clear();
  const Response missing = Perform(get);
  EXPECT_EQ(404, missing.status);
  EXPECT_EQ("", received);
  EXPECT_NE("", missing.body);
}

TEST_F(TransportTest, AThrowingSinkStopsTheTransferAndTheNextRequestWorks) {
  ASSERT_EQ(201, Send("PUT", Url("s.bin"), {}, Pattern(1 << 20)).status);
  Request get;
  get.method = "GET";
  get.url = Url("s.bin");
  get.sink = [](std::string_view) { throw _com_error(E_ABORT, "disk full"); };
  EXPECT_EQ(std::make_pair(E_ABORT, std::string("disk full")), Failure([&] { Perform(get); }));
  EXPECT_EQ(207, Send("PROPFIND", Url("s.bin"), {{"Depth", "0"}}).status);
}

TEST_F(TransportTest, RejectsHeaderInjectionAndBadMethods) {
  EXPECT_EQ(E_INVALIDARG, Failure([&] { Send("GET", Url("x"), {{"X-A", "v\r\nX-B: w"}}); }).first);
  EXPECT_EQ(E_INVALIDARG, Failure([&] { Send("GET", Url("x"), {{"X A", "v"}}); }).first);
  EXPECT_EQ(E_INVALIDARG, Failure([&] { Send("GE T", Url("x")); }).first);
  EXPECT_EQ(E_INVALIDARG, Failure([&] { Send("", Url("x")); }).first);
  EXPECT_EQ(kErrInvalidUrl, Failure([&] { Send("GET", "ftp://127.0.0.1/x"); }).first);
  EXPECT_EQ(kErrInvalidUrl, Failure([&] { Send("GET", "file:///etc/passwd"); }).first);
}

TEST_F(TransportTest, NamesRoundTripThroughPercentEncoding) {
  const std::string names[] = {"My Project#1", "50%", "\xC3\x84rger?", "a\\b", "x%20y", "semi;colon=1&"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(201, Send("MKCOL", Url(name)).status);
    EXPECT_EQ(201, Send("PUT", Url(name + "/" + name + ".txt"), {}, name).status);
    EXPECT_EQ(name, Get(Url(name + "/" + name + ".txt")));
    EXPECT_EQ(name + ".txt", List(Url(name)));
    EXPECT_EQ(201, Send("COPY", Url(name + "/" + name + ".txt"), {{"Destination", EncodeUrl(Url(name + "/copy " + name))}}).status);
    EXPECT_EQ(name, Get(Url(name + "/copy " + name)));
    EXPECT_EQ(204, Send("DELETE", Url(name)).status);
  }
  EXPECT_EQ("Templates/", List(R()));
}

TEST(TransportFaultTest, AServerThatGoesSilentMidBodyFailsWithinTheStallTimeout) {
  test::FaultServer server("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'x'),
                           test::FaultServer::After::kGoSilent);
  ScopedTimeouts timeouts(std::chrono::seconds(2), std::chrono::seconds(1));
  const auto start = std::chrono::steady_clock::now();
  const auto [status, description] = Failure([&] { Send("GET", server.Url() + "/R/doc.xml"); });
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(kErrTimeout, status);
  EXPECT_NE(std::string::npos, description.find("(GET " + server.Url() + "/R/doc.xml)")) << description;
  EXPECT_LT(elapsed, std::chrono::seconds(20));  // a hang would never end; the bound only catches that
}

TEST(TransportFaultTest, AServerThatNeverAnswersFailsWithinTheStallTimeout) {
  test::FaultServer server("", test::FaultServer::After::kGoSilent);
  ScopedTimeouts timeouts(std::chrono::seconds(2), std::chrono::seconds(1));
  EXPECT_EQ(kErrTimeout, Failure([&] { Send("PROPFIND", server.Url() + "/R", {{"Depth", "0"}}); }).first);
}

TEST(TransportFaultTest, AConnectionClosedMidBodyIsAnAbortNotASuccess) {
  test::FaultServer server("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'x'),
                           test::FaultServer::After::kClose);
  EXPECT_EQ(kErrConnectionAborted, Failure([&] { Send("GET", server.Url() + "/x"); }).first);
}

TEST(TransportFaultTest, ADrippingBodyFailsOnTheLowSpeedLimit) {
  // Ten bytes a second never stall the line, but stay under the low-speed limit.
  test::FaultServer server("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", test::FaultServer::After::kDrip);
  test::ScopedEnv time("ZANCLIENT_LOW_SPEED_TIME", "2");
  const auto start = std::chrono::steady_clock::now();
  const auto [status, description] = Failure([&] { Send("GET", server.Url() + "/R/doc.xml"); });
  EXPECT_EQ(kErrTimeout, status);
  EXPECT_NE(std::string::npos, description.find("under 256 bytes per second for 2 s")) << description;
  EXPECT_NE(std::string::npos, description.find("ZANCLIENT_LOW_SPEED_LIMIT")) << description;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));  // only catches a hang
}

TEST_F(TransportTest, AConnectionResetBeforeAnyReplyIsAFailureNotASuccess) {
  test::FaultProxy proxy(Server());
  proxy.Add(test::FaultRule::On("PUT").Reset());
  Response reply;
  const auto [status, description] = Failure([&] { reply = Send("PUT", proxy.Via(Url("cut.txt")), {}, "x"); });
  EXPECT_NE(S_OK, status) << description << ": " << reply.status << " " << reply.statusLine;
  EXPECT_NE(std::string::npos, description.find("(PUT ")) << description;
}

TEST(TransportFaultTest, AnEndlessBodyInMemoryStopsAtTheCapNamingIt) {
  test::FaultServer server("HTTP/1.1 207 Multi-Status\r\nContent-Type: text/xml\r\n\r\n<a>",
                           test::FaultServer::After::kEndless, "<b/>");
  test::ScopedEnv cap("ZANCLIENT_MAX_XML_SIZE", "100000");
  const auto [status, description] = Failure([&] { Send("PROPFIND", server.Url() + "/R", {{"Depth", "1"}}); });
  EXPECT_EQ(kErrReplyTooLarge, status);
  EXPECT_NE(std::string::npos, description.find("larger than the limit of 100000 bytes (ZANCLIENT_MAX_XML_SIZE)"))
      << description;
}

TEST(TransportFaultTest, ABodyGivenToASinkHasNoCap) {
  test::FaultServer server("HTTP/1.1 200 OK\r\n\r\n", test::FaultServer::After::kEndless, "x");
  test::ScopedEnv cap("ZANCLIENT_MAX_XML_SIZE", "1000");
  size_t received = 0;
  Request r;
  r.method = "GET";
  r.url = server.Url() + "/big.bin";
  r.sink = [&received](std::string_view chunk) {
    received += chunk.size();
    if (received > 1000000) throw _com_error(E_ABORT, "enough");
  };
  EXPECT_EQ(E_ABORT, Failure([&] { Perform(r); }).first);
  EXPECT_GT(received, 1000000u);
}

TEST(TransportFaultTest, ARefusedConnectionFailsAtOnceWithCurlsText) {
  const std::string url = "http://127.0.0.1:" + std::to_string(test::RefusedPort()) + "/R";
  const auto [status, description] = Failure([&] { Send("GET", url); });
  EXPECT_EQ(kErrCannotConnect, status);
  EXPECT_NE(std::string::npos, description.find("Cannot connect to the server: ")) << description;
  EXPECT_NE(std::string::npos, description.find("(GET " + url + ")")) << description;
}

TEST(TransportFaultTest, AUrlWithDotSegmentsNeverLeaves) {
  // A server resolves them: DELETE R/A/.. would delete R.
  test::FaultServer server("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n", test::FaultServer::After::kClose);
  for (const std::string path : {"/R/A/..", "/R/A/../", "/R/./A", "/R/A/%2e%2e", "/R/A/%2E%2e/"}) {
    const auto [status, description] = Failure([&] { Send("DELETE", server.Url() + path); });
    EXPECT_EQ(kErrInvalidUrl, status) << path;
    EXPECT_NE(std::string::npos, description.find("(DELETE " + server.Url() + path + ")")) << description;
  }
  EXPECT_EQ(0, server.Accepted());
  EXPECT_EQ(204, Send("DELETE", server.Url() + "/R/..A/.b/c..").status);  // dots inside names are names
}

TEST(TransportFaultTest, ObserverSeesEveryRequestIncludingFailures) {
  test::RequestLog log;
  const std::string url = "http://127.0.0.1:" + std::to_string(test::RefusedPort()) + "/R";
  Failure([&] { Send("MKCOL", url); });
  ASSERT_EQ(1u, log.records().size());
  EXPECT_EQ("MKCOL", log.records()[0].method);
  EXPECT_EQ(url, log.records()[0].url);
  EXPECT_EQ(0, log.records()[0].status);
}

}  // namespace
}  // namespace zan::http
