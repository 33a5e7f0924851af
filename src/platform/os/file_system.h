// The file system with Windows path rules on POSIX: '\' and '/' both separate segments
// (a 0x5C byte that is the trail byte of a double-byte character is not a separator).
// Every call that fails records errno as the thread's last error (lasterror.h); a path
// holding a NUL byte names no file and fails with EINVAL.
#ifndef ZAN_PLATFORM_OS_FILE_SYSTEM_H_
#define ZAN_PLATFORM_OS_FILE_SYSTEM_H_

#include <memory>
#include <string>
#include <string_view>

namespace zan::os {

// The path with every separating backslash turned into '/'.
std::string ToNativePath(std::string_view path);
// The directory part of a path without its final separator ("/" for a name in the root
// directory); "" for a bare name.
std::string DirectoryOf(std::string_view path);
// The absolute form of path with every symbolic link resolved; false when a part is missing.
bool ResolvedPath(std::string_view path, std::string& out);
// Makes the directory and its missing parents; true when it exists afterwards as a directory.
bool CreateDirectories(std::string_view path);
// Existence of a file or directory (no access check).
bool PathExists(std::string_view path);
bool IsDirectory(std::string_view path);
// Whether the path's last component is a symbolic link, not followed (a dangling link counts).
bool IsSymbolicLink(std::string_view path);
// One level; the parent must exist. False with the last error set on failure.
bool CreateDirectory(std::string_view path);
// An empty directory. False with the last error set on failure.
bool RemoveDirectory(std::string_view path);
bool DeleteFile(std::string_view path);
// The absolute form of a path (native separators); the path itself when it cannot be resolved.
std::string FullPath(std::string_view path);

struct FindData {
  std::string name;  // the entry's name, without its directory
  bool isDirectory = false;  // a link reports what it points to
  bool isLink = false;       // a symbolic link (removing it with DeleteFile leaves its target alone)
};

// Windows wildcard matching of one name: '*' any run, '?' one character (a multi-byte
// character counts as one), letters compared ASCII case-insensitively; "*" and "*.*" match
// every name, and a pattern ending in ".*" also matches the name without an extension.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// A directory search in the manner of FindFirstFile/FindNextFile: the pattern is a
// directory, a separator and a wildcard name ('*' any run, '?' one character, "*.*"
// everything). A directory's search yields "." and ".." first (when they match), then the
// other matching entries in the directory's order. A pattern without separator searches the
// current directory. The search is closed on destruction. One thread at a time.
class DirectorySearch {
 public:
  explicit DirectorySearch(std::string_view pattern);
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  // False when the search could not be started (directory missing: last error set). A
  // search that matches nothing is ok() and yields nothing.
  bool ok() const;
  // The next matching entry; false at the end.
  bool Next(FindData& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zan::os

#endif
