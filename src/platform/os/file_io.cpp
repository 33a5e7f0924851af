// The portable half of file_io.h: the whole-file read and the replacement through a
// temporary file, over the backend's RenameFile.
#include "platform/os/file_io.h"

#include <atomic>
#include <utility>

#include "platform/os/backend.h"
#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {
std::atomic<unsigned> g_temporaryCounter{0};
}  // namespace

bool WriteWholeFile(std::string_view path, std::string_view bytes) {
  std::string native;
  return internal::NativePath(path, native) && internal::NothingOrRegularFile(native) &&
         ReplaceWholeFile(path, bytes);
}

bool ReadWholeFile(std::string_view path, std::string& bytes, uint64_t maxBytes) {
  File file = File::OpenForReading(path, Links::kFollow);
  uint64_t size = 0;
  if (!file.isOpen() || !file.Size(size)) return false;
  if (size > maxBytes) return Fail(ErrorKind::kTooLarge);
  std::string out;
  out.reserve(static_cast<size_t>(size));
  char buf[65536];
  for (;;) {
    size_t n = 0;
    if (!file.Read(buf, sizeof buf, n)) return false;
    if (n == 0) break;
    if (out.size() + n > maxBytes) return Fail(ErrorKind::kTooLarge);  // grown since it was opened
    out.append(buf, n);
  }
  bytes = std::move(out);
  return true;
}

ReplacingFile::~ReplacingFile() {
  file_.Close();
  if (!committed_ && !temporary_.empty()) {
    const uint32_t error = LastError();  // the failure that stopped the caller stays its last error
    RemoveFile(temporary_);
    SetLastError(error);
  }
}

bool ReplacingFile::Open(std::string_view destination) {
  if (!internal::NativePath(destination, destination_, true)) return false;
  std::string dir = DirectoryOf(destination_);
  if (dir.empty()) dir = ".";
  const char separator = ToNativePath("/")[0];
  if (dir.back() != '/' && dir.back() != '\\') dir += separator;
  for (int attempt = 0;; ++attempt) {
    temporary_ = dir + ".zan-" + std::to_string(internal::ProcessId()) + "-" + std::to_string(g_temporaryCounter++) +
                 ".part";
    file_ = File::CreateNew(temporary_);
    if (file_.isOpen()) return true;
    if (!IsExists(LastError()) || attempt > 100) {
      temporary_.clear();
      return false;
    }
  }
}

bool ReplacingFile::KeepPermissions() { return file_.CopyPermissionsOf(destination_); }

bool ReplacingFile::Write(std::string_view bytes) { return file_.Write(bytes); }

bool ReplacingFile::Finish() {
  if (finished_) return true;
  if (!file_.Sync() || !file_.Close()) return false;
  finished_ = true;
  return true;
}

bool ReplacingFile::Commit(bool overwrite) {
  if (temporary_.empty() || !Finish()) return false;
  if (!internal::RenameFile(temporary_, destination_, overwrite)) return false;
  committed_ = true;
  return true;
}

bool ReplaceWholeFile(std::string_view path, std::string_view bytes) {
  ReplacingFile file;
  if (!file.Open(path)) return false;
  if (PathExists(path) && !file.KeepPermissions()) return false;
  return file.Write(bytes) && file.Commit(true);
}

}  // namespace zan::os
