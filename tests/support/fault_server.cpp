#include "support/fault_server.h"

#include <chrono>
#include <stdexcept>
#include <vector>

namespace zan::test {

FaultServer::FaultServer(std::string reply, After after, std::string filler)
    : reply_(std::move(reply)), after_(after), filler_(std::move(filler)) {
  if (filler_.empty()) filler_ = " ";
  Start();
}

FaultServer::FaultServer(Responder responder) : after_(After::kClose), responder_(std::move(responder)) { Start(); }

void FaultServer::Start() {
  listener_ = net::ListenLoopback(port_, 16);
  try {
    wake_ = std::make_unique<net::Waker>();
  } catch (...) {
    net::Close(listener_);
    throw;
  }
  thread_ = std::thread([this] { Run(); });
}

FaultServer::~FaultServer() {
  wake_->Signal();
  thread_.join();
  net::Close(listener_);
}

std::string FaultServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

void FaultServer::Run() {
  std::vector<net::Socket> silent;  // connections kept open without a word
  for (;;) {
    net::Watch watches[2] = {{wake_->socket()}, {listener_}};
    if (net::Wait(watches, 2, -1) < 0) continue;
    if (watches[0].readable) break;
    const net::Socket conn = net::Accept(listener_);
    if (conn == net::kNoSocket) continue;
    ++accepted_;
    // Reads the request head (a body, if any, is ignored), then answers.
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      net::Watch in[2] = {{wake_->socket()}, {conn}};
      if (net::Wait(in, 2, 5000) <= 0 || in[0].readable) break;
      const long n = net::Receive(conn, buffer, sizeof buffer);
      if (n <= 0) break;
      head.append(buffer, static_cast<size_t>(n));
    }
    const std::string reply = responder_ ? responder_(head) : reply_;
    net::Send(conn, reply.data(), reply.size());
    if (after_ == After::kDrip || after_ == After::kEndless) {
      Feed(conn);
      net::Close(conn);
    } else if (after_ == After::kClose) {
      net::Close(conn);
    } else {
      silent.push_back(conn);
    }
  }
  for (net::Socket fd : silent) net::Close(fd);
}

void FaultServer::Feed(net::Socket conn) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  std::string chunk = filler_;
  if (after_ == After::kEndless)
    while (chunk.size() < 65536) chunk += filler_;
  uint64_t sent = 0;
  size_t dripAt = 0;
  while (std::chrono::steady_clock::now() < deadline && sent < (8ull << 30)) {
    net::Watch watches[2] = {{wake_->socket()}, {conn, false, true}};
    if (net::Wait(watches, 2, after_ == After::kDrip ? 100 : 1000) < 0) continue;
    if (watches[0].readable || watches[1].failed) return;
    if (!watches[1].writable) continue;
    long n;
    if (after_ == After::kDrip) {
      n = net::Send(conn, &filler_[dripAt], 1);
      dripAt = (dripAt + 1) % filler_.size();
      net::Watch idle{wake_->socket()};
      if (net::Wait(&idle, 1, 100) > 0) return;
    } else {
      n = net::Send(conn, chunk.data(), chunk.size());
    }
    if (n <= 0) return;
    sent += static_cast<uint64_t>(n);
  }
}

}  // namespace zan::test
