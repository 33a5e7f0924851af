// The requests each engine operation sends, counted through the transport's request
// observer.
#include <gtest/gtest.h>

#include <string>

#include "engine_fixture.h"
#include "support/request_log.h"
#include "support/temp_dir.h"
#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

class EngineRequestsTest : public EngineTest {
 protected:
  XMLSet none_;
  XMLSet response_;
};

// methods, allowing one leading existence check of the record URL (first use of a
// connection URL) before them.
::testing::AssertionResult SameWithOptionalCheck(const std::string& expected, const std::string& actual) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const auto space = actual.find(' ');
  if (space != std::string::npos && actual.substr(space + 1) == expected &&
      (actual.starts_with("PROPFIND") || actual.starts_with("HEAD")))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << expected << " (after at most one check), got " << actual;
}

TEST_F(EngineRequestsTest, ConnectionReadsTheTwoTemplates) {
  CZanDavEngine engine;
  XMLSet scratch;
  RequestLog log;
  ASSERT_TRUE(engine.InitToZanServer(R(), scratch));
  EXPECT_EQ("GET GET", log.Methods());
}

TEST_F(EngineRequestsTest, CreationsSendTheirStepsOnly) {
  {
    RequestLog log;
    ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
    EXPECT_TRUE(SameWithOptionalCheck("MKCOL COPY PROPPATCH PROPPATCH", log.Methods()));
  }
  {
    RequestLog log;
    ASSERT_TRUE(engine_.CreateProject(Server(), "Beta", none_, response_));
    EXPECT_EQ("MKCOL COPY PROPPATCH PROPPATCH", log.Methods());
  }
  {
    RequestLog log;
    ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none_, response_));
    EXPECT_EQ("MKCOL PROPPATCH PROPPATCH", log.Methods());
  }
  {
    RequestLog log;
    ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha/Designs", "Billing", none_, response_));
    EXPECT_EQ("MKCOL COPY PUT PROPPATCH PROPPATCH", log.Methods());
  }
}

TEST_F(EngineRequestsTest, FirstBusinessProcessOfAConnection) {
  ASSERT_EQ(201, Mkcol(Url("Alpha")));
  RequestLog log;
  ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", none_, response_));
  EXPECT_TRUE(SameWithOptionalCheck("MKCOL COPY PUT PROPPATCH PROPPATCH", log.Methods()));
}

TEST_F(EngineRequestsTest, ListingIsOnePropfind) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none_, response_));
  RequestLog log;
  XMLSet first;
  ASSERT_TRUE(engine_.GetChildren("Alpha", first));
  EXPECT_EQ("PROPFIND", log.Methods());
  log.Clear();
  XMLSet empty;
  ASSERT_TRUE(engine_.GetChildren("Alpha/Designs", empty));
  EXPECT_EQ("PROPFIND PROPFIND PROPPATCH", log.Methods());
}

TEST_F(EngineRequestsTest, PropertiesAndDeletion) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none_, response_));
  XMLSet listing;
  ASSERT_TRUE(engine_.GetChildren("Alpha", listing));
  RequestLog log;
  XMLSet props = Items({{"ZAN_DESCRIPTION", "D"}});
  ASSERT_TRUE(engine_.SetFolderProperties("Alpha/Designs", props, response_));
  EXPECT_EQ("PROPPATCH", log.Methods());
  log.Clear();
  XMLSet read;
  ASSERT_TRUE(engine_.GetFolderProperties("Alpha/Designs", read));
  EXPECT_EQ("PROPFIND", log.Methods());
  log.Clear();
  ASSERT_TRUE(engine_.Delete("Alpha/Designs", response_));
  EXPECT_EQ("DELETE PROPFIND PROPPATCH", log.Methods());
}

TEST_F(EngineRequestsTest, Documents) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  RequestLog log;
  CProjectInfoEntity info;
  ASSERT_TRUE(engine_.GetProjectInfo("Alpha", info));
  EXPECT_EQ("GET", log.Methods());
  log.Clear();
  ASSERT_TRUE(engine_.SetProjectInfo("Alpha", info, response_));
  EXPECT_EQ("LOCK GET PUT UNLOCK", log.Methods());
}

}  // namespace
}  // namespace zan::test
