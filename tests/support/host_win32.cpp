#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "support/host.h"
#include "support/shell.h"
#include "support/socket.h"

namespace zan::test {
namespace {

// The host shell's port, from ZAN_HOST_SHELL ("127.0.0.1:PORT").
int HostShellPort() {
  const char* address = std::getenv("ZAN_HOST_SHELL");
  const char* colon = address ? std::strrchr(address, ':') : nullptr;
  if (!colon) throw std::runtime_error("ZAN_HOST_SHELL is not set: run the suite through tests/windows/suite.sh");
  return std::atoi(colon + 1);
}

}  // namespace

int RunHostShell(const std::string& line, std::string* output) {
  const net::Socket s = net::Connect(HostShellPort());
  if (s == net::kNoSocket) throw std::runtime_error("cannot reach the host shell to run " + line);
  for (size_t sent = 0; sent < line.size();) {
    const long n = net::Send(s, line.data() + sent, line.size() - sent);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  net::ShutdownSend(s);
  std::string reply;
  char buffer[4096];
  for (long n; (n = net::Receive(s, buffer, sizeof buffer)) > 0;) reply.append(buffer, static_cast<size_t>(n));
  net::Close(s);
  const size_t newline = reply.find('\n');
  if (newline == std::string::npos) throw std::runtime_error("the host shell gave no status for " + line);
  *output = reply.substr(newline + 1);
  return std::atoi(reply.c_str());
}

// Commands run by the host shell are its children: it lives as long as the suite.
std::string SuitePidWord() { return "$PPID"; }

std::string LocalPathOf(const std::string& hostPath) {
  std::string out = "Z:" + hostPath;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

bool OnWindows() { return true; }

void SetEnvironment(const std::string& name, const char* value) {
  // The C runtime's copy (getenv) and the process environment (GetEnvironmentVariable) both.
  _putenv_s(name.c_str(), value ? value : "");
  SetEnvironmentVariableA(name.c_str(), value);
}

}  // namespace zan::test
