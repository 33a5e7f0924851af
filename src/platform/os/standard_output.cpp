#include "platform/os/standard_output.h"

#include <cstdio>

namespace zan::os {

void WriteStdout(std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace zan::os
