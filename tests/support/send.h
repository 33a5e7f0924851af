// One plain request through the transport, for a test's set-up and checks: no module code
// between the test and the server.
#ifndef ZAN_TESTS_SUPPORT_SEND_H_
#define ZAN_TESTS_SUPPORT_SEND_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/http/transport.h"

namespace zan::test {

// Any reply is returned; a transport failure throws as http::Perform does.
inline http::Response Send(const std::string& method, const std::string& url, std::vector<http::Header> headers = {},
                           std::optional<std::string_view> body = std::nullopt) {
  http::Request request;
  request.method = method;
  request.url = url;
  request.headers = std::move(headers);
  request.body = body;
  return http::Perform(request);
}

}  // namespace zan::test

#endif
