#include "platform/http/transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/com/com_error.h"
#include "platform/http/http_errors.h"
#include "platform/http/security.h"
#include "platform/http/url_encoding.h"
#include "platform/http/user_info.h"
#include "platform/os/alert.h"
#include "platform/os/lasterror.h"
#include "platform/os/limits.h"

namespace zan::http {
namespace {

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

constexpr size_t kKeptErrorBody = 64 * 1024;

std::atomic<long> g_connectMs{10000};
std::atomic<long> g_stallMs{30000};
std::atomic<long> g_lowSpeedLimit{256};
std::atomic<long> g_lowSpeedMs{30000};

// The calling thread's connection: one easy handle whose connection cache outlives each
// request. `busy` guards against a request started from inside another (observer, sink).
struct ThreadConnection {
  CurlPtr handle;
  bool busy = false;
  RequestObserver observer;
};
thread_local ThreadConnection t_connection;

void GlobalInit() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (result != CURLE_OK) throw _com_error(kErrTransfer, std::string("libcurl cannot start: ") + curl_easy_strerror(result));
}

bool IsTokenChar(unsigned char c) {
  if (c <= 32 || c >= 127) return false;
  return std::strchr("()<>@,;:\\\"/[]?={}", c) == nullptr;
}

bool IsToken(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return IsTokenChar(static_cast<unsigned char>(c)); });
}

bool IsSafeValue(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

// The state one transfer shares with libcurl's callbacks. Callbacks never let an exception
// pass through libcurl: they store it and stop the transfer.
struct Transfer {
  const Request& request;
  Response& response;
  size_t memoryOffset = 0;
  uint64_t fileStart = 0;
  std::exception_ptr error;
  // Stall watch: when a byte last moved, and whether the transfer was stopped for silence.
  std::chrono::milliseconds stallLimit{0};
  std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
  curl_off_t lastDown = 0;
  curl_off_t lastUp = 0;
  bool stalled = false;
  int refusals = 0;  // 401 replies seen (each authentication round brings one)
  // Low-speed watch: bytes moved since windowStart must reach lowSpeedLimit per second.
  long lowSpeedLimit = 0;
  std::chrono::milliseconds lowSpeedTime{0};
  std::chrono::steady_clock::time_point windowStart = std::chrono::steady_clock::now();
  curl_off_t windowBytes = 0;
  bool tooSlow = false;
  // The cap on a body kept in memory; tooLarge once it was passed.
  uint64_t maxBody = 0;
  bool tooLarge = false;

  Transfer(const Request& r, Response& out) : request(r), response(out) {}
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  std::string_view line(data, bytes);
  Response& r = t.response;
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
    if (r.status == 401) ++t.refusals;
    return bytes;
  }
  if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {  // folded continuation
    if (!r.headers.empty()) {
      r.headers.back().value += ' ';
      r.headers.back().value.append(Trim(line));
    }
    return bytes;
  }
  const size_t colon = line.find(':');
  if (colon != std::string_view::npos)
    r.headers.push_back(Header{std::string(Trim(line.substr(0, colon))), std::string(Trim(line.substr(colon + 1)))});
  return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  const std::string_view chunk(data, bytes);
  Response& r = t.response;
  if (!t.request.sink) {
    if (r.body.size() + chunk.size() > t.maxBody) {
      t.tooLarge = true;
      return 0;  // stops the transfer with CURLE_WRITE_ERROR
    }
    r.body.append(chunk);
    return bytes;
  }
  if (r.status >= 200 && r.status < 300) {
    try {
      t.request.sink(chunk);
    } catch (...) {
      t.error = std::current_exception();
      return 0;  // stops the transfer with CURLE_WRITE_ERROR
    }
    return bytes;
  }
  if (r.body.size() < kKeptErrorBody) r.body.append(chunk.substr(0, kKeptErrorBody - r.body.size()));
  return bytes;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t room = size * count;
  if (!t.request.bodyFile) {
    const std::string_view body = *t.request.body;
    const size_t n = std::min(room, body.size() - t.memoryOffset);
    std::memcpy(buffer, body.data() + t.memoryOffset, n);
    t.memoryOffset += n;
    return n;
  }
  size_t n = 0;
  if (t.request.bodyFile->Read(buffer, room, n)) return n;
  t.error = std::make_exception_ptr(_com_error(
      kErrTransfer, std::string("Cannot read the request body file: ") + os::SystemMessageLine(os::LastError())));
  return CURL_READFUNC_ABORT;
}

