// A real server that keeps no dead properties (lighttpd + mod_webdav without its property
// database: PROPPATCH is answered 405): node operations fail with an error that says so,
// while documents and transfers work where the collections exist.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "support/temp_dir.h"
#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

class NoPropertiesTest : public EngineTest {
 protected:
  static void SetUpTestSuite() {
    try {
      server_ = std::make_unique<ExtraDavServer>(std::vector<std::string>{"--server", "lighttpd", "--no-properties"});
    } catch (const std::exception& e) {
      startError_ = e.what();
    }
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(server_) << startError_;
    DavTest::SetUpOn(server_->Url());
    if (HasFatalFailure()) return;
    XMLSet scratch;
    ASSERT_TRUE(engine_.InitToZanServer(R(), scratch));
  }

  // A project Alpha with the business process Billing (MBP.xml, AppFiles/a.txt), made by
  // hand: the server cannot hold the node properties.
  void MakeCollections() {
    ASSERT_EQ(201, Mkcol(Url("Alpha")));
    ASSERT_EQ(201, Put(Url("Alpha/MPR.xml"), Get(Url("Templates/MPR.xml"))));
    ASSERT_EQ(201, Mkcol(Url("Alpha/Billing")));
    ASSERT_EQ(201, Put(Url("Alpha/Billing/MBP.xml"), Get(Url("Templates/MBP.xml"))));
    ASSERT_EQ(201, Mkcol(Url("Alpha/Billing/AppFiles")));
    ASSERT_EQ(201, Put(Url("Alpha/Billing/AppFiles/a.txt"), "alpha"));
  }

  static std::unique_ptr<ExtraDavServer> server_;
  static std::string startError_;
  XMLSet none_;
  XMLSet response_;
};

std::unique_ptr<ExtraDavServer> NoPropertiesTest::server_;
std::string NoPropertiesTest::startError_;

bool SaysNoProperties(const std::string& error) {
  return error.find("The server does not store WebDAV properties") != std::string::npos &&
         error.find("HTTP/1.1 405") != std::string::npos;
}

TEST_F(NoPropertiesTest, NodeOperationsSayTheServerStoresNoProperties) {
  ASSERT_NO_FATAL_FAILURE(MakeCollections());
  const struct {
    const char* what;
    std::function<void()> run;
  } cases[] = {
      {"CreateProject", [&] { engine_.CreateProject(Server(), "Beta", none_, response_); }},
      {"CreateFolder", [&] { engine_.CreateFolder("Alpha", "Designs", none_, response_); }},
      {"CreateBusinessProcess", [&] { engine_.CreateBusinessProcess(Server(), "Alpha", "Ledger", none_, response_); }},
      {"SetProjectProperties",
       [&] {
         XMLSet props = Items({{"ZAN_DESCRIPTION", "Sales"}});
         engine_.SetProjectProperties("Alpha", props, response_);
       }},
      {"SetBusinessProcessProperties",
       [&] {
         XMLSet props = Items({{"ZAN_DESCRIPTION", "Bills"}});
         engine_.SetBusinessProcessProperties("Alpha/Billing", props, response_);
       }},
  };
  for (const auto& c : cases) {
    const std::string error = ErrorOf(c.run);
    EXPECT_TRUE(SaysNoProperties(error)) << c.what << ": " << error;
  }
}

TEST_F(NoPropertiesTest, DocumentsAndTransfersWorkWhereTheCollectionsExist) {
  ASSERT_NO_FATAL_FAILURE(MakeCollections());
  CProjectInfoEntity info;
  EXPECT_EQ("no error", ErrorOf([&] { EXPECT_TRUE(engine_.GetProjectInfo("Alpha", info)); }));
  CMBPEntity mbp;
  EXPECT_EQ("no error", ErrorOf([&] { EXPECT_TRUE(engine_.GetBusinessProcessMBP("Alpha/Billing", mbp)); }));
  TempDir down;
  EXPECT_EQ("no error", ErrorOf([&] {
              EXPECT_TRUE(engine_.DownloadBP(Server(), "Alpha/Billing", down.path(), "DEV", response_));
            }));
  EXPECT_EQ("alpha", down.Read("a.txt"));
  TempDir up;
  up.Write("b.txt", "beta");
  EXPECT_EQ("no error",
            ErrorOf([&] { EXPECT_TRUE(engine_.UploadBP(Server(), "Alpha/Billing", up.path(), response_)); }));
  EXPECT_EQ("beta", Get(Url("Alpha/Billing/AppFiles/b.txt")));
}

TEST_F(NoPropertiesTest, ListingsWork) {
  ASSERT_NO_FATAL_FAILURE(MakeCollections());
  EXPECT_EQ("", Children("Alpha"));
  EXPECT_EQ("", Children(""));
}

}  // namespace
}  // namespace zan::test
