// Whole files: the one read of a whole file and the atomic replacements, with Windows path
// rules ('\' and '/' both separate segments).
// A failing call returns false and records the system's error as the thread's last error
// (lasterror.h).
//
// Durability, the one rule for every file that replaces another (the registry, INI files,
// downloaded files): the new content is written to a temporary file in the destination's
// directory and made durable (fsync; Windows FlushFileBuffers) before the rename (Windows:
// MoveFileExW with write-through) puts it in place, so after a crash the
// destination holds the old content or the whole new one, never a partial file. The
// directory itself is not synced: a rename that a crash undoes leaves the old file (a sync of
// the directory per file made a download of 2,000 small files about a third slower).
#ifndef ZAN_PLATFORM_OS_FILE_IO_H_
#define ZAN_PLATFORM_OS_FILE_IO_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os/file.h"

namespace zan::os {

// Makes the file hold exactly the bytes, where nothing or a regular file of that name stands:
// a symbolic link there is refused (kIsALink), not followed or replaced, a directory too
// (kIsADirectory), and a FIFO or device (kInvalid) without waiting for a reader. The file is replaced as
// ReplaceWholeFile does, so a failure part-way leaves the old content.
bool WriteWholeFile(std::string_view path, std::string_view bytes);
// The whole content of a regular file (a symbolic link is followed); a missing file gives
// false with kNotFound, a directory kIsADirectory, a FIFO or device kInvalid (without waiting
// for a writer), and a file longer than maxBytes kTooLarge, without reading it.
bool ReadWholeFile(std::string_view path, std::string& bytes, uint64_t maxBytes = UINT64_MAX);

// A file that appears at its destination only complete: written under a temporary name in the
// destination's directory and renamed onto it by Commit (durability: see above). Destroyed
// without a successful Commit, the temporary file is removed and the destination stays as it
// was. The rename replaces a symbolic link at the destination, never the file it names.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file; false when the destination's directory takes no new file.
  bool Open(std::string_view destination);
  // The permission bits of the file now at the destination, for the replacement.
  bool KeepPermissions();
  bool Write(std::string_view bytes);
  // Makes the data durable and closes the temporary file (Commit does it when not done).
  bool Finish();
  // Renames the finished file onto the destination; a read-only one (Windows:
  // FILE_ATTRIBUTE_READONLY) is replaced as POSIX rename replaces a file without write
  // permission. Without overwrite an existing destination fails with kExists and stays as it was.
  bool Commit(bool overwrite);

 private:
  std::string destination_;
  std::string temporary_;
  File file_;
  bool finished_ = false;
  bool committed_ = false;
};

// Replaces the file's whole content atomically (ReplacingFile), keeping its permission bits
// when it exists.
bool ReplaceWholeFile(std::string_view path, std::string_view bytes);

}  // namespace zan::os

#endif
