#include "engine/DocumentUpdate.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "base/GenException.h"

namespace zan::engine {

DocumentLock::DocumentLock(CDavADOManager& dav, std::string url, const UpdatePolicy& policy)
    : m_dav(dav), m_url(std::move(url)) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + policy.lockWait;
  std::chrono::milliseconds delay{20};
  for (;;) {
    try {
      m_token = m_dav.LockItem(m_url, policy.lockSeconds);
      return;
    } catch (CGenException& e) {
      if (e.GetErrorCode() != zan::err::kLocked) throw;
      const auto now = Clock::now();
      if (now >= deadline) {
        e.Rethrow("The document is locked by another client: " + m_url, zan::err::kLocked, "CZanDavEngine",
                  "LockDocument");
      }
      std::this_thread::sleep_for(std::min<Clock::duration>(delay, deadline - now));
      delay = std::min(delay * 2, std::chrono::milliseconds{400});
    }
  }
}

void DocumentLock::Release() noexcept {
  if (m_token.empty()) return;
  m_dav.UnlockItem(m_url, m_token);
  m_token.clear();
}

}  // namespace zan::engine
