// File: the one owner of an open file of the system (a descriptor on POSIX, a HANDLE on
// Windows). Paths follow the os rules of file_system.h ('\' and '/' both separate; a NUL byte
// names no file: ErrorKind::kInvalid). A failing call returns false (or a closed File) and
// records the system's error as the thread's last error (lasterror.h). Move-only; closed on
// destruction. On Windows a file is opened sharing read, write and delete, so a reader never
// keeps a replacement (ReplacingFile) from being renamed over it.
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

  // A regular file for reading. A FIFO or device is refused (kInvalid) without waiting for a
  // writer, a directory gives kIsADirectory; a symbolic link (on Windows any reparse point)
  // is refused (kIsALink) unless followed.
  static File OpenForReading(std::string_view path, Links links = Links::kRefuse);
  // A file for appending, created readable by its owner only when missing (POSIX mode 0600;
  // Windows: the directory's inherited security); a symbolic link is not followed (kIsALink).
  // Any kind of file (a terminal, a FIFO) is taken.
  static File OpenForAppending(std::string_view path);
  // A new file that must not exist yet (kExists), for writing.
  static File CreateNew(std::string_view path);
  // A file for an advisory lock beside the data it guards (Lock), opened for reading and
  // writing and created when missing. For a reader (forWriting false), one that cannot be
  // opened so is opened read-only.
  static File OpenLockFile(std::string_view path, bool forWriting);

  bool isOpen() const { return handle_ != kClosed; }

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
  // Gives the file the permission bits of the file at path (a link there is followed). On
  // Windows a new file already carries its directory's inherited security: nothing to copy.
  bool CopyPermissionsOf(std::string_view path);
  // Takes a whole-file lock (shared or exclusive), waiting for it; released on Close. POSIX:
  // advisory (flock); Windows: LockFileEx, which other writers of the range also meet.
  bool Lock(bool exclusive);
  // Closes now and reports the close's own failure (a write may fail only here). A closed
  // File closes as success.
  bool Close();

 private:
  // The system's descriptor or HANDLE as an integer; kClosed (-1, also INVALID_HANDLE_VALUE)
  // when closed. Only the backend file interprets it.
  static constexpr intptr_t kClosed = -1;
  explicit File(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kClosed;
};

}  // namespace zan::os

#endif
