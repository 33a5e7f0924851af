// The transport of the Windows build against real servers on the Linux side of Wine, started by
// run.sh, which passes them in the environment:
//   ZAN_SERVER         an open Apache mod_dav server (http)
//   ZAN_DIGEST_SERVER  the same, every request needing Digest user zan / password zan-secret
//   ZAN_BASIC_SERVER   the same with Basic (over http: the transport must not answer it)
//   ZAN_TLS_SERVER     https with Basic, its certificate from a CA the system does not trust
//   ZAN_STALL_URL      a server that accepts and never says anything
//   ZAN_REFUSED_URL    a port nobody listens on
//   ZAN_REDIRECT_URL   a server that answers 301 to /followed, and 200 there
// The same source builds natively against the libcurl backend (for comparisons).
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/com/com_error.h"
#include "platform/http/http_errors.h"
#include "platform/http/transport.h"
#include "platform/http/url_encoding.h"
#include "platform/os/alert.h"
#include "platform/os/file.h"

namespace zan::http {
namespace {

const char* kUser = "zan";
const char* kPassword = "zan-secret";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Wine's winhttp answers no Digest challenge ("do_authorization invalid scheme"), where
// Windows' does: those cases are for Windows.
bool UnderWine() {
#ifdef _WIN32
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.empty() ? "" : value.c_str());
#else
  if (value.empty()) unsetenv(name); else setenv(name, value.c_str(), 1);
#endif
}

// An environment variable set for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name), old_(Env(name)) { SetEnv(name, value); }
  ~ScopedEnv() { SetEnv(name_, old_); }

 private:
  const char* name_;
  std::string old_;
};

class ScopedTimeouts {
 public:
  explicit ScopedTimeouts(Timeouts t) : previous_(GetTimeouts()) { SetTimeouts(t); }
  ~ScopedTimeouts() { SetTimeouts(previous_); }

 private:
  Timeouts previous_;
};

// "status" or "FAILED 0x80072efd: description".
template <typename F>
std::string Outcome(F&& call) {
  try {
    return std::to_string(call().status);
  } catch (const _com_error& e) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(static_cast<uint32_t>(e.Error())));
    return std::string("FAILED 0x") + hex + ": " + e.Description();
  }
}

Response Send(const std::string& method, const std::string& url, std::vector<Header> headers = {},
              std::optional<std::string_view> body = std::nullopt) {
  Request r;
  r.method = method;
  r.url = url;
  r.headers = std::move(headers);
  r.body = body;
  return Perform(r);
}

// Each test in its own collection of the open server.
class WineTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = Env("ZAN_SERVER");
    ASSERT_FALSE(server_.empty()) << "run through run.sh";
    static int n = 0;
    root_ = server_ + "/t" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
            std::to_string(++n) + "/";
    ASSERT_EQ(Send("MKCOL", root_).status, 201);
  }
  std::string server_;
  std::string root_;
};

// One WebDAV exchange and what its reply must show.
struct Step {
  const char* name;
  const char* method;
  std::string path;  // after the collection
  std::vector<Header> headers;
  std::optional<std::string> body;
  long status;
  std::string replyHolds;  // "" : anything
};

