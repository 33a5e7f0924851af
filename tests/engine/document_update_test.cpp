// The guarded read-merge-write of a document, driven through a stand-in store that can give
// what Apache cannot be made to: no locking, a document that changes between read and write.
#include <gtest/gtest.h>

#include <string>

#include "base/GenException.h"
#include "engine/DocumentUpdate.h"
#include "engine_fixture.h"

namespace zan::test {
namespace {

using zan::engine::DocumentStore;
using zan::engine::UpdatePolicy;

class StandInStore : public DocumentStore {
 public:
  bool locking = true;        // false: Lock returns "" (no locking offered)
  bool strongEtags = true;    // false: Read reports no ETag at all
  int weakReads = 0;          // reads that report the ETag as weak (W/), as Apache for a second
  int lockLost = 0;           // writes under the lock that the server refuses with 412
  int overwritten = 0;        // conditional writes that another writer, passing the same check, overwrites
  int lockedTries = 0;        // Lock calls that find another client's lock (423)
  int concurrentChanges = 0;  // conditional writes that find the document changed (412)
  int tornReads = 0;          // reads that catch another writer's replacement half-way: "torn"
                              // under the old version's ETag, the new version in place after
  std::string content = "v";
  int version = 0;
  std::string calls;

  std::string Lock(const std::string&, int) override {
    Log("LOCK");
    if (lockedTries > 0) {
      --lockedTries;
      throw CGenException("Locked", zan::err::kLocked, "CDavADOManager", "LockItem");
    }
    return locking ? "t1" : "";
  }
  void Unlock(const std::string&, const std::string& token) noexcept override { Log("UNLOCK(" + token + ")"); }
  std::string Read(const std::string&, std::string& strongEtag) override {
    Log("GET");
    strongEtag = strongEtags ? "e" + std::to_string(version) : "";
    if (strongEtags && weakReads > 0) {
      --weakReads;
      strongEtag = "W/" + strongEtag;
    }
    if (tornReads > 0) {
      --tornReads;
      content += "+other";
      ++version;
      return "torn";
    }
    return content;
  }
  bool Write(const std::string&, const std::string& text, const CDavADOManager::WriteCondition& c) override {
    Log("PUT(" + c.lockToken + "|" + c.ifMatch + ")");
    if (!c.lockToken.empty() && lockLost > 0) {
      --lockLost;
      content += "+other";
      ++version;
      throw CGenException("Precondition Failed", zan::err::kPreconditionFailed, "CDavADOManager", "SetFileStream");
    }
    if (!c.ifMatch.empty() && concurrentChanges > 0) {
      --concurrentChanges;
      content += "+other";
      ++version;
      throw CGenException("Precondition Failed", zan::err::kPreconditionFailed, "CDavADOManager", "SetFileStream");
    }
    if (text == "refused") return false;
    content = text;
    ++version;
    if (!c.ifMatch.empty() && overwritten > 0) {
      --overwritten;
      content = "v+other";  // merged into the version this writer read: this writer's change is gone
      ++version;
    }
    return true;
  }

 private:
  void Log(const std::string& call) { calls += (calls.empty() ? "" : " ") + call; }
};

class DocumentUpdateTest : public ::testing::Test {
 protected:
  // Runs an update that appends "+mine" to what it reads; returns the calls made.
  std::string Update(const std::string& suffix = "+mine") {
    merged_.clear();
    result_ = zan::engine::UpdateDocument(
        store_, "http://h/doc", policy_,
        [&](const std::string& stored) {
          ++merges_;
          if (stored == "torn") throw CGenException("The document on the server cannot be read", 1, "E", "LoadStored");
          return suffix == "refused" ? suffix : stored + suffix;
        },
        merged_);
    return store_.calls;
  }

