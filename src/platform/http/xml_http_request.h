// XmlHttpRequest: the platform's XML HTTP request object ("Msxml2.XMLHTTP", IXMLHTTPRequest)
// over the transport of transport.h. Synchronous only: send() returns when the whole reply
// has arrived. The reply body is kept as bytes (responseText); a caller that wants a DOM
// parses responseText itself. One object serves one request at a time; open() starts the
// next. Used on the thread that created it. Failing calls throw _com_error; successful
// calls return S_OK.
#ifndef ZAN_PLATFORM_HTTP_XML_HTTP_REQUEST_H_
#define ZAN_PLATFORM_HTTP_XML_HTTP_REQUEST_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/object_ptr.h"
#include "platform/http/transport.h"
#include "zanclient/com.h"

namespace zan::http {

// E_PENDING: the reply is asked for before a send() has completed.
constexpr HRESULT kErrNotReady = MAKE_HRESULT_U(0x8000000A);

class XmlHttpRequest {
 public:
  // readyState values.
  static constexpr long kUninitialized = 0;
  static constexpr long kOpened = 1;
  static constexpr long kCompleted = 4;

  XmlHttpRequest() = default;
  XmlHttpRequest(const XmlHttpRequest&) = delete;
  XmlHttpRequest& operator=(const XmlHttpRequest&) = delete;

  // Starts a new request: any method token, an http or https URL as raw text (it is
  // percent-encoded on the wire). async must be false (E_NOTIMPL otherwise). A non-empty user
  // is sent as HTTP authentication. Drops the headers and the reply of the previous request.
  // E_INVALIDARG for a bad method or URL.
  HRESULT open(std::string_view method, std::string_view url, bool async = false, std::string_view user = {},
               std::string_view password = {});
  // Adds a request header; headers are sent in call order and verbatim (encode a URL value
  // such as Destination with EncodeUrl). E_UNEXPECTED before open(),
  // E_INVALIDARG for a name that is not a token or a value holding CR, LF or NUL.
  HRESULT setRequestHeader(std::string_view name, std::string_view value);
  // Sends the request without a body, or with the given body bytes (an empty body is sent
  // as Content-Length: 0), and waits for the reply. Any HTTP status is a reply (read it with
  // status()). E_UNEXPECTED unless open() came first; a transport failure throws the
  // transport's _com_error (http_errors.h).
  HRESULT send();
  HRESULT send(std::string_view body);
  // Streams the body of a 2xx reply of the next send() to sink as it arrives, instead of
  // keeping it (responseText() is then empty; a non-2xx body is kept, cut after 64 KiB).
  // A body given to a sink has no size cap; the sink may throw to stop the transfer.
  // E_UNEXPECTED before open().
  HRESULT setResponseSink(std::function<void(std::string_view)> sink);

  long readyState() const { return state_; }
  // The reply's status code, reason phrase ("Multi-Status"), body bytes and headers.
  // kErrNotReady before a send() has completed.
  long status() const;
  std::string statusText() const;
  // The reply's status line as the server sent it ("HTTP/1.1 401 Unauthorized").
  std::string statusLine() const;
  const std::string& responseText() const;
  // The value of the first reply header of that name (case-insensitive); "" when none.
  std::string getResponseHeader(std::string_view name) const;
  // "Name: value\r\n" for every reply header, in order.
  std::string getAllResponseHeaders() const;

 private:
  HRESULT Send(std::optional<std::string_view> body);
  const Response& Reply() const;

  long state_ = kUninitialized;
  Request request_;
  Response response_;
};

using XmlHttpRequestPtr = ObjectPtr<XmlHttpRequest>;

}  // namespace zan::http

#endif
