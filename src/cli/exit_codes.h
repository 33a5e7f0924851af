// The exit status of zan: one code per class of failure, so scripts can tell a missing node
// from a server that is not there from a mistake on the command line.
#ifndef ZAN_CLI_EXIT_CODES_H_
#define ZAN_CLI_EXIT_CODES_H_

#include <string>

#include "zanclient/com.h"

namespace zancli {

enum ExitCode : int {
  kExitOk = 0,
  kExitServerError = 1,   // any other failure the module reports (server refused, I/O, ...)
  kExitBadInput = 2,      // usage errors, malformed XML, a local file or XML path that is not there
  kExitNotFound = 3,      // the node or resource does not exist (0x80040066, 0x80040194)
  kExitNotConnected = 4,  // no server, or it cannot be reached (0x80040067, 0x80040068)
  kExitModule = 5,        // the module cannot be loaded, created or registered
  kExitAccess = 6,        // the server refused the credentials or the access, or TLS failed
};

// The class of a failure status; errorText (the error information's description) tells apart
// the failures of code 0 and 1 that come from the caller's local paths and documents.
ExitCode ExitCodeFor(HRESULT hr, const std::string& errorText);

// The status as zan prints it: "0x" and eight upper-case hex digits.
std::string StatusText(HRESULT hr);

// A short name of the class ("not found", ...).
const char* ExitCodeName(ExitCode code);

// The table of codes for --help.
std::string ExitCodesHelp();

}  // namespace zancli

#endif
