// One attempt of a request over WinHTTP (transport_backend.h), synchronous, in the process's
// one WinHTTP session, whose pool keeps connections open for the next requests.
// WinHTTP brings the system's TLS (verified against the system's certificate store), its proxy
// settings (WinHTTP's own, as netsh sets them) and the logged-on user's Negotiate/NTLM login.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/com/com_error.h"
#include "platform/http/http_errors.h"
#include "platform/http/security.h"
#include "platform/http/transport_backend.h"
#include "platform/os/codepage.h"

namespace zan::http::backend {

// No netrc: the environment's credentials, else the logged-on user (Negotiate, NTLM).
const LoginSource kLoginOrder[2] = {LoginSource::kEnvironment, LoginSource::kPlatform};

namespace {

struct InternetCloser {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using InternetPtr = std::unique_ptr<void, InternetCloser>;

constexpr size_t kChunk = 64 * 1024;

// What WinHTTP's status callback saw during one attempt (its context value).
struct Watch {
  long connections = 0;  // connections opened
  bool sending = false;  // a connection stood and the request went out on it
  DWORD secureFailure = 0;  // WINHTTP_CALLBACK_STATUS_FLAG_* of a refused certificate
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength) {
  auto* watch = reinterpret_cast<Watch*>(context);
  if (!watch) return;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
      ++watch->connections;
      break;
    case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
      watch->sending = true;
      break;
    case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
      if (info && infoLength >= sizeof(DWORD)) watch->secureFailure = *static_cast<DWORD*>(info);
      break;
    default:
      break;
  }
}

// UTF-8 to UTF-16 and back, through the os layer's conversion (for host names, credentials
// and the system's texts).
std::wstring Wide(std::string_view text) {
  const std::u16string wide = os::MultiByteToWide(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Utf8(std::wstring_view wide) { return os::WideToMultiByte(std::u16string(wide.begin(), wide.end())); }

// Bytes as UTF-16 code units of the same value (Latin-1): ASCII passes unchanged, as WinHTTP
// takes header and path text. Narrow undoes it; a unit above 0xFF becomes '?'.
std::wstring Widen(std::string_view bytes) {
  std::wstring wide(bytes.size(), L'\0');
  std::transform(bytes.begin(), bytes.end(), wide.begin(), [](char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); });
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  std::string bytes(wide.size(), '\0');
  std::transform(wide.begin(), wide.end(), bytes.begin(), [](wchar_t c) { return c <= 0xFF ? static_cast<char>(c) : '?'; });
  return bytes;
}

// The system's text for a WinHTTP or Win32 error, with its number.
std::string ErrorDetail(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 GetModuleHandleW(L"winhttp.dll"), error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (n > 0 && text) {
    message = Utf8(std::wstring_view(text, n));
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' ' || message.back() == '.'))
      message.pop_back();
  }
  if (text) LocalFree(text);
  const std::string number = "WinHTTP error " + std::to_string(error);
  return message.empty() ? number : message + " (" + number + ")";
}

HRESULT StatusOf(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case WSAECONNREFUSED:
      return kErrCannotConnect;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return kErrNameNotResolved;
    case ERROR_WINHTTP_TIMEOUT:
      return kErrTimeout;
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:  // also: closed before a reply came
      return kErrConnectionAborted;
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return kErrInvalidUrl;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
      return kErrSecureChannel;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return E_OUTOFMEMORY;
    default:
      return kErrTransfer;
  }
}

// What a refused certificate's flags name, "" for none.
std::string CertificateFlags(DWORD flags) {
  std::string text;
  auto add = [&](DWORD flag, const char* name) {
    if (!(flags & flag)) return;
    if (!text.empty()) text += ", ";
    text += name;
  };
  add(WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, "issued by an authority the system does not trust");
  add(WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, "issued for another host name");
  add(WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID, "expired or not yet valid");
  add(WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED, "revoked");
  add(WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED, "revocation could not be checked");
  add(WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE, "not for server authentication");
  add(WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT, "invalid");
  return text;
}

