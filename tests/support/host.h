// The machine the test servers run on, as a suite reaches it. On Linux that is this machine.
// A suite of the Windows build runs under Wine, which cannot start Linux programs: its
// commands go to the host shell of windows/suite.sh ($ZAN_HOST_SHELL), which runs them on the
// Linux side, and the host's files are opened through Wine's drive Z:.
#ifndef ZAN_TESTS_SUPPORT_HOST_H_
#define ZAN_TESTS_SUPPORT_HOST_H_

#include <string>

namespace zan::test {

// Runs a bash command line on the host, with input on its standard input; returns its exit
// status and puts its standard output and error, interleaved, into *output. Throws
// std::runtime_error when the command cannot be run at all.
int RunOnHost(const std::string& command, std::string* output, const std::string& input = "");

// A shell word that expands, in a command RunOnHost runs, to the pid of a host process that
// lives as long as this suite (for scripts/davserver --watch-pid).
std::string SuitePidWord();

// The name under which this process opens the host's file hostPath (an absolute Linux path):
// the path itself on Linux, its Z: form under Wine.
std::string LocalPathOf(const std::string& hostPath);

// Whether the suite runs as the Windows build (then under Wine).
bool OnWindows();

// Sets an environment variable of this process (unsets it when value is null), where both the
// C runtime and the module's own environment reads see it.
void SetEnvironment(const std::string& name, const char* value);

}  // namespace zan::test

// Skips the rest of a test in the Windows build, saying why (a POSIX facility it relies on).
#define ZAN_SKIP_ON_WINDOWS(reason) \
  if (::zan::test::OnWindows()) GTEST_SKIP() << "not on Windows: " << (reason)

#endif
