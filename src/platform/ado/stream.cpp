#include "platform/ado/stream.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ado/ado_errors.h"
#include "platform/ado/resource_url.h"
#include "platform/com/com_error.h"
#include "platform/http/user_info.h"
#include "platform/http/transport.h"
#include "platform/http/url_encoding.h"

namespace zan::ado {
namespace {

http::Response Send(const char* method, const std::string& url, const std::string& user, const std::string& password,
                    std::optional<std::string_view> body = std::nullopt, std::vector<http::Header> headers = {}) {
  http::Request request;
  request.method = method;
  request.url = url;
  request.user = user;
  request.password = password;
  request.body = body;
  request.headers = std::move(headers);
  return http::Perform(request);
}

constexpr char kLockBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<D:lockinfo xmlns:D=\"DAV:\"><D:lockscope><D:exclusive/></D:lockscope>"
    "<D:locktype><D:write/></D:locktype><D:owner>zanclient</D:owner></D:lockinfo>";

// The tagged form names the locked resource; some servers fail on the untagged one.
http::Header TaggedIf(const std::string& url, std::string_view token) {
  return {"If", "<" + http::EncodeUrl(url) + "> (<" + std::string(token) + ">)"};
}

}  // namespace

HRESULT Stream::Charset(std::string_view charset) {
  charset_.assign(charset);
  return S_OK;
}

HRESULT Stream::Open(std::string_view source, long mode, long, std::string_view user, std::string_view password) {
  if (open_) throw _com_error(kAdErrObjectOpen, "Operation is not allowed when the object is open.");
  std::string_view url = source;
  if (url.starts_with("URL=")) url.remove_prefix(4);
  if (!url.empty() && internal::KindOf(url) != internal::UrlKind::kHttp)
    throw _com_error(kAdErrInvalidArgument, "A stream opens an http or https URL, not: " + http::MaskPasswords(source));
  if (mode != adModeUnknown && mode != adModeRead && mode != adModeWrite && mode != adModeReadWrite)
    throw _com_error(kAdErrInvalidArgument, "Unsupported stream mode " + std::to_string(mode));

  url_.assign(url);
  user_.assign(user);
  password_.assign(password);
  content_.clear();
  position_ = 0;
  dirty_ = false;
  writable_ = url_.empty() || mode == adModeWrite || mode == adModeReadWrite;
  loaded_ = url_.empty();
  // A stream opened for writing checks that its resource exists when it writes (the PUT
  // carries If-Match: *), so a write is one request.
  if (!url_.empty() && !writable_) Load();
  open_ = true;
  return S_OK;
}

void Stream::Load() {
  if (loaded_) return;
  http::Response reply = Send("GET", url_, user_, password_);
  if (reply.status < 200 || reply.status >= 300) ThrowForReply(reply, "GET", url_);
  content_ = std::move(reply.body);
  etag_ = reply.GetHeader("ETag");
  loaded_ = true;
}

int64_t Stream::Size() {
  RequireOpen("Size");
  Load();
  return static_cast<int64_t>(content_.size());
}

std::string Stream::ReadText(long numChars) {
  RequireOpen("ReadText");
  if (numChars < adReadAll) throw _com_error(kAdErrInvalidArgument, "ReadText: negative length");
  Load();
  const size_t available = content_.size() - std::min(position_, content_.size());
  const size_t n = numChars == adReadAll ? available : std::min(available, static_cast<size_t>(numChars));
  std::string text = content_.substr(position_, n);
  position_ += n;
  return text;
}

std::string Stream::TakeText() {
  RequireOpen("TakeText");
  if (writable_) throw _com_error(kAdErrIllegalOperation, "TakeText: the stream is open for writing");
  Load();
  if (position_ >= content_.size()) return {};
  if (position_ == 0) return std::exchange(content_, std::string());
  std::string text = content_.substr(position_);
  content_.resize(position_);
  return text;
}

int64_t Stream::Position() const {
  RequireOpen("Position");
  return static_cast<int64_t>(position_);
}

HRESULT Stream::Position(int64_t position) {
  RequireOpen("Position");
  if (position != 0) Load();
  if (position < 0 || static_cast<uint64_t>(position) > content_.size())
    throw _com_error(kAdErrInvalidArgument, "Position " + std::to_string(position) + " is outside the stream");
  position_ = static_cast<size_t>(position);
  return S_OK;
}

HRESULT Stream::SetEOS() {
  RequireWritable("SetEOS");
  if (position_ == 0 && !loaded_) {  // every old byte is cut off: no need to fetch them
    loaded_ = true;
    content_.clear();
    dirty_ = true;
    return S_OK;
  }
  Load();
  if (position_ < content_.size()) {
    content_.resize(position_);
    dirty_ = true;
  }
  return S_OK;
}

HRESULT Stream::WriteText(std::string_view text, long options) {
  RequireWritable("WriteText");
  if (options != adWriteChar && options != adWriteLine)
    throw _com_error(kAdErrInvalidArgument, "WriteText: unsupported option " + std::to_string(options));
  Load();
  const std::string_view lineEnd = options == adWriteLine ? "\r\n" : "";
  for (const std::string_view part : {text, lineEnd}) {  // one copy of the bytes, no fill
    content_.replace(position_, std::min(content_.size() - position_, part.size()), part);
    position_ += part.size();
  }
  dirty_ = true;
  return S_OK;
}

HRESULT Stream::Flush() {
  RequireOpen("Flush");
  if (!dirty_ || url_.empty()) return S_OK;
  Put(content_);
  dirty_ = false;
  return S_OK;
}

HRESULT Stream::WriteWholeText(std::string_view text) {
  RequireWritable("WriteWholeText");
  RequireUrl("WriteWholeText");
  content_.clear();
  loaded_ = false;
  dirty_ = false;
  position_ = 0;
  Put(text);
  return S_OK;
}

void Stream::Put(std::string_view body) {
  std::vector<http::Header> headers;
  if (!lockToken_.empty()) headers.push_back(TaggedIf(url_, lockToken_));
  // The resource must exist: a write never creates one.
  headers.push_back({"If-Match", ifMatch_.empty() ? std::string("*") : ifMatch_});
  const http::Response reply = Send("PUT", url_, user_, password_, body, std::move(headers));
  if (reply.status == 412 && (!lockToken_.empty() || !ifMatch_.empty()))
    throw _com_error(kAdErrResourceChanged, "The resource was changed by another client: " + reply.statusLine +
                                                " (PUT " + http::MaskPasswords(url_) + ")");
  if (reply.status == 412)
    throw _com_error(kAdErrUrlDoesNotExist, "The resource does not exist: " + reply.statusLine + " (PUT " + http::MaskPasswords(url_) + ")");
  if (reply.status < 200 || reply.status >= 300) ThrowForReply(reply, "PUT", url_);
}

HRESULT Stream::Close() {
  RequireOpen("Close");
  struct Closer {
    Stream& s;
    ~Closer() {
      s.open_ = false;
      s.dirty_ = false;
      s.content_.clear();
      s.content_.shrink_to_fit();
      s.etag_.clear();
      s.lockToken_.clear();
      s.ifMatch_.clear();
    }
  } closer{*this};
  return Flush();
}

HRESULT Stream::LockToken(std::string_view token) {
  lockToken_.assign(token);
  return S_OK;
}

HRESULT Stream::IfMatch(std::string_view etag) {
  ifMatch_.assign(etag);
  return S_OK;
}

std::string Stream::TakeLock(long timeoutSeconds) {
  RequireUrl("TakeLock");
  // If-Match: never lock a URL that has nothing behind it (that would leave a lock-null
  // resource).
  const http::Response reply = Send("LOCK", url_, user_, password_, std::string_view(kLockBody),
                                    {{"Content-Type", "text/xml; charset=\"utf-8\""},
                                     {"Depth", "0"},
                                     {"Timeout", "Second-" + std::to_string(timeoutSeconds)},
                                     {"If-Match", "*"}});
  if (reply.status == 423) ThrowForReply(reply, "LOCK", url_);
  if (reply.status != 200 && reply.status != 201) return {};
  std::string token = reply.GetHeader("Lock-Token");
  if (token.size() >= 2 && token.front() == '<' && token.back() == '>') token = token.substr(1, token.size() - 2);
  if (reply.status == 201) {
    // A server that ignores If-Match on LOCK (lighttpd) made an empty resource: nothing was
    // there to lock. It goes again, under the new lock, so the caller finds what was there.
    // Best effort: a resource that stays behind is empty, and its lock expires.
    try {
      std::vector<http::Header> headers;
      if (!token.empty()) headers.push_back(TaggedIf(url_, token));
      Send("DELETE", url_, user_, password_, std::nullopt, std::move(headers));
    } catch (...) {
    }
    return {};
  }
  return token;
}

HRESULT Stream::ReleaseLock(std::string_view token) {
  RequireUrl("ReleaseLock");
  const http::Response reply =
      Send("UNLOCK", url_, user_, password_, std::nullopt, {{"Lock-Token", "<" + std::string(token) + ">"}});
  if (reply.status < 200 || reply.status >= 300) ThrowForReply(reply, "UNLOCK", url_);
  return S_OK;
}

void Stream::RequireOpen(const char* operation) const {
  if (!open_)
    throw _com_error(kAdErrObjectClosed,
                     std::string(operation) + ": Operation is not allowed when the object is closed.");
}

void Stream::RequireUrl(const char* operation) const {
  RequireOpen(operation);
  if (url_.empty()) throw _com_error(kAdErrIllegalOperation, std::string(operation) + ": the stream is not open on a URL");
}

void Stream::RequireWritable(const char* operation) const {
  RequireOpen(operation);
  if (!writable_)
    throw _com_error(kAdErrIllegalOperation, std::string(operation) + ": the stream is open for reading only");
}

}  // namespace zan::ado