int OnSeek(void* user, curl_off_t offset, int origin) {
  auto& t = *static_cast<Transfer*>(user);
  if (origin != SEEK_SET || offset < 0) return CURL_SEEKFUNC_CANTSEEK;
  if (!t.request.bodyFile) {
    if (static_cast<size_t>(offset) > t.request.body->size()) return CURL_SEEKFUNC_FAIL;
    t.memoryOffset = static_cast<size_t>(offset);
    return CURL_SEEKFUNC_OK;
  }
  return t.request.bodyFile->Seek(t.fileStart + static_cast<uint64_t>(offset)) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

// Stops the transfer when no byte has moved for the stall limit. libcurl calls this often
// while data flows and about once a second while none does.
int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto& t = *static_cast<Transfer*>(user);
  const auto now = std::chrono::steady_clock::now();
  if (now - t.windowStart >= t.lowSpeedTime) {
    const curl_off_t moved = down + up - t.windowBytes;
    const auto seconds = std::chrono::duration_cast<std::chrono::milliseconds>(now - t.windowStart).count() / 1000.0;
    if (static_cast<double>(moved) < static_cast<double>(t.lowSpeedLimit) * seconds) {
      t.tooSlow = true;
      return 1;
    }
    t.windowStart = now;
    t.windowBytes = down + up;
  }
  if (down != t.lastDown || up != t.lastUp) {
    t.lastDown = down;
    t.lastUp = up;
    t.lastMove = now;
    return 0;
  }
  if (now - t.lastMove < t.stallLimit) return 0;
  t.stalled = true;
  return 1;
}

HRESULT StatusOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_CONNECT:
      return kErrCannotConnect;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kErrNameNotResolved;
    case CURLE_OPERATION_TIMEDOUT:
      return kErrTimeout;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return kErrConnectionAborted;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return kErrInvalidUrl;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
      return kErrSecureChannel;
    case CURLE_OUT_OF_MEMORY:
      return E_OUTOFMEMORY;
    default:
      return kErrTransfer;
  }
}

const char* SummaryOf(HRESULT status, CURLcode code) {
  switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION: return "The server's certificate was not accepted";
    case CURLE_SSL_CERTPROBLEM: return "The client certificate could not be used";
    case CURLE_SSL_CACERT_BADFILE: return "The CA bundle could not be read";
    default: break;
  }
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

// The summary of a connection the server ended with a TLS alert about the client's certificate
// (sent after the handshake in TLS 1.3, so libcurl reports a read error); nullptr otherwise.
const char* ClientCertificateRefusal(std::string_view detail) {
  if (detail.find("alert certificate required") != std::string_view::npos)
    return "The server requires a client certificate (ZANCLIENT_CLIENT_CERT, ZANCLIENT_CLIENT_KEY)";
  for (std::string_view alert : {"alert bad certificate", "alert unknown ca", "alert certificate unknown",
                                 "alert certificate expired", "alert certificate revoked"})
    if (detail.find(alert) != std::string_view::npos) return "The server did not accept the client certificate";
  return nullptr;
}

std::string Where(const Request& request) { return " (" + request.method + " " + MaskPasswords(request.url) + ")"; }

void Check(CURLcode code) {
  if (code != CURLE_OK) throw _com_error(kErrTransfer, std::string("libcurl option rejected: ") + curl_easy_strerror(code));
}

