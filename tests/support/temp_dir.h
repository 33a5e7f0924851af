// A fresh temporary directory for one test, removed with everything in it on destruction.
#ifndef ZAN_TESTS_SUPPORT_TEMP_DIR_H_
#define ZAN_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>

namespace zan::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative, in the system's own form: '\' for every '/' on Windows (as the
  // module writes local paths in its messages).
  std::string operator/(const std::string& relative) const;
  // Writes a file below the directory, creating its parent directories.
  void Write(const std::string& relative, const std::string& content) const;
  // The content of a file below the directory ("" when missing).
  std::string Read(const std::string& relative) const;

 private:
  std::string path_;
};

}  // namespace zan::test

#endif
