// The host's own calls to the system, in one place: whether a standard stream is a terminal,
// and the environment. (Loading the module is module.h's.)
#ifndef ZAN_CLI_HOST_SYSTEM_H_
#define ZAN_CLI_HOST_SYSTEM_H_

#include <string>

namespace zancli {

// Whether standard output / standard error is a terminal (escaping, progress lines).
bool StdoutIsTerminal();
bool StderrIsTerminal();
// The value of an environment variable; "" when it is unset or empty.
std::string EnvironmentValue(const char* name);

}  // namespace zancli

#endif
