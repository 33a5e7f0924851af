// Guarding a read-modify-write of one resource: write locks, ETag-conditional reads and
// writes. These go through the request object directly: the record and stream objects
// have no notion of locks or entity tags.
#include <cstdint>

#include "base/GenException.h"
#include "dav/DavADOManager.h"
#include "platform/ado/ado_errors.h"
#include "platform/http/url_encoding.h"
#include "platform/http/xml_http_request.h"

namespace {

constexpr const char* kClass = "CDavADOManager";

const char kLockBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<D:lockinfo xmlns:D=\"DAV:\"><D:lockscope><D:exclusive/></D:lockscope>"
    "<D:locktype><D:write/></D:locktype><D:owner>zanclient</D:owner></D:lockinfo>";

// The statuses of a request that got no reply (platform/http/http_errors.h): WinINet
// errors 12000-12199 in the Win32 facility.
bool IsTransportFailure(HRESULT hr) {
  const uint32_t u = static_cast<uint32_t>(hr);
  return (u & 0xFFFF0000u) == 0x80070000u && (u & 0xFFFFu) >= 12000 && (u & 0xFFFFu) < 12200;
}

zan::http::Response AsResponse(const zan::http::XmlHttpRequest& request) {
  zan::http::Response r;
  r.status = request.status();
  r.statusText = request.statusText();
  r.statusLine = request.statusLine();
  return r;
}

// Deletes the empty resource a LOCK has just created, under its lock token. Best effort:
// a resource that stays behind is empty, and its lock expires.
void RemoveLockedEmpty(const std::string& url, const std::string& token) noexcept {
  try {
    zan::http::XmlHttpRequest request;
    request.open("DELETE", url, false, "", "");
    if (!token.empty()) request.setRequestHeader("If", "<" + zan::http::EncodeUrl(url) + "> (<" + token + ">)");
    request.send();
  } catch (...) {
  }
}

}  // namespace

std::string CDavADOManager::LockItem(const std::string& url, int timeoutSeconds) {
  try {
    zan::http::XmlHttpRequest request;
    request.open("LOCK", url, false, "", "");
    request.setRequestHeader("Content-Type", "text/xml; charset=\"utf-8\"");
    request.setRequestHeader("Depth", "0");
    request.setRequestHeader("Timeout", "Second-" + std::to_string(timeoutSeconds));
    // Never lock a URL that has nothing behind it (that would leave a lock-null resource).
    request.setRequestHeader("If-Match", "*");
    request.send(kLockBody);
    const long status = request.status();
    if (status == 423)
      throw CGenException("The item is locked by another client. " + url, zan::err::kLocked, kClass, "LockItem");
    if (status != 200 && status != 201) return {};  // no locking here (or nothing to lock)
    std::string token = request.getResponseHeader("Lock-Token");
    if (token.size() >= 2 && token.front() == '<' && token.back() == '>') token = token.substr(1, token.size() - 2);
    if (status == 201) {
      // A server that ignores If-Match on LOCK (lighttpd) made an empty resource: nothing was
      // there to lock. It goes again, under the new lock, so the caller finds what was there.
      RemoveLockedEmpty(url, token);
      return {};
    }
    return token;
  } catch (const _com_error& e) {
    // No reply at all: no lock; the read that follows reports the failure as it would
    // without the lock.
    if (IsTransportFailure(e.Error())) return {};
    throw CGenException(e, kClass, "LockItem");
  }
}

bool CDavADOManager::UnlockItem(const std::string& url, const std::string& lockToken) noexcept {
  try {
    zan::http::XmlHttpRequest request;
    request.open("UNLOCK", url, false, "", "");
    request.setRequestHeader("Lock-Token", "<" + lockToken + ">");
    request.send();
    return request.status() >= 200 && request.status() <= 299;
  } catch (...) {
    return false;
  }
}

std::string CDavADOManager::GetFileStream(const std::string& url, std::string& etag) {
  try {
    zan::http::XmlHttpRequest request;
    request.open("GET", url, false, "", "");
    request.send();
    if (request.status() != 200) zan::ado::ThrowForReply(AsResponse(request), "GET", url);
    etag = request.getResponseHeader("ETag");
    return request.responseText();
  } catch (const _com_error& e) {
    CGenException error(e, kClass, "GetFileStream");
    error.Rethrow(error.GetErrorDescription() + "Errors with Recource(s): " + url, error.GetErrorCode(), kClass,
                  "GetFileStream");
  }
}

bool CDavADOManager::SetFileStream(const std::string& url, const std::string& text, const WriteCondition& condition) {
  try {
    zan::http::XmlHttpRequest request;
    request.open("PUT", url, false, "", "");
    // The tagged form names the locked resource; some servers fail on the untagged one.
    if (!condition.lockToken.empty())
      request.setRequestHeader("If", "<" + zan::http::EncodeUrl(url) + "> (<" + condition.lockToken + ">)");
    // The document must exist: a write never creates one.
    request.setRequestHeader("If-Match", condition.ifMatch.empty() ? std::string("*") : condition.ifMatch);
    request.send(text);
    const long status = request.status();
    if (status == 412 && (!condition.ifMatch.empty() || !condition.lockToken.empty()))
      throw CGenException("The item was changed by another client. " + url, zan::err::kPreconditionFailed, kClass,
                          "SetFileStream");
    if (status < 200 || status > 299) zan::ado::ThrowForReply(AsResponse(request), "PUT", url);
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "SetFileStream");
  }
}
