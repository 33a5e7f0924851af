#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

#include "support/host.h"
#include "support/shell.h"

namespace zan::test {

int RunHostShell(const std::string& line, std::string* output) {
  const std::string command = "bash -c " + ShellQuote(line) + " </dev/null 2>&1";
  struct Closer {
    void operator()(FILE* f) const { pclose(f); }
  };
  std::unique_ptr<FILE, Closer> pipe(popen(command.c_str(), "r"));
  if (!pipe) throw std::runtime_error("cannot run " + line);
  output->clear();
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) output->append(buffer, n);
  const int status = pclose(pipe.release());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

std::string SuitePidWord() { return std::to_string(getpid()); }

std::string LocalPathOf(const std::string& hostPath) { return hostPath; }

bool OnWindows() { return false; }

void SetEnvironment(const std::string& name, const char* value) {
  if (value)
    setenv(name.c_str(), value, 1);
  else
    unsetenv(name.c_str());
}

}  // namespace zan::test
