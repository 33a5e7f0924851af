// The seam between the portable transport (transport.cpp: checks, credential order, limits,
// texts, observer) and the system's HTTP stack that carries one attempt of a request
// (transport_posix.cpp: libcurl; transport_win32.cpp: WinHTTP). Private to platform/http.
#ifndef ZAN_PLATFORM_HTTP_TRANSPORT_BACKEND_H_
#define ZAN_PLATFORM_HTTP_TRANSPORT_BACKEND_H_

#include <chrono>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "platform/http/security.h"
#include "platform/http/transport.h"
#include "zanclient/com.h"

namespace zan::http::backend {

// Where one attempt's credentials come from (security.h gives the order).
enum class LoginSource {
  kNone,
  kGiven,        // the request's user, else the URL's user info
  kPlatform,     // the backend's own: netrc (libcurl), the logged-on user (WinHTTP)
  kEnvironment,  // ZANCLIENT_USER / ZANCLIENT_PASSWORD
};

// Authentication schemes, as offered to a server and as a server's 401 offers them.
enum Scheme : unsigned {
  kBasic = 1,
  kDigest = 2,
  kNtlm = 4,
  kNegotiate = 8,
  kOtherScheme = 16,  // any scheme the transport does not answer
};

struct Login {
  LoginSource source = LoginSource::kNone;
  Credentials credentials;  // of kGiven and kEnvironment
  unsigned schemes = 0;     // Scheme bits the backend may answer with; kBasic alone: sent at once
};

// The sources after the request's own, in the order the backend consults them. A kPlatform
// that answered no challenge passes the turn to the source after it.
extern const LoginSource kLoginOrder[2];

// One attempt of a request: set up by the portable part, carried out by Carry, reported back.
struct Attempt {
  Attempt(const Request& r, std::string url) : request(r), wireUrl(std::move(url)) {}
  Attempt(const Attempt&) = delete;
  Attempt& operator=(const Attempt&) = delete;

  // In.
  const Request& request;
  const std::string wireUrl;  // encoded, without user info
  Login login;
  TlsSettings tls;
  std::chrono::milliseconds connectTimeout{0};
  std::chrono::milliseconds stallLimit{0};  // longest silence, waiting for the reply included
  long lowSpeedLimit = 0;                   // bytes per second over lowSpeedTime, both ways
  std::chrono::milliseconds lowSpeedTime{0};
  uint64_t maxBody = 0;   // cap on a body kept in Response::body
  bool hasBody = false;   // request.body or request.bodyFile
  uint64_t bodySize = 0;  // bytes of that body
  uint64_t fileStart = 0; // offset of bodyFile where its body starts

  // Out.
  Response response;
  long newConnections = 0;  // connections opened for this attempt
  int refusals = 0;         // 401 replies seen; 1 means no credentials were sent
  unsigned offered = 0;     // Scheme bits of the last 401's challenges
  // Why the transfer stopped early, set by the helpers below (checked in this order).
  std::exception_ptr error;  // a sink threw, or the body file could not be read
  bool tooLarge = false;
  bool tooSlow = false;
  bool stalled = false;
  // Any other failure: its status (http_errors.h; S_OK: none), a summary when it says more
  // than the status's own ("The server's certificate was not accepted"), and the stack's text.
  HRESULT failure = S_OK;
  std::string summary;
  std::string detail;

  // The helpers' own state.
  size_t memoryOffset = 0;
  std::chrono::steady_clock::time_point lastMove{};
  uint64_t lastDown = 0;
  uint64_t lastUp = 0;
  std::chrono::steady_clock::time_point windowStart{};
  uint64_t windowBytes = 0;
};

// Carries out one exchange (with as many authentication rounds as the login answers) and
// fills the Out fields. Throws _com_error only when it cannot start the exchange.
void Carry(Attempt& attempt);

// Helpers of the portable part for the backends.

// One line of a reply's head: a status line starts a new reply (after 1xx or an
// authentication round: the headers so far are dropped); a header line is added to it.
void TakeHeadLine(Attempt& attempt, std::string_view line);
// A chunk of the reply body: kept (capped), or given to the sink for a 2xx reply (the kept
// error body is cut at 64 KiB). False: stop the transfer (tooLarge or error set).
bool TakeBody(Attempt& attempt, std::string_view chunk);
// Up to room bytes of the request body from where the last read stopped; got 0 at its end.
// False: stop the transfer (error set).
bool ReadBody(Attempt& attempt, char* buffer, size_t room, size_t& got);
// Restarts the request body at offset (from its start). False when it cannot.
bool RewindBody(Attempt& attempt, uint64_t offset);
// Totals of bytes received and sent so far; call often while data moves and about once a
// second while none does. False: stop the transfer (tooSlow or stalled set).
bool WatchProgress(Attempt& attempt, uint64_t down, uint64_t up);

bool IsHttps(std::string_view url);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace zan::http::backend

#endif
