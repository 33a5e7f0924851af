#include "platform/http/transport.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>

#include "platform/com/com_error.h"
#include "platform/http/http_errors.h"
#include "platform/http/url_encoding.h"

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
  off_t fileStart = 0;
  std::exception_ptr error;
  // Stall watch: when a byte last moved, and whether the transfer was stopped for silence.
  std::chrono::milliseconds stallLimit{0};
  std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
  curl_off_t lastDown = 0;
  curl_off_t lastUp = 0;
  bool stalled = false;

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
  if (t.request.bodyFd < 0) {
    const std::string_view body = *t.request.body;
    const size_t n = std::min(room, body.size() - t.memoryOffset);
    std::memcpy(buffer, body.data() + t.memoryOffset, n);
    t.memoryOffset += n;
    return n;
  }
  for (;;) {
    const ssize_t n = ::read(t.request.bodyFd, buffer, room);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EINTR) continue;
    t.error = std::make_exception_ptr(
        _com_error(kErrTransfer, std::string("Cannot read the request body file: ") + std::strerror(errno)));
    return CURL_READFUNC_ABORT;
  }
}

int OnSeek(void* user, curl_off_t offset, int origin) {
  auto& t = *static_cast<Transfer*>(user);
  if (origin != SEEK_SET || offset < 0) return CURL_SEEKFUNC_CANTSEEK;
  if (t.request.bodyFd < 0) {
    if (static_cast<size_t>(offset) > t.request.body->size()) return CURL_SEEKFUNC_FAIL;
    t.memoryOffset = static_cast<size_t>(offset);
    return CURL_SEEKFUNC_OK;
  }
  return ::lseek(t.request.bodyFd, t.fileStart + static_cast<off_t>(offset), SEEK_SET) < 0 ? CURL_SEEKFUNC_FAIL
                                                                                           : CURL_SEEKFUNC_OK;
}

// Stops the transfer when no byte has moved for the stall limit. libcurl calls this often
// while data flows and about once a second while none does.
int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto& t = *static_cast<Transfer*>(user);
  const auto now = std::chrono::steady_clock::now();
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
      return kErrSecureChannel;
    case CURLE_OUT_OF_MEMORY:
      return E_OUTOFMEMORY;
    default:
      return kErrTransfer;
  }
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

std::string Where(const Request& request) { return " (" + request.method + " " + request.url + ")"; }

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
  const long connectMs = g_connectMs.load();
  transfer.stallLimit = std::chrono::milliseconds(g_stallMs.load());
  transfer.lastMove = std::chrono::steady_clock::now();
  curl_easy_reset(h);  // keeps the connection cache
  Check(curl_easy_setopt(h, CURLOPT_URL, wireUrl.c_str()));
  Check(curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https"));
  Check(curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L));
  Check(curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer));
  Check(curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs));
  Check(curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L));
  Check(curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress));
  Check(curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer));
  Check(curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader));
  Check(curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer));
  Check(curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody));
  Check(curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer));
  Check(curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers));
  if (!request.user.empty()) {
    Check(curl_easy_setopt(h, CURLOPT_USERNAME, request.user.c_str()));
    Check(curl_easy_setopt(h, CURLOPT_PASSWORD, request.password.c_str()));
    Check(curl_easy_setopt(h, CURLOPT_HTTPAUTH, CURLAUTH_ANY));
  }

  const bool hasBody = request.bodyFd >= 0 || request.body.has_value();
  if (hasBody) {
    curl_off_t size = 0;
    if (request.bodyFd >= 0) {
      struct stat st {};
      const off_t start = ::lseek(request.bodyFd, 0, SEEK_CUR);
      if (::fstat(request.bodyFd, &st) != 0 || !S_ISREG(st.st_mode) || start < 0)
        throw _com_error(E_INVALIDARG, "The request body is not a readable regular file" + Where(request));
      transfer.fileStart = start;
      size = st.st_size > start ? st.st_size - start : 0;
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
  Response response;
  Transfer transfer(request, response);
  const std::string wireUrl = EncodeUrl(request.url);
  SlistPtr headers = BuildHeaders(request);
  char errorBuffer[CURL_ERROR_SIZE] = {};

  CURLcode code;
  long newConnections = 0;
  {
    HandleLease lease;
    Configure(lease.get(), request, transfer, wireUrl, headers.get(), errorBuffer);
    code = curl_easy_perform(lease.get());
    curl_easy_getinfo(lease.get(), CURLINFO_NUM_CONNECTS, &newConnections);
    // The handle must not keep pointers into this frame.
    curl_easy_setopt(lease.get(), CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(lease.get(), CURLOPT_ERRORBUFFER, nullptr);
  }
  if (code != CURLE_OK) response.status = 0;

  if (const RequestObserver observer = t_connection.observer)  // a copy: it may replace itself
    observer(RequestRecord{request.method, request.url, response.status, newConnections, request.headers,
                           std::string(request.body.value_or(std::string_view()))});

  if (transfer.error) std::rethrow_exception(transfer.error);
  if (transfer.stalled) {
    throw _com_error(kErrTimeout, "The operation timed out: no data moved for " +
                                      std::to_string(transfer.stallLimit.count()) + " ms" + Where(request));
  }
  if (code != CURLE_OK) {
    const HRESULT status = StatusOf(code);
    const std::string detail = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
    throw _com_error(status, std::string(SummaryOf(status)) + ": " + detail + Where(request));
  }
  return response;
}

void SetTimeouts(const Timeouts& timeouts) {
  g_connectMs.store(std::max<long>(1, static_cast<long>(timeouts.connect.count())));
  g_stallMs.store(std::max<long>(1, static_cast<long>(timeouts.stall.count())));
}

Timeouts GetTimeouts() {
  return Timeouts{std::chrono::milliseconds(g_connectMs.load()), std::chrono::milliseconds(g_stallMs.load())};
}

RequestObserver SetRequestObserver(RequestObserver observer) {
  RequestObserver previous = std::move(t_connection.observer);
  t_connection.observer = std::move(observer);
  return previous;
}

}  // namespace zan::http
