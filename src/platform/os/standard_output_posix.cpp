// standard_output.h on POSIX: the C runtime's stdout, which passes bytes unchanged.
#include "platform/os/standard_output.h"

#include <cstdio>

namespace zan::os {

void WriteStdout(std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace zan::os
