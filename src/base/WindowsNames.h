// Names a Windows file system cannot store as themselves: the test a download applies to every
// name a server lists before it becomes a local path, where the local file system follows
// Windows' rules. Such a name would write to a device (CON, NUL, COM1, ...), into an alternate
// data stream ("a:b"), be refused by the system (*?"<>|), or lose a trailing dot or space and
// so land on another file; two names that differ only in case land on one file.
#ifndef ZAN_BASE_WINDOWSNAMES_H_
#define ZAN_BASE_WINDOWSNAMES_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zan::names {

// Why Windows cannot store name (UTF-8) as itself, or "" when it can: a reserved device name
// in any case and with any extension, a character of :*?"<>|/\ or a control character, a
// trailing dot or space, or an empty name.
std::string WindowsNameReason(std::string_view name);

// The name as Windows compares names: in UTF-16 as the file system gets it (a malformed byte
// becomes U+FFFD), case folded (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters),
// so that two names with the same key are one file there.
std::string WindowsNameKey(std::string_view name);

// The first pair of names among these that differ only in case ("" and "" when none).
std::pair<std::string, std::string> FirstCaseCollision(const std::vector<std::string>& names);

}  // namespace zan::names

#endif
