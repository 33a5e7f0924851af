// The process code page: 8-bit text inside the system is UTF-8 (code page 65001). A
// double-byte code page (932) can be switched on so that lead-byte rules are testable;
// it changes only IsDBCSLeadByte (and, on Windows, how paths become UTF-16), never the
// conversions below. The setting belongs to the module, not to the system: on Windows too the
// default is UTF-8 whatever the system's ANSI code page is.
#ifndef ZAN_PLATFORM_OS_CODEPAGE_H_
#define ZAN_PLATFORM_OS_CODEPAGE_H_

#include <string>
#include <string_view>

namespace zan::os {

constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageShiftJis = 932;

unsigned GetACP();
// Switches the process code page (65001 or 932); returns the previous one.
unsigned SetACP(unsigned codePage);
// True when b starts a two-byte character in the current code page (Windows: IsDBCSLeadByteEx).
bool IsDBCSLeadByte(unsigned char b);

// UTF-8 <-> UTF-16. Malformed input becomes U+FFFD; nothing is dropped silently.
std::u16string MultiByteToWide(std::string_view text);
std::string WideToMultiByte(std::u16string_view text);

}  // namespace zan::os

#endif
