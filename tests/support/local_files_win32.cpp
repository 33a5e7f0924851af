// Windows has no FIFOs in the file system, no POSIX permission bits, no superuser and no file
// size limit of a process.
#include "support/local_files.h"

namespace zan::test {

bool MakeFifo(const std::string&) { return false; }

int FileMode(const std::string&) { return -1; }

bool SetFileMode(const std::string&, int) { return false; }

bool RunsAsRoot() { return false; }

bool WithFileSizeLimit(size_t, const std::function<void()>&) { return false; }

}  // namespace zan::test
