#include "engine/DocumentUpdate.h"

#include <algorithm>
#include <optional>
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

namespace {

bool IsWeak(const std::string& etag) { return etag.rfind("W/", 0) == 0; }

// Reads url again while its ETag is weak, for up to policy.strongEtagWait; the content of
// the last read.
std::string ReadWithStrongEtag(DocumentStore& store, const std::string& url, const UpdatePolicy& policy,
                               std::string stored, std::string& etag) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + policy.strongEtagWait;
  std::chrono::milliseconds pause{50};
  while (IsWeak(etag)) {
    const auto now = Clock::now();
    if (now >= deadline) break;
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds{250});
    stored = store.Read(url, etag);
  }
  return stored;
}

}  // namespace

bool UpdateDocument(DocumentStore& store, const std::string& url, const UpdatePolicy& policy, const MergeStep& merge,
                    std::string& merged) {
  bool locking = true;  // until the server shows it offers no locking
  for (int attempt = 1;; ++attempt) {
    std::optional<DocumentLock> lock;
    if (locking) lock.emplace(store, url, policy);
    std::string etag;
    std::string stored = store.Read(url, etag);
    CDavADOManager::WriteCondition condition;
    if (lock) condition.lockToken = lock->token();
    locking = !condition.lockToken.empty();
    if (!locking) {
      stored = ReadWithStrongEtag(store, url, policy, std::move(stored), etag);
      if (etag.empty() || IsWeak(etag)) {
        throw CGenException("The server offers neither a lock nor a strong ETag for " + url +
                                ", so the update could lose another client's change; nothing was written",
                            zan::err::kPreconditionFailed, "CZanDavEngine", "UpdateDocument");
      }
      condition.ifMatch = etag;
    }
    std::string text = merge(stored);
    try {
      if (!store.Write(url, text, condition)) return false;
    } catch (CGenException& e) {
      if (e.GetErrorCode() != zan::err::kPreconditionFailed) throw;
      if (attempt < policy.writeAttempts) continue;  // changed since the read: lock, read and merge again
      e.Rethrow("The document kept changing during the update: " + url, zan::err::kPreconditionFailed, "CZanDavEngine",
                "UpdateDocument");
    }
    merged = std::move(text);
    return true;
  }
}

}  // namespace zan::engine
