// standard_output.h on Windows: the bytes go to the standard output handle unchanged (the C
// runtime's text mode would turn each LF into CR LF).
#include <windows.h>

#include <cstdio>

#include "platform/os/standard_output.h"

namespace zan::os {

void WriteStdout(std::string_view text) {
  std::fflush(stdout);  // what the runtime holds goes first
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD chunk = text.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(text.size());
    if (!::WriteFile(out, text.data(), chunk, &written, nullptr) || written == 0) return;
    text.remove_prefix(written);
  }
}

}  // namespace zan::os
