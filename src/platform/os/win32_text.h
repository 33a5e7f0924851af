// Text for the wide-character system calls of the Windows backend files: 8-bit text of the
// process code page (codepage.h; UTF-8 by default) to UTF-16 and back. Private to the
// *_win32.cpp files of src/platform/os.
#ifndef ZAN_PLATFORM_OS_WIN32_TEXT_H_
#define ZAN_PLATFORM_OS_WIN32_TEXT_H_

#include <string>
#include <string_view>

namespace zan::os::internal {

// UTF-8 through the module's own conversion (malformed bytes become U+FFFD), any other code
// page through MultiByteToWideChar.
std::wstring Wide(std::string_view text);
std::string Narrow(std::wstring_view text);

// A native path (ToNativePath) as the file calls hand it to the system, free of the MAX_PATH
// limit: the full path (GetFullPathNameW: '/' and '\' separate, "." and ".." resolved, a last
// component's trailing dots and spaces dropped, as the system treats any path it is given) in
// the extended-length form "\\?\C:\..." or "\\?\UNC\server\share\...", which the system takes
// verbatim. A path already in the "\\?\" form, a device path ("\\.\...", which a device name
// such as NUL becomes) and one the system cannot make full are passed on as they are.
std::wstring WideSystemPath(std::string_view native);

}  // namespace zan::os::internal

#endif
