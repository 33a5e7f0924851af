// A TCP socket bound to 127.0.0.1 on a port the kernel picks, for the test stand-ins.
#ifndef ZAN_TESTS_SUPPORT_LOOPBACK_SOCKET_H_
#define ZAN_TESTS_SUPPORT_LOOPBACK_SOCKET_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace zan::test {

// The bound socket (owned by the caller, not yet listening); its port goes to port. Throws
// std::runtime_error when no socket can be bound.
inline int BoundLoopbackSocket(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    throw std::runtime_error("cannot bind a socket on 127.0.0.1");
  }
  port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace zan::test

#endif
