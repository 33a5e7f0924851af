// The host's own calls to the system, in one place, one backend per system
// (host_system_posix.cpp, host_system_win32.cpp): the command line and the standard streams as
// UTF-8, whether a standard stream is a terminal, and the environment. (Loading the module is
// module.h's.)
#ifndef ZAN_CLI_HOST_SYSTEM_H_
#define ZAN_CLI_HOST_SYSTEM_H_

#include <string>
#include <vector>

namespace zancli {

// The arguments of the command line as UTF-8, the program's name first. On POSIX argv as it
// is; on Windows the wide command line converted (argv is in the ANSI code page there).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// For its lifetime, the standard streams carry UTF-8 text: on a Windows console the output code
// page is UTF-8 and escape sequences are interpreted (both restored afterwards), and standard
// input is read as bytes; on POSIX nothing changes. One at a time, on the main thread.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;
};

// Whether standard output / standard error is a terminal (escaping, progress lines).
bool StdoutIsTerminal();
bool StderrIsTerminal();
// The value of an environment variable as UTF-8; "" when it is unset or empty.
std::string EnvironmentValue(const char* name);

}  // namespace zancli

#endif