// Records a failed WinHTTP call of the attempt.
void Fail(Attempt& attempt, const Watch& watch, DWORD error) {
  if (error == WSAETIMEDOUT) error = ERROR_WINHTTP_TIMEOUT;  // Wine passes the socket's timeout through
  attempt.failure = StatusOf(error);
  attempt.detail = ErrorDetail(error);
  if (error == ERROR_WINHTTP_TIMEOUT) {
    if (watch.sending) {
      attempt.stalled = true;  // the send and receive timeouts are the stall limit
    } else {
      attempt.detail = "no connection within " + std::to_string(attempt.connectTimeout.count()) + " ms (" + attempt.detail + ")";
    }
  } else if (error == ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED) {
    attempt.summary = "The server requires a client certificate";
  } else if (attempt.failure == kErrSecureChannel) {
    const std::string flags = CertificateFlags(watch.secureFailure);
    if (!flags.empty() || error != ERROR_WINHTTP_SECURE_CHANNEL_ERROR) {
      attempt.summary = "The server's certificate was not accepted";
      if (!flags.empty()) attempt.detail = flags + " (" + attempt.detail + ")";
    }
  }
}

// A stop asked by a helper (sink, cap, body file, speed): the reason is already set.
void Stop(Attempt& attempt) {
  attempt.failure = kErrTransfer;
  attempt.detail = "the transfer was stopped";
}

// The process's one session (WinHTTP sessions serve any thread; its pool keeps connections
// for the next requests); its status callback reports to each request's Watch. It is opened on
// first use and never closed: closing it as a thread or the module ends (a thread_local's
// destructor) ran into freed state under Wine.
HINTERNET Session() {
  static const HINTERNET session = [] {
    HINTERNET opened = WinHttpOpen(L"zanclient", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0);
    if (!opened) throw _com_error(kErrTransfer, "WinHTTP cannot start: " + ErrorDetail(GetLastError()));
    const DWORD notifications = WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER | WINHTTP_CALLBACK_FLAG_SEND_REQUEST |
                                WINHTTP_CALLBACK_FLAG_SECURE_FAILURE;
    if (WinHttpSetStatusCallback(opened, &OnStatus, notifications, 0) == WINHTTP_INVALID_STATUS_CALLBACK) {
      const DWORD error = GetLastError();
      WinHttpCloseHandle(opened);
      throw _com_error(kErrTransfer, "WinHTTP refused its status callback: " + ErrorDetail(error));
    }
    return opened;
  }();
  return session;
}

// The parts of an http or https URL; false when it is neither or has no host.
struct UrlParts {
  bool https = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;
};

bool Split(std::string_view url, UrlParts& parts) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return false;
  const std::string_view name = url.substr(0, scheme);
  if (EqualsNoCase(name, "https")) {
    parts.https = true;
  } else if (!EqualsNoCase(name, "http")) {
    return false;
  }
  const std::string_view rest = url.substr(scheme + 3);
  const size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  parts.path = slash == std::string_view::npos ? L"/" : Widen(rest.substr(slash));
  std::string_view host = authority;
  std::string_view port;
  if (!host.empty() && host.front() == '[') {  // an IPv6 literal
    const size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    if (close + 1 < host.size()) {
      if (host[close + 1] != ':') return false;
      port = host.substr(close + 2);
    }
    host = host.substr(1, close - 1);
  } else if (const size_t colon = host.rfind(':'); colon != std::string_view::npos) {
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
  }
  if (host.empty()) return false;
  parts.host = Wide(host);
  unsigned long number = parts.https ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  if (!port.empty()) {
    if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    number = std::stoul(std::string(port));
    if (number == 0 || number > 65535) return false;
  }
  parts.port = static_cast<INTERNET_PORT>(number);
  return true;
}

bool SetDword(HINTERNET handle, DWORD option, DWORD value) { return WinHttpSetOption(handle, option, &value, sizeof value); }

DWORD WinHttpScheme(unsigned scheme) {
  switch (scheme) {
    case kBasic: return WINHTTP_AUTH_SCHEME_BASIC;
    case kDigest: return WINHTTP_AUTH_SCHEME_DIGEST;
    case kNtlm: return WINHTTP_AUTH_SCHEME_NTLM;
    default: return WINHTTP_AUTH_SCHEME_NEGOTIATE;
  }
}

