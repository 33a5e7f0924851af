#include "cli/zan_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace zan::test {

namespace {

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (pipe2(fd, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  }
  ~Pipe() {
    for (int f : fd)
      if (f >= 0) close(f);
  }
  void CloseRead() { close(fd[0]), fd[0] = -1; }
  void CloseWrite() { close(fd[1]), fd[1] = -1; }
};

}  // namespace

ZanRun RunZan(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
              const std::string& stdinText) {
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (name == "ZAN_SERVER" || name == "ZANCLIENT_MODULE" || name == "ZANCLIENT_REGISTRY" || env.count(name))
      continue;
    envText.push_back(entry);
  }
  for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
  std::vector<char*> envp, argv;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string exe = ZAN_CLI_EXE;
  argv.push_back(exe.data());
  std::vector<std::string> argsCopy = args;
  for (std::string& a : argsCopy) argv.push_back(a.data());
  argv.push_back(nullptr);

  Pipe in, out, err;
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in.fd[0], 0);
    dup2(out.fd[1], 1);
    dup2(err.fd[1], 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  in.CloseRead();
  out.CloseWrite();
  err.CloseWrite();
  // Standard input is small; write it whole, then close so the child sees its end.
  signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  while (written < stdinText.size()) {
    ssize_t n = write(in.fd[1], stdinText.data() + written, stdinText.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  in.CloseWrite();

  ZanRun run;
  pollfd fds[2] = {{out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace zan::test
