#include "support/request_log.h"

namespace zan::test {

RequestLog::RequestLog() {
  previous_ = http::SetRequestObserver([this](const http::RequestRecord& r) { records_.push_back(r); });
}

RequestLog::~RequestLog() { http::SetRequestObserver(std::move(previous_)); }

std::string RequestLog::Methods() const {
  std::string out;
  for (const auto& r : records_) out += (out.empty() ? "" : " ") + r.method;
  return out;
}

int RequestLog::Count(const std::string& method) const {
  int n = 0;
  for (const auto& r : records_) n += r.method == method;
  return n;
}

long RequestLog::NewConnections() const {
  long n = 0;
  for (const auto& r : records_) n += r.newConnections;
  return n;
}

}  // namespace zan::test
