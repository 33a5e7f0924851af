// One attempt of a request over libcurl (transport_backend.h). The calling thread keeps one
// easy handle whose connection cache outlives each request.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/com/com_error.h"
#include "platform/http/http_errors.h"
#include "platform/http/security.h"
#include "platform/http/transport_backend.h"

namespace zan::http::backend {

// netrc's entry for the host, then the environment's credentials when netrc had none.
const LoginSource kLoginOrder[2] = {LoginSource::kPlatform, LoginSource::kEnvironment};

namespace {

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

// The calling thread's connection: one easy handle whose connection cache outlives each
// request. `busy` guards against a request started from inside another (observer, sink).
struct ThreadConnection {
  CurlPtr handle;
  bool busy = false;
};
thread_local ThreadConnection t_connection;

void GlobalInit() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (result != CURLE_OK) throw _com_error(kErrTransfer, std::string("libcurl cannot start: ") + curl_easy_strerror(result));
}

// libcurl's callbacks never let an exception pass through libcurl: the helpers store it and
// stop the transfer.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  const size_t bytes = size * count;
  TakeHeadLine(*static_cast<Attempt*>(user), std::string_view(data, bytes));
  return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  const size_t bytes = size * count;
  return TakeBody(*static_cast<Attempt*>(user), std::string_view(data, bytes)) ? bytes : 0;  // 0: CURLE_WRITE_ERROR
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
  size_t got = 0;
  return ReadBody(*static_cast<Attempt*>(user), buffer, size * count, got) ? got : CURL_READFUNC_ABORT;
}

int OnSeek(void* user, curl_off_t offset, int origin) {
  if (origin != SEEK_SET || offset < 0) return CURL_SEEKFUNC_CANTSEEK;
  return RewindBody(*static_cast<Attempt*>(user), static_cast<uint64_t>(offset)) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

// libcurl calls this often while data flows and about once a second while none does.
int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  return WatchProgress(*static_cast<Attempt*>(user), static_cast<uint64_t>(down), static_cast<uint64_t>(up)) ? 0 : 1;
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

// The summary where the code says more than its status; "" otherwise.
const char* SummaryOf(CURLcode code) {
  switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION: return "The server's certificate was not accepted";
    case CURLE_SSL_CERTPROBLEM: return "The client certificate could not be used";
    case CURLE_SSL_CACERT_BADFILE: return "The CA bundle could not be read";
    default: return "";
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

void Check(CURLcode code) {
  if (code != CURLE_OK) throw _com_error(kErrTransfer, std::string("libcurl option rejected: ") + curl_easy_strerror(code));
}

unsigned long CurlSchemes(unsigned schemes) {
  unsigned long bits = CURLAUTH_NONE;
  if (schemes & kBasic) bits |= CURLAUTH_BASIC;
  if (schemes & kDigest) bits |= CURLAUTH_DIGEST;
  if (schemes & kNtlm) bits |= CURLAUTH_NTLM;
  if (schemes & kNegotiate) bits |= CURLAUTH_NEGOTIATE;
  return bits;
}

unsigned SchemesOf(long curlBits) {
  const auto bits = static_cast<unsigned long>(curlBits);
  unsigned schemes = 0;
  if (bits & CURLAUTH_BASIC) schemes |= kBasic;
  if (bits & CURLAUTH_DIGEST) schemes |= kDigest;
  if (bits & CURLAUTH_NTLM) schemes |= kNtlm;
  if (bits & CURLAUTH_NEGOTIATE) schemes |= kNegotiate;
  if (bits & ~(CURLAUTH_BASIC | CURLAUTH_DIGEST | CURLAUTH_NTLM | CURLAUTH_NEGOTIATE)) schemes |= kOtherScheme;
  return schemes;
}

// The request's headers, checked by the caller, as libcurl takes them.
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
    expect = expect || EqualsNoCase(h.name, "Expect");
    // libcurl sends "Name;" as a header with an empty value ("Name:" would remove it).
    add(h.value.empty() ? h.name + ";" : h.name + ": " + h.value);
  }
  if (!expect) add("Expect:");  // no 100-continue round trip
  return list;
}

