// The process's standard output.
#ifndef ZAN_PLATFORM_OS_STANDARD_OUTPUT_H_
#define ZAN_PLATFORM_OS_STANDARD_OUTPUT_H_

#include <string_view>

namespace zan::os {

// Writes the bytes as they are and flushes; errors are ignored, as for printf.
void WriteStdout(std::string_view text);

}  // namespace zan::os

#endif
