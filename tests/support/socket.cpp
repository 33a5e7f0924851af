#include "support/socket.h"

#include <stdexcept>

namespace zan::test::net {

int RefusedPort() {
  int port = 0;
  Close(ListenLoopback(port, 1));
  return port;
}

Waker::Waker() {
  int port = 0;
  const Socket listener = ListenLoopback(port, 1);
  write_ = Connect(port);
  read_ = write_ == kNoSocket ? kNoSocket : Accept(listener);
  Close(listener);
  if (read_ == kNoSocket) {
    Close(write_);
    throw std::runtime_error("cannot make a loopback socket pair");
  }
}

Waker::~Waker() {
  Close(read_);
  Close(write_);
}

void Waker::Signal() {
  const char stop = 1;
  Send(write_, &stop, 1);
}

}  // namespace zan::test::net
