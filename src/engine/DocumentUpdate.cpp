#include "engine/DocumentUpdate.h"

#include <algorithm>
#include <optional>
#include <string_view>
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

// The ETag without its weak mark.
std::string_view Version(const std::string& etag) {
  return IsWeak(etag) ? std::string_view(etag).substr(2) : std::string_view(etag);
}

// Whether the document at url is no longer the version etag names (a read that fails says
// no: the caller's own failure then stands).
bool ChangedSince(DocumentStore& store, const std::string& url, const std::string& etag) noexcept {
  try {
    std::string now;
    store.Read(url, now);
    return !SameVersion(now, etag);
  } catch (...) {
    return false;
  }
}

// Reads url again while its ETag is weak, for up to policy.strongEtagWait; the content of
// the last read. changed: the ETag changed during the wait (another writer is at work).
std::string ReadWithStrongEtag(DocumentStore& store, const std::string& url, const UpdatePolicy& policy,
                               std::string stored, std::string& etag, bool& changed) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + policy.strongEtagWait;
  std::chrono::milliseconds pause{25};
  const std::string first = etag;
  changed = false;
  while (IsWeak(etag)) {
    const auto now = Clock::now();
    if (now >= deadline) break;
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds{250});
    stored = store.Read(url, etag);
    changed = changed || etag != first;
  }
  return stored;
}

}  // namespace

bool SameVersion(const std::string& etag, const std::string& other) {
  return !etag.empty() && !other.empty() && Version(etag) == Version(other);
}

bool UpdateDocument(DocumentStore& store, const std::string& url, const UpdatePolicy& policy, const MergeStep& merge,
                    std::string& merged, const HoldsChanges& holdsChanges) {
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
      bool changed = false;
      stored = ReadWithStrongEtag(store, url, policy, std::move(stored), etag, changed);
      if (IsWeak(etag) && changed) {  // others kept writing during the wait: try again, bounded
        if (attempt < policy.writeAttempts) continue;
        throw CGenException("The document kept changing during the update: " + url, zan::err::kPreconditionFailed,
                            "CZanDavEngine", "UpdateDocument");
      }
      if (etag.empty() || IsWeak(etag)) {
        throw CGenException("The server offers neither a lock nor a strong ETag for " + url +
                                ", so the update could lose another client's change; nothing was written",
                            zan::err::kPreconditionFailed, "CZanDavEngine", "UpdateDocument");
      }
      condition.ifMatch = etag;
    }
    std::string text;
    try {
      text = merge(stored);
    } catch (...) {
      // Without a lock, a read can catch the document while another writer replaces it (a
      // server may send the new file's bytes under the old one's length). When it has
      // changed since, it is read and merged again, bounded; else the failure is its own.
      if (locking || etag.empty() || attempt >= policy.writeAttempts || !ChangedSince(store, url, etag)) throw;
      continue;
    }
    bool stale = false;  // the write found the document changed, or the change did not stay
    try {
      if (!store.Write(url, text, condition)) return false;
    } catch (CGenException& e) {
      if (e.GetErrorCode() != zan::err::kPreconditionFailed) throw;
      if (attempt >= policy.writeAttempts) {
        e.Rethrow("The document kept changing during the update: " + url, zan::err::kPreconditionFailed,
                  "CZanDavEngine", "UpdateDocument");
      }
      stale = true;
    }
    if (!stale && !locking && holdsChanges) {
      // A server checks If-Match before it writes, not atomically with the write: another
      // writer that passed the same check may land just after. Once the document has been
      // quiet (a strong ETag again, or the wait is over), it must still hold the changes.
      std::string after;
      bool changed = false;
      std::string settled = ReadWithStrongEtag(store, url, policy, store.Read(url, after), after, changed);
      if (!holdsChanges(settled)) {
        if (attempt >= policy.writeAttempts) {
          throw CGenException("The document kept changing during the update: " + url, zan::err::kPreconditionFailed,
                              "CZanDavEngine", "UpdateDocument");
        }
        stale = true;
      }
    }
    if (stale) continue;  // lock, read and merge again
    merged = std::move(text);
    return true;
  }
}

}  // namespace zan::engine
