#include "platform/os/lasterror.h"

#include <cstring>

namespace zan::os {

namespace {
thread_local uint32_t t_lastError = 0;
}

uint32_t GetLastError() { return t_lastError; }

void SetLastError(uint32_t error) { t_lastError = error; }

std::string SystemMessage(uint32_t error) {
  char buf[256];
  // GNU strerror_r returns the message, which may or may not live in buf.
  const char* text = strerror_r(static_cast<int>(error), buf, sizeof buf);
  return std::string(text) + "\r\n";
}

}  // namespace zan::os
