#include "platform/os/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {

// Owns one file descriptor.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now, reporting the close's own failure (a write may only fail there).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool Failed() {
  SetLastError(static_cast<uint32_t>(errno));
  return false;
}

bool NativeName(std::string_view path, std::string& out) {
  if (path.empty() || path.find('\0') != std::string_view::npos) {
    SetLastError(path.empty() ? ENOENT : EINVAL);
    return false;
  }
  out = ToNativePath(path);
  return true;
}

}  // namespace

bool WriteWholeFile(std::string_view path, std::string_view bytes) {
  std::string name;
  if (!NativeName(path, name)) return false;
  Fd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
  if (fd.get() < 0) return Failed();
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return Failed();
  if (!S_ISREG(st.st_mode)) {
    SetLastError(EINVAL);
    return false;
  }
  if (::ftruncate(fd.get(), 0) != 0) return Failed();
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd.get(), p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failed();
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (!fd.close()) return Failed();
  return true;
}

bool ReadWholeFile(std::string_view path, std::string& bytes, uint64_t maxBytes) {
  std::string name;
  if (!NativeName(path, name)) return false;
  Fd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Failed();
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return Failed();
  if (!S_ISREG(st.st_mode)) {
    SetLastError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return false;
  }
  if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    SetLastError(EFBIG);
    return false;
  }
  std::string out;
  out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failed();
    }
    if (n == 0) break;
    if (out.size() + static_cast<size_t>(n) > maxBytes) {  // grown since fstat
      SetLastError(EFBIG);
      return false;
    }
    out.append(buf, static_cast<size_t>(n));
  }
  bytes = std::move(out);
  return true;
}

}  // namespace zan::os
