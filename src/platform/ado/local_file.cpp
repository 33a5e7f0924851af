#include "platform/ado/local_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/ado/ado_errors.h"

namespace zan::ado::internal {
namespace {

std::atomic<unsigned> g_counter{0};

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

UniqueFd::~UniqueFd() { Close(); }

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

int UniqueFd::Close() {
  if (fd_ < 0) return 0;
  const int result = ::close(fd_);
  fd_ = -1;
  return result == 0 || errno == EINTR ? 0 : errno;
}

ReplacingFile::ReplacingFile(std::string destination) : destination_(std::move(destination)) {
  const std::string dir = DirectoryOf(destination_);
  for (int attempt = 0;; ++attempt) {
    temporary_ = dir + "/.zan-" + std::to_string(::getpid()) + "-" + std::to_string(g_counter++) + ".part";
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = UniqueFd(fd);
      return;
    }
    if (errno != EEXIST || attempt > 100) {
      const int error = errno;
      temporary_.clear();
      ThrowForFile(error, kAdErrOpeningFile, "Cannot create a file in the directory of", destination_);
    }
  }
}

ReplacingFile::~ReplacingFile() {
  fd_.Close();
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

void ReplacingFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_.get(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowForFile(errno, kAdErrWriteFile, "Cannot write", destination_);
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void ReplacingFile::Commit(bool overwrite) {
  if (const int error = fd_.Close()) ThrowForFile(error, kAdErrWriteFile, "Cannot write", destination_);
  int result;
  if (overwrite) {
    result = ::rename(temporary_.c_str(), destination_.c_str());
  } else {
    result = ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, destination_.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {  // a file system without it
      result = ::access(destination_.c_str(), F_OK) == 0 ? (errno = EEXIST, -1)
                                                          : ::rename(temporary_.c_str(), destination_.c_str());
    }
  }
  if (result != 0) ThrowForFile(errno, kAdErrWriteFile, "Cannot replace", destination_);
  committed_ = true;
}

}  // namespace zan::ado::internal
