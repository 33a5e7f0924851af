// A fault-injecting stand-in for a server that fails mid-transfer, where a real server
// cannot be made to: a loopback listener that answers every request with a fixed reply
// (status line, headers, the start of a body) and then goes silent, keeping the connection
// open, closes it, drips one byte every 100 ms, or sends filler bytes without end. Dripping
// and endless bodies stop when the client closes, the server is destroyed, or after 10
// minutes / 8 GiB, whichever comes first; one connection is served at a time.
#ifndef ZAN_TESTS_SUPPORT_FAULT_SERVER_H_
#define ZAN_TESTS_SUPPORT_FAULT_SERVER_H_

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "support/socket.h"

namespace zan::test {

class FaultServer {
 public:
  enum class After { kGoSilent, kClose, kDrip, kEndless };

  // filler: the bytes dripped or repeated after the reply (kDrip, kEndless).
  FaultServer(std::string reply, After after, std::string filler = " ");
  ~FaultServer();  // stops the listener and closes every connection
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  // Answers each request with what responder returns for its head (request line and
  // headers), then closes the connection: a stand-in server whose answers differ by request.
  using Responder = std::function<std::string(const std::string& head)>;
  explicit FaultServer(Responder responder);

  // "http://127.0.0.1:PORT"
  std::string Url() const;
  int Accepted() const { return accepted_.load(); }

 private:
  void Start();
  void Run();
  // Writes filler after the reply (kDrip, kEndless) until a bound is reached.
  void Feed(net::Socket conn);

  std::string reply_;
  After after_;
  std::string filler_;
  Responder responder_;
  net::Socket listener_ = net::kNoSocket;
  int port_ = 0;
  std::unique_ptr<net::Waker> wake_;
  std::atomic<int> accepted_{0};
  std::thread thread_;
};

// A loopback port on which nothing listens (connections are refused).
inline int RefusedPort() { return net::RefusedPort(); }

}  // namespace zan::test

#endif
