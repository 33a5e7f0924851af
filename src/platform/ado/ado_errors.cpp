#include "platform/ado/ado_errors.h"


#include "platform/com/com_error.h"
#include "platform/http/security.h"
#include "platform/http/user_info.h"
#include "platform/os/lasterror.h"

namespace zan::ado {
namespace {

// The realm the server named, and where credentials come from.
std::string AuthenticationDetail(const http::Response& reply, std::string_view url) {
  const std::string challenge = reply.GetHeader("WWW-Authenticate");
  const std::string realm = http::RealmOf(challenge);
  std::string detail = realm.empty() ? std::string() : ", realm \"" + realm + "\"";
  const bool basicOnly = challenge.size() >= 6 && (challenge.compare(0, 6, "Basic ") == 0 || challenge == "Basic");
  if (basicOnly && url.substr(0, 7) == "http://")
    detail += "; Basic authentication is used only over https";
  return detail + "; credentials come from the user info of the server URL, $NETRC or ~/.netrc, "
                  "or ZANCLIENT_USER and ZANCLIENT_PASSWORD";
}

}  // namespace

void ThrowForReply(const http::Response& reply, std::string_view method, std::string_view url) {
  HRESULT status = E_FAIL;
  const char* summary = "Unspecified error";
  switch (reply.status) {
    case 404:
    case 410:
      status = kAdErrUrlDoesNotExist;
      summary = "The resource does not exist";
      break;
    case 412:
      status = kAdErrResourceExists;
      summary = "The resource already exists";
      break;
    case 405:
      if (method == "MKCOL") {
        status = kAdErrResourceExists;
        summary = "The resource already exists";
      }
      break;
    case 423:
      status = kAdErrResourceLocked;
      summary = "The resource is locked";
      break;
    case 401:
      status = kAdErrPermissionDenied;
      summary = "Authentication failed";
      break;
    case 403:
      status = kAdErrPermissionDenied;
      summary = "Permission denied by the server";
      break;
    case 407:
      status = kAdErrPermissionDenied;
      summary = "Proxy authentication failed";
      break;
    default:
      break;
  }
  const std::string line = reply.statusLine.empty() ? "HTTP status " + std::to_string(reply.status) : reply.statusLine;
  const std::string detail = reply.status == 401 ? AuthenticationDetail(reply, url) : std::string();
  throw _com_error(status, std::string(summary) + ": " + line + detail + " (" + std::string(method) + " " +
                               http::MaskPasswords(url) + ")");
}

void ThrowForFile(uint32_t error, HRESULT otherwise, std::string_view what, std::string_view path) {
  HRESULT status = otherwise;
  if (os::IsNotFound(error) || os::IsNotADirectory(error)) {
    status = kAdErrUrlDoesNotExist;
  } else if (os::IsExists(error)) {
    status = kAdErrResourceExists;
  } else if (os::IsAccessDenied(error)) {
    status = kAdErrPermissionDenied;
  }
  throw _com_error(status, std::string(what) + " " + std::string(path) + ": " + os::SystemMessageLine(error));
}

}  // namespace zan::ado
