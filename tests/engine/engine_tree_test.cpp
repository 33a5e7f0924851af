// Listing a repository built from scratch with the engine, against Apache.
#include <gtest/gtest.h>

#include <string>

#include "engine_fixture.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

class EngineTreeTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    BuildTree();
  }
};

TEST_F(EngineTreeTest, ListsEachLevelWithNameKindAndFlag) {
  EXPECT_EQ("Alpha ZAN_PROJECT TRUE, Beta ZAN_PROJECT FALSE", Children(""));
  EXPECT_EQ("Designs ZAN_FOLDER TRUE, Ledger ZAN_BP FALSE", Children("Alpha"));
  EXPECT_EQ("Archive ZAN_FOLDER FALSE, Billing ZAN_BP FALSE", Children("Alpha/Designs"));
  EXPECT_EQ(Children("Alpha"), Children("Alpha/"));
}

TEST_F(EngineTreeTest, ListingKeepsBackslashesInIds) {
  XMLSet response;
  EXPECT_EQ("102 Item wasn't found. [::]", ErrorOf([&] { engine_.GetChildren("Alpha\\Designs", response); }));
}

TEST_F(EngineTreeTest, GetProjectsListsExactlyTheProjects) {
  XMLSet response;
  EXPECT_TRUE(engine_.GetProjects(response));
  const std::string alpha = "[ZAN_NAME=Alpha, ZAN_NODE_TYPE=ZAN_PROJECT, ZAN_HAS_CHILDREN=TRUE]";
  const std::string beta = "[ZAN_NAME=Beta, ZAN_NODE_TYPE=ZAN_PROJECT, ZAN_HAS_CHILDREN=FALSE]";
  const std::string listed = Describe(response);  // in the server's order
  EXPECT_TRUE(listed == alpha + ", " + beta || listed == beta + ", " + alpha) << listed;
}

TEST_F(EngineTreeTest, ListingLeavesTheNodeItselfUntouched) {
  XMLSet props = Items({{"ZAN_DESCRIPTION", "kept"}});
  XMLSet response;
  ASSERT_TRUE(engine_.SetFolderProperties("Alpha/Designs", props, response));
  EXPECT_EQ("Archive ZAN_FOLDER FALSE, Billing ZAN_BP FALSE", Children("Alpha/Designs"));
  EXPECT_EQ("TRUE", Prop("Alpha/Designs", "ZAN_HAS_CHILDREN"));
  EXPECT_EQ("kept", Prop("Alpha/Designs", "ZAN_DESCRIPTION"));
}

TEST_F(EngineTreeTest, EmptyListingRepairsTheFlag) {
  // A wrong flag and members without node properties (the document, AppFiles).
  XMLSet wrong = Items({{"ZAN_HAS_CHILDREN", "TRUE"}});
  XMLSet response;
  ASSERT_TRUE(engine_.SetBusinessProcessProperties("Alpha/Designs/Billing", wrong, response));
  ASSERT_EQ(201, Mkcol(Url("Alpha/Designs/Billing/AppFiles")));
  ASSERT_EQ("TRUE", Prop("Alpha/Designs/Billing", "ZAN_HAS_CHILDREN"));

  EXPECT_EQ("", Children("Alpha/Designs/Billing"));
  EXPECT_EQ("FALSE", Prop("Alpha/Designs/Billing", "ZAN_HAS_CHILDREN"));
}

TEST_F(EngineTreeTest, MissingNodeFailsWithItemNotFound) {
  XMLSet response;
  EXPECT_EQ("102 Item wasn't found. [::]", ErrorOf([&] { engine_.GetChildren("Alpha/Nowhere", response); }));
  EXPECT_EQ("", Describe(response));
}

TEST_F(EngineTreeTest, ResponseKeepsWhatItHeld) {
  XMLSet response = Items({{"X", "1"}});
  EXPECT_TRUE(engine_.GetChildren("Beta", response));  // no children: the flag is refreshed
  EXPECT_EQ("X=1", Describe(response));
  EXPECT_TRUE(engine_.GetChildren("Alpha/Designs", response));
  EXPECT_EQ(3, response.getCount());
  std::string name, value;
  response.getItem(0, name, value);
  EXPECT_EQ("X", name);
}

TEST_F(EngineTreeTest, NodesWithSpecialCharactersRoundTrip) {
  XMLSet none;
  XMLSet response;
  ASSERT_TRUE(engine_.CreateFolder("Beta", "Q1 #2 100% Überblick", none, response));
  EXPECT_EQ("Q1 #2 100% Überblick ZAN_FOLDER FALSE", Children("Beta"));
  EXPECT_EQ("", Children("Beta/Q1 #2 100% Überblick"));
}

}  // namespace
}  // namespace zan::test
