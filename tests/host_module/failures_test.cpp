// What a host gets when an operation cannot do what it says: a failure status with the full
// error text, never S_OK, and the server's data as it was. Concurrent document writers, with
// locks and with LOCK refused by a fault proxy in front of Apache, lose no change silently.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <utility>
#include <string>
#include <thread>
#include <vector>

#include "host_fixture.h"
#include "support/fault_proxy.h"
#include "support/tree_checksum.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();


constexpr int kWriters = 8;

// An MBP with one note per writer.
std::string Notes() {
  std::string mbp = "<?xml version=\"1.0\"?>\n<mbp lastmodified=\"2001-01-01 00:00:00\"><bp id=\"\"><notes>";
  for (int i = 0; i < kWriters; ++i) mbp += "<note pkid=\"w" + std::to_string(i) + "\">old</note>";
  return mbp + "</notes></bp></mbp>";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class FailuresTest : public HostServerTest {
 protected:
  void SetUp() override {
    HostServerTest::SetUp();
    ASSERT_EQ("ok " + Set(""), Result(api_->CreateProject(Root(), B("Alpha"), B(""), Out())));
    ASSERT_EQ("ok " + Set(""), Result(api_->CreateBusinessProcess(Root(), B("Alpha"), B("Billing"), B(""), Out())));
    ASSERT_EQ(204, Put(Url("Alpha/Billing/MBP.xml"), Notes()));
  }
  std::string Digest() { return TreeChecksums(DavServer::Dir() + "/dav" + R().substr(Server().size())); }
};

TEST_F(FailuresTest, RefusedWritesReturnTheFailureAndChangeNothing) {
  const std::string refused = Set("<ZAN_DESCRIPTION>new</ZAN_DESCRIPTION><getetag>forged</getetag>");
  struct Row {
    const char* operation;
    std::function<HRESULT()> call;
    std::string text;  // the start of the error text
  } rows[] = {
      {"SetProjectProperties", [&] { return api_->SetProjectProperties(Root(), B("Alpha"), B(refused), Out()); },
       "0x80040001 The server refused properties of " + Url("Alpha") + ": "},
      {"SetBusinessProcessProperties",
       [&] { return api_->SetBusinessProcessProperties(Root(), B("Alpha/Billing"), B(refused), Out()); },
       "0x80040001 The server refused properties of " + Url("Alpha/Billing") + ": "},
      {"CreateFolder", [&] { return api_->CreateFolder(Root(), B("Alpha"), B("Designs"), B(refused), Out()); },
       "0x80040001 The server refused properties of " + Url("Alpha/Designs") + ": "},
      {"CreateProject", [&] { return api_->CreateProject(Root(), B("Beta"), B(refused), Out()); },
       "0x80040001 The server refused properties of " + Url("Beta") + ": "},
  };
  // A protected live property: Apache answers 409, lighttpd 403.
  const std::string status = DavServer::IsLighttpd() ? "getetag (HTTP/1.1 403" : "getetag (HTTP/1.1 409";
  for (const Row& row : rows) {
    const std::string before = Digest();
    const std::string result = Result(row.call());
    EXPECT_TRUE(result.starts_with(row.text)) << row.operation << ": " << result;
    EXPECT_TRUE(Contains(result, status)) << result;
    EXPECT_EQ(before, Digest()) << row.operation;
  }
  // The names refused creations would have taken are free.
  EXPECT_EQ("ok " + Set(""), Result(api_->CreateFolder(Root(), B("Alpha"), B("Designs"), B(""), Out())));
  EXPECT_EQ("ok " + Set(""), Result(api_->CreateProject(Root(), B("Beta"), B(""), Out())));
}

// Each writer, on its own object and thread, marks its own note; returns its status and, on
// failure, the error text.
std::vector<std::pair<HRESULT, std::string>> ConcurrentWriters(ModuleHost& host, const std::string& server,
                                                               const std::string& id) {
  std::vector<std::pair<HRESULT, std::string>> results(kWriters, {E_UNEXPECTED, "not run"});
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kWriters; ++i) {
    threads.emplace_back([&, i] {
      HostCalls calls(host);
      IZANApi* api = host.Create();
      const std::string read = calls.Result(api->GetMBP(calls.B(server), calls.B(id), calls.Out()));
      std::string changed = read.substr(3);  // after "ok "
      const std::string note = "<note pkid=\"w" + std::to_string(i) + "\">old</note>";
      const size_t at = changed.find(note);
      if (read.starts_with("ok ") && at != std::string::npos) {
        changed.replace(at, note.size(),
                        "<note pkid=\"w" + std::to_string(i) + "\" dirty=\"1\">by writer " + std::to_string(i) + "</note>");
        ++ready;
        while (ready.load() < kWriters) std::this_thread::yield();  // all at once
        const HRESULT hr = api->SetMBP(calls.B(server), calls.B(id), calls.B(changed), calls.Out());
        results[i] = {hr, calls.Result(hr)};
      } else {
        ++ready;
      }
      api->Release();
    });
  }
  for (std::thread& t : threads) t.join();
  return results;
}

