// Reading and updating MBP and project-information documents, alone and with concurrent
// updaters, against Apache.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dav/DavADOManager.h"
#include "engine_fixture.h"
#include "support/request_log.h"
#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

constexpr char kMbp[] =
    "<?xml version=\"1.0\"?>\n"
    "<mbp lastmodified=\"2001-01-01 00:00:00\"><bp id=\"stored\">"
    "<notes><note pkid=\"a\">a0</note><note pkid=\"b\">b0</note></notes>"
    "<title>Billing</title>"
    "</bp></mbp>";

constexpr char kMpr[] =
    "<?xml version=\"1.0\"?>\n"
    "<projectinfo lastmodified=\"2001-01-01 00:00:00\"><projectName>stored</projectName>"
    "<owners><owner pkid=\"1\">Kim</owner></owners></projectinfo>";

// Duplicate pkid-less siblings: no update can find its counterpart among them.
constexpr char kAmbiguousMbp[] =
    "<?xml version=\"1.0\"?>\n"
    "<mbp lastmodified=\"2001-01-01 00:00:00\"><bp id=\"stored\">"
    "<notes><note>one</note><note>two</note></notes></bp></mbp>";

// Changes the element's text and marks it changed.
void Mark(CZANDataEntity& entity, const std::string& xpath, const std::string& text) {
  const zan::dom::Element element = entity.getNodeByPath(xpath);
  element.setText(text);
  entity.getParser().setAttribute(element, "dirty", "1");
}

// Appends a new <note pkid=key>text</note> under /mbp/bp/notes (no marker needed).
void AddNote(CMBPEntity& entity, const std::string& key, const std::string& text) {
  CXmlBasicQKParser& parser = entity.getParser();
  const zan::dom::Element note = parser.createChildElement(entity.getNodeByPath("/mbp/bp/notes"), "note");
  parser.setAttribute(note, "pkid", key);
  note.setText(text);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class EngineDocumentsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    XMLSet none;
    ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none, response_));
    ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", none, response_));
    ASSERT_EQ(204, Put(MbpUrl(), kMbp));
    ASSERT_EQ(204, Put(Url("Alpha/MPR.xml"), kMpr));
  }
  std::string MbpUrl() { return Url("Alpha/Billing/MBP.xml"); }
  std::string StoredMbp() { return Get(MbpUrl()); }
  // The stored document as a client reads it.
  CMBPEntity ReadMbp(CZanDavEngine& engine) {
    CMBPEntity entity;
    engine.GetBusinessProcessMBP("Alpha/Billing", entity);
    return entity;
  }
  // True when another client can lock the document at once (no lock was left behind).
  bool Unlocked(const std::string& url) {
    CDavADOManager dav;
    std::string token;
    try {
      token = dav.LockItem(url, 10);
    } catch (...) {
      return false;
    }
    dav.UnlockItem(url, token);
    return true;
  }

  XMLSet response_;
};

TEST_F(EngineDocumentsTest, ReadStampsTheIdInTheCopyOnly) {
  CMBPEntity entity;
  EXPECT_TRUE(engine_.GetBusinessProcessMBP("Alpha/Billing", entity));
  EXPECT_EQ("Alpha/Billing", AttributeOf(entity.getXml(), "/mbp/bp", "id"));
  EXPECT_EQ("a0", TextOf(entity.getXml(), "/mbp/bp/notes/note[@pkid='a']"));
  EXPECT_EQ(kMbp, StoredMbp());
}

TEST_F(EngineDocumentsTest, ReadConvertsBackslashesButUpdateKeepsThem) {
  CMBPEntity entity;
  EXPECT_TRUE(engine_.GetBusinessProcessMBP("Alpha\\Billing", entity));
  EXPECT_EQ("Alpha\\Billing", AttributeOf(entity.getXml(), "/mbp/bp", "id"));
  EXPECT_NE("no error", ErrorOf([&] { engine_.SetBusinessProcessMBP("Alpha\\Billing", entity, response_); }));
  EXPECT_EQ(kMbp, StoredMbp());
  EXPECT_FALSE(Exists(Url("Alpha\\Billing")));
}

TEST_F(EngineDocumentsTest, ReadOfADocumentWithoutBpFailsInContext) {
  ASSERT_EQ(204, Put(MbpUrl(), "<?xml version=\"1.0\"?><mbp/>"));
  CMBPEntity entity;
  EXPECT_EQ("0 Xml path not found /mbp/bp [CZanDavEngine::GetBusinessProcessMBP]",
            ErrorOf([&] { engine_.GetBusinessProcessMBP("Alpha/Billing", entity); }));
}

