#include "support/host.h"

#include "support/shell.h"

namespace zan::test {

int RunOnHost(const std::string& command, std::string* output, const std::string& input) {
  std::string line = command;
  if (!input.empty()) line = "printf '%s' " + ShellQuote(input) + " | { " + command + "\n}";
  return RunHostShell(line, output);
}

}  // namespace zan::test
