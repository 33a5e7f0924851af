// The calling thread's last error, as the Windows API keeps it: every os call that fails
// records its errno here; callers read it right after the failing call.
#ifndef ZAN_PLATFORM_OS_LASTERROR_H_
#define ZAN_PLATFORM_OS_LASTERROR_H_

#include <cstdint>
#include <string>

namespace zan::os {

uint32_t GetLastError();
void SetLastError(uint32_t error);
// The system's message text for an error number, ending in CR LF like a system message.
std::string SystemMessage(uint32_t error);

}  // namespace zan::os

#endif
