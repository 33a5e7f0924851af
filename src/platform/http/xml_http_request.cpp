#include "platform/http/xml_http_request.h"

#include <algorithm>
#include <utility>

#include "platform/com/com_error.h"
#include "platform/http/user_info.h"

namespace zan::http {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
           return p == ((t >= 'A' && t <= 'Z') ? static_cast<char>(t - 'A' + 'a') : t);
         });
}

}  // namespace

HRESULT XmlHttpRequest::open(std::string_view method, std::string_view url, bool async, std::string_view user,
                             std::string_view password) {
  if (async) throw _com_error(E_NOTIMPL, "Asynchronous requests are not supported");
  if (method.empty()) throw _com_error(E_INVALIDARG, "The request method is empty");
  if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://"))
    throw _com_error(E_INVALIDARG, "Not an http or https URL: " + MaskPasswords(url));
  request_ = Request{};
  request_.method.assign(method);
  request_.url.assign(url);
  request_.user.assign(user);
  request_.password.assign(password);
  response_ = Response{};
  state_ = kOpened;
  return S_OK;
}

HRESULT XmlHttpRequest::setRequestHeader(std::string_view name, std::string_view value) {
  if (state_ != kOpened) throw _com_error(E_UNEXPECTED, "setRequestHeader: the request is not open (call open first)");
  if (name.empty() || name.find_first_of(std::string_view(" \t\r\n:\0", 6)) != std::string_view::npos ||
      value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    throw _com_error(E_INVALIDARG, "Invalid request header '" + std::string(name) + "'");
  request_.headers.push_back(Header{std::string(name), std::string(value)});
  return S_OK;
}

HRESULT XmlHttpRequest::setResponseSink(std::function<void(std::string_view)> sink) {
  if (state_ != kOpened) throw _com_error(E_UNEXPECTED, "setResponseSink: the request is not open (call open first)");
  request_.sink = std::move(sink);
  return S_OK;
}

HRESULT XmlHttpRequest::send() { return Send(std::nullopt); }

HRESULT XmlHttpRequest::send(std::string_view body) { return Send(body); }

HRESULT XmlHttpRequest::Send(std::optional<std::string_view> body) {
  if (state_ != kOpened) throw _com_error(E_UNEXPECTED, "send: the request is not open (call open first)");
  request_.body = body;
  Response reply;
  try {
    reply = Perform(request_);
  } catch (...) {
    request_.body.reset();
    throw;
  }
  request_.body.reset();
  response_ = std::move(reply);
  state_ = kCompleted;
  return S_OK;
}

const Response& XmlHttpRequest::Reply() const {
  if (state_ != kCompleted) throw _com_error(kErrNotReady, "The reply is not available: no request has completed");
  return response_;
}

long XmlHttpRequest::status() const { return Reply().status; }

std::string XmlHttpRequest::statusText() const { return Reply().statusText; }

std::string XmlHttpRequest::statusLine() const {
  const Response& r = Reply();
  return r.statusLine.empty() ? "HTTP status " + std::to_string(r.status) : r.statusLine;
}

const std::string& XmlHttpRequest::responseText() const { return Reply().body; }

std::string XmlHttpRequest::getResponseHeader(std::string_view name) const { return Reply().GetHeader(name); }

std::string XmlHttpRequest::getAllResponseHeaders() const {
  std::string all;
  for (const Header& h : Reply().headers) all += h.name + ": " + h.value + "\r\n";
  return all;
}

}  // namespace zan::http
