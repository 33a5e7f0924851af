// TCP sockets on 127.0.0.1 for the test stand-ins (fault proxy, fault server, host shell),
// over the system's sockets (socket_posix.cpp, socket_win32.cpp).
#ifndef ZAN_TESTS_SUPPORT_SOCKET_H_
#define ZAN_TESTS_SUPPORT_SOCKET_H_

#include <cstddef>
#include <cstdint>

namespace zan::test::net {

// A descriptor (POSIX) or a SOCKET (Windows); owned by whoever got it, closed with Close.
using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

// A socket listening on 127.0.0.1, on a port the system picks (stored into port). Throws
// std::runtime_error when none can be made.
Socket ListenLoopback(int& port, int backlog = 64);
// A port of 127.0.0.1 on which nothing listens (connections are refused).
int RefusedPort();
// The next connection of a listening socket; kNoSocket on failure.
Socket Accept(Socket listener);
// A connection to 127.0.0.1:port; kNoSocket when it fails.
Socket Connect(int port);
// Bytes received (0 at the end of the stream, < 0 on failure).
long Receive(Socket socket, char* data, size_t size);
// Bytes sent (< 0 on failure; a closed peer never raises a signal).
long Send(Socket socket, const char* data, size_t size);
// Ends the sending side (the peer reads the end of the stream).
void ShutdownSend(Socket socket);
// Ends both directions, waking a thread blocked on the socket.
void Shutdown(Socket socket);
void Close(Socket socket);
// Closes with a reset instead of an orderly end.
void CloseWithReset(Socket socket);

// One socket of a Wait: what is waited for, and what was found.
struct Watch {
  Socket socket = kNoSocket;
  bool read = true;
  bool write = false;
  bool readable = false;
  bool writable = false;
  bool failed = false;  // error or hang-up
};
// Waits until one watch is ready or timeoutMs passed (-1: no limit); the number ready, or < 0
// on failure.
int Wait(Watch* watches, size_t count, int timeoutMs);

// Wakes a thread blocked in Wait: Signal makes socket() readable for good.
class Waker {
 public:
  Waker();  // throws std::runtime_error
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;
  Socket socket() const { return read_; }
  void Signal();

 private:
  Socket read_ = kNoSocket;
  Socket write_ = kNoSocket;
};

}  // namespace zan::test::net

#endif
