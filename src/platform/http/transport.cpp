// The portable part of the transport: what a request may hold, where its credentials come
// from, its limits, its failure texts and its observer. One attempt goes to the backend of the
// system (transport_backend.h).
#include "platform/http/transport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/com/com_error.h"
#include "platform/http/http_errors.h"
#include "platform/http/security.h"
#include "platform/http/transport_backend.h"
#include "platform/http/url_encoding.h"
#include "platform/http/user_info.h"
#include "platform/os/alert.h"
#include "platform/os/lasterror.h"
#include "platform/os/limits.h"

namespace zan::http {

using backend::Attempt;
using backend::Login;
using backend::LoginSource;

namespace {

constexpr size_t kKeptErrorBody = 64 * 1024;

std::atomic<long> g_connectMs{10000};
std::atomic<long> g_stallMs{30000};
std::atomic<long> g_lowSpeedLimit{256};
std::atomic<long> g_lowSpeedMs{30000};

thread_local RequestObserver t_observer;

bool IsTokenChar(unsigned char c) {
  if (c <= 32 || c >= 127) return false;
  return std::strchr("()<>@,;:\\\"/[]?={}", c) == nullptr;
}

bool IsToken(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return IsTokenChar(static_cast<unsigned char>(c)); });
}

bool IsSafeValue(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

const char* SummaryOf(HRESULT status) {
  switch (status) {
    case kErrCannotConnect: return "Cannot connect to the server";
    case kErrNameNotResolved: return "The server name could not be resolved";
    case kErrTimeout: return "The operation timed out";
    case kErrConnectionAborted: return "The connection with the server was aborted";
    case kErrInvalidUrl: return "The URL is invalid";
    case kErrSecureChannel: return "A secure connection could not be established";
    case E_OUTOFMEMORY: return "Out of memory";
    default: return "The request failed";
  }
}

std::string Where(const Request& request) { return " (" + request.method + " " + MaskPasswords(request.url) + ")"; }

void CheckHeaders(const Request& request) {
  for (const Header& h : request.headers)
    if (!IsToken(h.name) || !IsSafeValue(h.value))
      throw _com_error(E_INVALIDARG, "Invalid request header '" + h.name + "'" + Where(request));
}

// "scheme://host:port" of a URL, lower-cased: the key of what a server asked for.
std::string OriginOf(std::string_view url) {
  const size_t scheme = url.find("://");
  const size_t slash = scheme == std::string_view::npos ? url.npos : url.find('/', scheme + 3);
  std::string origin(url.substr(0, slash));
  for (char& c : origin) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return origin;
}

// The schemes the backend may answer with: Basic only where the password travels encrypted.
unsigned AllowedSchemes(std::string_view url) {
  const unsigned schemes = backend::kDigest | backend::kNegotiate | backend::kNtlm;
  return backend::IsHttps(url) ? schemes | backend::kBasic : schemes;
}

// The request's own user, else the URL's user info.
std::optional<Credentials> GivenCredentials(const Request& request) {
  if (!request.user.empty()) return Credentials{request.user, request.password};
  UserInfo info;
  StripUserInfo(request.url, &info);
  if (info.present && !info.user.empty()) return Credentials{info.user, info.password};
  return std::nullopt;
}

// What worked on an origin: the source of its credentials (so that a later request does not
// ask the sources before it again) and whether the server offers Basic alone (then sent at
// once: Basic needs no negotiation round). Process-wide, forgotten on a 401.
struct KnownLogin {
  std::string origin;
  LoginSource source;
  bool basic;
};
std::mutex g_knownMutex;
std::vector<KnownLogin> g_known;

// Takes the source when it has credentials (kPlatform always: the backend finds them).
bool SetCredentials(Login& login, LoginSource source, const Request& request) {
  std::optional<Credentials> found;
  if (source == LoginSource::kGiven) found = GivenCredentials(request);
  if (source == LoginSource::kEnvironment) found = EnvironmentCredentials();
  if (source != LoginSource::kPlatform && !found) return false;
  login.source = source;
  login.credentials = found ? std::move(*found) : Credentials{};
  return true;
}

// The given credentials, else the first source of the backend's order that has some; or
// what worked before on the origin. The backend sends none before the server's 401 unless
// Basic alone is offered (and so never sends a body-less probe, which an open server would
// store as an empty resource).
Login FirstLogin(const Request& request, const std::string& wireUrl) {
  Login login;
  login.schemes = AllowedSchemes(wireUrl);
  const std::string origin = OriginOf(wireUrl);
  {
    std::lock_guard<std::mutex> lock(g_knownMutex);
    for (const KnownLogin& known : g_known) {
      // Credentials given with the request come first: a remembered source yields to them.
      if (known.origin != origin || (known.source != LoginSource::kGiven && GivenCredentials(request))) continue;
      if (!SetCredentials(login, known.source, request)) break;
      if (known.basic && backend::IsHttps(wireUrl)) login.schemes = backend::kBasic;
      return login;
    }
  }
  if (SetCredentials(login, LoginSource::kGiven, request)) return login;
  for (LoginSource source : backend::kLoginOrder)
    if (SetCredentials(login, source, request)) break;
  return login;
}

// The login of the next attempt after a 401, or false when there is none left to try.
bool NextLogin(const Request& request, const std::string& wireUrl, const Attempt& last, Login& login) {
  const bool sentNone = last.refusals <= 1;  // the backend answered no challenge: it had no credentials
  Login next;
  next.schemes = AllowedSchemes(wireUrl);
  if (login.schemes == backend::kBasic) {  // a remembered Basic was refused: negotiate afresh
    if (!SetCredentials(next, login.source, request)) return false;
  } else if (login.source == LoginSource::kPlatform) {  // the platform's source had nothing for the server
    if (!sentNone) return false;
    const auto* at = std::find(std::begin(backend::kLoginOrder), std::end(backend::kLoginOrder), LoginSource::kPlatform);
    if (at == std::end(backend::kLoginOrder)) return false;
    bool found = false;
    for (++at; at != std::end(backend::kLoginOrder) && !found; ++at) found = SetCredentials(next, *at, request);
    if (!found) return false;
  } else {
    return false;  // the given or the environment's credentials were refused
  }
  login = std::move(next);
  return true;
}

void RememberLogin(const std::string& wireUrl, const Login& login, const Attempt& last) {
  const std::string origin = OriginOf(wireUrl);
  std::lock_guard<std::mutex> lock(g_knownMutex);
  if (last.response.status == 401) {
    std::erase_if(g_known, [&](const KnownLogin& k) { return k.origin == origin; });
    return;
  }
  if (last.offered == 0) return;  // no challenge answered: nothing new learnt
  std::erase_if(g_known, [&](const KnownLogin& k) { return k.origin == origin; });
  if (g_known.size() < 64) g_known.push_back(KnownLogin{origin, login.source, last.offered == backend::kBasic});
}

// This attempt's limits, from the process-wide values and the environment.
void SetLimits(Attempt& a) {
  const long connectMs = static_cast<long>(
      std::min<uint64_t>(os::LimitFromEnvironment(os::kEnvConnectTimeout, 0) * 1000, 86400000));
  a.connectTimeout = std::chrono::milliseconds(connectMs > 0 ? connectMs : g_connectMs.load());
  a.stallLimit = std::chrono::milliseconds(g_stallMs.load());
  a.lowSpeedLimit = static_cast<long>(std::min<uint64_t>(
      os::LimitFromEnvironment(os::kEnvLowSpeedLimit, static_cast<uint64_t>(g_lowSpeedLimit.load())), 1u << 30));
  a.lowSpeedTime = std::chrono::milliseconds(static_cast<long>(std::min<uint64_t>(
      os::LimitFromEnvironment(os::kEnvLowSpeedTime, 0) * 1000, 86400000)));
  if (a.lowSpeedTime.count() == 0) a.lowSpeedTime = std::chrono::milliseconds(g_lowSpeedMs.load());
  a.lastMove = std::chrono::steady_clock::now();
  a.windowStart = a.lastMove;
  a.maxBody = os::MaxXmlSize();
}

// The request body's extent: bodySize, and fileStart for a file.
void SetBody(Attempt& a) {
  const Request& request = a.request;
  a.hasBody = request.bodyFile || request.body.has_value();
  if (request.bodyFile) {
    uint64_t start = 0;
    uint64_t end = 0;
    if (!request.bodyFile->isOpen() || !request.bodyFile->Offset(start) || !request.bodyFile->Size(end))
      throw _com_error(E_INVALIDARG, "The request body is not a readable regular file" + Where(request));
    a.fileStart = start;
    a.bodySize = end > start ? end - start : 0;
  } else if (request.body) {
    a.bodySize = request.body->size();
  }
}

// One request/reply exchange with the given login; throws as Perform documents.
void RunAttempt(Attempt& attempt) {
  const Request& request = attempt.request;
  attempt.tls = TlsFromEnvironment();
  SetLimits(attempt);
  SetBody(attempt);
  backend::Carry(attempt);
  Response& response = attempt.response;
  if (attempt.failure != S_OK) response.status = 0;
  if (attempt.tls.insecure && attempt.newConnections > 0 && backend::IsHttps(attempt.wireUrl))
    os::ShowErrorAlert(InsecureWarning(attempt.wireUrl));

  if (const RequestObserver observer = t_observer)  // a copy: it may replace itself
    observer(RequestRecord{request.method, MaskPasswords(request.url), response.status, attempt.newConnections,
                           request.headers, std::string(request.body.value_or(std::string_view()))});

  if (attempt.error) std::rethrow_exception(attempt.error);
  if (attempt.tooLarge) {
    throw _com_error(kErrReplyTooLarge, "The server's reply is larger than " + os::XmlSizeCapText() + Where(request));
  }
  if (attempt.tooSlow) {
    throw _com_error(kErrTimeout, "The operation timed out: the transfer stayed under " +
                                      std::to_string(attempt.lowSpeedLimit) + " bytes per second for " +
                                      std::to_string(attempt.lowSpeedTime.count() / 1000) + " s (" +
                                      os::kEnvLowSpeedLimit + ", " + os::kEnvLowSpeedTime + ")" + Where(request));
  }
  if (attempt.stalled) {
    throw _com_error(kErrTimeout, "The operation timed out: no data moved for " +
                                      std::to_string(attempt.stallLimit.count()) + " ms" + Where(request));
  }
  if (attempt.failure != S_OK) {
    const std::string summary = attempt.summary.empty() ? SummaryOf(attempt.failure) : attempt.summary;
    throw _com_error(attempt.failure, summary + ": " + attempt.detail + Where(request));
  }
}

}  // namespace