SlistPtr BuildHeaders(const Request& request) {
  SlistPtr list;
  bool expect = false;
  auto add = [&list](const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) throw _com_error(E_OUTOFMEMORY, "Out of memory");
    list.release();
    list.reset(grown);
  };
  for (const Header& h : request.headers) {
    if (!IsToken(h.name) || !IsSafeValue(h.value))
      throw _com_error(E_INVALIDARG, "Invalid request header '" + h.name + "'" + Where(request));
    expect = expect || EqualsNoCase(h.name, "Expect");
    // libcurl sends "Name;" as a header with an empty value ("Name:" would remove it).
    add(h.value.empty() ? h.name + ";" : h.name + ": " + h.value);
  }
  if (!expect) add("Expect:");  // no 100-continue round trip
  return list;
}

void Configure(CURL* h, const Request& request, Transfer& transfer, const std::string& wireUrl, curl_slist* headers,
               char* errorBuffer) {
  const long connectMs = static_cast<long>(
      std::min<uint64_t>(os::LimitFromEnvironment(os::kEnvConnectTimeout, 0) * 1000, 86400000));
  transfer.stallLimit = std::chrono::milliseconds(g_stallMs.load());
  transfer.lastMove = std::chrono::steady_clock::now();
  transfer.lowSpeedLimit = static_cast<long>(std::min<uint64_t>(
      os::LimitFromEnvironment(os::kEnvLowSpeedLimit, static_cast<uint64_t>(g_lowSpeedLimit.load())), 1u << 30));
  transfer.lowSpeedTime = std::chrono::milliseconds(static_cast<long>(std::min<uint64_t>(
      os::LimitFromEnvironment(os::kEnvLowSpeedTime, 0) * 1000, 86400000)));
  if (transfer.lowSpeedTime.count() == 0) transfer.lowSpeedTime = std::chrono::milliseconds(g_lowSpeedMs.load());
  transfer.windowStart = transfer.lastMove;
  transfer.maxBody = os::MaxXmlSize();
  curl_easy_reset(h);  // keeps the connection cache
  Check(curl_easy_setopt(h, CURLOPT_URL, wireUrl.c_str()));
  Check(curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L));  // the path goes out as given, never normalised
  Check(curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https"));
  Check(curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L));
  Check(curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer));
  Check(curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs > 0 ? connectMs : g_connectMs.load()));
  Check(curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L));
  Check(curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress));
  Check(curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer));
  Check(curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader));
  Check(curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer));
  Check(curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody));
  Check(curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer));
  Check(curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers));

  const bool hasBody = request.bodyFile || request.body.has_value();
  if (hasBody) {
    curl_off_t size = 0;
    if (request.bodyFile) {
      uint64_t start = 0;
      uint64_t end = 0;
      if (!request.bodyFile->isOpen() || !request.bodyFile->Offset(start) || !request.bodyFile->Size(end))
        throw _com_error(E_INVALIDARG, "The request body is not a readable regular file" + Where(request));
      transfer.fileStart = start;
      size = end > start ? static_cast<curl_off_t>(end - start) : 0;
    } else {
      size = static_cast<curl_off_t>(request.body->size());
    }
    Check(curl_easy_setopt(h, CURLOPT_UPLOAD, 1L));
    Check(curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str()));
    Check(curl_easy_setopt(h, CURLOPT_READFUNCTION, &OnRead));
    Check(curl_easy_setopt(h, CURLOPT_READDATA, &transfer));
    Check(curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, &OnSeek));
    Check(curl_easy_setopt(h, CURLOPT_SEEKDATA, &transfer));
    Check(curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, size));
  } else if (request.method == "HEAD") {
    Check(curl_easy_setopt(h, CURLOPT_NOBODY, 1L));
  } else {
    Check(curl_easy_setopt(h, CURLOPT_HTTPGET, 1L));
    if (request.method != "GET") Check(curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str()));
  }
}

