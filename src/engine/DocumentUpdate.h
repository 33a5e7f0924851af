// Guarding the read-merge-write of one repository document against other writers.
//
// An update takes a short exclusive WebDAV lock on the document before it reads it and
// releases it after the merged document is written, on every path out. A second updater
// that finds the lock taken waits with a bounded backoff and then merges into the document
// as the first one left it. A server that offers no locking gets a write conditional on the
// document's strong ETag instead (repeated, bounded, while another writer changes it), or a
// plain write when the server reports no strong ETag.
#ifndef ZAN_ENGINE_DOCUMENTUPDATE_H_
#define ZAN_ENGINE_DOCUMENTUPDATE_H_

#include <chrono>
#include <string>

#include "dav/DavADOManager.h"

namespace zan::engine {

struct UpdatePolicy {
  // Lifetime of the lock on the server: bounds how long a client that dies mid-update
  // blocks others.
  int lockSeconds = 30;
  // How long an update waits for another client's lock before it fails with 423.
  std::chrono::milliseconds lockWait{10000};
  // How many conditional writes may find the document changed (412) before the update fails.
  int writeAttempts = 5;
};

// An exclusive write lock on one resource, released on destruction. Non-copyable.
class DocumentLock {
 public:
  // Locks url, retrying while another client holds it (423) until policy.lockWait has
  // passed; then raises code 423 "The document is locked by another client: " + url (class
  // "CZanDavEngine", method "LockDocument"). Other failures of the lock request pass on.
  DocumentLock(CDavADOManager& dav, std::string url, const UpdatePolicy& policy);
  ~DocumentLock() { Release(); }
  DocumentLock(const DocumentLock&) = delete;
  DocumentLock& operator=(const DocumentLock&) = delete;

  // The lock token; empty when the server does not offer locking.
  const std::string& token() const { return m_token; }
  // Releases the lock now (at most once); never throws.
  void Release() noexcept;

 private:
  CDavADOManager& m_dav;
  std::string m_url;
  std::string m_token;
};

}  // namespace zan::engine

#endif