TEST_F(FailuresTest, ConcurrentWritersLoseNoChangeSilently) {
  struct Row {
    const char* mode;
    bool refuseLock;
  } rows[] = {{"with locks", false}, {"LOCK refused", true}};
  for (const Row& row : rows) {
    ASSERT_EQ(204, Put(Url("Alpha/Billing/MBP.xml"), Notes()));
    FaultProxy proxy(Server());
    if (row.refuseLock) proxy.Add(FaultRule::On("LOCK").Respond(405));
    const auto results = ConcurrentWriters(host_, proxy.Via(R()), "Alpha/Billing");
    const std::string stored = Get(Url("Alpha/Billing/MBP.xml"));
    if (row.refuseLock && DavServer::IsLighttpd()) {
      // lighttpd's mod_webdav sends no ETag with GET: without a lock there is no safe
      // precondition, so every writer is refused and nothing is written.
      for (int i = 0; i < kWriters; ++i) {
        EXPECT_EQ("0x8004019C The server offers neither a lock nor a strong ETag for " + proxy.Via(R()) +
                      "/Alpha/Billing/MBP.xml"
                      ", so the update could lose another client's change; nothing was written",
                  results[i].second.substr(0, results[i].second.find('\n')))
            << row.mode << ": writer " << i;
      }
      EXPECT_EQ(Notes(), stored) << row.mode;
      EXPECT_EQ(0, proxy.Count("PUT")) << row.mode;
      continue;
    }
    int stores = 0;
    for (int i = 0; i < kWriters; ++i) {
      const bool kept = Contains(stored, "<note pkid=\"w" + std::to_string(i) + "\">by writer " + std::to_string(i) + "</note>");
      // Never S_OK with the change lost; a writer that could not store it says so.
      if (results[i].first == S_OK) {
        EXPECT_TRUE(kept) << row.mode << ": writer " << i << " got S_OK but its change is lost";
        ++stores;
      } else {
        EXPECT_TRUE(FAILED(results[i].first)) << row.mode << ": writer " << i << ": " << results[i].second;
        EXPECT_FALSE(kept) << row.mode << ": writer " << i;
      }
    }
    EXPECT_EQ(kWriters, stores) << row.mode << ": every writer stores its change within the bounds";
    for (int i = 0; i < kWriters; ++i) EXPECT_EQ(S_OK, results[i].first) << row.mode << ": " << results[i].second;
    // With locks, each writer released at least its last one.
    EXPECT_EQ(row.refuseLock, proxy.Count("UNLOCK") == 0) << row.mode;
    EXPECT_EQ(row.refuseLock, proxy.Count("UNLOCK") < kWriters) << row.mode;
  }
}

TEST_F(FailuresTest, AnUpdateWithoutASafePreconditionIsRefused) {
  FaultProxy proxy(Server());
  proxy.Add(FaultRule::On("LOCK").Respond(405));
  proxy.Add(FaultRule::Any().WeakETags());
  const std::string read = Result(api_->GetMBP(B(proxy.Via(R())), B("Alpha/Billing"), Out()));
  ASSERT_TRUE(read.starts_with("ok ")) << read;
  std::string changed = read.substr(3);
  changed.replace(changed.find("<note pkid=\"w0\">old"), 19, "<note pkid=\"w0\" dirty=\"1\">new");
  const std::string before = Digest();
  const std::string result = Result(api_->SetMBP(B(proxy.Via(R())), B("Alpha/Billing"), B(changed), Out()));
  EXPECT_TRUE(result.starts_with("0x8004019C The server offers neither a lock nor a strong ETag for " +
                                 proxy.Via(Url("Alpha/Billing/MBP.xml")) +
                                 ", so the update could lose another client's change; nothing was written"))
      << result;
  EXPECT_EQ(0, proxy.Count("PUT"));
  EXPECT_EQ(before, Digest());
}

TEST_F(FailuresTest, AnUnreachableServerFailsAnUpdateAsTheReadReportsIt) {
  std::string readText;
  std::string updateText;
  {
    FaultProxy proxy(Server());
    const std::string server = proxy.Via(R());
    ASSERT_TRUE(Result(api_->GetMBP(B(server), B("Alpha/Billing"), Out())).starts_with("ok "));
    proxy.Add(FaultRule::Any().Reset());
    readText = Result(api_->GetMBP(B(server), B("Alpha/Billing"), Out()));
    updateText = Result(api_->SetMBP(B(server), B("Alpha/Billing"), B(Notes()), Out()));
  }
  EXPECT_TRUE(Contains(readText, "Errors with Recource(s): ")) << readText;
  EXPECT_FALSE(Contains(updateText, "LockItem")) << updateText;
  EXPECT_TRUE(Contains(updateText, "(CDavADOManager::GetFileStream)")) << updateText;
  // The same description and code as the read's, in the update's own context.
  EXPECT_EQ(readText.substr(0, readText.find("\n\r")), updateText.substr(0, updateText.find("\n\r")));
}

}  // namespace
}  // namespace zan::test
