// The WebDAV server of an integration test executable (Apache, or lighttpd when the
// environment variable ZAN_TEST_SERVER is "lighttpd"), and the base fixture that gives each
// test its own repository root on it.
//
// Usage in an integration test file:
//   static const bool kDavServer = zan::test::DavServer::Register();
//   class RecordTest : public zan::test::DavTest {};
//   TEST_F(RecordTest, Creates) { EXPECT_EQ(201, Mkcol(Url("a"))); }
#ifndef ZAN_TESTS_SUPPORT_DAV_SERVER_H_
#define ZAN_TESTS_SUPPORT_DAV_SERVER_H_

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zan::test {

// One server per executable (scripts/davserver), started on first use and stopped when the
// executable's tests end, failed or not. Should the executable die first, the script's
// --watch-pid stops the server. Main thread only.
class DavServer {
 public:
  // Registers the environment that stops the server; idempotent, returns true. Call it
  // from a namespace-scope initializer in every file whose tests use the server.
  static bool Register();
  // "http://127.0.0.1:PORT"; starts the server on first call. Throws std::runtime_error
  // (with the script's output) when it cannot be started; later calls throw the same.
  static const std::string& Url();
  // The server's directory, as this process opens it; its document root is Dir() + "/dav".
  static const std::string& Dir();
  static void Stop();
  // The kind of server the executable runs against: "apache" (ZAN_TEST_SERVER unset or
  // empty) or "lighttpd".
  static std::string Kind();
  static bool IsLighttpd() { return Kind() == "lighttpd"; }
};

// One more server for a test that needs one the shared server can't be (one without dead
// properties: {"--server", "lighttpd", "--no-properties"}); options go to scripts/davserver
// start. Started by the constructor (std::runtime_error with the script's output when it
// cannot be), stopped by the destructor.
class ExtraDavServer {
 public:
  explicit ExtraDavServer(const std::vector<std::string>& options);
  ~ExtraDavServer();
  ExtraDavServer(const ExtraDavServer&) = delete;
  ExtraDavServer& operator=(const ExtraDavServer&) = delete;

  const std::string& Url() const { return url_; }
  const std::string& Dir() const { return dir_; }

 private:
  std::string url_;
  std::string hostDir_;
  std::string dir_;
};

// A fresh repository root R = server URL + "/" + a collection unique to the test, holding
// the Templates collection seeded from tests/data/Templates (through HTTP, so the files
// belong to the server's user). R is deleted after the test.
class DavTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // SetUp on another server than the executable's (an ExtraDavServer's URL).
  void SetUpOn(const std::string& serverUrl);

  const std::string& Server() const { return server_; }
  const std::string& R() const { return root_; }
  // R + "/" + relative (raw text: spaces, '#', '%' and non-ASCII are fine).
  std::string Url(std::string_view relative) const { return root_ + "/" + std::string(relative); }

  // One-line checks; each is one request through the platform transport. A transport
  // failure throws.
  int Status(const std::string& method, const std::string& url);
  // The body of a 2xx reply, else its status line ("HTTP/1.1 404 Not Found").
  std::string Get(const std::string& url);
  int Put(const std::string& url, std::string_view body);
  int Mkcol(const std::string& url);
  // PROPFIND Depth 0 answered 207.
  bool Exists(const std::string& url);
  // The raw reply body of an allprop PROPFIND.
  std::string Propfind(const std::string& url, const std::string& depth);
  // The members of a collection (PROPFIND Depth 1, the collection itself dropped): the
  // percent-decoded last segment of each href, collections with a trailing "/", sorted and
  // joined by "\n"; the status line when the reply is not 207.
  std::string List(const std::string& collectionUrl);

 private:
  std::string server_;
  std::string root_;
};

}  // namespace zan::test

#endif
