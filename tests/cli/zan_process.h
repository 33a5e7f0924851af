// Runs the built zan binary as a child process and collects what it printed and its exit code.
#ifndef ZAN_TESTS_CLI_ZAN_PROCESS_H_
#define ZAN_TESTS_CLI_ZAN_PROCESS_H_

#include <map>
#include <string>
#include <vector>

namespace zan::test {

struct ZanRun {
  int code = -1;  // the exit code; 128 + signal when killed by a signal
  std::string out;
  std::string err;
};

// Runs ZAN_CLI_EXE with args. The child's environment is this process's without ZAN_SERVER,
// ZANCLIENT_MODULE and ZANCLIENT_REGISTRY, plus env (an empty value leaves a variable set to "").
// stdinText is written to its standard input. Standard error is a pipe, never a terminal.
ZanRun RunZan(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
              const std::string& stdinText = "");

}  // namespace zan::test

#endif
