// Local files for the record copies, on the os file primitives: a source file opened only as
// a regular file, and a destination file that appears only complete. Internal to the ado
// objects. Failures throw _com_error (ado_errors.h).
#ifndef ZAN_PLATFORM_ADO_LOCAL_FILE_H_
#define ZAN_PLATFORM_ADO_LOCAL_FILE_H_

#include <string>
#include <string_view>

#include "platform/os/file.h"
#include "platform/os/file_io.h"

namespace zan::ado::internal {

// A regular file for reading: a symbolic link is not followed and a FIFO or device is refused
// without waiting for a writer.
os::File OpenLocalFile(const std::string& path);
// Reads up to size bytes of a file opened from path; 0 at its end.
size_t ReadLocalFile(os::File& file, char* buffer, size_t size, const std::string& path);

// A file written under a temporary name in the destination's directory and renamed onto the
// destination by Commit, so the destination never holds a partial file (os::ReplacingFile).
// Destroyed without Commit, the temporary file is removed.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string destination);

  void Write(std::string_view bytes);
  // Renames the finished file onto the destination; without overwrite an existing
  // destination fails with kAdErrResourceExists and stays as it was.
  void Commit(bool overwrite);

 private:
  std::string destination_;
  os::ReplacingFile file_;
};

}  // namespace zan::ado::internal

#endif