bool IsHttps(std::string_view url) { return url.size() >= 8 && EqualsNoCase(url.substr(0, 8), "https://"); }

// "scheme://host:port" of a URL, lower-cased: the key of what a server asked for.
std::string OriginOf(std::string_view url) {
  const size_t scheme = url.find("://");
  const size_t slash = scheme == std::string_view::npos ? url.npos : url.find('/', scheme + 3);
  std::string origin(url.substr(0, slash));
  for (char& c : origin) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return origin;
}

// Where one attempt's credentials come from (security.h gives the order).
enum class LoginSource { kNone, kGiven, kNetrc, kEnvironment };
struct Login {
  LoginSource source = LoginSource::kNone;
  Credentials credentials;                // kGiven, kEnvironment
  unsigned long schemes = CURLAUTH_NONE;  // offered to libcurl
};

// One attempt's outcome.
struct Exchange {
  Response response;
  int refusals = 0;   // 401 replies within the attempt: 1 means libcurl sent no credentials
  long offered = 0;   // CURLAUTH_* schemes of the last 401's challenges
};

// The schemes libcurl may negotiate: Basic only where the password travels encrypted.
unsigned long AllowedSchemes(std::string_view url) {
  const unsigned long schemes = CURLAUTH_DIGEST | CURLAUTH_NEGOTIATE | CURLAUTH_NTLM;
  return IsHttps(url) ? schemes | CURLAUTH_BASIC : schemes;
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

bool SetCredentials(Login& login, LoginSource source, const Request& request) {
  std::optional<Credentials> found;
  if (source == LoginSource::kGiven) found = GivenCredentials(request);
  if (source == LoginSource::kEnvironment) found = EnvironmentCredentials();
  if (source != LoginSource::kNetrc && !found) return false;
  login.source = source;
  login.credentials = found ? std::move(*found) : Credentials{};
  return true;
}

// The given credentials, else netrc's; or what worked before on the origin. libcurl sends
// none before the server's 401: with several schemes allowed it first asks without (and so
// never sends a body-less probe, which an open server would store as an empty resource).
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
      if (known.basic && IsHttps(wireUrl)) login.schemes = CURLAUTH_BASIC;
      return login;
    }
  }
  if (!SetCredentials(login, LoginSource::kGiven, request)) SetCredentials(login, LoginSource::kNetrc, request);
  return login;
}

// The login of the next attempt after a 401, or false when there is none left to try.
bool NextLogin(const Request& request, const std::string& wireUrl, const Exchange& last, Login& login) {
  const bool sentNone = last.refusals <= 1;  // libcurl answered no challenge: it had no credentials
  Login next;
  next.schemes = AllowedSchemes(wireUrl);
  if (login.schemes == CURLAUTH_BASIC) {  // a remembered Basic was refused: negotiate afresh
    if (!SetCredentials(next, login.source, request)) return false;
  } else if (login.source == LoginSource::kNetrc) {  // netrc had no entry for the host
    if (!sentNone || !SetCredentials(next, LoginSource::kEnvironment, request)) return false;
  } else {
    return false;  // the given or the environment's credentials were refused
  }
  login = std::move(next);
  return true;
}

void RememberLogin(const std::string& wireUrl, const Login& login, const Exchange& last) {
  const std::string origin = OriginOf(wireUrl);
  std::lock_guard<std::mutex> lock(g_knownMutex);
  if (last.response.status == 401) {
    std::erase_if(g_known, [&](const KnownLogin& k) { return k.origin == origin; });
    return;
  }
  if (last.offered == 0) return;  // no challenge answered: nothing new learnt
  std::erase_if(g_known, [&](const KnownLogin& k) { return k.origin == origin; });
  if (g_known.size() < 64)
    g_known.push_back(KnownLogin{origin, login.source, last.offered == static_cast<long>(CURLAUTH_BASIC)});
}

