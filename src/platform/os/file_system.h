// The file system with Windows path rules on every system: '\' and '/' both separate segments
// (a 0x5C byte that is the trail byte of a double-byte character is not a separator; in a
// "\\?\" path only '\' separates). Paths are 8-bit text in the process code page
// (codepage.h); the Windows backend passes them on as UTF-16.
// Every call that fails records the system's error as the thread's last error (lasterror.h);
// a path holding a NUL byte names no file and fails with ErrorKind::kInvalid.
#ifndef ZAN_PLATFORM_OS_FILE_SYSTEM_H_
#define ZAN_PLATFORM_OS_FILE_SYSTEM_H_

#include <memory>
#include <string>
#include <string_view>

namespace zan::os {

// The path with every separator in the system's form: POSIX turns each separating '\' into
// '/', Windows each '/' into '\' (a "\\?\" path is left as it is).
std::string ToNativePath(std::string_view path);
// The path as the file calls of this os layer pass it to the system. POSIX: ToNativePath.
// Windows: the full path in the extended-length form, so that no MAX_PATH limit applies
// ("C:/a/../b" -> "\\?\C:\b", "\\server\share\x" -> "\\?\UNC\server\share\x"; win32_text.h).
std::string SystemPath(std::string_view path);
// Bytes of the path's root, the part no parent directory is taken from: "/" or "\" (1),
// "C:" (2, drive-relative), "C:/" or "C:\" (3), "//server/share" or "\\server\share"
// (with the separator after it when there is one), "\\?\C:\", "\\?\UNC\server\share\";
// 0 for a relative path. The same on every system.
size_t PathRootLength(std::string_view path);
// The directory part of a path without its final separator; a name directly under a root
// gives the root itself ("/", "C:\", "//server/share/", "\\?\C:\"), and so does the root;
// "" for a bare name. The same on every system.
std::string DirectoryOf(std::string_view path);
// The absolute form of path with every symbolic link resolved; false when a part is missing.
bool ResolvedPath(std::string_view path, std::string& out);
// Makes the directory and its missing parents; true when it exists afterwards as a directory.
bool CreateDirectories(std::string_view path);
// Existence of a file or directory (no access check).
bool PathExists(std::string_view path);
bool IsDirectory(std::string_view path);
// Whether the path's last component is a symbolic link, not followed (a dangling link counts);
// on Windows any reparse point: a symbolic link, a junction, a mount point.
bool IsSymbolicLink(std::string_view path);
// True where local file names follow Windows' rules (reserved device names, no :*?"<>|, no
// trailing dot or space, case-insensitive): on Windows; false elsewhere.
bool LocalNamesFollowWindowsRules();
// One level; the parent must exist. False with the last error set on failure.
bool MakeDirectory(std::string_view path);
// An empty directory. False with the last error set on failure.
bool RemoveDirectoryAt(std::string_view path);
// A file, or a symbolic link itself (never what it points to).
bool RemoveFile(std::string_view path);
// The absolute form of a path (native separators); the path itself when it cannot be resolved.
std::string FullPath(std::string_view path);

struct FindData {
  std::string name;  // the entry's name, without its directory
  bool isDirectory = false;  // a link reports what it points to
  bool isLink = false;       // a symbolic link, on Windows any reparse point (removing it with
                             // RemoveFile leaves its target alone)
};

// Windows wildcard matching of one name: '*' any run, '?' one character (a multi-byte
// character counts as one), letters compared ASCII case-insensitively; "*" and "*.*" match
// every name, and a pattern ending in ".*" also matches the name without an extension.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// A directory search in the manner of FindFirstFile/FindNextFile: the pattern is a
// directory, a separator and a wildcard name ('*' any run, '?' one character, "*.*"
// everything). A directory's search yields "." and ".." first (when they match), then the
// other matching entries in the directory's order. A pattern without separator searches the
// current directory. Names are matched by WildcardMatch on every system (the Windows search
// would also match a name by its short 8.3 form). A "\\?\" pattern whose wildcard name holds
// '/' fails (kInvalid), as the system refuses it. Closed on destruction. One thread at a time.
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
