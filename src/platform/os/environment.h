// The process environment and the user's account, as the host gives them.
#ifndef ZAN_PLATFORM_OS_ENVIRONMENT_H_
#define ZAN_PLATFORM_OS_ENVIRONMENT_H_

#include <string>

namespace zan::os {

// The value of an environment variable; "" when it is unset or empty.
std::string EnvironmentValue(const char* name);
// The user's home directory: $HOME when set, else the account's; "." when neither is known.
std::string HomeDirectory();

}  // namespace zan::os

#endif
