#include "support/fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <vector>

#include "support/loopback_socket.h"

namespace zan::test {
namespace {

}  // namespace

FaultServer::FaultServer(std::string reply, After after, std::string filler)
    : reply_(std::move(reply)), after_(after), filler_(std::move(filler)) {
  if (filler_.empty()) filler_ = " ";
  Start();
}

FaultServer::FaultServer(Responder responder) : after_(After::kClose), responder_(std::move(responder)) { Start(); }

void FaultServer::Start() {
  listener_ = BoundLoopbackSocket(port_);
  if (listen(listener_, 16) != 0 || pipe(wake_) != 0) {
    close(listener_);
    throw std::runtime_error("listen failed");
  }
  thread_ = std::thread([this] { Run(); });
}

FaultServer::~FaultServer() {
  const char stop = 1;
  (void)!write(wake_[1], &stop, 1);
  thread_.join();
  close(listener_);
  close(wake_[0]);
  close(wake_[1]);
}

std::string FaultServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

void FaultServer::Run() {
  std::vector<int> silent;  // connections kept open without a word
  for (;;) {
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents) break;
    const int conn = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) continue;
    ++accepted_;
    // Reads the request head (a body, if any, is ignored), then answers.
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      pollfd in[2] = {{wake_[0], POLLIN, 0}, {conn, POLLIN, 0}};
      if (poll(in, 2, 5000) <= 0 || in[0].revents) break;
      const ssize_t n = read(conn, buffer, sizeof buffer);
      if (n <= 0) break;
      head.append(buffer, static_cast<size_t>(n));
    }
    const std::string reply = responder_ ? responder_(head) : reply_;
    (void)!write(conn, reply.data(), reply.size());
    if (after_ == After::kDrip || after_ == After::kEndless) {
      Feed(conn);
      close(conn);
    } else if (after_ == After::kClose) {
      close(conn);
    } else {
      silent.push_back(conn);
    }
  }
  for (int fd : silent) close(fd);
}

void FaultServer::Feed(int conn) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  std::string chunk = filler_;
  if (after_ == After::kEndless)
    while (chunk.size() < 65536) chunk += filler_;
  uint64_t sent = 0;
  size_t dripAt = 0;
  while (std::chrono::steady_clock::now() < deadline && sent < (8ull << 30)) {
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {conn, POLLOUT, 0}};
    if (poll(fds, 2, after_ == After::kDrip ? 100 : 1000) < 0) continue;
    if (fds[0].revents || (fds[1].revents & (POLLERR | POLLHUP))) return;
    if (!(fds[1].revents & POLLOUT)) continue;
    ssize_t n;
    if (after_ == After::kDrip) {
      n = send(conn, &filler_[dripAt], 1, MSG_NOSIGNAL);
      dripAt = (dripAt + 1) % filler_.size();
      pollfd idle{wake_[0], POLLIN, 0};
      if (poll(&idle, 1, 100) > 0) return;
    } else {
      n = send(conn, chunk.data(), chunk.size(), MSG_NOSIGNAL);
    }
    if (n <= 0) return;
    sent += static_cast<uint64_t>(n);
  }
}

int RefusedPort() {
  int port = 0;
  close(BoundLoopbackSocket(port));
  return port;
}

}  // namespace zan::test
