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

}  // namespace zan::os::internal

#endif
