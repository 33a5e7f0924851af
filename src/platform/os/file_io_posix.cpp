// The POSIX backend of file_io.h: rename(2), renameat2 without replacement, lstat.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/backend.h"
#include "platform/os/lasterror.h"

namespace zan::os::internal {

namespace {

bool Fail(int error) {
  SetLastError(static_cast<uint32_t>(error));
  return false;
}

}  // namespace

bool RenameFile(const std::string& from, const std::string& to, bool overwrite) {
  if (overwrite) return ::rename(from.c_str(), to.c_str()) == 0 || Fail(errno);
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return Fail(errno);
  // A file system without the flag: check, then rename.
  if (::access(to.c_str(), F_OK) == 0) return Fail(EEXIST);
  return ::rename(from.c_str(), to.c_str()) == 0 || Fail(errno);
}

bool NothingOrRegularFile(const std::string& native) {
  struct stat st {};
  if (::lstat(native.c_str(), &st) != 0) return errno == ENOENT || Fail(errno);
  if (S_ISREG(st.st_mode)) return true;
  return Fail(S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
}

uint32_t ProcessId() { return static_cast<uint32_t>(::getpid()); }

}  // namespace zan::os::internal
