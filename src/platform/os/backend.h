// What the portable files of the os folder take from each system's backend files
// (name_posix.cpp, name_win32.cpp). Private to src/platform/os: no file outside it includes this.
#ifndef ZAN_PLATFORM_OS_BACKEND_H_
#define ZAN_PLATFORM_OS_BACKEND_H_

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "platform/os/file_system.h"

namespace zan::os::internal {

// The path checked and in native form (ToNativePath), or false with the last error set: an
// empty path names no file (kNotFound) when emptyIsMissing, and a NUL byte would silently name
// another file (kInvalid).
bool NativePath(std::string_view path, std::string& out, bool emptyIsMissing = false);

// Bytes of the character at s[i] in the process code page: two for a lead byte (one when the
// trail byte is missing), a whole well-formed UTF-8 sequence, else one.
size_t CharLength(std::string_view s, size_t i);
// The path with every separating `from` byte turned into `to` (double-byte trail bytes kept).
std::string ReplaceSeparators(std::string_view path, char from, char to);
// Index of the last separator after the path's root, or npos.
size_t LastSeparator(std::string_view path);

// The entries of one directory except "." and "..", in the directory's order.
class DirectoryReader {
 public:
  DirectoryReader();
  ~DirectoryReader();
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  // False with the last error set when the directory cannot be read.
  bool Open(std::string_view directory);
  bool isOpen() const;
  // The next entry (name, isDirectory: what a link points to, isLink); false at the end or on
  // failure (last error set).
  bool Read(FindData& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Renames from onto to (both native). overwrite: replaces a file there atomically, durably on
// Windows (write-through), a read-only one too (as POSIX rename does in a writable directory);
// else an existing `to` fails with kExists and stays as it was.
bool RenameFile(const std::string& from, const std::string& to, bool overwrite);
// True when nothing, or a regular file, stands at the native path (a link is not followed);
// else false with kIsALink, kIsADirectory or kInvalid (a FIFO, device or socket).
bool NothingOrRegularFile(const std::string& native);
// The calling process's id, for names of temporary files.
uint32_t ProcessId();

// Calendar arithmetic on the proleptic Gregorian calendar, with no time zone: the seconds
// since 1970 of tm's fields (normalised as mktime would: a month 12 is next January), and back
// (with tm_wday and tm_yday; tm_isdst 0).
int64_t SecondsOfFields(const std::tm& tm);
void FieldsOfSeconds(int64_t seconds, std::tm& out);

}  // namespace zan::os::internal

#endif
