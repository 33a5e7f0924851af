// UTF-8 <-> UTF-16 for the host side of the automation interface (the module's strings are
// UTF-16 BSTRs; the command line and the terminal speak UTF-8). Malformed input becomes
// U+FFFD; nothing is dropped silently.
#ifndef ZAN_CLI_UTF_H_
#define ZAN_CLI_UTF_H_

#include <string>
#include <string_view>

namespace zancli {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace zancli

#endif
