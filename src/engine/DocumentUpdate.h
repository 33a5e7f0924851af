// Guarding the read-merge-write of one repository document against other writers.
//
// An update takes a short exclusive WebDAV lock on the document before it reads it and
// releases it after the merged document is written, on every path out. A second updater
// that finds the lock taken waits with a bounded backoff and then merges into the document
// as the first one left it; a write that the server refuses with 412 although the lock was
// granted (overlapping locks) runs lock, read and merge again, bounded. A server that offers
// no locking gets a write conditional on the document's strong ETag instead (read, merged
// and tried again, bounded, while another writer changes it). A weak ETag (Apache's, for a
// second after a write) is read again until it turns strong, bounded; when the server gives
// no strong ETag at all, the update fails and writes nothing: a write without a safe
// precondition could lose another client's change.
#ifndef ZAN_ENGINE_DOCUMENTUPDATE_H_
#define ZAN_ENGINE_DOCUMENTUPDATE_H_

#include <chrono>
#include <functional>
#include <string>

#include "dav/DavADOManager.h"

namespace zan::engine {

struct UpdatePolicy {
  // Lifetime of the lock on the server: bounds how long a client that dies mid-update
  // blocks others.
  int lockSeconds = 30;
  // How long an update waits for another client's lock before it fails with 423.
  std::chrono::milliseconds lockWait{10000};
  // How many times an update may find the document changed by another writer (a 412, or
  // a weak ETag that keeps changing) before it fails.
  int writeAttempts = 16;
  // Without locking: how long a weak ETag is read again, waiting for a strong one.
  std::chrono::milliseconds strongEtagWait{3000};
};

// What an update needs of the server. DavDocumentStore in production; a test may stand in.
class DocumentStore {
 public:
  virtual ~DocumentStore() = default;
  // A lock token, or "" when the server offers no locking (or gave no reply: the read then
  // reports the failure); raises code 423 when another client holds a lock.
  virtual std::string Lock(const std::string& url, int timeoutSeconds) = 0;
  virtual void Unlock(const std::string& url, const std::string& token) noexcept = 0;
  // The content, and the ETag as the server sent it ("W/" first when weak; "" when none).
  virtual std::string Read(const std::string& url, std::string& etag) = 0;
  // Raises code 412 when the condition (lock token or ETag) no longer holds.
  virtual bool Write(const std::string& url, const std::string& text,
                     const CDavADOManager::WriteCondition& condition) = 0;
};

// DocumentStore over the record/stream manager (LockItem, UnlockItem, GetFileStream,
// SetFileStream). Does not own the manager.
class DavDocumentStore : public DocumentStore {
 public:
  explicit DavDocumentStore(CDavADOManager& dav) : m_dav(dav) {}
  std::string Lock(const std::string& url, int timeoutSeconds) override { return m_dav.LockItem(url, timeoutSeconds); }
  void Unlock(const std::string& url, const std::string& token) noexcept override { m_dav.UnlockItem(url, token); }
  std::string Read(const std::string& url, std::string& etag) override { return m_dav.GetFileStream(url, &etag); }
  bool Write(const std::string& url, const std::string& text,
             const CDavADOManager::WriteCondition& condition) override {
    return m_dav.SetFileStream(url, text, condition);
  }

 private:
  CDavADOManager& m_dav;
};

// An exclusive write lock on one resource, released on destruction. Non-copyable.
class DocumentLock {
 public:
  // Locks url, trying again with a growing pause while another client holds it (423) until
  // policy.lockWait has passed; then raises code 423 "The document is locked by another
  // client: " + url (class "CZanDavEngine", method "LockDocument"). Other failures pass on.
  DocumentLock(DocumentStore& store, std::string url, const UpdatePolicy& policy);
  ~DocumentLock() { Release(); }
  DocumentLock(const DocumentLock&) = delete;
  DocumentLock& operator=(const DocumentLock&) = delete;

  // The lock token; empty when the server does not offer locking (or after Release).
  const std::string& token() const { return m_token; }
  // Releases the lock now (at most once); never throws.
  void Release() noexcept;

 private:
  DocumentStore& m_store;
  std::string m_url;
  std::string m_token;
};

// Whether two ETags, as the server sent them, name the same version of a document (a
// version's weak and strong ETags do); empty ones never do.
bool SameVersion(const std::string& etag, const std::string& other);

// Produces the document to store from the stored text; may throw (the update then fails and
// nothing is written).
using MergeStep = std::function<std::string(const std::string& stored)>;

// Whether a stored text still holds the update's changes; may throw.
using HoldsChanges = std::function<bool(const std::string& stored)>;

// Locks url, reads it, merges, writes the result and unlocks (on every path). Without a lock
// the write is conditional on the read's strong ETag (a weak one is read again for up to
// policy.strongEtagWait; none at all raises 412 "The server offers neither a lock nor a
// strong ETag for " + url + ", so the update could lose another client's change; nothing
// was written"). A 412 (with or without the lock) runs lock, read and merge again, up to
// policy.writeAttempts writes, then raises 412 "The document kept changing during the
// update: " + url. Both with class "CZanDavEngine", method "UpdateDocument". Without a lock,
// a write that another writer may have overwritten (servers check If-Match before they
// write, not with it) is confirmed with holdsChanges once the document is quiet again (a
// strong ETag, or policy.strongEtagWait over); a document that lost the changes counts as
// a 412. Without a lock, a merge that fails on a read which the document has since replaced
// (another writer's file caught half-way) runs again on a fresh read, within the same
// policy.writeAttempts; a document that has not changed fails with the merge's own error.
// merged receives the stored text. False when the write returns false.
bool UpdateDocument(DocumentStore& store, const std::string& url, const UpdatePolicy& policy, const MergeStep& merge,
                    std::string& merged, const HoldsChanges& holdsChanges = {});

}  // namespace zan::engine

#endif