// Credentials, redirects and TLS of one attempt (security.h).
void ConfigureSecurity(CURL* h, const std::string& wireUrl, const Login& login, const TlsSettings& tls) {
  Check(curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L));  // a redirect is a reply, never followed
  Check(curl_easy_setopt(h, CURLOPT_UNRESTRICTED_AUTH, 0L));
  if (login.source == LoginSource::kNetrc) {
    Check(curl_easy_setopt(h, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL)));
    const std::string file = NetrcFile();
    if (!file.empty()) Check(curl_easy_setopt(h, CURLOPT_NETRC_FILE, file.c_str()));  // copied by libcurl
  } else if (login.source != LoginSource::kNone) {
    Check(curl_easy_setopt(h, CURLOPT_USERNAME, login.credentials.user.c_str()));
    Check(curl_easy_setopt(h, CURLOPT_PASSWORD, login.credentials.password.c_str()));
  }
  if (login.source != LoginSource::kNone) Check(curl_easy_setopt(h, CURLOPT_HTTPAUTH, login.schemes));
  if (!IsHttps(wireUrl)) return;
  if (!tls.caBundle.empty()) Check(curl_easy_setopt(h, CURLOPT_CAINFO, tls.caBundle.c_str()));
  if (!tls.clientCert.empty()) Check(curl_easy_setopt(h, CURLOPT_SSLCERT, tls.clientCert.c_str()));
  if (!tls.clientKey.empty()) Check(curl_easy_setopt(h, CURLOPT_SSLKEY, tls.clientKey.c_str()));
  if (!tls.keyPassword.empty()) Check(curl_easy_setopt(h, CURLOPT_KEYPASSWD, tls.keyPassword.c_str()));
  if (tls.insecure) {
    Check(curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L));
    Check(curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L));
  }
}

// Marks the thread's handle busy for one request, or lends a fresh handle when it already is.
class HandleLease {
 public:
  HandleLease() {
    ThreadConnection& c = t_connection;
    if (c.busy) {
      own_.reset(curl_easy_init());
      handle_ = own_.get();
    } else {
      if (!c.handle) c.handle.reset(curl_easy_init());
      handle_ = c.handle.get();
      c.busy = handle_ != nullptr;
      lent_ = c.busy;
    }
    if (!handle_) throw _com_error(E_OUTOFMEMORY, "libcurl cannot create a connection handle");
  }
  ~HandleLease() {
    if (lent_) t_connection.busy = false;
  }
  HandleLease(const HandleLease&) = delete;
  HandleLease& operator=(const HandleLease&) = delete;
  CURL* get() const { return handle_; }

 private:
  CurlPtr own_;
  CURL* handle_ = nullptr;
  bool lent_ = false;
};

