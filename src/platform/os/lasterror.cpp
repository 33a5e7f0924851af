// The portable half of lasterror.h: the per-thread value.
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {
thread_local uint32_t t_lastError = 0;
}

uint32_t LastError() { return t_lastError; }

void SetLastError(uint32_t error) { t_lastError = error; }

std::string SystemMessageLine(uint32_t error) {
  std::string text = SystemMessage(error);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

bool Fail(ErrorKind kind) {
  t_lastError = ErrorValue(kind);
  return false;
}

}  // namespace zan::os
