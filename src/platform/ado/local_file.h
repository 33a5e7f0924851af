// Local files for the record copies: a file descriptor owner, and a destination file that
// appears only complete. Internal to the ado objects.
#ifndef ZAN_PLATFORM_ADO_LOCAL_FILE_H_
#define ZAN_PLATFORM_ADO_LOCAL_FILE_H_

#include <string>
#include <string_view>

namespace zan::ado::internal {

// Owns one file descriptor; closes it on destruction.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  // Closes now; the errno of a failing close, else 0.
  int Close();

 private:
  int fd_;
};

// A file written under a temporary name in the destination's directory and renamed onto
// the destination by Commit, so the destination never holds a partial file. Destroyed
// without Commit, the temporary file is removed. Failures throw _com_error (ado_errors.h).
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string destination);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void Write(std::string_view bytes);
  // Renames the finished file onto the destination; without overwrite an existing
  // destination fails with kAdErrResourceExists and stays as it was.
  void Commit(bool overwrite);

 private:
  std::string destination_;
  std::string temporary_;
  UniqueFd fd_;
  bool committed_ = false;
};

}  // namespace zan::ado::internal

#endif