void Configure(CURL* h, Attempt& attempt, curl_slist* headers, char* errorBuffer) {
  const Request& request = attempt.request;
  curl_easy_reset(h);  // keeps the connection cache
  Check(curl_easy_setopt(h, CURLOPT_URL, attempt.wireUrl.c_str()));
  Check(curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L));  // the path goes out as given, never normalised
  Check(curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https"));
  Check(curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L));
  Check(curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer));
  Check(curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(attempt.connectTimeout.count())));
  Check(curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L));
  Check(curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress));
  Check(curl_easy_setopt(h, CURLOPT_XFERINFODATA, &attempt));
  Check(curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader));
  Check(curl_easy_setopt(h, CURLOPT_HEADERDATA, &attempt));
  Check(curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody));
  Check(curl_easy_setopt(h, CURLOPT_WRITEDATA, &attempt));
  Check(curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers));

  if (attempt.hasBody) {
    Check(curl_easy_setopt(h, CURLOPT_UPLOAD, 1L));
    Check(curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str()));
    Check(curl_easy_setopt(h, CURLOPT_READFUNCTION, &OnRead));
    Check(curl_easy_setopt(h, CURLOPT_READDATA, &attempt));
    Check(curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, &OnSeek));
    Check(curl_easy_setopt(h, CURLOPT_SEEKDATA, &attempt));
    Check(curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(attempt.bodySize)));
  } else if (request.method == "HEAD") {
    Check(curl_easy_setopt(h, CURLOPT_NOBODY, 1L));
  } else {
    Check(curl_easy_setopt(h, CURLOPT_HTTPGET, 1L));
    if (request.method != "GET") Check(curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str()));
  }
}

// Credentials, redirects and TLS of one attempt (security.h).
void ConfigureSecurity(CURL* h, const Attempt& attempt) {
  const Login& login = attempt.login;
  const TlsSettings& tls = attempt.tls;
  Check(curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L));  // a redirect is a reply, never followed
  Check(curl_easy_setopt(h, CURLOPT_UNRESTRICTED_AUTH, 0L));
  if (login.source == LoginSource::kPlatform) {
    Check(curl_easy_setopt(h, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL)));
    const std::string file = NetrcFile();
    if (!file.empty()) Check(curl_easy_setopt(h, CURLOPT_NETRC_FILE, file.c_str()));  // copied by libcurl
  } else if (login.source != LoginSource::kNone) {
    Check(curl_easy_setopt(h, CURLOPT_USERNAME, login.credentials.user.c_str()));
    Check(curl_easy_setopt(h, CURLOPT_PASSWORD, login.credentials.password.c_str()));
  }
  if (login.source != LoginSource::kNone) Check(curl_easy_setopt(h, CURLOPT_HTTPAUTH, CurlSchemes(login.schemes)));
  if (!IsHttps(attempt.wireUrl)) return;
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

}  // namespace

void Carry(Attempt& attempt) {
  GlobalInit();
  SlistPtr headers = BuildHeaders(attempt.request);
  char errorBuffer[CURL_ERROR_SIZE] = {};
  CURLcode code;
  long offered = 0;
  {
    HandleLease lease;
    Configure(lease.get(), attempt, headers.get(), errorBuffer);
    ConfigureSecurity(lease.get(), attempt);
    code = curl_easy_perform(lease.get());
    curl_easy_getinfo(lease.get(), CURLINFO_NUM_CONNECTS, &attempt.newConnections);
    curl_easy_getinfo(lease.get(), CURLINFO_HTTPAUTH_AVAIL, &offered);
    // The handle must not keep pointers into this frame.
    curl_easy_setopt(lease.get(), CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(lease.get(), CURLOPT_ERRORBUFFER, nullptr);
  }
  attempt.offered = SchemesOf(offered);
  if (code == CURLE_OK) return;
  attempt.detail = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
  if (const char* refusal = IsHttps(attempt.wireUrl) ? ClientCertificateRefusal(attempt.detail) : nullptr) {
    attempt.failure = kErrSecureChannel;
    attempt.summary = refusal;
    return;
  }
  attempt.failure = StatusOf(code);
  attempt.summary = SummaryOf(code);
}

}  // namespace zan::http::backend
