#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "support/socket.h"

namespace zan::test::net {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  return addr;
}

int Fd(Socket s) { return static_cast<int>(s); }

}  // namespace

Socket ListenLoopback(int& port, int backlog) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(fd, backlog) != 0) {
    close(fd);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port = ntohs(addr.sin_port);
  return fd;
}

Socket Accept(Socket listener) {
  const int fd = accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return fd < 0 ? kNoSocket : fd;
}

Socket Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  const sockaddr_in addr = Loopback(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return kNoSocket;
  }
  return fd;
}

long Receive(Socket s, char* data, size_t size) { return recv(Fd(s), data, size, 0); }

long Send(Socket s, const char* data, size_t size) { return send(Fd(s), data, size, MSG_NOSIGNAL); }

void ShutdownSend(Socket s) { shutdown(Fd(s), SHUT_WR); }

void Shutdown(Socket s) { shutdown(Fd(s), SHUT_RDWR); }

void Close(Socket s) {
  if (s != kNoSocket) close(Fd(s));
}

void CloseWithReset(Socket s) {
  linger hard{1, 0};
  setsockopt(Fd(s), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  Close(s);
}

int Wait(Watch* watches, size_t count, int timeoutMs) {
  std::vector<pollfd> fds(count);
  for (size_t i = 0; i < count; ++i)
    fds[i] = {Fd(watches[i].socket), static_cast<short>((watches[i].read ? POLLIN : 0) | (watches[i].write ? POLLOUT : 0)), 0};
  const int ready = poll(fds.data(), fds.size(), timeoutMs);
  for (size_t i = 0; i < count; ++i) {
    watches[i].readable = ready > 0 && (fds[i].revents & POLLIN);
    watches[i].writable = ready > 0 && (fds[i].revents & POLLOUT);
    watches[i].failed = ready > 0 && (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL));
  }
  return ready;
}

}  // namespace zan::test::net
