// The portable half of file_system.h: path text (roots, separators, the directory part),
// wildcard matching and the directory search over a backend DirectoryReader.
#include "platform/os/file_system.h"

#include "platform/os/backend.h"
#include "platform/os/codepage.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace internal {

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

std::string ReplaceSeparators(std::string_view path, char from, char to) {
  std::string out(path);
  for (size_t i = 0; i < out.size();) {
    if (IsDBCSLeadByte(static_cast<unsigned char>(out[i]))) {
      i += 2;
      continue;
    }
    if (out[i] == from) out[i] = to;
    ++i;
  }
  return out;
}

bool NativePath(std::string_view path, std::string& out, bool emptyIsMissing) {
  if (emptyIsMissing && path.empty()) return Fail(ErrorKind::kNotFound);
  if (path.find('\0') != std::string_view::npos) return Fail(ErrorKind::kInvalid);
  out = ToNativePath(path);
  return true;
}

}  // namespace internal

namespace {

using internal::CharLength;

constexpr std::string_view kVerbatimPrefix = "\\\\?\\";  // \\?\: no parsing, only '\' separates

bool IsVerbatim(std::string_view path) { return path.substr(0, kVerbatimPrefix.size()) == kVerbatimPrefix; }

bool IsSeparator(char c, bool verbatim) { return c == '\\' || (!verbatim && c == '/'); }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The index of the first separator at or after i, or path.size().
size_t NextSeparator(std::string_view path, size_t i, bool verbatim) {
  while (i < path.size() && !IsSeparator(path[i], verbatim)) {
    i += IsDBCSLeadByte(static_cast<unsigned char>(path[i])) ? 2 : 1;
  }
  return i < path.size() ? i : path.size();
}

// "server\share" from `at` on: the end of the share name, with the separator after it.
size_t AfterServerAndShare(std::string_view path, size_t at, bool verbatim) {
  const size_t server = NextSeparator(path, at, verbatim);
  if (server >= path.size()) return path.size();
  const size_t share = NextSeparator(path, server + 1, verbatim);
  return share >= path.size() ? path.size() : share + 1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (fold(s[i]) != fold(prefix[i])) return false;
  }
  return true;
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

size_t PathRootLength(std::string_view path) {
  if (IsVerbatim(path)) {
    const size_t at = kVerbatimPrefix.size();
    const std::string_view rest = path.substr(at);
    if (StartsWithNoCase(rest, "UNC\\")) return AfterServerAndShare(path, at + 4, true);
    if (rest.size() >= 2 && IsAsciiLetter(rest[0]) && rest[1] == ':') return at + (rest.size() > 2 && rest[2] == '\\' ? 3 : 2);
    // A volume or device name: "\\?\Volume{...}\".
    const size_t end = NextSeparator(path, at, true);
    return end < path.size() ? end + 1 : end;
  }
  if (path.size() >= 3 && IsSeparator(path[0], false) && IsSeparator(path[1], false) && !IsSeparator(path[2], false)) {
    return AfterServerAndShare(path, 2, false);
  }
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') {
    return path.size() > 2 && IsSeparator(path[2], false) ? 3 : 2;
  }
  return !path.empty() && IsSeparator(path[0], false) ? 1 : 0;
}

namespace internal {

size_t LastSeparator(std::string_view path) {
  const bool verbatim = IsVerbatim(path);
  size_t last = std::string_view::npos;
  for (size_t i = PathRootLength(path); i < path.size();) {
    if (IsSeparator(path[i], verbatim)) last = i;
    i += IsDBCSLeadByte(static_cast<unsigned char>(path[i])) ? 2 : 1;
  }
  return last;
}

}  // namespace internal

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

std::string DirectoryOf(std::string_view path) {
  const size_t sep = internal::LastSeparator(path);
  if (sep != std::string_view::npos) return std::string(path.substr(0, sep));
  return std::string(path.substr(0, PathRootLength(path)));
}

bool CreateDirectories(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return Fail(ErrorKind::kInvalid);
  if (IsDirectory(path)) return true;
  if (PathExists(path)) return Fail(ErrorKind::kNotADirectory);
  const std::string parent = DirectoryOf(path);
  if (!parent.empty() && parent != path && !CreateDirectories(parent)) return false;
  return MakeDirectory(path) || IsExists(LastError());
}

struct DirectorySearch::Impl {
  internal::DirectoryReader reader;
  std::string name;  // the wildcard name
  int dots = 0;      // how many of ".", ".." have been offered
};

DirectorySearch::DirectorySearch(std::string_view pattern) : impl_(std::make_unique<Impl>()) {
  const size_t sep = internal::LastSeparator(pattern);
  const size_t root = PathRootLength(pattern);
  std::string_view dir = ".";
  std::string_view name = pattern;
  if (sep != std::string_view::npos) {
    dir = pattern.substr(0, sep == 0 ? 1 : sep);
    name = pattern.substr(sep + 1);
  } else if (root > 0) {
    dir = pattern.substr(0, root);
    name = pattern.substr(root);
  }
  impl_->name = std::string(name);
  // In a "\\?\" path '/' separates nothing: a wildcard name holding one would quietly match
  // nothing, where the system refuses the name.
  if (IsVerbatim(pattern) && name.find('/') != std::string_view::npos) {
    Fail(ErrorKind::kInvalid);
    return;
  }
  impl_->reader.Open(dir);
}

DirectorySearch::~DirectorySearch() = default;

bool DirectorySearch::ok() const { return impl_->reader.isOpen(); }

bool DirectorySearch::Next(FindData& out) {
  if (!impl_->reader.isOpen()) return false;
  // "." and ".." come first, whether or not the system lists them (a root lists neither).
  while (impl_->dots < 2) {
    const char* dots = impl_->dots++ == 0 ? "." : "..";
    if (WildcardMatch(impl_->name, dots)) {
      out.name = dots;
      out.isDirectory = true;
      out.isLink = false;
      return true;
    }
  }
  while (impl_->reader.Read(out)) {
    if (WildcardMatch(impl_->name, out.name)) return true;
  }
  return false;
}

}  // namespace zan::os