unsigned SchemesOf(DWORD supported) {
  unsigned schemes = 0;
  if (supported & WINHTTP_AUTH_SCHEME_BASIC) schemes |= kBasic;
  if (supported & WINHTTP_AUTH_SCHEME_DIGEST) schemes |= kDigest;
  if (supported & WINHTTP_AUTH_SCHEME_NTLM) schemes |= kNtlm;
  if (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE) schemes |= kNegotiate;
  if (supported & ~static_cast<DWORD>(WINHTTP_AUTH_SCHEME_BASIC | WINHTTP_AUTH_SCHEME_DIGEST | WINHTTP_AUTH_SCHEME_NTLM |
                                      WINHTTP_AUTH_SCHEME_NEGOTIATE))
    schemes |= kOtherScheme;
  return schemes;
}

// The strongest scheme of both sets (Negotiate, NTLM, Digest, Basic); 0 when none.
unsigned Strongest(unsigned schemes) {
  for (unsigned scheme : {kNegotiate, kNtlm, kDigest, kBasic})
    if (schemes & scheme) return scheme;
  return 0;
}

// Gives the login's credentials to the request for the scheme (the logged-on user's for
// kPlatform).
bool Answer(HINTERNET request, const Login& login, unsigned scheme) {
  if (login.source == LoginSource::kPlatform)
    return WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WinHttpScheme(scheme), nullptr, nullptr, nullptr);
  const std::wstring user = Wide(login.credentials.user);
  const std::wstring password = Wide(login.credentials.password);
  return WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WinHttpScheme(scheme), user.c_str(), password.c_str(),
                               nullptr);
}

// Sets the request's timeouts, redirect, cookie, login and TLS options; false on a failure
// (recorded).
bool Configure(Attempt& attempt, const Watch& watch, HINTERNET request) {
  const int connectMs = static_cast<int>(std::min<long long>(attempt.connectTimeout.count(), INT_MAX));
  const int stallMs = static_cast<int>(std::min<long long>(attempt.stallLimit.count(), INT_MAX));
  bool ok = WinHttpSetTimeouts(request, connectMs, connectMs, stallMs, stallMs) &&
            SetDword(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, static_cast<DWORD>(stallMs)) &&
            // a redirect is a reply, never followed; cookies are not kept
            SetDword(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES) &&
            // the logged-on user's login only when no other source has credentials
            SetDword(request, WINHTTP_OPTION_AUTOLOGON_POLICY,
                     attempt.login.source == LoginSource::kPlatform ? WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW
                                                                    : WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH);
  if (ok && attempt.tls.insecure && IsHttps(attempt.wireUrl))
    ok = SetDword(request, WINHTTP_OPTION_SECURITY_FLAGS,
                  SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                      SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE);
  for (const Header& h : attempt.request.headers) {
    if (!ok) break;
    const std::wstring line = Widen(h.name + ": " + h.value);
    ok = WinHttpAddRequestHeaders(request, line.c_str(), static_cast<DWORD>(line.size()), WINHTTP_ADDREQ_FLAG_ADD);
  }
  if (ok && attempt.hasBody && (attempt.bodySize == 0 || attempt.bodySize >= 0xFFFFFFFFull)) {
    // WinHTTP states a length it is given only when it is non-zero and fits 32 bits.
    const std::wstring line = L"Content-Length: " + std::to_wstring(attempt.bodySize);
    ok = WinHttpAddRequestHeaders(request, line.c_str(), static_cast<DWORD>(line.size()), WINHTTP_ADDREQ_FLAG_ADD);
  }
  if (ok && attempt.login.schemes == kBasic && attempt.login.source != LoginSource::kPlatform)
    ok = Answer(request, attempt.login, kBasic);  // a remembered Basic goes at once
  if (!ok) Fail(attempt, watch, GetLastError());
  return ok;
}

