// Local file fixtures that only some systems can make (local_files_posix.cpp,
// local_files_win32.cpp). Tests that need one skip on the others (ZAN_SKIP_ON_WINDOWS), so
// these fail loudly rather than pretend.
#ifndef ZAN_TESTS_SUPPORT_LOCAL_FILES_H_
#define ZAN_TESTS_SUPPORT_LOCAL_FILES_H_

#include <functional>
#include <string>

namespace zan::test {

// Makes a FIFO (named pipe in the file system) at path; false when it cannot.
bool MakeFifo(const std::string& path);
// The POSIX permission bits of path (-1 when they cannot be read), and setting them.
int FileMode(const std::string& path);
bool SetFileMode(const std::string& path, int mode);
// Whether the process runs as the superuser (who may read any directory).
bool RunsAsRoot();
// Runs body with the process's file size limit lowered to limit bytes, so a longer write fails
// as on a full disk (EFBIG); false (body not run) where there is no such limit.
bool WithFileSizeLimit(size_t limit, const std::function<void()>& body);

}  // namespace zan::test

#endif