TEST_F(WineTransportTest, WebDavMethodsWithHeadersAndBodies) {
  const std::string propfind =
      "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\"><D:prop><D:getcontentlength/></D:prop></D:propfind>";
  const std::string lockBody =
      "<?xml version=\"1.0\"?><D:lockinfo xmlns:D=\"DAV:\"><D:lockscope><D:exclusive/></D:lockscope>"
      "<D:locktype><D:write/></D:locktype><D:owner>wine</D:owner></D:lockinfo>";
  const std::vector<Step> steps = {
      {"put", "PUT", "a.xml", {{"Content-Type", "text/xml"}}, std::string("<a>1</a>"), 201, ""},
      {"put a name to encode", "PUT", "My Project#1 ?%.xml", {}, std::string("<b/>"), 201, ""},
      {"propfind depth 1", "PROPFIND", "", {{"Depth", "1"}}, propfind, 207, "My%20Project%231"},
      {"propfind depth 0", "PROPFIND", "a.xml", {{"Depth", "0"}}, propfind, 207, "getcontentlength>8<"},
      {"copy", "COPY", "a.xml", {{"Destination", EncodeUrl(root_ + "b.xml")}, {"Overwrite", "F"}}, std::nullopt, 201, ""},
      {"copy refused by Overwrite F", "COPY", "a.xml", {{"Destination", EncodeUrl(root_ + "b.xml")}, {"Overwrite", "F"}},
       std::nullopt, 412, ""},
      {"move", "MOVE", "b.xml", {{"Destination", EncodeUrl(root_ + "c.xml")}}, std::nullopt, 201, ""},
      {"mkcol", "MKCOL", "sub/", {}, std::nullopt, 201, ""},
      {"mkcol on an existing one", "MKCOL", "sub/", {}, std::nullopt, 405, ""},
      {"delete", "DELETE", "sub/", {}, std::nullopt, 204, ""},
      {"get", "GET", "c.xml", {}, std::nullopt, 200, "<a>1</a>"},
      {"head", "HEAD", "c.xml", {}, std::nullopt, 200, ""},
      {"lock", "LOCK", "c.xml", {{"Timeout", "Second-60"}}, lockBody, 200, "opaquelocktoken:"},
  };
  for (const Step& s : steps) {
    const Response r = Send(s.method, root_ + s.path, s.headers,
                            s.body ? std::optional<std::string_view>(*s.body) : std::nullopt);
    EXPECT_EQ(r.status, s.status) << s.name << ": " << r.statusLine;
    if (!s.replyHolds.empty()) {
      EXPECT_NE(r.body.find(s.replyHolds), std::string::npos) << s.name << ": " << r.body;
    }
  }
  // The lock: a PUT without its token is refused, with it in the tagged If form accepted.
  const Response lock = Send("LOCK", root_ + "a.xml", {{"Timeout", "Second-60"}}, lockBody);
  ASSERT_EQ(lock.status, 200);
  const std::string token = lock.GetHeader("Lock-Token");  // "<opaquelocktoken:...>"
  ASSERT_FALSE(token.empty());
  EXPECT_EQ(Send("PUT", root_ + "a.xml", {}, std::string_view("<a>2</a>")).status, 423);
  EXPECT_EQ(Send("PUT", root_ + "a.xml", {{"If", "<" + EncodeUrl(root_ + "a.xml") + "> (" + token + ")"}},
                 std::string_view("<a>2</a>")).status, 204);
  EXPECT_EQ(Send("UNLOCK", root_ + "a.xml", {{"Lock-Token", token}}).status, 204);
  EXPECT_EQ(Send("DELETE", root_ + "a.xml").status, 204);
}

TEST_F(WineTransportTest, StatusLineHeadersAndAnUnfollowedRedirect) {
  const Response missing = Send("GET", root_ + "missing.xml");
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.statusLine, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(missing.statusText, "Not Found");
  EXPECT_FALSE(missing.GetHeader("content-type").empty());
  // A redirect is the reply: the stand-in answers /followed with 200 should it be followed.
  const std::string redirect = Env("ZAN_REDIRECT_URL");
  ASSERT_FALSE(redirect.empty());
  const Response moved = Send("GET", redirect + "/from");
  EXPECT_EQ(moved.status, 301) << moved.statusLine;
  EXPECT_EQ(moved.GetHeader("Location"), redirect + "/followed");
}

TEST_F(WineTransportTest, PutFromAFileAndGetIntoASink) {
  std::string content(300000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + (i >> 9));
  const std::string path = "zan-wine-body.bin";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);
  {
    os::File file = os::File::OpenForReading(path);
    ASSERT_TRUE(file.isOpen());
    char skip[100];
    size_t got = 0;
    ASSERT_TRUE(file.Read(skip, sizeof skip, got));  // the body starts at the file's offset
    Request put;
    put.method = "PUT";
    put.url = root_ + "file.bin";
    put.bodyFile = &file;
    EXPECT_EQ(Perform(put).status, 201);
  }
  std::remove(path.c_str());
  std::string received;
  Request get;
  get.method = "GET";
  get.url = root_ + "file.bin";
  get.sink = [&received](std::string_view chunk) { received.append(chunk); };
  const Response r = Perform(get);
  EXPECT_EQ(r.status, 200);
  EXPECT_TRUE(r.body.empty());
  EXPECT_TRUE(received == content.substr(100)) << received.size();
  // A sink's error reply body is kept instead.
  get.url = root_ + "none.bin";
  received.clear();
  const Response none = Perform(get);
  EXPECT_EQ(none.status, 404);
  EXPECT_TRUE(received.empty());
  EXPECT_NE(none.body.find("Not Found"), std::string::npos);
}

TEST_F(WineTransportTest, KeepsTheConnectionForTheThreadsNextRequest) {
  std::vector<long> opened;
  const RequestObserver previous =
      SetRequestObserver([&opened](const RequestRecord& r) { opened.push_back(r.newConnections); });
  for (int i = 0; i < 4; ++i) Send("PROPFIND", root_, {{"Depth", "0"}});
  Send("PUT", root_ + "k.xml", {}, std::string_view("<k/>"));
  Send("GET", root_ + "k.xml");
  SetRequestObserver(previous);
  ASSERT_EQ(opened.size(), 6u);
  EXPECT_EQ(opened, (std::vector<long>{opened[0], 0, 0, 0, 0, 0}));
}

