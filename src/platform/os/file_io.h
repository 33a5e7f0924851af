// Whole-file reads and writes with Windows path rules ('\' and '/' both separate segments).
// A failing call returns false and records errno as the thread's last error (lasterror.h).
#ifndef ZAN_PLATFORM_OS_FILE_IO_H_
#define ZAN_PLATFORM_OS_FILE_IO_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace zan::os {

// Creates or truncates the file, writes the bytes and closes it (handing them to the system).
// Writes only a regular file of that name: a symbolic link there is not followed (ELOOP) and
// a FIFO or device is refused (EINVAL) without waiting for a reader.
bool WriteWholeFile(std::string_view path, std::string_view bytes);
// The whole content of a regular file; a directory or missing file gives false, and so does
// a file longer than maxBytes (last error EFBIG), without reading it.
bool ReadWholeFile(std::string_view path, std::string& bytes, uint64_t maxBytes = UINT64_MAX);

}  // namespace zan::os

#endif
