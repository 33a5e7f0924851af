#include "cli/host_system.h"

#include <unistd.h>

#include <cstdlib>

namespace zancli {

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace zancli