// A stored document the client cannot read is the server's failure (code 1) with its reason,
// never an empty error.
TEST_F(EngineDocumentsTest, AStoredDocumentThatDoesNotParseIsAServerFailureNamingWhy) {
  std::string deep = "<mbp><bp>";
  for (int i = 0; i < 20000; ++i) deep += "<a>";
  for (int i = 0; i < 20000; ++i) deep += "</a>";
  deep += "</bp></mbp>";
  const struct {
    std::string stored;
    std::string reason;
  } cases[] = {
      {"<mbp><bp>", "cannot be read: "},
      {"not xml at all", "cannot be read: "},
      {deep, "deeper than the limit of 10000 nesting levels (ZANCLIENT_MAX_XML_DEPTH)"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(204, Put(MbpUrl(), c.stored));
    CMBPEntity entity;
    const std::string error = ErrorOf([&] { engine_.GetBusinessProcessMBP("Alpha/Billing", entity); });
    EXPECT_EQ(error.rfind("1 The document on the server cannot be read: ", 0), 0u) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_NE(error.find("(GET " + MbpUrl() + ")"), std::string::npos) << error;
  }
}

TEST_F(EngineDocumentsTest, ProjectInfoReadSetsTheProjectName) {
  CProjectInfoEntity entity;
  EXPECT_TRUE(engine_.GetProjectInfo("Alpha/", entity));
  EXPECT_EQ("Alpha/", TextOf(entity.getXml(), "/projectinfo/projectName"));
  EXPECT_EQ(kMpr, Get(Url("Alpha/MPR.xml")));
  ASSERT_EQ(204, Put(Url("Alpha/MPR.xml"), "<?xml version=\"1.0\"?><projectinfo/>"));
  EXPECT_EQ("0 Xml path not found /projectinfo/projectName [CZanDavEngine::GetProjectInfo]",
            ErrorOf([&] { engine_.GetProjectInfo("Alpha", entity); }));
}

TEST_F(EngineDocumentsTest, UpdateWithoutMarkersOnlyStampsTheTime) {
  CMBPEntity changed = ReadMbp(engine_);
  changed.getNodeByPath("/mbp/bp/title").setText("unmarked edit");
  const std::string before = GetTimeStamp();
  EXPECT_TRUE(engine_.SetBusinessProcessMBP("Alpha/Billing", changed, response_));
  const std::string stored = StoredMbp();
  const std::string stamp = AttributeOf(stored, "/mbp", "lastmodified");
  EXPECT_LE(before, stamp);
  CMBPEntity expected;
  expected.loadXml(kMbp);
  expected.setLastModified(stamp);
  CMBPEntity actual;
  actual.loadXml(stored);
  EXPECT_EQ(expected.getXml(), actual.getXml());
  EXPECT_EQ(stored, response_.getXml());
}

TEST_F(EngineDocumentsTest, UpdateReplacesExactlyTheMarkedElement) {
  CMBPEntity changed = ReadMbp(engine_);
  Mark(changed, "/mbp/bp/notes/note[@pkid='b']", "b1");
  changed.getNodeByPath("/mbp/bp/title").setText("unmarked edit");
  AddNote(changed, "c", "c0");
  EXPECT_TRUE(engine_.SetBusinessProcessMBP("Alpha/Billing", changed, response_));
  const std::string stored = StoredMbp();
  EXPECT_EQ("a0", TextOf(stored, "/mbp/bp/notes/note[@pkid='a']"));
  EXPECT_EQ("b1", TextOf(stored, "/mbp/bp/notes/note[@pkid='b']"));
  EXPECT_EQ("c0", TextOf(stored, "/mbp/bp/notes/note[@pkid='c']"));
  EXPECT_EQ("Billing", TextOf(stored, "/mbp/bp/title"));
  EXPECT_EQ("stored", AttributeOf(stored, "/mbp/bp", "id"));
  for (const std::string& text : {stored, response_.getXml()}) {
    EXPECT_FALSE(Contains(text, "dirty")) << text;
    EXPECT_FALSE(Contains(text, "_pkid")) << text;
  }
  EXPECT_EQ(stored, response_.getXml());
  EXPECT_TRUE(Unlocked(MbpUrl()));
}

// An update reads the caller's document and never writes to it: no merge keys, no time
// stamp, nothing of the stored document; whatever the outcome.
TEST_F(EngineDocumentsTest, UpdateLeavesTheCallersDocumentAsItWas) {
  CMBPEntity mbp = ReadMbp(engine_);
  Mark(mbp, "/mbp/bp/notes/note[@pkid='b']", "b1");
  AddNote(mbp, "c", "c0");
  const std::string mbpText = mbp.getXml();
  CProjectInfoEntity mpr;
  ASSERT_TRUE(engine_.GetProjectInfo("Alpha", mpr));
  Mark(mpr, "/projectinfo/owners/owner[@pkid='1']", "Lee");
  const std::string mprText = mpr.getXml();
  const struct {
    const char* what;
    std::function<bool()> update;
    std::function<std::string()> text;
    std::string before;
  } cases[] = {
      {"mbp", [&] { return engine_.SetBusinessProcessMBP("Alpha/Billing", mbp, response_); }, [&] { return mbp.getXml(); },
       mbpText},
      {"mpr", [&] { return engine_.SetProjectInfo("Alpha", mpr, response_); }, [&] { return mpr.getXml(); }, mprText},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.update()) << c.what;
    EXPECT_EQ(c.text(), c.before) << c.what;
    EXPECT_TRUE(c.update()) << c.what << ": again, with the changes stored";
    EXPECT_EQ(c.text(), c.before) << c.what;
  }
  ASSERT_EQ(204, Put(MbpUrl(), kAmbiguousMbp));  // a failing merge
  CMBPEntity failing(kAmbiguousMbp);  // the merge descends into the two unkeyed notes
  const std::string failingText = failing.getXml();
  EXPECT_NE("no error", ErrorOf([&] { engine_.SetBusinessProcessMBP("Alpha/Billing", failing, response_); }));
  EXPECT_EQ(failing.getXml(), failingText);
}

