#include "platform/os/file_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {

std::atomic<unsigned> g_temporaryCounter{0};

bool Fail(int error) {
  SetLastError(static_cast<uint32_t>(error));
  return false;
}

// rename(2), or without overwrite one that refuses an existing destination (EEXIST).
bool Rename(const std::string& from, const std::string& to, bool overwrite) {
  if (overwrite) return ::rename(from.c_str(), to.c_str()) == 0 || Fail(errno);
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return Fail(errno);
  // A file system without the flag: check, then rename.
  if (::access(to.c_str(), F_OK) == 0) return Fail(EEXIST);
  return ::rename(from.c_str(), to.c_str()) == 0 || Fail(errno);
}

// True when nothing, or a regular file, stands at native (a symbolic link is not followed);
// else false with ELOOP (a link), EISDIR (a directory) or EINVAL (a FIFO, device or socket).
bool NothingOrRegularFile(const std::string& native) {
  struct stat st {};
  if (::lstat(native.c_str(), &st) != 0) return errno == ENOENT || Fail(errno);
  if (S_ISREG(st.st_mode)) return true;
  return Fail(S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
}

}  // namespace

bool WriteWholeFile(std::string_view path, std::string_view bytes) {
  if (path.find('\0') != std::string_view::npos) return Fail(EINVAL);
  return NothingOrRegularFile(ToNativePath(path)) && ReplaceWholeFile(path, bytes);
}

bool ReadWholeFile(std::string_view path, std::string& bytes, uint64_t maxBytes) {
  File file = File::OpenForReading(path, Links::kFollow);
  uint64_t size = 0;
  if (!file.isOpen() || !file.Size(size)) return false;
  if (size > maxBytes) return Fail(EFBIG);
  std::string out;
  out.reserve(static_cast<size_t>(size));
  char buf[65536];
  for (;;) {
    size_t n = 0;
    if (!file.Read(buf, sizeof buf, n)) return false;
    if (n == 0) break;
    if (out.size() + n > maxBytes) return Fail(EFBIG);  // grown since it was opened
    out.append(buf, n);
  }
  bytes = std::move(out);
  return true;
}

ReplacingFile::~ReplacingFile() {
  file_.Close();
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool ReplacingFile::Open(std::string_view destination) {
  if (destination.empty() || destination.find('\0') != std::string_view::npos)
    return Fail(destination.empty() ? ENOENT : EINVAL);
  destination_ = ToNativePath(destination);
  std::string dir = DirectoryOf(destination_);
  if (dir.empty()) dir = ".";
  for (int attempt = 0;; ++attempt) {
    temporary_ = dir + "/.zan-" + std::to_string(::getpid()) + "-" + std::to_string(g_temporaryCounter++) + ".part";
    file_ = File::CreateNew(temporary_);
    if (file_.isOpen()) return true;
    if (GetLastError() != EEXIST || attempt > 100) {
      temporary_.clear();
      return false;
    }
  }
}

bool ReplacingFile::KeepPermissions() { return file_.CopyPermissionsOf(destination_); }

bool ReplacingFile::Write(std::string_view bytes) { return file_.Write(bytes); }

bool ReplacingFile::Finish() {
  if (finished_) return true;
  if (!file_.Sync() || !file_.Close()) return false;
  finished_ = true;
  return true;
}

bool ReplacingFile::Commit(bool overwrite) {
  if (temporary_.empty() || !Finish()) return false;
  if (!Rename(temporary_, destination_, overwrite)) return false;
  committed_ = true;
  return true;
}

bool ReplaceWholeFile(std::string_view path, std::string_view bytes) {
  ReplacingFile file;
  if (!file.Open(path)) return false;
  if (PathExists(path) && !file.KeepPermissions()) return false;
  return file.Write(bytes) && file.Commit(true);
}

}  // namespace zan::os
