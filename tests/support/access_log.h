// The requests as the test server received them: its access log (scripts/davserver writes
// one line per request: method, path as sent, status, and the Depth and If headers), read
// from a mark on, so a test sees the shape of what went over the wire on any server.
#ifndef ZAN_TESTS_SUPPORT_ACCESS_LOG_H_
#define ZAN_TESTS_SUPPORT_ACCESS_LOG_H_

#include <string>
#include <string_view>
#include <vector>

namespace zan::test {

struct LoggedRequest {
  std::string method;
  std::string path;   // as sent: percent-encoded
  int status = 0;
  std::string depth;  // "" when the request had no Depth header
  std::string ifHeader;
};

class AccessLog {
 public:
  // The log of the server whose directory is dir (DavServer::Dir(), ExtraDavServer::Dir()),
  // from its current end on.
  AccessLog(std::string serverUrl, std::string dir);
  // The executable's server.
  AccessLog();

  // The requests logged since construction or the last Mark() whose path contains
  // pathPart; every request answered before the call is there.
  std::vector<LoggedRequest> Since(std::string_view pathPart = "");
  // The same as "METHOD PATH" lines, joined by "\n"; with depth or If header appended
  // ("PROPFIND /R/a/ Depth=1", "PUT /R/a If=</R/a> (<...>)") when the request had one.
  std::string Lines(std::string_view pathPart = "");
  // Forgets what was logged so far (once every request answered before is logged).
  void Mark();

 private:
  std::string ReadFrom(size_t offset) const;
  // Sends a marker request on the calling thread's connection and waits (bounded) until the
  // server has logged it, so every request it answered before is in the log; the log's text
  // from the mark on.
  std::string Settle();

  std::string serverUrl_;
  std::string file_;
  size_t start_ = 0;
};

}  // namespace zan::test

#endif