TEST_F(EngineDocumentsTest, ProjectInfoUpdateMergesAndStamps) {
  CProjectInfoEntity changed;
  ASSERT_TRUE(engine_.GetProjectInfo("Alpha", changed));
  Mark(changed, "/projectinfo/owners/owner[@pkid='1']", "Lee");
  const std::string before = GetTimeStamp();
  EXPECT_TRUE(engine_.SetProjectInfo("Alpha", changed, response_));
  const std::string stored = Get(Url("Alpha/MPR.xml"));
  EXPECT_EQ("Lee", TextOf(stored, "/projectinfo/owners/owner[@pkid='1']"));
  EXPECT_EQ("stored", TextOf(stored, "/projectinfo/projectName"));  // unmarked: the server's
  EXPECT_LE(before, AttributeOf(stored, "/projectinfo", "lastmodified"));
  EXPECT_FALSE(Contains(stored, "dirty"));
  EXPECT_FALSE(Contains(stored, "_pkid"));
  EXPECT_EQ(stored, response_.getXml());
}

TEST_F(EngineDocumentsTest, FailingMergeLeavesTheDocumentAndNoLock) {
  ASSERT_EQ(204, Put(MbpUrl(), kAmbiguousMbp));
  CMBPEntity changed = ReadMbp(engine_);
  const std::string error = ErrorOf([&] { engine_.SetBusinessProcessMBP("Alpha/Billing", changed, response_); });
  EXPECT_TRUE(error.starts_with("1 Merge found more then one node match")) << error;
  EXPECT_TRUE(error.ends_with("[CZanDavEngine::SetBusinessProcessMBP]")) << error;
  EXPECT_EQ(kAmbiguousMbp, StoredMbp());
  EXPECT_EQ("", Describe(response_));
  EXPECT_TRUE(Unlocked(MbpUrl()));
}

TEST_F(EngineDocumentsTest, UpdateRightAfterCreationAndAfterAnotherUpdate) {
  // Apache reports a weak ETag in the first second after a change.
  XMLSet none;
  ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Fresh", none, response_));
  for (const char* value : {"first", "second"}) {
    CMBPEntity changed;
    ASSERT_TRUE(engine_.GetBusinessProcessMBP("Alpha/Fresh", changed));
    Mark(changed, "/mbp/bp", value);
    XMLSet response;
    EXPECT_TRUE(engine_.SetBusinessProcessMBP("Alpha/Fresh", changed, response)) << value;
    EXPECT_EQ(value, TextOf(Get(Url("Alpha/Fresh/MBP.xml")), "/mbp/bp")) << value;
  }
}

TEST_F(EngineDocumentsTest, UpdateAddsOnlyLockAndUnlock) {
  CMBPEntity changed = ReadMbp(engine_);
  Mark(changed, "/mbp/bp/title", "t");
  RequestLog log;
  ASSERT_TRUE(engine_.SetBusinessProcessMBP("Alpha/Billing", changed, response_));
  EXPECT_EQ("LOCK GET PUT UNLOCK", log.Methods());
  log.Clear();
  CMBPEntity read;
  ASSERT_TRUE(engine_.GetBusinessProcessMBP("Alpha/Billing", read));
  EXPECT_EQ("GET", log.Methods());
}

