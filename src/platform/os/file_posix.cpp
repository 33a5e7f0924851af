// file.h on POSIX: a descriptor, open(2) with O_NOFOLLOW / O_NONBLOCK, flock.
#include "platform/os/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/os/backend.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {

bool Failed() {
  SetLastError(static_cast<uint32_t>(errno));
  return false;
}

bool Native(std::string_view path, std::string& out) { return internal::NativePath(path, out, true); }

int Fd(intptr_t handle) { return static_cast<int>(handle); }

// Opens a regular file only: O_NOFOLLOW refuses a link, O_NONBLOCK keeps a FIFO from waiting
// for its other end (and is dropped again once the file is known to be regular). -1 on failure
// with the last error set.
int OpenRegular(std::string_view path, int flags, Links links) {
  std::string name;
  if (!Native(path, name)) return -1;
  if (links == Links::kRefuse) flags |= O_NOFOLLOW;
  const int fd = ::open(name.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    Failed();
    return -1;
  }
  struct stat st {};
  int error = 0;
  if (::fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  } else {
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) error = errno;
  }
  if (error == 0) return fd;
  ::close(fd);
  SetLastError(static_cast<uint32_t>(error));
  return -1;
}

}  // namespace

File File::OpenForReading(std::string_view path, Links links) { return File(OpenRegular(path, O_RDONLY, links)); }

File File::OpenForAppending(std::string_view path) {
  std::string name;
  if (!Native(path, name)) return File();
  const int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) Failed();
  return File(fd);
}

File File::CreateNew(std::string_view path) {
  std::string name;
  if (!Native(path, name)) return File();
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) Failed();
  return File(fd);
}

File File::OpenLockFile(std::string_view path, bool forWriting) {
  std::string name;
  if (!Native(path, name)) return File();
  int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0 && !forWriting) fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Failed();
  return File(fd);
}

bool File::Read(char* buffer, size_t size, size_t& got) {
  for (;;) {
    const ssize_t n = ::read(Fd(handle_), buffer, size);
    if (n >= 0) {
      got = static_cast<size_t>(n);
      return true;
    }
    if (errno != EINTR) return Failed();
  }
}

bool File::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(Fd(handle_), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failed();
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool File::Sync() { return ::fsync(Fd(handle_)) == 0 || Failed(); }

bool File::Size(uint64_t& bytes) const {
  struct stat st {};
  if (::fstat(Fd(handle_), &st) != 0) return Failed();
  bytes = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  return true;
}

bool File::Offset(uint64_t& offset) const {
  const off_t at = ::lseek(Fd(handle_), 0, SEEK_CUR);
  if (at < 0) return Failed();
  offset = static_cast<uint64_t>(at);
  return true;
}

bool File::Seek(uint64_t offset) {
  return ::lseek(Fd(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0 || Failed();
}

bool File::CopyPermissionsOf(std::string_view path) {
  std::string name;
  if (!Native(path, name)) return false;
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) return Failed();
  return ::fchmod(Fd(handle_), st.st_mode & 07777) == 0 || Failed();
}

bool File::Lock(bool exclusive) {
  for (;;) {
    if (::flock(Fd(handle_), exclusive ? LOCK_EX : LOCK_SH) == 0) return true;
    if (errno != EINTR) return Failed();
  }
}

bool File::Close() {
  if (handle_ == kClosed) return true;
  const int fd = Fd(std::exchange(handle_, kClosed));
  // After EINTR the descriptor is gone on Linux: closing it again could close another's.
  return ::close(fd) == 0 || errno == EINTR || Failed();
}

}  // namespace zan::os