// One request/reply exchange with the given login; throws as Perform documents.
Exchange Attempt(const Request& request, const std::string& wireUrl, curl_slist* headers, const Login& login) {
  Exchange exchange;
  Response& response = exchange.response;
  Transfer transfer(request, response);
  char errorBuffer[CURL_ERROR_SIZE] = {};
  const TlsSettings tls = TlsFromEnvironment();

  CURLcode code;
  long newConnections = 0;
  {
    HandleLease lease;
    Configure(lease.get(), request, transfer, wireUrl, headers, errorBuffer);
    ConfigureSecurity(lease.get(), wireUrl, login, tls);
    code = curl_easy_perform(lease.get());
    curl_easy_getinfo(lease.get(), CURLINFO_NUM_CONNECTS, &newConnections);
    curl_easy_getinfo(lease.get(), CURLINFO_HTTPAUTH_AVAIL, &exchange.offered);
    // The handle must not keep pointers into this frame.
    curl_easy_setopt(lease.get(), CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(lease.get(), CURLOPT_ERRORBUFFER, nullptr);
  }
  if (code != CURLE_OK) response.status = 0;
  exchange.refusals = transfer.refusals;
  if (tls.insecure && newConnections > 0 && IsHttps(wireUrl)) os::ShowErrorAlert(InsecureWarning(wireUrl));

  if (const RequestObserver observer = t_connection.observer)  // a copy: it may replace itself
    observer(RequestRecord{request.method, MaskPasswords(request.url), response.status, newConnections, request.headers,
                           std::string(request.body.value_or(std::string_view()))});

  if (transfer.error) std::rethrow_exception(transfer.error);
  if (transfer.tooLarge) {
    throw _com_error(kErrReplyTooLarge, "The server's reply is larger than " + os::XmlSizeCapText() + Where(request));
  }
  if (transfer.tooSlow) {
    throw _com_error(kErrTimeout, "The operation timed out: the transfer stayed under " +
                                      std::to_string(transfer.lowSpeedLimit) + " bytes per second for " +
                                      std::to_string(transfer.lowSpeedTime.count() / 1000) + " s (" +
                                      os::kEnvLowSpeedLimit + ", " + os::kEnvLowSpeedTime + ")" + Where(request));
  }
  if (transfer.stalled) {
    throw _com_error(kErrTimeout, "The operation timed out: no data moved for " +
                                      std::to_string(transfer.stallLimit.count()) + " ms" + Where(request));
  }
  if (code != CURLE_OK) {
    const std::string detail = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
    if (const char* refusal = IsHttps(wireUrl) ? ClientCertificateRefusal(detail) : nullptr)
      throw _com_error(kErrSecureChannel, std::string(refusal) + ": " + detail + Where(request));
    const HRESULT status = StatusOf(code);
    throw _com_error(status, std::string(SummaryOf(status, code)) + ": " + detail + Where(request));
  }
  return exchange;
}

}  // namespace

std::string Response::GetHeader(std::string_view name) const {
  for (const Header& h : headers)
    if (EqualsNoCase(h.name, name)) return h.value;
  return {};
}

Response Perform(const Request& request) {
  GlobalInit();
  if (!IsToken(request.method)) throw _com_error(E_INVALIDARG, "Invalid request method '" + request.method + "'");
  if (request.url.find('\0') != std::string::npos || request.url.find_first_of("\r\n") != std::string::npos)
    throw _com_error(kErrInvalidUrl, "The URL is invalid" + Where(request));
  // A server resolves "." and ".." segments into another resource: such a URL is never sent.
  if (HasDotSegment(request.url))
    throw _com_error(kErrInvalidUrl, "The URL holds a '.' or '..' segment" + Where(request));
  const std::string wireUrl = EncodeUrl(request.url);  // without the user info
  SlistPtr headers = BuildHeaders(request);
  uint64_t bodyStart = 0;
  if (request.bodyFile && !request.bodyFile->Offset(bodyStart))
    throw _com_error(E_INVALIDARG, "The request body is not a readable regular file" + Where(request));

  // The first source's credentials; the environment's when netrc had none for a 401.
  Login login = FirstLogin(request, wireUrl);
  Exchange exchange = Attempt(request, wireUrl, headers.get(), login);
  for (int round = 0; round < 2 && exchange.response.status == 401 && NextLogin(request, wireUrl, exchange, login); ++round) {
    if (request.bodyFile && !request.bodyFile->Seek(bodyStart))
      throw _com_error(kErrTransfer,
                       std::string("Cannot rewind the request body file: ") + os::SystemMessageLine(os::LastError()));
    exchange = Attempt(request, wireUrl, headers.get(), login);
  }
  RememberLogin(wireUrl, login, exchange);
  return std::move(exchange.response);
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
  RequestObserver previous = std::move(t_connection.observer);
  t_connection.observer = std::move(observer);
  return previous;
}

RequestObserver GetRequestObserver() { return t_connection.observer; }

}  // namespace zan::http
