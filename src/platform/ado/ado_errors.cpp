#include "platform/ado/ado_errors.h"

#include <cerrno>
#include <cstring>

#include "platform/com/com_error.h"

namespace zan::ado {

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
    case 403:
    case 407:
      status = kAdErrPermissionDenied;
      summary = "Permission denied";
      break;
    default:
      break;
  }
  const std::string line = reply.statusLine.empty() ? "HTTP status " + std::to_string(reply.status) : reply.statusLine;
  throw _com_error(status, std::string(summary) + ": " + line + " (" + std::string(method) + " " + std::string(url) + ")");
}

void ThrowForFile(int error, HRESULT otherwise, std::string_view what, std::string_view path) {
  HRESULT status = otherwise;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      status = kAdErrUrlDoesNotExist;
      break;
    case EEXIST:
      status = kAdErrResourceExists;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      status = kAdErrPermissionDenied;
      break;
    default:
      break;
  }
  throw _com_error(status, std::string(what) + " " + std::string(path) + ": " + std::strerror(error));
}

}  // namespace zan::ado