  StandInStore store_;
  UpdatePolicy policy_;
  std::string merged_;
  bool result_ = false;
  int merges_ = 0;
};

TEST_F(DocumentUpdateTest, LockedUpdateWritesUnderTheLockAndReleasesIt) {
  EXPECT_EQ("LOCK GET PUT(t1|) UNLOCK(t1)", Update());
  EXPECT_TRUE(result_);
  EXPECT_EQ("v+mine", store_.content);
  EXPECT_EQ("v+mine", merged_);
}

TEST_F(DocumentUpdateTest, FailingMergeReleasesTheLockAndWritesNothing) {
  const std::string error = ErrorOf([&] {
    zan::engine::UpdateDocument(
        store_, "http://h/doc", policy_,
        [](const std::string&) -> std::string {
          throw CGenException("Merge found more then one node match", 1, "CXmlBasicQKParser", "mergeByAttribute");
        },
        merged_);
  });
  EXPECT_EQ("1 Merge found more then one node match [CXmlBasicQKParser::mergeByAttribute]", error);
  EXPECT_EQ("LOCK GET UNLOCK(t1)", store_.calls);
  EXPECT_EQ("v", store_.content);
}

TEST_F(DocumentUpdateTest, RefusedWriteReturnsFalseAndReleases) {
  EXPECT_EQ("LOCK GET PUT(t1|) UNLOCK(t1)", Update("refused"));
  EXPECT_FALSE(result_);
  EXPECT_EQ("", merged_);
  EXPECT_EQ("v", store_.content);
}

TEST_F(DocumentUpdateTest, WaitsForAnotherClientsLock) {
  store_.lockedTries = 2;
  EXPECT_EQ("LOCK LOCK LOCK GET PUT(t1|) UNLOCK(t1)", Update());
  EXPECT_TRUE(result_);
}

TEST_F(DocumentUpdateTest, GivesUpOnALockThatStays) {
  store_.lockedTries = 1000000;
  policy_.lockWait = std::chrono::milliseconds(60);
  const std::string error = ErrorOf([&] { Update(); });
  EXPECT_EQ("423 The document is locked by another client: http://h/doc [CZanDavEngine::LockDocument]", error);
  EXPECT_EQ(std::string::npos, store_.calls.find("GET")) << store_.calls;
  EXPECT_EQ("v", store_.content);
}

TEST_F(DocumentUpdateTest, WithoutLockingWritesOnTheStrongEtag) {
  store_.locking = false;
  EXPECT_EQ("LOCK GET PUT(|e0)", Update());
  EXPECT_EQ("v+mine", store_.content);
}

TEST_F(DocumentUpdateTest, WithoutLockingMergesAgainIntoAConcurrentChange) {
  store_.locking = false;
  store_.concurrentChanges = 2;
  EXPECT_EQ("LOCK GET PUT(|e0) GET PUT(|e1) GET PUT(|e2)", Update());
  EXPECT_TRUE(result_);
  EXPECT_EQ(3, merges_);
  EXPECT_EQ("v+other+other+mine", store_.content);  // nothing of the other writer lost
}

TEST_F(DocumentUpdateTest, WithoutLockingGivesUpOnADocumentThatKeepsChanging) {
  store_.locking = false;
  store_.concurrentChanges = 1000;
  policy_.writeAttempts = 3;
  const std::string error = ErrorOf([&] { Update(); });
  EXPECT_EQ("412 The document kept changing during the update: http://h/doc [CZanDavEngine::UpdateDocument]", error);
  EXPECT_EQ(3, merges_);
}

TEST_F(DocumentUpdateTest, WithoutLockingOrAnyEtagWritesNothing) {
  store_.locking = false;
  store_.strongEtags = false;
  const std::string error = ErrorOf([&] { Update(); });
  EXPECT_EQ("412 The server offers neither a lock nor a strong ETag for http://h/doc, so the update could lose "
            "another client's change; nothing was written [CZanDavEngine::UpdateDocument]",
            error);
  EXPECT_EQ("LOCK GET", store_.calls);
  EXPECT_EQ("v", store_.content);
}

TEST_F(DocumentUpdateTest, WithoutLockingAWeakEtagIsReadAgainUntilItIsStrong) {
  store_.locking = false;
  store_.weakReads = 2;
  EXPECT_EQ("LOCK GET GET GET PUT(|e0)", Update());
  EXPECT_TRUE(result_);
  EXPECT_EQ(1, merges_) << "the merge runs on the document the strong ETag belongs to";
  EXPECT_EQ("v+mine", store_.content);
}

TEST_F(DocumentUpdateTest, WithoutLockingAnEtagThatStaysWeakWritesNothing) {
  store_.locking = false;
  store_.weakReads = 1000000;
  policy_.strongEtagWait = std::chrono::milliseconds(120);
  const std::string error = ErrorOf([&] { Update(); });
  EXPECT_EQ("412 The server offers neither a lock nor a strong ETag for http://h/doc, so the update could lose "
            "another client's change; nothing was written [CZanDavEngine::UpdateDocument]",
            error);
  EXPECT_EQ(std::string::npos, store_.calls.find("PUT")) << store_.calls;
  EXPECT_EQ(0, merges_);
  EXPECT_EQ("v", store_.content);
}

// A read that does not merge (here: does not parse) is read and merged again only when the
// document has changed since: a server may send a file that another writer replaces during
// the read half old, half new. A document that stays as it is fails with the merge's error.
TEST_F(DocumentUpdateTest, WithoutLockingAMergeThatFailsOnAReplacedDocumentRunsAgain) {
  struct Row {
    const char* what;
    int tornReads;
    std::string content;  // as stored before the update
    std::string calls;
    std::string error;  // "no error" when the update succeeds
    std::string stored;
  } rows[] = {
      {"a torn read", 1, "v", "LOCK GET GET GET PUT(|e1)", "no error", "v+other+mine"},
      {"torn reads, bounded", 1000, "v", "LOCK GET GET GET GET GET",
       "1 The document on the server cannot be read [E::LoadStored]", "v+other+other+other+other+other"},
      {"a broken document", 0, "torn", "LOCK GET GET", "1 The document on the server cannot be read [E::LoadStored]",
       "torn"},
  };
  for (const Row& row : rows) {
    store_ = StandInStore();
    store_.locking = false;
    store_.tornReads = row.tornReads;
    store_.content = row.content;
    policy_.writeAttempts = 3;
    merges_ = 0;
    const std::string error = ErrorOf([&] { Update(); });
    EXPECT_EQ(row.error, error) << row.what;
    EXPECT_EQ(row.calls, store_.calls) << row.what;
    EXPECT_EQ(row.stored, store_.content) << row.what;
  }
  // Under a lock the document cannot change: the failure stands at once (no second read).
  store_ = StandInStore();
  store_.tornReads = 1;
  EXPECT_EQ("1 The document on the server cannot be read [E::LoadStored]", ErrorOf([&] { Update(); }));
  EXPECT_EQ("LOCK GET UNLOCK(t1)", store_.calls);
}

TEST_F(DocumentUpdateTest, WithoutLockingAWriteOverwrittenByAnotherIsMergedAgain) {
  // A server checks If-Match before it writes, not with it: a second writer that passed the
  // same check overwrites this one's change. The quiet document must still hold it.
  store_.locking = false;
  store_.overwritten = 1;
  merged_.clear();
  result_ = zan::engine::UpdateDocument(
      store_, "http://h/doc", policy_, [&](const std::string& stored) { ++merges_; return stored + "+mine"; }, merged_,
      [](const std::string& stored) { return stored.find("+mine") != std::string::npos; });
  EXPECT_EQ("LOCK GET PUT(|e0) GET GET PUT(|e2) GET", store_.calls);
  EXPECT_TRUE(result_);
  EXPECT_EQ(2, merges_);
  EXPECT_EQ("v+other+mine", store_.content);
}

TEST_F(DocumentUpdateTest, APreconditionFailureUnderTheLockRunsLockReadAndMergeAgain) {
  store_.lockLost = 2;  // the server granted an overlapping lock to another writer
  EXPECT_EQ("LOCK GET PUT(t1|) UNLOCK(t1) LOCK GET PUT(t1|) UNLOCK(t1) LOCK GET PUT(t1|) UNLOCK(t1)", Update());
  EXPECT_TRUE(result_);
  EXPECT_EQ(3, merges_);
  EXPECT_EQ("v+other+other+mine", store_.content);
}

TEST_F(DocumentUpdateTest, APreconditionFailureUnderTheLockIsRetriedBounded) {
  store_.lockLost = 1000;
  policy_.writeAttempts = 3;
  const std::string error = ErrorOf([&] { Update(); });
  EXPECT_EQ("412 The document kept changing during the update: http://h/doc [CZanDavEngine::UpdateDocument]", error);
  EXPECT_EQ(3, merges_);
  EXPECT_TRUE(store_.calls.ends_with("UNLOCK(t1)")) << store_.calls;
}

}  // namespace
}  // namespace zan::test
