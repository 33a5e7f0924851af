// A minimal fault-injecting HTTP proxy for integration tests: a loopback listener in front of
// the real test server that forwards each request unless a rule says to fail it, for the
// failures a real server cannot be made to give on demand (a refused LOCK, a 207 of our own,
// an empty listing, a reset, weak ETags on every reply).
//
//   zan::test::b::FaultProxy proxy(zan::test::DavServer::Url());
//   proxy.Add(zan::test::b::FaultRule::On("LOCK").Respond(405));
//   proxy.Add(zan::test::b::FaultRule::Any().WeakETags());
//   ... the client uses proxy.Via(url) in place of url ...
//
// Rules are tried in the order added; the first that matches decides (a request no rule
// matches passes through). Matching: the method exactly ("" = any) and a substring of the
// request target as sent ("" = any); a rule acts on at most `times` requests (negative: on
// every one), later matches go on to the next rules. Each client connection gets its own
// thread; each forwarded request its own connection to the server (HTTP/1.0, so the reply
// ends with the connection); Destination and Host headers are rewritten to name the server.
// Messages are buffered whole. Loopback only; the destructor closes every connection and
// joins every thread.
#ifndef ZAN_TESTS_SUPPORT_FAULT_PROXY_B_H_
#define ZAN_TESTS_SUPPORT_FAULT_PROXY_B_H_

#include <memory>
#include <string>
#include <thread>

namespace zan::test::b {

struct FaultRule {
  enum class Action {
    kPass,       // forward unchanged
    kRespond,    // answer status with body itself; the server never sees the request
    kReset,      // reset the client connection; the server never sees the request
    kWeakETags,  // forward; each ETag of the reply is passed on as weak (W/"...")
  };
  std::string method;
  std::string pathContains;
  Action action = Action::kPass;
  int status = 0;
  std::string body;  // kRespond; sent as application/xml
  int times = -1;

  static FaultRule On(std::string method, std::string pathContains = "");
  static FaultRule Any() { return On(""); }
  FaultRule& Respond(int statusCode, std::string replyBody = "");
  FaultRule& Reset();
  FaultRule& WeakETags();
  FaultRule& Times(int count);
};

class FaultProxy {
 public:
  // serverUrl: "http://127.0.0.1:PORT" of the real server. Throws std::runtime_error when the
  // listener cannot be set up.
  explicit FaultProxy(std::string serverUrl);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  // "http://127.0.0.1:PORT" of the proxy.
  std::string Url() const;
  // serverSideUrl with the server's prefix replaced by the proxy's.
  std::string Via(const std::string& serverSideUrl) const;
  // Adds a rule after the others; returns its index. Thread-safe.
  size_t Add(FaultRule rule);
  void Clear();
  // How many requests rule index acted on.
  int Hits(size_t index) const;
  // Requests received with method ("" = all).
  int Count(const std::string& method = "") const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread acceptor_;
};

}  // namespace zan::test::b

#endif
