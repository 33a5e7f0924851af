// The process environment and the user's account, as the host gives them.
#ifndef ZAN_PLATFORM_OS_ENVIRONMENT_H_
#define ZAN_PLATFORM_OS_ENVIRONMENT_H_

#include <string>

namespace zan::os {

// The value of an environment variable (Windows: its UTF-16 value as UTF-8); "" when it is
// unset or empty. Every read of the environment in the module goes through here.
std::string EnvironmentValue(const char* name);
// The user's home directory: POSIX $HOME when set, else the account's; Windows %USERPROFILE%;
// "." when none is known.
std::string HomeDirectory();
// The directory for temporary files, with a final separator: POSIX "/tmp/"; Windows the
// user's temporary directory (GetTempPathW).
std::string TemporaryDirectory();

}  // namespace zan::os

#endif
