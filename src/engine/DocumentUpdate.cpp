#include "engine/DocumentUpdate.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "base/GenException.h"

namespace zan::engine {

DocumentLock::DocumentLock(DocumentStore& store, std::string url, const UpdatePolicy& policy)
    : m_store(store), m_url(std::move(url)) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + policy.lockWait;
  std::chrono::milliseconds pause{20};
  for (;;) {
    try {
      m_token = m_store.Lock(m_url, policy.lockSeconds);
      return;
    } catch (CGenException& e) {
      if (e.GetErrorCode() != zan::err::kLocked) throw;
      const auto now = Clock::now();
      if (now >= deadline) {
        e.Rethrow("The document is locked by another client: " + m_url, zan::err::kLocked, "CZanDavEngine",
                  "LockDocument");
      }
      std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
      pause = std::min(pause * 2, std::chrono::milliseconds{400});
    }
  }
}

void DocumentLock::Release() noexcept {
  if (m_token.empty()) return;
  m_store.Unlock(m_url, m_token);
  m_token.clear();
}

bool UpdateDocument(DocumentStore& store, const std::string& url, const UpdatePolicy& policy, const MergeStep& merge,
                    std::string& merged) {
  DocumentLock lock(store, url, policy);
  for (int attempt = 1;; ++attempt) {
    std::string etag;
    const std::string stored = store.Read(url, etag);
    std::string text = merge(stored);
    CDavADOManager::WriteCondition condition;
    condition.lockToken = lock.token();
    if (condition.lockToken.empty()) condition.ifMatch = etag;
    try {
      if (!store.Write(url, text, condition)) return false;
    } catch (CGenException& e) {
      if (e.GetErrorCode() != zan::err::kPreconditionFailed || !condition.lockToken.empty()) throw;
      if (attempt < policy.writeAttempts) continue;  // changed since the read: merge again
      e.Rethrow("The document kept changing during the update: " + url, zan::err::kPreconditionFailed, "CZanDavEngine",
                "UpdateDocument");
    }
    merged = std::move(text);
    return true;
  }
}

}  // namespace zan::engine
