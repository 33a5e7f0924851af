// A fault-injecting HTTP proxy for integration tests: a loopback listener in front of the real
// test server that forwards each request, unless a rule says to fail it. It gives the failures a
// real server cannot be made to give on demand (a 500 on one listing, a connection reset, a cut
// reply body, weak ETags on every reply, a refused LOCK) while everything else is the real server.
//
// Usage:
//   zan::test::FaultProxy proxy(zan::test::DavServer::Url());
//   proxy.Add(zan::test::FaultRule::On("PROPFIND", "/AppFiles").Respond(500));
//   proxy.Add(zan::test::FaultRule::On("GET", "b.txt").Reset());
//   proxy.Add(zan::test::FaultRule::On("LOCK").Respond(405));
//   proxy.Add(zan::test::FaultRule::Any().WeakETags());
//   ... the client talks to proxy.Url() + the path it would use on the server ...
//   EXPECT_EQ(1, proxy.Hits(0));
//
// Rules are tried in the order added; the first one that matches a request decides what
// happens to it (later rules are not consulted). A request no rule matches passes through.
// Matching: the method exactly ("" = any) and a substring of the request's path, percent-decoded
// ("" = any). A rule can let its first `skip` matches pass and act on at most `times` matches
// after that (negative = without limit); requests it lets pass go on to the next rules.
//
// Each client connection gets its own thread and its own connection to the server (keep-alive
// on both sides); messages are buffered whole, up to 64 MiB each. Destination headers naming the
// proxy, and the Host header, are rewritten to name the server. The proxy listens on 127.0.0.1
// only; every wait is bounded, and the destructor closes every connection and joins every thread.
#ifndef ZAN_TESTS_SUPPORT_FAULT_PROXY_H_
#define ZAN_TESTS_SUPPORT_FAULT_PROXY_H_

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zan::test {

// The realm of the challenge the proxy answers a 401 with.
inline constexpr char kFaultRealm[] = "fault proxy";

struct FaultRule {
  enum class Action {
    kPass,            // forward unchanged
    kRespond,         // answer `status` with `body` itself; the server never sees the request
                      // (a 401 with the challenge WWW-Authenticate: Basic realm="<kFaultRealm>")
    // Reset the client connection (TCP RST) before any byte of a reply; the server never sees
    // the request. libcurl sends a request once more on a new connection when a kept-alive one
    // breaks before any reply byte, so a rule limited by `times` to one match goes unseen there.
    kReset,
    // Forward and let the server act, then pass on only the reply's status line and reset the
    // connection (the status line keeps the client from sending the request a second time).
    kResetAfterServer,
    kTruncate,        // forward, pass the reply's head and its first `keep` body bytes, then close
    kWeakETags,       // forward; each ETag header of the reply is passed on as weak (W/"...")
    // Forward, and pass on a reply complete by its Content-Length but cut to its first `keep`
    // body bytes, each ETag replaced by "\"torn\"": as a server that sends a file another
    // writer replaces during the read (the old version's length and ETag, the bytes cut).
    kTorn,
  };

  std::string method;        // "" matches every method
  std::string pathContains;  // "" matches every path
  Action action = Action::kPass;
  int status = 0;            // kRespond
  std::string body;          // kRespond; sent as application/xml when it starts with '<', else text/plain
  long keep = -1;            // kTruncate, kTorn: body bytes passed on; negative = half of the body (as framed)
  int skip = 0;              // matches let through before the rule acts
  int times = -1;            // matches the rule acts on after `skip`; negative = every one

  static FaultRule On(std::string method, std::string pathContains = "");
  static FaultRule Any() { return On(""); }

  FaultRule& Respond(int statusCode, std::string replyBody = "");
  FaultRule& Reset();
  FaultRule& ResetAfterServer();
  FaultRule& Truncate(long keepBytes = -1);
  FaultRule& WeakETags();
  FaultRule& Torn(long keepBytes = -1);
  FaultRule& Pass();
  FaultRule& Skip(int count);
  FaultRule& Times(int count);
};

class FaultProxy {
 public:
  // `serverUrl`: "http://127.0.0.1:PORT" of the real server. Starts listening at once.
  // Throws std::runtime_error when the listener cannot be set up.
  explicit FaultProxy(std::string serverUrl);
  ~FaultProxy();  // closes every connection and joins every thread
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  // "http://127.0.0.1:PORT" of the proxy; use it in place of the server URL.
  std::string Url() const;
  // The same URL with the server's prefix replaced: Via("http://127.0.0.1:SERVER/a/b").
  std::string Via(const std::string& serverSideUrl) const;

  // Adds a rule (after those already added); returns its index. Thread-safe.
  size_t Add(FaultRule rule);
  // Removes every rule (hit counts and the request log stay).
  void Clear();
  // How many requests rule `index` acted on.
  int Hits(size_t index) const;
  // One line per request received, in order: "METHOD /decoded/path -> what", where `what` is
  // the status passed on or answered, "reset", "truncated STATUS" or "torn STATUS".
  std::vector<std::string> Requests() const;
  // Requests received with `method` ("" = all).
  int Count(const std::string& method = "") const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread acceptor_;
};

}  // namespace zan::test

#endif
