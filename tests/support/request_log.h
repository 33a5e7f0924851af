// Records the requests the calling thread performs while it lives (the platform transport's
// request observer), so a test can count requests per operation in one line.
#ifndef ZAN_TESTS_SUPPORT_REQUEST_LOG_H_
#define ZAN_TESTS_SUPPORT_REQUEST_LOG_H_

#include <string>
#include <vector>

#include "platform/http/transport.h"

namespace zan::test {

class RequestLog {
 public:
  RequestLog();   // installs itself as the thread's observer
  ~RequestLog();  // restores the previous observer
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  // The methods in order, blank-separated ("PROPFIND GET PUT").
  std::string Methods() const;
  int Count(const std::string& method) const;
  // Connections opened for the recorded requests.
  long NewConnections() const;
  const std::vector<http::RequestRecord>& records() const { return records_; }
  void Clear() { records_.clear(); }

 private:
  std::vector<http::RequestRecord> records_;
  http::RequestObserver previous_;
};

}  // namespace zan::test

#endif
