#include "cli/exit_codes.h"

#include <cstdio>

namespace zancli {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The module's texts for a refused login or access and for a failed TLS handshake; they may
// stand anywhere in the full error text (a connection failure wraps them).
bool IsAccessFailure(const std::string& text) {
  static const char* const kMarks[] = {
      "Authentication failed: ",        "Permission denied by the server: ",
      "Proxy authentication failed: ",  "The server's certificate was not accepted: ",
      "The client certificate could not be used: ", "The CA bundle could not be read: ",
      "A secure connection could not be established: ", "The server requires a client certificate",
      "The server did not accept the client certificate: ",
  };
  for (const char* mark : kMarks)
    if (text.find(mark) != std::string::npos) return true;
  return false;
}

}  // namespace

std::string StatusText(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

ExitCode ExitCodeFor(HRESULT hr, const std::string& errorText) {
  if (SUCCEEDED(hr)) return kExitOk;
  if (IsAccessFailure(errorText)) return kExitAccess;
  switch (static_cast<uint32_t>(hr)) {
    case 0x80040066:  // Item wasn't found.
    case 0x80040194:  // The item you requested was not found.
    case 0x800A0E91:  // The resource does not exist (a document or file the server lacks)
    case 0x800E0E91:  // the same, carried as the module's code (0x80040000 | 0x800A0E91)
      return kExitNotFound;
    case 0x80040067:  // The ZAN Server is not Connected
    case 0x80040068:  // Can not Connect to ...
      return kExitNotConnected;
    case 0x800403E9:  // No space allowed in Tag
    case 0x800403EA:  // XMLSet Child Count Error
    case 0x800403EB:  // XMLSet passed Xml not valid
    case 0x800403EC:  // a node name or node property value the repository cannot hold
      return kExitBadInput;
    case 0x80040000:  // code 0: an XML path the document lacks (an unknown environment, ...)
    case 0x80040001:  // code 1: among others, a local file that cannot be read or written
      if (StartsWith(errorText, "Xml path not found") || StartsWith(errorText, "Could not read file") ||
          StartsWith(errorText, "Could not write to file"))
        return kExitBadInput;
      return kExitServerError;
  }
  if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_TYPEMISMATCH ||
      hr == DISP_E_PARAMNOTFOUND || hr == DISP_E_PARAMNOTOPTIONAL || hr == DISP_E_MEMBERNOTFOUND ||
      hr == DISP_E_NONAMEDARGS)
    return kExitBadInput;
  if (hr == TYPE_E_LIBNOTREGISTERED || hr == TYPE_E_CANTLOADLIBRARY || hr == REGDB_E_CLASSNOTREG ||
      hr == REGDB_E_READREGDB || hr == REGDB_E_WRITEREGDB || hr == REGDB_E_IIDNOTREG ||
      hr == TYPE_E_REGISTRYACCESS || hr == CLASS_E_CLASSNOTAVAILABLE)
    return kExitModule;
  return kExitServerError;
}

const char* ExitCodeName(ExitCode code) {
  switch (code) {
    case kExitOk: return "ok";
    case kExitServerError: return "server error";
    case kExitBadInput: return "bad input";
    case kExitNotFound: return "not found";
    case kExitNotConnected: return "not connected";
    case kExitModule: return "module error";
    case kExitAccess: return "access refused";
  }
  return "error";
}

std::string ExitCodesHelp() {
  return "Exit codes:\n"
         "  0  success\n"
         "  1  server error: any other failure the module reports\n"
         "  2  bad input: usage error, unknown operation, missing argument, malformed XML\n"
         "     (0x800403E9..0x800403EC), a local file or an XML path that is not there\n"
         "     (0x80040000/0x80040001 'Xml path not found', 'Could not read file', ...)\n"
         "  3  not found: the node or resource does not exist (0x80040066, 0x80040194, 0x800E0E91)\n"
         "  4  not connected: no server given, or it cannot be reached (0x80040067, 0x80040068)\n"
         "  5  module error: the module cannot be loaded, create its object, or find its\n"
         "     registered type library (run 'zan register')\n"
         "  6  access refused: authentication failed (401), permission denied (403), or the\n"
         "     server's certificate or the TLS connection was not accepted\n"
         "A failure prints the operation, its status and the module's full error text on stderr.\n";
}

}  // namespace zancli
