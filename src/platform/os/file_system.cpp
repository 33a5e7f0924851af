#include "platform/os/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/os/codepage.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {

// Bytes of the character that starts at s[i]: two for a lead byte of the code page (one
// when the trail byte is missing), a whole sequence for well-formed UTF-8, else one.
size_t CharLength(std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  if (IsDBCSLeadByte(c)) return i + 1 < s.size() ? 2 : 1;
  if (GetACP() != kCodePageUtf8 || c < 0xC0) return 1;
  const size_t len = c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 1;
  if (i + len > s.size()) return 1;
  for (size_t k = 1; k < len; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  }
  return len;
}

// Index of the last separating '\' or '/', or npos.
size_t LastSeparator(std::string_view path) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < path.size();) {
    if (path[i] == '\\' || path[i] == '/') last = i;
    i += IsDBCSLeadByte(static_cast<unsigned char>(path[i])) ? 2 : 1;
  }
  return last;
}

// The native form, or false (last error EINVAL) for a name the system cannot pass on:
// an embedded NUL would silently name another file.
bool Native(std::string_view path, std::string& out) {
  if (path.find('\0') != std::string_view::npos) {
    SetLastError(EINVAL);
    return false;
  }
  out = ToNativePath(path);
  return true;
}

bool Failed() {
  SetLastError(static_cast<uint32_t>(errno));
  return false;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares one character of the name with one of the pattern (ASCII case-insensitive,
// multi-byte characters exactly).
bool SameChar(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() == 1) return FoldAscii(a[0]) == FoldAscii(b[0]);
  return a == b;
}

// '*' any run of characters, '?' exactly one character, anything else itself.
bool MatchFrom(std::string_view pattern, size_t p, std::string_view name, size_t n) {
  while (p < pattern.size()) {
    if (pattern[p] == '*') {
      while (p < pattern.size() && pattern[p] == '*') ++p;
      if (p == pattern.size()) return true;
      for (size_t k = n; k <= name.size(); k += (k < name.size() ? CharLength(name, k) : 1)) {
        if (MatchFrom(pattern, p, name, k)) return true;
      }
      return false;
    }
    if (n >= name.size()) return false;
    const size_t pl = CharLength(pattern, p);
    const size_t nl = CharLength(name, n);
    if (!(pattern[p] == '?' && pl == 1) && !SameChar(pattern.substr(p, pl), name.substr(n, nl))) return false;
    p += pl;
    n += nl;
  }
  return n == name.size();
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (MatchFrom(pattern, 0, name, 0)) return true;
  // "name.*" also finds "name" without an extension, as the Windows search does.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos) {
    return MatchFrom(pattern.substr(0, pattern.size() - 2), 0, name, 0);
  }
  return false;
}

std::string ToNativePath(std::string_view path) {
  std::string out(path);
  for (size_t i = 0; i < out.size();) {
    if (IsDBCSLeadByte(static_cast<unsigned char>(out[i]))) {
      i += 2;
      continue;
    }
    if (out[i] == '\\') out[i] = '/';
    ++i;
  }
  return out;
}

std::string DirectoryOf(std::string_view path) {
  const size_t sep = LastSeparator(path);
  if (sep == std::string_view::npos) return {};
  return std::string(path.substr(0, sep == 0 ? 1 : sep));
}

bool ResolvedPath(std::string_view path, std::string& out) {
  std::string native;
  if (!Native(path, native)) return false;
  std::unique_ptr<char, decltype(&free)> real(realpath(native.c_str(), nullptr), &free);
  if (!real) return Failed();
  out = real.get();
  return true;
}

bool CreateDirectories(std::string_view path) {
  std::string native;
  if (!Native(path, native)) return false;
  struct stat st;
  if (stat(native.c_str(), &st) == 0) return S_ISDIR(st.st_mode) || (errno = ENOTDIR, Failed());
  const std::string parent = DirectoryOf(native);
  if (!parent.empty() && parent != native && !CreateDirectories(parent)) return false;
  return mkdir(native.c_str(), 0777) == 0 || errno == EEXIST || Failed();
}

bool PathExists(std::string_view path) {
  std::string native;
  if (!Native(path, native)) return false;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return Failed();
  return true;
}

bool IsDirectory(std::string_view path) {
  std::string native;
  if (!Native(path, native)) return false;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return Failed();
  return S_ISDIR(st.st_mode);
}

bool IsSymbolicLink(std::string_view path) {
  std::string native;
  if (!Native(path, native)) return false;
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) return Failed();
  return S_ISLNK(st.st_mode);
}

bool CreateDirectory(std::string_view path) {
  std::string native;
  if (!Native(path, native)) return false;
  if (mkdir(native.c_str(), 0777) != 0) return Failed();
  return true;
}

bool RemoveDirectory(std::string_view path) {
  std::string native;
  if (!Native(path, native)) return false;
  if (rmdir(native.c_str()) != 0) return Failed();
  return true;
}

bool DeleteFile(std::string_view path) {
  std::string native;
  if (!Native(path, native)) return false;
  if (unlink(native.c_str()) != 0) return Failed();
  return true;
}

std::string FullPath(std::string_view path) {
  std::string native;
  if (path.empty() || !Native(path, native)) return std::string(path);
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

namespace {
struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
}  // namespace

struct DirectorySearch::Impl {
  std::unique_ptr<DIR, DirCloser> dir;
  std::string name;  // the wildcard name
  int dots = 0;      // how many of ".", ".." have been offered
};

DirectorySearch::DirectorySearch(std::string_view pattern) : impl_(std::make_unique<Impl>()) {
  const size_t sep = LastSeparator(pattern);
  std::string_view dir = sep == std::string_view::npos ? std::string_view(".") : pattern.substr(0, sep);
  if (sep == 0) dir = "/";
  impl_->name = std::string(sep == std::string_view::npos ? pattern : pattern.substr(sep + 1));
  std::string native;
  if (!Native(dir, native)) return;
  impl_->dir.reset(opendir(native.c_str()));
  if (!impl_->dir) Failed();
}

DirectorySearch::~DirectorySearch() = default;

bool DirectorySearch::ok() const { return impl_->dir != nullptr; }

bool DirectorySearch::Next(FindData& out) {
  if (!impl_->dir) return false;
  // "." and ".." come first, whether or not the file system lists them.
  while (impl_->dots < 2) {
    const char* dots = impl_->dots++ == 0 ? "." : "..";
    if (WildcardMatch(impl_->name, dots)) {
      out.name = dots;
      out.isDirectory = true;
      out.isLink = false;
      return true;
    }
  }
  for (;;) {
    errno = 0;
    const dirent* e = readdir(impl_->dir.get());
    if (!e) {
      if (errno != 0) Failed();
      return false;
    }
    const std::string_view name(e->d_name);
    if (name == "." || name == "..") continue;
    if (!WildcardMatch(impl_->name, name)) continue;
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

}  // namespace zan::os
