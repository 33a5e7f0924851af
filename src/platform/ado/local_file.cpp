#include "platform/ado/local_file.h"

#include <utility>

#include "platform/ado/ado_errors.h"
#include "platform/com/com_error.h"
#include "platform/os/lasterror.h"

namespace zan::ado::internal {
namespace {

uint32_t LastError() { return os::LastError(); }

}  // namespace

os::File OpenLocalFile(const std::string& path) {
  os::File file = os::File::OpenForReading(path);
  if (!file.isOpen()) {
    const uint32_t error = LastError();
    if (os::IsADirectory(error) || os::IsInvalid(error)) throw _com_error(kAdErrOpeningFile, "Not a regular file: " + path);
    ThrowForFile(error, kAdErrOpeningFile, "Cannot open", path);
  }
  return file;
}

size_t ReadLocalFile(os::File& file, char* buffer, size_t size, const std::string& path) {
  size_t got = 0;
  if (!file.Read(buffer, size, got)) ThrowForFile(LastError(), kAdErrReadFile, "Cannot read", path);
  return got;
}

ReplacingFile::ReplacingFile(std::string destination) : destination_(std::move(destination)) {
  if (!file_.Open(destination_))
    ThrowForFile(LastError(), kAdErrOpeningFile, "Cannot create a file in the directory of", destination_);
}

void ReplacingFile::Write(std::string_view bytes) {
  if (!file_.Write(bytes)) ThrowForFile(LastError(), kAdErrWriteFile, "Cannot write", destination_);
}

void ReplacingFile::Commit(bool overwrite) {
  if (!file_.Finish()) ThrowForFile(LastError(), kAdErrWriteFile, "Cannot write", destination_);
  if (!file_.Commit(overwrite)) ThrowForFile(LastError(), kAdErrWriteFile, "Cannot replace", destination_);
}

}  // namespace zan::ado::internal