TEST_F(WineTransportTest, ABodyKeptInMemoryIsCappedOneGivenToASinkIsNot) {
  ASSERT_EQ(Send("PUT", root_ + "big.xml", {}, std::string(5000, 'x')).status, 201);
  ScopedEnv cap("ZANCLIENT_MAX_XML_SIZE", "1000");
  const std::string outcome = Outcome([&] { return Send("GET", root_ + "big.xml"); });
  EXPECT_EQ(outcome.rfind("FAILED 0x800700df: The server's reply is larger than the limit of 1000 bytes", 0), 0u)
      << outcome;
  size_t bytes = 0;
  Request get;
  get.method = "GET";
  get.url = root_ + "big.xml";
  get.sink = [&bytes](std::string_view chunk) { bytes += chunk.size(); };
  EXPECT_EQ(Perform(get).status, 200);
  EXPECT_EQ(bytes, 5000u);
}

TEST_F(WineTransportTest, ObserverSeesMethodMaskedUrlHeadersAndBody) {
  std::vector<RequestRecord> seen;
  const RequestObserver previous = SetRequestObserver([&seen](const RequestRecord& r) { seen.push_back(r); });
  const std::string withUser = "http://ann:pw@" + server_.substr(7) + "/";
  const std::string body = "<?xml version=\"1.0\"?><D:propfind xmlns:D=\"DAV:\"><D:allprop/></D:propfind>";
  Send("PROPFIND", withUser, {{"Depth", "0"}}, body);
  SetRequestObserver(previous);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "PROPFIND");
  EXPECT_EQ(seen[0].url, "http://ann:***@" + server_.substr(7) + "/");
  EXPECT_EQ(seen[0].status, 207);
  ASSERT_EQ(seen[0].headers.size(), 1u);
  EXPECT_EQ(seen[0].body, body);
}

// Failures: status and text for a request the server cannot answer.
struct FailureCase {
  const char* name;
  std::string method;
  std::string url;
  std::string expectStart;  // of Outcome
  std::string expectEnd;
};

TEST(WineTransportFailureTest, StatusesAndTexts) {
  const std::string refused = Env("ZAN_REFUSED_URL");  // http://127.0.0.1:PORT
  ASSERT_FALSE(refused.empty());
  const std::string refusedWithUser = "http://ann:secret@" + refused.substr(7);
  const std::vector<FailureCase> cases = {
      {"refused", "GET", refused + "/x", "FAILED 0x80072efd: Cannot connect to the server: ", " (GET " + refused + "/x)"},
      {"password masked", "MKCOL", refusedWithUser + "/R/", "FAILED 0x80072efd: Cannot connect to the server: ",
       " (MKCOL http://ann:***@" + refused.substr(7) + "/R/)"},
      {"not http", "GET", "ftp://127.0.0.1/x", "FAILED 0x80072ee5: The URL is invalid: ", " (GET ftp://127.0.0.1/x)"},
      {"dot segment", "GET", refused + "/a/../b", "FAILED 0x80072ee5: The URL holds a '.' or '..' segment", ""},
      {"bad method", "GE T", refused + "/x", "FAILED 0x80070057: Invalid request method 'GE T'", ""},
  };
  for (const FailureCase& c : cases) {
    const std::string outcome = Outcome([&] { return Send(c.method, c.url); });
    EXPECT_EQ(outcome.rfind(c.expectStart, 0), 0u) << c.name << ": " << outcome;
    EXPECT_TRUE(outcome.size() >= c.expectEnd.size() && outcome.ends_with(c.expectEnd)) << c.name << ": " << outcome;
    EXPECT_EQ(outcome.find("secret"), std::string::npos) << c.name << ": " << outcome;
  }
  const std::string injected = Outcome([&] { return Send("GET", refused + "/x", {{"X-A", "1\r\nX-B: 2"}}); });
  EXPECT_EQ(injected.rfind("FAILED 0x80070057: Invalid request header 'X-A'", 0), 0u) << injected;
}

TEST(WineTransportFailureTest, ASilentServerTimesOutWithinTheStallLimit) {
  const std::string stall = Env("ZAN_STALL_URL");
  ASSERT_FALSE(stall.empty());
  ScopedTimeouts timeouts(Timeouts{std::chrono::milliseconds(3000), std::chrono::milliseconds(2000)});
  for (const char* method : {"GET", "PUT"}) {
    const auto start = std::chrono::steady_clock::now();
    const std::string outcome = Outcome([&] {
      return Send(method, stall + "/x", {}, method[1] == 'U' ? std::optional<std::string_view>("<x/>") : std::nullopt);
    });
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(outcome, std::string("FAILED 0x80072ee2: The operation timed out: no data moved for 2000 ms (") + method +
                           " " + stall + "/x)");
    EXPECT_GE(ms, 1500) << method;
    EXPECT_LE(ms, 4500) << method;
  }
}