namespace backend {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool IsHttps(std::string_view url) { return url.size() >= 8 && EqualsNoCase(url.substr(0, 8), "https://"); }

void TakeHeadLine(Attempt& attempt, std::string_view line) {
  Response& r = attempt.response;
  if (line.starts_with("HTTP/")) {  // a new reply (after 1xx or an authentication round)
    line = Trim(line);
    r.statusLine.assign(line);
    r.statusText.clear();
    r.headers.clear();
    r.status = 0;
    const size_t space = line.find(' ');
    if (space != std::string_view::npos) {
      std::string_view rest = line.substr(space + 1);
      size_t digits = 0;
      while (digits < rest.size() && digits < 3 && rest[digits] >= '0' && rest[digits] <= '9') {
        r.status = r.status * 10 + (rest[digits] - '0');
        ++digits;
      }
      r.statusText.assign(Trim(rest.substr(digits)));
    }
    if (r.status == 401) ++attempt.refusals;
    return;
  }
  if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {  // folded continuation
    if (!r.headers.empty()) {
      r.headers.back().value += ' ';
      r.headers.back().value.append(Trim(line));
    }
    return;
  }
  const size_t colon = line.find(':');
  if (colon != std::string_view::npos)
    r.headers.push_back(Header{std::string(Trim(line.substr(0, colon))), std::string(Trim(line.substr(colon + 1)))});
}

bool TakeBody(Attempt& attempt, std::string_view chunk) {
  Response& r = attempt.response;
  if (!attempt.request.sink) {
    if (r.body.size() + chunk.size() > attempt.maxBody) {
      attempt.tooLarge = true;
      return false;
    }
    r.body.append(chunk);
    return true;
  }
  if (r.status >= 200 && r.status < 300) {
    try {
      attempt.request.sink(chunk);
    } catch (...) {
      attempt.error = std::current_exception();
      return false;
    }
    return true;
  }
  if (r.body.size() < kKeptErrorBody) r.body.append(chunk.substr(0, kKeptErrorBody - r.body.size()));
  return true;
}

bool ReadBody(Attempt& attempt, char* buffer, size_t room, size_t& got) {
  const Request& request = attempt.request;
  if (!request.bodyFile) {
    const std::string_view body = request.body.value_or(std::string_view());
    got = std::min(room, body.size() - std::min(attempt.memoryOffset, body.size()));
    std::memcpy(buffer, body.data() + attempt.memoryOffset, got);
    attempt.memoryOffset += got;
    return true;
  }
  if (request.bodyFile->Read(buffer, room, got)) return true;
  attempt.error = std::make_exception_ptr(
      _com_error(kErrTransfer, "Cannot read the request body file: " + os::SystemMessageLine(os::LastError())));
  return false;
}

bool RewindBody(Attempt& attempt, uint64_t offset) {
  const Request& request = attempt.request;
  if (!request.bodyFile) {
    if (offset > request.body.value_or(std::string_view()).size()) return false;
    attempt.memoryOffset = static_cast<size_t>(offset);
    return true;
  }
  return request.bodyFile->Seek(attempt.fileStart + offset);
}

bool WatchProgress(Attempt& attempt, uint64_t down, uint64_t up) {
  const auto now = std::chrono::steady_clock::now();
  if (now - attempt.windowStart >= attempt.lowSpeedTime) {
    const int64_t moved = static_cast<int64_t>(down + up) - static_cast<int64_t>(attempt.windowBytes);
    const auto seconds =
        static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(now - attempt.windowStart).count()) / 1000.0;
    if (static_cast<double>(moved) < static_cast<double>(attempt.lowSpeedLimit) * seconds) {
      attempt.tooSlow = true;
      return false;
    }
    attempt.windowStart = now;
    attempt.windowBytes = down + up;
  }
  if (down != attempt.lastDown || up != attempt.lastUp) {
    attempt.lastDown = down;
    attempt.lastUp = up;
    attempt.lastMove = now;
    return true;
  }
  if (now - attempt.lastMove < attempt.stallLimit) return true;
  attempt.stalled = true;
  return false;
}

}  // namespace backend