// Sends the request with its body from the start; false on a failure or a stop (recorded).
bool Send(Attempt& attempt, const Watch& watch, HINTERNET request, uint64_t& up, uint64_t down) {
  if (attempt.hasBody && !RewindBody(attempt, 0)) {
    attempt.failure = kErrTransfer;
    attempt.detail = "the request body cannot be sent again";
    return false;
  }
  const DWORD total = attempt.hasBody && attempt.bodySize < 0xFFFFFFFFull ? static_cast<DWORD>(attempt.bodySize)
                                                                          : WINHTTP_IGNORE_REQUEST_TOTAL_LENGTH;
  // A body in memory goes with the head in one write (a second small write waits for the
  // server's delayed acknowledgement, about 40 ms a request); a file's follows in chunks.
  const bool inMemory = attempt.hasBody && !attempt.request.bodyFile && attempt.bodySize < 0xFFFFFFFFull;
  void* optional = inMemory && total > 0 ? const_cast<char*>(attempt.request.body->data()) : WINHTTP_NO_REQUEST_DATA;
  if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, optional, inMemory ? total : 0, total,
                          reinterpret_cast<DWORD_PTR>(&watch))) {
    Fail(attempt, watch, GetLastError());
    return false;
  }
  if (inMemory) {
    up += attempt.bodySize;
    if (WatchProgress(attempt, down, up)) return true;
    Stop(attempt);
    return false;
  }
  if (!attempt.hasBody) return true;
  auto buffer = std::make_unique<char[]>(kChunk);
  for (uint64_t sent = 0; sent < attempt.bodySize;) {
    size_t got = 0;
    if (!ReadBody(attempt, buffer.get(), static_cast<size_t>(std::min<uint64_t>(kChunk, attempt.bodySize - sent)), got)) {
      Stop(attempt);
      return false;
    }
    if (got == 0) {  // the file shrank: the length stated cannot be kept
      attempt.failure = kErrTransfer;
      attempt.detail = "the request body file ended before its stated length";
      return false;
    }
    DWORD written = 0;
    if (!WinHttpWriteData(request, buffer.get(), static_cast<DWORD>(got), &written)) {
      Fail(attempt, watch, GetLastError());
      return false;
    }
    sent += got;
    up += got;
    if (!WatchProgress(attempt, down, up)) {
      Stop(attempt);
      return false;
    }
  }
  return true;
}

// The head of the reply received: every line to TakeHeadLine.
// Whether a reply of this status to this method has no body whatever its head says.
bool Bodyless(const Attempt& attempt) {
  const long status = attempt.response.status;
  return attempt.request.method == "HEAD" || status / 100 == 1 || status == 204 || status == 304;
}

// The length the reply's head announces for its body; -1 when the body is not framed by one
// (chunked, to the end of the connection, or none for a HEAD, 1xx, 204 or 304).
int64_t AnnouncedLength(const Attempt& attempt) {
  if (Bodyless(attempt)) return -1;
  if (!attempt.response.GetHeader("Transfer-Encoding").empty()) return -1;
  const std::string length = attempt.response.GetHeader("Content-Length");
  if (length.empty() || length.find_first_not_of("0123456789") != std::string::npos || length.size() > 18) return -1;
  return std::stoll(length);
}

bool ReadHead(Attempt& attempt, const Watch& watch, HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    Fail(attempt, watch, GetLastError());
    return false;
  }
  std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, raw.data(), &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    Fail(attempt, watch, GetLastError());
    return false;
  }
  raw.resize(size / sizeof(wchar_t));
  const std::string head = Narrow(raw);
  // Wine takes a connection that closed or was reset before any reply for an HTTP/0.9 reply
  // (and may then fail inside WinHttpReadData): no status line of HTTP/1 or later is no reply.
  wchar_t version[32] = {};
  DWORD versionSize = sizeof version;
  const bool versioned = WinHttpQueryHeaders(request, WINHTTP_QUERY_VERSION, WINHTTP_HEADER_NAME_BY_INDEX, version,
                                             &versionSize, WINHTTP_NO_HEADER_INDEX);
  if (!versioned || std::wstring_view(version) == L"HTTP/0.9" || !(head.starts_with("HTTP/1.") || head.starts_with("HTTP/2"))) {
    attempt.failure = kErrConnectionAborted;
    attempt.detail = "the connection ended without a reply";
    return false;
  }
  for (size_t at = 0; at < head.size();) {
    const size_t end = std::min(head.find("\r\n", at), head.size());
    if (end > at) TakeHeadLine(attempt, std::string_view(head).substr(at, end - at));
    at = end + 2;
  }
  return true;
}

