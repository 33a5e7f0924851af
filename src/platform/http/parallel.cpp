#include "platform/http/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/http/transport.h"
#include "platform/os/environment.h"

namespace zan::http {
namespace {

constexpr size_t kDefaultConnections = 8;
constexpr size_t kMaxConnections = 64;

std::atomic<size_t> g_connections{0};  // 0: not set by the host

size_t FromEnvironment() {
  static const size_t value = [] {
    const std::string env = os::EnvironmentValue("ZANCLIENT_CONNECTIONS");
    if (env.empty()) return kDefaultConnections;
    const char* text = env.c_str();
    char* end = nullptr;
    const unsigned long n = std::strtoul(text, &end, 10);
    if (*end != '\0' || n == 0) return kDefaultConnections;
    return static_cast<size_t>(std::min<unsigned long>(n, kMaxConnections));
  }();
  return value;
}

}  // namespace

size_t GetTransferConnections() {
  const size_t set = g_connections.load();
  return set ? set : FromEnvironment();
}

void SetTransferConnections(size_t connections) { g_connections.store(std::min(connections, kMaxConnections)); }

void RunParallel(size_t count, size_t connections, const std::function<void(size_t)>& task) {
  if (connections <= 1 || count <= 1) {
    for (size_t i = 0; i < count; ++i) task(i);
    return;
  }
  const RequestObserver observer = GetRequestObserver();
  std::mutex observerMutex;
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex errorMutex;
  size_t errorIndex = count;
  std::exception_ptr error;

  auto work = [&] {
    if (observer) {
      SetRequestObserver([&](const RequestRecord& record) {
        std::lock_guard<std::mutex> lock(observerMutex);
        observer(record);
      });
    }
    for (;;) {
      if (failed.load()) break;
      const size_t i = next.fetch_add(1);
      if (i >= count) break;
      try {
        task(i);
      } catch (...) {
        std::lock_guard<std::mutex> lock(errorMutex);
        if (i < errorIndex) {
          errorIndex = i;
          error = std::current_exception();
        }
        failed.store(true);
      }
    }
    SetRequestObserver({});
  };

  const size_t threads = std::min(connections, count);
  std::vector<std::thread> workers;
  workers.reserve(threads);
  try {
    for (size_t t = 0; t < threads; ++t) workers.emplace_back(work);
  } catch (...) {  // no more threads: the ones started carry on, and at least one must exist
    failed.store(workers.empty());
    if (workers.empty()) throw;
  }
  for (std::thread& w : workers) w.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace zan::http
