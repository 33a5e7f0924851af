#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>
#include <vector>

#include "support/socket.h"

namespace zan::test::net {
namespace {

// Winsock is started once, on first use, for the life of the process.
void Started() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
}

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<u_short>(port));
  return addr;
}

SOCKET Handle(Socket s) { return static_cast<SOCKET>(s); }
Socket Wrap(SOCKET s) { return s == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(s); }

}  // namespace

Socket ListenLoopback(int& port, int backlog) {
  Started();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw std::runtime_error("socket failed");
  sockaddr_in addr = Loopback(0);
  int len = sizeof addr;
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(s, backlog) != 0) {
    closesocket(s);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port = ntohs(addr.sin_port);
  return Wrap(s);
}

Socket Accept(Socket listener) { return Wrap(accept(Handle(listener), nullptr, nullptr)); }

Socket Connect(int port) {
  Started();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  const sockaddr_in addr = Loopback(port);
  if (connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  return Wrap(s);
}

long Receive(Socket s, char* data, size_t size) { return recv(Handle(s), data, static_cast<int>(size), 0); }

long Send(Socket s, const char* data, size_t size) { return send(Handle(s), data, static_cast<int>(size), 0); }

void ShutdownSend(Socket s) { shutdown(Handle(s), SD_SEND); }

void Shutdown(Socket s) { shutdown(Handle(s), SD_BOTH); }

void Close(Socket s) {
  if (s != kNoSocket) closesocket(Handle(s));
}

void CloseWithReset(Socket s) {
  linger hard{1, 0};
  setsockopt(Handle(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
  Close(s);
}

int Wait(Watch* watches, size_t count, int timeoutMs) {
  std::vector<WSAPOLLFD> fds(count);
  for (size_t i = 0; i < count; ++i)
    fds[i] = {Handle(watches[i].socket), static_cast<short>((watches[i].read ? POLLRDNORM : 0) | (watches[i].write ? POLLWRNORM : 0)), 0};
  const int ready = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
  for (size_t i = 0; i < count; ++i) {
    watches[i].readable = ready > 0 && (fds[i].revents & (POLLRDNORM | POLLHUP));
    watches[i].writable = ready > 0 && (fds[i].revents & POLLWRNORM);
    watches[i].failed = ready > 0 && (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL));
  }
  return ready;
}

}  // namespace zan::test::net
