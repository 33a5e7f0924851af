// file_system.h on POSIX: stat, mkdir, rmdir, unlink, realpath and readdir.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/os/backend.h"
#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {

using internal::NativePath;

bool Failed() {
  SetLastError(static_cast<uint32_t>(errno));
  return false;
}

// The status of path, following a last link or not; false with the last error set.
bool Status(std::string_view path, bool followLink, struct stat& st) {
  std::string native;
  if (!NativePath(path, native)) return false;
  return (followLink ? stat(native.c_str(), &st) : lstat(native.c_str(), &st)) == 0 || Failed();
}

}  // namespace

std::string ToNativePath(std::string_view path) { return internal::ReplaceSeparators(path, '\\', '/'); }

std::string SystemPath(std::string_view path) { return ToNativePath(path); }

bool ResolvedPath(std::string_view path, std::string& out) {
  std::string native;
  if (!NativePath(path, native)) return false;
  std::unique_ptr<char, decltype(&free)> real(realpath(native.c_str(), nullptr), &free);
  if (!real) return Failed();
  out = real.get();
  return true;
}

bool PathExists(std::string_view path) {
  struct stat st;
  return Status(path, true, st);
}

bool IsDirectory(std::string_view path) {
  struct stat st;
  return Status(path, true, st) && S_ISDIR(st.st_mode);
}

bool IsSymbolicLink(std::string_view path) {
  struct stat st;
  return Status(path, false, st) && S_ISLNK(st.st_mode);
}

bool MakeDirectory(std::string_view path) {
  std::string native;
  if (!NativePath(path, native)) return false;
  return mkdir(native.c_str(), 0777) == 0 || Failed();
}

bool RemoveDirectoryAt(std::string_view path) {
  std::string native;
  if (!NativePath(path, native)) return false;
  return rmdir(native.c_str()) == 0 || Failed();
}

bool RemoveFile(std::string_view path) {
  std::string native;
  if (!NativePath(path, native)) return false;
  return unlink(native.c_str()) == 0 || Failed();
}

std::string FullPath(std::string_view path) {
  std::string native;
  if (path.empty() || !NativePath(path, native)) return std::string(path);
  std::error_code ec;
  std::filesystem::path p(native);
  if (p.is_relative()) {
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) {
      SetLastError(static_cast<uint32_t>(ec.value()));
      return std::string(path);
    }
    p = cwd / p;
  }
  return p.lexically_normal().string();
}

namespace internal {

namespace {
struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
}  // namespace

struct DirectoryReader::Impl {
  std::unique_ptr<DIR, DirCloser> dir;
};

DirectoryReader::DirectoryReader() : impl_(std::make_unique<Impl>()) {}
DirectoryReader::~DirectoryReader() = default;

bool DirectoryReader::Open(std::string_view directory) {
  std::string native;
  if (!NativePath(directory, native)) return false;
  impl_->dir.reset(opendir(native.c_str()));
  return impl_->dir != nullptr || Failed();
}

bool DirectoryReader::isOpen() const { return impl_->dir != nullptr; }

bool DirectoryReader::Read(FindData& out) {
  for (;;) {
    errno = 0;
    const dirent* e = readdir(impl_->dir.get());
    if (!e) {
      if (errno != 0) Failed();
      return false;
    }
    const std::string_view name(e->d_name);
    if (name == "." || name == "..") continue;
    out.name = std::string(name);
    unsigned char type = e->d_type;
    struct stat st;
    if (type == DT_UNKNOWN && fstatat(dirfd(impl_->dir.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    }
    out.isLink = type == DT_LNK;
    out.isDirectory = type == DT_DIR;
    if (out.isLink) {
      // A link reports what it points to, as the Windows search reports a directory link.
      out.isDirectory = fstatat(dirfd(impl_->dir.get()), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    return true;
  }
}

}  // namespace internal

bool LocalNamesFollowWindowsRules() { return false; }

}  // namespace zan::os
