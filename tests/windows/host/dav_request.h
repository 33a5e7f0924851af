// Lays a test tree on the server directly, beside the module: one request through the
// platform's HTTP transport (WinHTTP), its status.
#ifndef ZAN_TESTS_WINDOWS_HOST_DAV_REQUEST_H_
#define ZAN_TESTS_WINDOWS_HOST_DAV_REQUEST_H_

#include <string>

#include "platform/http/transport.h"

namespace zan::test {

inline long DavRequest(const std::string& method, const std::string& url, const std::string& body = "") {
  zan::http::Request request;
  request.method = method;
  request.url = url;
  if (method == "PUT") request.body = body;
  return zan::http::Perform(request).status;
}

}  // namespace zan::test

#endif
