// Creating, deleting and describing nodes, against Apache.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"
#include "support/request_log.h"
#include "xml/MBPEntity.h"
#include "xml/ZANDataEntity.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

class EngineNodesTest : public EngineTest {
 protected:
  XMLSet none_;
  XMLSet response_;
};

TEST_F(EngineNodesTest, CreateProjectWritesPropertiesAndCopiesTheTemplate) {
  XMLSet props = Items({{"ZAN_DESCRIPTION", "Sales"}});
  ASSERT_EQ("<none>", Prop("", "ZAN_HAS_CHILDREN"));
  EXPECT_TRUE(engine_.CreateProject(Server(), "Alpha", props, response_));
  EXPECT_EQ("Sales", Prop("Alpha", "ZAN_DESCRIPTION"));
  EXPECT_EQ("FALSE", Prop("Alpha", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("Alpha", Prop("Alpha", "ZAN_NAME"));
  EXPECT_EQ("ZAN_PROJECT", Prop("Alpha", "ZAN_NODE_TYPE"));
  EXPECT_EQ(Get(Url("Templates/MPR.xml")), Get(Url("Alpha/MPR.xml")));
  EXPECT_EQ("TRUE", Prop("", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("MPR.xml", List(Url("Alpha")));
  EXPECT_EQ("ZAN_DESCRIPTION=Sales", Describe(props));  // the caller's set is not changed
  EXPECT_EQ("", Describe(response_));
}

TEST_F(EngineNodesTest, CallersItemsComeFirstSoTheEngineItemsWin) {
  // Sent in one update, the later value of a name stays on the server.
  XMLSet props = Items({{"ZAN_NAME", "Impostor"}, {"ZAN_HAS_CHILDREN", "TRUE"}, {"ZAN_NODE_TYPE", "ZAN_BP"}});
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", props, response_));
  EXPECT_EQ("Alpha", Prop("Alpha", "ZAN_NAME"));
  EXPECT_EQ("FALSE", Prop("Alpha", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("ZAN_PROJECT", Prop("Alpha", "ZAN_NODE_TYPE"));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", props, response_));
  EXPECT_EQ("Designs", Prop("Alpha/Designs", "ZAN_NAME"));
  EXPECT_EQ("FALSE", Prop("Alpha/Designs", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("ZAN_FOLDER", Prop("Alpha/Designs", "ZAN_NODE_TYPE"));
}

TEST_F(EngineNodesTest, CreateFolderWritesPropertiesAndMarksTheParent) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  ASSERT_EQ("FALSE", Prop("Alpha", "ZAN_HAS_CHILDREN"));
  XMLSet props = Items({{"ZAN_DESCRIPTION", "Drawings"}, {"Owner", "Kim"}});
  EXPECT_TRUE(engine_.CreateFolder("Alpha", "Designs", props, response_));
  EXPECT_EQ("Drawings", Prop("Alpha/Designs", "ZAN_DESCRIPTION"));
  EXPECT_EQ("Kim", Prop("Alpha/Designs", "Owner"));
  EXPECT_EQ("Designs", Prop("Alpha/Designs", "ZAN_NAME"));
  EXPECT_EQ("ZAN_FOLDER", Prop("Alpha/Designs", "ZAN_NODE_TYPE"));
  EXPECT_EQ("FALSE", Prop("Alpha/Designs", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("TRUE", Prop("Alpha", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("", List(Url("Alpha/Designs")));
}

TEST_F(EngineNodesTest, NewBusinessProcessHoldsTheStampedTemplateAndThreeProperties) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  XMLSet props = Items({{"ZAN_DESCRIPTION", "ignored"}});
  const std::string before = GetTimeStamp();
  EXPECT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", props, response_));
  const std::string after = GetTimeStamp();

  const std::string stored = Get(Url("Alpha/Billing/MBP.xml"));
  const std::string stamp = AttributeOf(stored, "/mbp", "lastmodified");
  EXPECT_EQ(19u, stamp.size()) << stamp;
  EXPECT_LE(before, stamp);
  EXPECT_GE(after, stamp);
  CMBPEntity expected;
  expected.loadXml(Get(Url("Templates/MBP.xml")));
  expected.setLastModified(stamp);
  CMBPEntity actual;
  actual.loadXml(stored);
  EXPECT_EQ(expected.getXml(), actual.getXml());
  // The creation stamped a copy: the template held in memory is the one read from the server.
  CMBPEntity asRead;
  asRead.loadXml(Get(Url("Templates/MBP.xml")));
  EXPECT_EQ(asRead.getXml(), engine_.GetMBPTemplate());

  EXPECT_EQ("Billing", Prop("Alpha/Billing", "ZAN_NAME"));
  EXPECT_EQ("ZAN_BP", Prop("Alpha/Billing", "ZAN_NODE_TYPE"));
  EXPECT_EQ("FALSE", Prop("Alpha/Billing", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("<none>", Prop("Alpha/Billing", "ZAN_DESCRIPTION"));
  EXPECT_EQ("TRUE", Prop("Alpha", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("MBP.xml", List(Url("Alpha/Billing")));
}

// A creation from the caller's document stores a stamped copy of it; the caller's document
// and the template held in memory stay as they were, however many creations follow.
TEST_F(EngineNodesTest, CreationStampsACopyOfTheDocument) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  const std::string templateText = engine_.GetMBPTemplate();
  const CMBPEntity document(std::string_view("<mbp lastmodified=\"caller\"><bp id=\"mine\"/></mbp>"));
  const std::string documentText = document.getXml();
  for (const char* name : {"One", "Two"}) {
    EXPECT_TRUE(engine_.CreateBusinessProcessFromMBP(Server(), "Alpha", name, document, response_)) << name;
    EXPECT_EQ(document.getXml(), documentText) << name;
    const std::string stored = Get(Url("Alpha/" + std::string(name) + "/MBP.xml"));
    EXPECT_EQ("mine", AttributeOf(stored, "/mbp/bp", "id")) << name;
    EXPECT_NE("caller", AttributeOf(stored, "/mbp", "lastmodified")) << name;
    EXPECT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", std::string(name) + "FromTemplate", none_, response_));
    EXPECT_EQ(engine_.GetMBPTemplate(), templateText) << name;
  }
}

TEST_F(EngineNodesTest, OnlyBusinessProcessCreationTurnsBackslashesIntoSlashes) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none_, response_));
  EXPECT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha\\Designs", "Billing", none_, response_));
  EXPECT_EQ("Billing/", List(Url("Alpha/Designs")));
  EXPECT_EQ("ZAN_BP", Prop("Alpha/Designs/Billing", "ZAN_NODE_TYPE"));
  // A folder keeps the backslash: its parent "Alpha\Designs" does not exist.
  EXPECT_NE("no error", ErrorOf([&] { engine_.CreateFolder("Alpha\\Designs", "Sub", none_, response_); }));
  EXPECT_EQ("Billing/", List(Url("Alpha/Designs")));
}

TEST_F(EngineNodesTest, CreatingAnExistingNameFailsAndWritesNothingElse) {
  XMLSet props = Items({{"ZAN_DESCRIPTION", "first"}});
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", props, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", props, response_));
  ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", props, response_));
  XMLSet second = Items({{"ZAN_DESCRIPTION", "second"}});
  struct Case {
    const char* id;
    std::function<void()> create;
  };
  const std::vector<Case> cases = {
      {"Alpha", [&] { engine_.CreateProject(Server(), "Alpha", second, response_); }},
      {"Alpha/Designs", [&] { engine_.CreateFolder("Alpha", "Designs", second, response_); }},
      {"Alpha/Billing", [&] { engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", second, response_); }},
  };
  for (const auto& c : cases) {
    RequestLog log;
    const std::string error = ErrorOf(c.create);
    EXPECT_NE("no error", error) << c.id;
    EXPECT_NE(std::string::npos, error.find(Url(c.id))) << error;
    EXPECT_EQ("MKCOL", log.Methods()) << c.id;
  }
  EXPECT_EQ("first", Prop("Alpha", "ZAN_DESCRIPTION"));
  EXPECT_EQ("first", Prop("Alpha/Designs", "ZAN_DESCRIPTION"));
}

TEST_F(EngineNodesTest, DeleteRecomputesTheParentsFlag) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none_, response_));
  ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha/Designs", "Billing", none_, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha/Designs", "Archive", none_, response_));

  EXPECT_TRUE(engine_.Delete("Alpha/Designs/Billing", response_));
  EXPECT_EQ("TRUE", Prop("Alpha/Designs", "ZAN_HAS_CHILDREN"));
  EXPECT_TRUE(engine_.Delete("Alpha/Designs/Archive/", response_));
  EXPECT_EQ("FALSE", Prop("Alpha/Designs", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("", List(Url("Alpha/Designs")));
  EXPECT_TRUE(engine_.Delete("Alpha", response_));
  EXPECT_EQ("FALSE", Prop("", "ZAN_HAS_CHILDREN"));  // Templates does not count
  EXPECT_EQ("Templates/", List(R()));
  EXPECT_EQ("", Describe(response_));
}

TEST_F(EngineNodesTest, DeleteOfAMissingNodeFails) {
  EXPECT_NE("no error", ErrorOf([&] { engine_.Delete("Nowhere", response_); }));
}

TEST_F(EngineNodesTest, DeleteWithoutConnectionFailsBeforeTheConnectionCheck) {
  CZanDavEngine fresh;
  const std::string error = ErrorOf([&] { fresh.Delete("Alpha", response_); });
  EXPECT_NE("no error", error);
  EXPECT_EQ(std::string::npos, error.find("not Connected")) << error;
}

TEST_F(EngineNodesTest, ReadersAskInTheirOwnOrder) {
  XMLSet props = Items({{"ZAN_DESCRIPTION", "D"}});
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", props, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", props, response_));
  ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", props, response_));
  XMLSet description = Items({{"ZAN_DESCRIPTION", "B"}});
  ASSERT_TRUE(engine_.SetBusinessProcessProperties("Alpha/Billing", description, response_));

  XMLSet project, folder, process;
  EXPECT_TRUE(engine_.GetProjectProperties("Alpha", project));
  EXPECT_TRUE(engine_.GetFolderProperties("Alpha/Designs/", folder));
  EXPECT_TRUE(engine_.GetBusinessProcessProperties("Alpha/Billing", process));
  EXPECT_EQ("[ZAN_NAME=Alpha, ZAN_NODE_TYPE=ZAN_PROJECT, ZAN_HAS_CHILDREN=TRUE, ZAN_DESCRIPTION=D]", Describe(project));
  EXPECT_EQ("[ZAN_HAS_CHILDREN=FALSE, ZAN_NODE_TYPE=ZAN_FOLDER, ZAN_NAME=Designs, ZAN_DESCRIPTION=D]",
            Describe(folder));
  EXPECT_EQ("[ZAN_HAS_CHILDREN=FALSE, ZAN_NODE_TYPE=ZAN_BP, ZAN_DESCRIPTION=B, ZAN_NAME=Billing]", Describe(process));
}

TEST_F(EngineNodesTest, ReadingAMissingNodeFailsWith404) {
  XMLSet response;
  EXPECT_EQ(
      "404 The item you requested was not found. " + Url("Nowhere") +
          " (HTTP/1.1 404 Not Found) [CDavHTTPManager::findResourceProperties]",
      ErrorOf([&] { engine_.GetFolderProperties("Nowhere", response); }));
}

TEST_F(EngineNodesTest, WritersStoreEveryItemUnfiltered) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  XMLSet props = Items({{"ZAN_NAME", "Renamed"}, {"ZAN_DESCRIPTION", "New"}});
  EXPECT_TRUE(engine_.SetProjectProperties("Alpha/", props, response_));
  EXPECT_EQ("Renamed", Prop("Alpha", "ZAN_NAME"));
  EXPECT_EQ("New", Prop("Alpha", "ZAN_DESCRIPTION"));
  EXPECT_TRUE(Exists(Url("Alpha")));  // the collection keeps its name
  EXPECT_EQ("", Describe(response_));
}

TEST_F(EngineNodesTest, EmptyPropertyUpdateLeavesTheNode) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", none_, response_));
  XMLSet empty;
  RequestLog log;
  bool result = false;
  EXPECT_EQ("no error",
            ErrorOf([&] { result = engine_.SetBusinessProcessProperties("Alpha/Billing", empty, response_); }));
  EXPECT_TRUE(result);
  EXPECT_EQ("PROPPATCH", log.Methods());
  EXPECT_EQ("Billing", Prop("Alpha/Billing", "ZAN_NAME"));
  EXPECT_EQ("", Describe(response_));
}

}  // namespace
}  // namespace zan::test
