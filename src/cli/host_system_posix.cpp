// The host's system calls on POSIX: the command line, the streams and the environment are
// taken as the bytes they are (UTF-8 by convention).
#include <unistd.h>

#include <cstdlib>

#include "cli/host_system.h"

namespace zancli {

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

Utf8Console::Utf8Console() = default;

Utf8Console::~Utf8Console() = default;

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace zancli