std::string Response::GetHeader(std::string_view name) const {
  for (const Header& h : headers)
    if (backend::EqualsNoCase(h.name, name)) return h.value;
  return {};
}

Response Perform(const Request& request) {
  if (!IsToken(request.method)) throw _com_error(E_INVALIDARG, "Invalid request method '" + request.method + "'");
  if (request.url.find('\0') != std::string::npos || request.url.find_first_of("\r\n") != std::string::npos)
    throw _com_error(kErrInvalidUrl, "The URL is invalid" + Where(request));
  // A server resolves "." and ".." segments into another resource: such a URL is never sent.
  if (HasDotSegment(request.url))
    throw _com_error(kErrInvalidUrl, "The URL holds a '.' or '..' segment" + Where(request));
  const std::string wireUrl = EncodeUrl(request.url);  // without the user info
  CheckHeaders(request);
  uint64_t bodyStart = 0;
  if (request.bodyFile && !request.bodyFile->Offset(bodyStart))
    throw _com_error(E_INVALIDARG, "The request body is not a readable regular file" + Where(request));

  // The first source's credentials; the next source's when the first had none for a 401.
  Login login = FirstLogin(request, wireUrl);
  auto attempt = std::make_unique<Attempt>(request, wireUrl);
  attempt->login = login;
  RunAttempt(*attempt);
  for (int round = 0; round < 2 && attempt->response.status == 401 && NextLogin(request, wireUrl, *attempt, login);
       ++round) {
    if (request.bodyFile && !request.bodyFile->Seek(bodyStart))
      throw _com_error(kErrTransfer, "Cannot rewind the request body file: " + os::SystemMessageLine(os::LastError()));
    attempt = std::make_unique<Attempt>(request, wireUrl);
    attempt->login = login;
    RunAttempt(*attempt);
  }
  RememberLogin(wireUrl, login, *attempt);
  return std::move(attempt->response);
}

void SetTimeouts(const Timeouts& timeouts) {
  g_connectMs.store(std::max<long>(1, static_cast<long>(timeouts.connect.count())));
  g_stallMs.store(std::max<long>(1, static_cast<long>(timeouts.stall.count())));
  g_lowSpeedLimit.store(std::max<long>(0, timeouts.lowSpeedLimit));
  g_lowSpeedMs.store(std::max<long>(1, static_cast<long>(timeouts.lowSpeedTime.count())));
}

Timeouts GetTimeouts() {
  return Timeouts{std::chrono::milliseconds(g_connectMs.load()), std::chrono::milliseconds(g_stallMs.load()),
                  g_lowSpeedLimit.load(), std::chrono::milliseconds(g_lowSpeedMs.load())};
}

RequestObserver SetRequestObserver(RequestObserver observer) {
  RequestObserver previous = std::move(t_observer);
  t_observer = std::move(observer);
  return previous;
}

RequestObserver GetRequestObserver() { return t_observer; }

}  // namespace zan::http
