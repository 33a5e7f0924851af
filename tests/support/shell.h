// Shell commands of the test support (the server launcher, the test PKI), run on the host.
#ifndef ZAN_TESTS_SUPPORT_SHELL_H_
#define ZAN_TESTS_SUPPORT_SHELL_H_

#include <string>

namespace zan::test {

// text as one single-quoted shell word.
inline std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The system's half of RunOnHost (host.h): runs line with bash, standard input empty; its exit
// status, output into *output (host_posix.cpp, host_win32.cpp).
int RunHostShell(const std::string& line, std::string* output);

}  // namespace zan::test

#endif
