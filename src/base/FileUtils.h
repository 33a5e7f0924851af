// CFileUtils: stateless helpers for local paths in the Windows style. Paths are 8-bit text
// in the process code page; every scan is multi-byte aware (a lead byte and the byte after
// it form one character that never matches a separator). Separators: '\' and, where said,
// '/'. Failures are CGenException with code 0 and empty class and method names.
#ifndef ZAN_BASE_FILEUTILS_H_
#define ZAN_BASE_FILEUTILS_H_

#include <string>
#include <string_view>

class CFileUtils {
 public:
  virtual ~CFileUtils() = default;

  // Index of the first backslash, or -1 (also for an empty path).
  static int FindBackSlash(std::string_view path);
  // Pointer to the first backslash of a C string, or null (also for a null argument).
  static const char* FindBackSlash(const char* path);
  // Index of the last backslash, or -1.
  static int ReverseFindBackSlash(std::string_view path);
  // True when the path ends in a backslash; false for an empty path.
  static bool IsBackSlashRight(std::string_view path);
  // True when a file or directory of that name exists (trailing backslashes ignored; no
  // access check). A null C string does not exist.
  static bool FileExists(const std::string& path);
  static bool FileExists(const char* path);
  // The path without one trailing backslash, or else one trailing slash.
  static std::string RemoveTrailingSlash(std::string_view path);
  // Every backslash turned into a slash / every slash into a backslash (trail bytes untouched).
  static std::string ToForwardSlashes(std::string_view path);
  static std::string ToBackSlashes(std::string_view path);
  // Why the path cannot serve as a local directory to read from: "" when it is an existing,
  // searchable directory; else a sentence naming the path (empty, missing, not a
  // directory, or not readable with the system's text).
  static std::string LocalDirectoryProblem(const std::string& path);
  // Deletes a directory with everything below it, depth first; true when the path is null,
  // empty or missing. The outcome of the single deletions is not examined; false only when
  // something raises on the way. A symbolic link below it is removed, never followed.
  static bool DeleteDirectory(const char* path);
};

#endif
