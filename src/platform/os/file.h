// File: the one owner of an open file of the system (a descriptor on POSIX). Paths follow the
// os rules of file_system.h ('\' and '/' both separate; a NUL byte names no file: EINVAL).
// A failing call returns false (or a closed File) and records the system's error as the
// thread's last error (lasterror.h). Move-only; closed on destruction.
// Thread: one File is used by one thread at a time.
#ifndef ZAN_PLATFORM_OS_FILE_H_
#define ZAN_PLATFORM_OS_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zan::os {

// Whether opening a path whose last component is a symbolic link follows it.
enum class Links { kRefuse, kFollow };

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // A regular file for reading. A FIFO or device is refused (EINVAL) without waiting for a
  // writer, a directory gives EISDIR; a symbolic link is refused (ELOOP) unless followed.
  static File OpenForReading(std::string_view path, Links links = Links::kRefuse);
  // A file for appending, created readable by its owner only when missing; a symbolic link is
  // not followed (ELOOP). Any kind of file (a terminal, a FIFO) is taken.
  static File OpenForAppending(std::string_view path);
  // A new file that must not exist yet (EEXIST), for writing.
  static File CreateNew(std::string_view path);
  // A file for an advisory lock beside the data it guards (Lock), opened for reading and
  // writing and created when missing. For a reader (forWriting false), one that cannot be
  // opened so is opened read-only.
  static File OpenLockFile(std::string_view path, bool forWriting);

  bool isOpen() const { return fd_ >= 0; }

  // Up to size bytes at the current offset; got 0 at the end of the file.
  bool Read(char* buffer, size_t size, size_t& got);
  // All the bytes, at the current offset.
  bool Write(std::string_view bytes);
  // The file's data and size reach the storage device.
  bool Sync();
  // The current size in bytes and the current offset; Seek moves to an absolute offset.
  bool Size(uint64_t& bytes) const;
  bool Offset(uint64_t& offset) const;
  bool Seek(uint64_t offset);
  // Gives the file the permission bits of the file at path (a link there is followed).
  bool CopyPermissionsOf(std::string_view path);
  // Takes a whole-file advisory lock (shared or exclusive), waiting for it; released on Close.
  bool Lock(bool exclusive);
  // Closes now and reports the close's own failure (a write may fail only here). A closed
  // File closes as success.
  bool Close();

 private:
  explicit File(int fd) : fd_(fd) {}
  static File OpenRegular(std::string_view path, int flags, Links links);
  int fd_ = -1;
};

}  // namespace zan::os

#endif