// Reads the reply body: to the helpers when keep, else thrown away (a 401 answered). WinHTTP
// under Wine ends a body whose connection closed or went silent as if it were complete, so a
// body shorter than its Content-Length is a failure here: a stall when the last read waited
// the stall limit, else an aborted connection.
bool ReceiveBody(Attempt& attempt, const Watch& watch, HINTERNET request, uint64_t up, uint64_t& down, bool keep) {
  auto buffer = std::make_unique<char[]>(kChunk);
  const int64_t announced = AnnouncedLength(attempt);
  uint64_t received = 0;
  for (;;) {
    DWORD got = 0;
    const auto readStart = std::chrono::steady_clock::now();
    // Only what has arrived: a read of a whole chunk would wait for all of it (Wine), so a
    // dripping body would never reach the low-speed check between reads.
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available) ||
        (available > 0 && !WinHttpReadData(request, buffer.get(), std::min(available, static_cast<DWORD>(kChunk)), &got))) {
      Fail(attempt, watch, GetLastError());
      return false;
    }
    if (got == 0) {
      if (announced < 0 || received >= static_cast<uint64_t>(announced)) return true;
      if (attempt.stallLimit.count() > 0 && std::chrono::steady_clock::now() - readStart >= attempt.stallLimit) {
        attempt.stalled = true;
      } else {
        attempt.failure = kErrConnectionAborted;
        attempt.detail = "the connection closed after " + std::to_string(received) + " of the " +
                         std::to_string(announced) + " bytes of the reply";
      }
      return false;
    }
    received += got;
    down += got;
    if ((keep && !TakeBody(attempt, std::string_view(buffer.get(), got))) || !WatchProgress(attempt, down, up)) {
      Stop(attempt);
      return false;
    }
  }
}

}  // namespace

void Carry(Attempt& attempt) {
  Watch watch;
  UrlParts url;
  if (!Split(attempt.wireUrl, url)) {
    attempt.failure = kErrInvalidUrl;
    attempt.detail = "not an http or https URL with a host";
    return;
  }
  if (url.https && !attempt.tls.clientCert.empty()) {
    attempt.failure = kErrSecureChannel;
    attempt.summary = "The client certificate could not be used";
    attempt.detail = "a certificate from a PEM file (ZANCLIENT_CLIENT_CERT) is not supported by WinHTTP";
    return;
  }
  InternetPtr connection(WinHttpConnect(Session(), url.host.c_str(), url.port, 0));
  if (!connection) return Fail(attempt, watch, GetLastError());
  const std::wstring verb = Widen(attempt.request.method);
  InternetPtr request(WinHttpOpenRequest(connection.get(), verb.c_str(), url.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES,
                                         WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                                             (url.https ? WINHTTP_FLAG_SECURE : 0)));
  if (!request) return Fail(attempt, watch, GetLastError());
  if (!Configure(attempt, watch, request.get())) return;

  uint64_t up = 0;
  uint64_t down = 0;
  // A remembered Basic went with the first send: it is not answered again.
  bool answered = attempt.login.schemes == kBasic;
  for (;;) {
    if (!Send(attempt, watch, request.get(), up, down)) break;
    if (!WinHttpReceiveResponse(request.get(), nullptr)) {
      Fail(attempt, watch, GetLastError());
      break;
    }
    if (!ReadHead(attempt, watch, request.get())) break;
    unsigned scheme = 0;
    if (attempt.response.status == 401) {
      DWORD supported = 0;
      DWORD first = 0;
      DWORD target = 0;
      if (WinHttpQueryAuthSchemes(request.get(), &supported, &first, &target) && target == WINHTTP_AUTH_TARGET_SERVER)
        attempt.offered = SchemesOf(supported);
      unsigned usable = attempt.offered & attempt.login.schemes;
      if (attempt.login.source == LoginSource::kPlatform) usable &= kNegotiate | kNtlm;
      if (attempt.login.source != LoginSource::kNone && !answered) scheme = Strongest(usable);
    }
    if (scheme == 0) {
      ReceiveBody(attempt, watch, request.get(), up, down, true);
      break;
    }
    answered = true;
    if (!ReceiveBody(attempt, watch, request.get(), up, down, false)) break;
    if (!Answer(request.get(), attempt.login, scheme)) {
      Fail(attempt, watch, GetLastError());
      break;
    }
  }
  attempt.newConnections = watch.connections;
}

}  // namespace zan::http::backend
