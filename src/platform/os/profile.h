// The private-profile (INI) string write of the Windows API, for one key at a time. The same
// writer serves every system (Windows too, rather than WritePrivateProfileStringW): the file
// keeps UTF-8 text and its own line ends, and is replaced atomically; the system call writes
// the ANSI code page (or UTF-16 into a file that starts so) and rewrites the file in place.
#ifndef ZAN_PLATFORM_OS_PROFILE_H_
#define ZAN_PLATFORM_OS_PROFILE_H_

#include <string_view>

namespace zan::os {

// Sets key = value in [section] of the INI file fileName (Windows path rules):
// - a missing file is created (line end "\r\n");
// - a missing section is appended at the end as a "[section]" line, followed by the key;
// - an existing key of the section (section and key names compared case-insensitively,
//   blanks around them ignored) keeps its text up to and including '=' and gets the new
//   value; a missing key is added after the section's last non-blank line;
// - every other line stays byte for byte; new lines use the file's own line end.
// The file is replaced through a temporary file in its directory and a rename, so a reader
// sees the old or the new content. Writes are serialised within the process.
// False with the last error set on failure (an empty section or key name, or a key that
// would read back as a comment or a section header, starting with ';' or '[': kInvalid).
bool WriteIniString(std::string_view section, std::string_view key, std::string_view value,
                    std::string_view fileName);

}  // namespace zan::os

#endif