// The credential sources against servers that need a login.
struct LoginCase {
  const char* name;
  const char* serverVar;
  std::string user;      // the request's
  std::string password;
  std::string envUser;   // ZANCLIENT_USER
  long status;
};

TEST(WineTransportLoginTest, CredentialSourcesAndSchemes) {
  const std::vector<LoginCase> cases = {
      {"digest, given", "ZAN_DIGEST_SERVER", kUser, kPassword, "", 207},
      {"digest, wrong password", "ZAN_DIGEST_SERVER", kUser, "wrong", "", 401},
      {"digest, none", "ZAN_DIGEST_SERVER", "", "", "", 401},
      {"digest, environment", "ZAN_DIGEST_SERVER", "", "", kUser, 207},
      {"digest, given before environment", "ZAN_DIGEST_SERVER", kUser, "wrong", kUser, 401},
      {"basic over http is never answered", "ZAN_BASIC_SERVER", kUser, kPassword, "", 401},
      {"basic over http, environment", "ZAN_BASIC_SERVER", "", "", kUser, 401},
  };
  for (const LoginCase& c : cases) {
    if (UnderWine() && c.status != 401 && std::string_view(c.serverVar) == "ZAN_DIGEST_SERVER") {
      std::printf("skipped under Wine (its winhttp has no Digest): %s\n", c.name);
      continue;
    }
    const std::string server = Env(c.serverVar);
    ASSERT_FALSE(server.empty()) << c.serverVar;
    ScopedEnv user("ZANCLIENT_USER", c.envUser);
    ScopedEnv password("ZANCLIENT_PASSWORD", c.envUser.empty() ? "" : kPassword);
    Request r;
    r.method = "PROPFIND";
    r.url = server + "/";
    r.headers = {{"Depth", "0"}};
    r.user = c.user;
    r.password = c.password;
    EXPECT_EQ(Outcome([&] { return Perform(r); }), std::to_string(c.status)) << c.name;
  }
  // User info in the URL is a source too (and never goes on the wire as text).
  if (UnderWine()) return;
  const std::string digest = Env("ZAN_DIGEST_SERVER");
  EXPECT_EQ(Outcome([&] { return Send("PROPFIND", "http://zan:zan-secret@" + digest.substr(7) + "/", {{"Depth", "0"}}); }),
            "207");
}

TEST(WineTransportLoginTest, TlsIsVerifiedUnlessInsecureWhichRaisesTheAlert) {
  const std::string tls = Env("ZAN_TLS_SERVER");
  ASSERT_FALSE(tls.empty());
  std::vector<std::string> alerts;
  const os::AlertSink previous = os::SetAlertSink([&alerts](std::string_view, std::string_view text) { alerts.emplace_back(text); });
  Request r;
  r.method = "PROPFIND";
  r.url = tls + "/";
  r.headers = {{"Depth", "0"}};
  r.user = kUser;
  r.password = kPassword;
  // Windows names the certificate ("The server's certificate was not accepted: ..."); Wine 8
  // reports a failed channel (ERROR_WINHTTP_SECURE_CHANNEL_ERROR) for the same refusal.
  const std::string refused = Outcome([&] { return Perform(r); });
  EXPECT_EQ(refused.rfind("FAILED 0x80072f7d: ", 0), 0u) << refused;
  EXPECT_TRUE(refused.ends_with(" (PROPFIND " + tls + "/)")) << refused;
  EXPECT_TRUE(alerts.empty());
  {
    ScopedEnv insecure("ZANCLIENT_INSECURE", "1");
    EXPECT_EQ(Outcome([&] { return Perform(r); }), "207");  // Basic over https is answered
  }
  os::SetAlertSink(previous);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_NE(alerts[0].find("ZANCLIENT_INSECURE is set"), std::string::npos) << alerts[0];
}

// A figure, not a check: small PUTs one after the other on the thread's connection.
TEST_F(WineTransportTest, TimesSmallPuts) {
  const int count = 200;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i)
    ASSERT_EQ(Send("PUT", root_ + "p" + std::to_string(i) + ".xml", {}, std::string_view("<p/>")).status, 201);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d small PUTs: %lld ms\n", count, static_cast<long long>(ms));
}

}  // namespace
}  // namespace zan::http