TEST_F(EngineDocumentsTest, ConcurrentUpdatersLoseNothing) {
  constexpr int kRounds = 10;
  std::atomic<int> ready{0};
  std::vector<std::string> errors(2);
  auto updater = [&](int index) {
    const std::string mine = index == 0 ? "a" : "b";
    try {
      CZanDavEngine engine;
      XMLSet scratch;
      engine.InitToZanServer(R(), scratch);
      ++ready;
      while (ready.load() < 2) std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round) {
        CMBPEntity changed;
        engine.GetBusinessProcessMBP("Alpha/Billing", changed);
        Mark(changed, "/mbp/bp/notes/note[@pkid='" + mine + "']", mine + std::to_string(round + 1));
        AddNote(changed, mine + "-" + std::to_string(round), "new");
        XMLSet response;
        engine.SetBusinessProcessMBP("Alpha/Billing", changed, response);
      }
    } catch (...) {
      errors[index] = ErrorOf([] { throw; });
    }
  };
  std::thread first(updater, 0);
  std::thread second(updater, 1);
  first.join();
  second.join();
  EXPECT_EQ("", errors[0]);
  EXPECT_EQ("", errors[1]);
  const std::string stored = StoredMbp();
  EXPECT_EQ("a10", TextOf(stored, "/mbp/bp/notes/note[@pkid='a']"));
  EXPECT_EQ("b10", TextOf(stored, "/mbp/bp/notes/note[@pkid='b']"));
  for (const char* who : {"a", "b"}) {
    for (int round = 0; round < kRounds; ++round) {
      const std::string key = std::string(who) + "-" + std::to_string(round);
      EXPECT_EQ("new", TextOf(stored, "/mbp/bp/notes/note[@pkid='" + key + "']")) << key;
    }
  }
  EXPECT_TRUE(Unlocked(MbpUrl()));
}

TEST_F(EngineDocumentsTest, UpdateWaitsForAnotherClientsLock) {
  CDavADOManager other;
  const std::string token = other.LockItem(MbpUrl(), 30);
  ASSERT_NE("", token);
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other.UnlockItem(MbpUrl(), token);
  });
  CMBPEntity changed = ReadMbp(engine_);
  Mark(changed, "/mbp/bp/title", "after the wait");
  const std::string error = ErrorOf([&] { engine_.SetBusinessProcessMBP("Alpha/Billing", changed, response_); });
  releaser.join();
  EXPECT_EQ("no error", error);
  EXPECT_EQ("after the wait", TextOf(StoredMbp(), "/mbp/bp/title"));
}

TEST_F(EngineDocumentsTest, UpdateGivesUpOnALockThatStays) {
  CDavADOManager other;
  const std::string token = other.LockItem(MbpUrl(), 30);
  ASSERT_NE("", token);
  zan::engine::UpdatePolicy policy = engine_.GetUpdatePolicy();
  policy.lockWait = std::chrono::milliseconds(200);
  engine_.SetUpdatePolicy(policy);
  CMBPEntity changed = ReadMbp(engine_);
  Mark(changed, "/mbp/bp/title", "never");
  const std::string error = ErrorOf([&] { engine_.SetBusinessProcessMBP("Alpha/Billing", changed, response_); });
  other.UnlockItem(MbpUrl(), token);
  EXPECT_EQ("423 The document is locked by another client: " + MbpUrl() + " [CZanDavEngine::SetBusinessProcessMBP]",
            error);
  EXPECT_EQ(kMbp, StoredMbp());
}

TEST_F(EngineDocumentsTest, UpdateOfAMissingDocumentFailsAndCreatesNothing) {
  XMLSet none;
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Plain", none, response_));
  CMBPEntity changed = ReadMbp(engine_);
  const std::string error = ErrorOf([&] { engine_.SetBusinessProcessMBP("Alpha/Plain", changed, response_); });
  // The lock is refused for a missing resource, so the read reports it, as without locking.
  EXPECT_TRUE(error.ends_with("Errors with Recource(s): " + Url("Alpha/Plain/MBP.xml") +
                              " [CZanDavEngine::SetBusinessProcessMBP]"))
      << error;
  EXPECT_EQ("", List(Url("Alpha/Plain")));
}

}  // namespace
}  // namespace zan::test
