#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/local_files.h"

namespace zan::test {

bool MakeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

int FileMode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

bool SetFileMode(const std::string& path, int mode) { return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0; }

bool RunsAsRoot() { return ::geteuid() == 0; }

bool WithFileSizeLimit(size_t limit, const std::function<void()>& body) {
  struct rlimit before {};
  if (::getrlimit(RLIMIT_FSIZE, &before) != 0) return false;
  struct rlimit limited = before;
  limited.rlim_cur = limit;
  const sighandler_t previous = ::signal(SIGXFSZ, SIG_IGN);
  if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) {
    ::signal(SIGXFSZ, previous);
    return false;
  }
  body();
  ::setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, previous);
  return true;
}

}  // namespace zan::test
