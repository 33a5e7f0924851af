// Running shell commands from the test support (the server launcher, the test PKI).
#ifndef ZAN_TESTS_SUPPORT_SHELL_H_
#define ZAN_TESTS_SUPPORT_SHELL_H_

#include <cstdio>
#include <string>

namespace zan::test {

// text as one single-quoted shell word.
inline std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The deleter of a popen stream.
struct PipeCloser {
  void operator()(FILE* f) const { pclose(f); }
};

}  // namespace zan::test

#endif
