// The engine's connection, URL rules and node property helpers, against Apache.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/DiagnosticDump.h"
#include "engine/ZanDavEngine.h"
#include "engine_fixture.h"
#include "platform/os/alert.h"
#include "xml/MBPEntity.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

constexpr char kNotConnected[] = "103 The ZAN Server is not Connected [CZanDavEngine::verifyConnection]";

TEST(EngineConnection, FreshEngineCountsAsConnectedToTheEmptyUrlOnly) {
  CZanDavEngine engine;
  EXPECT_TRUE(engine.IsConnected(""));
  EXPECT_FALSE(engine.IsConnected("http://127.0.0.1:1"));
  EXPECT_EQ("", engine.GetServerUrl());
}

TEST(EngineConnection, BuildSwitchesAreOffByDefault) {
  int alerts = 0;
  zan::os::AlertSink previous = zan::os::SetAlertSink([&](std::string_view, std::string_view) { ++alerts; });
  { CZanDavEngine engine; }
  zan::os::SetAlertSink(previous);
  EXPECT_EQ(0, alerts);  // no development-mode warning
  EXPECT_FALSE(zan::engine::kDiagnosticDumps);
}

TEST(EngineConnection, OperationsOfAFreshEngineFailWithNotConnected) {
  CZanDavEngine engine;
  XMLSet set;
  XMLSet response;
  CMBPEntity mbp;
  CProjectInfoEntity info;
  struct Case {
    const char* name;
    std::function<void()> call;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"GetChildren", [&] { engine.GetChildren("", response); }, kNotConnected},
      {"GetProjects", [&] { engine.GetProjects(response); }, kNotConnected},
      {"CreateProject", [&] { engine.CreateProject("", "Alpha", set, response); }, kNotConnected},
      {"CreateFolder", [&] { engine.CreateFolder("Alpha", "F", set, response); }, kNotConnected},
      {"CreateBusinessProcess", [&] { engine.CreateBusinessProcess("", "Alpha", "B", set, response); }, kNotConnected},
      {"GetFolderProperties", [&] { engine.GetFolderProperties("Alpha", response); }, kNotConnected},
      {"SetProjectProperties", [&] { engine.SetProjectProperties("Alpha", set, response); }, kNotConnected},
      {"GetBusinessProcessMBP", [&] { engine.GetBusinessProcessMBP("Alpha/B", mbp); },
       "103 The ZAN Server is not Connected [CZanDavEngine::GetBusinessProcessMBP]"},
      {"SetProjectInfo", [&] { engine.SetProjectInfo("Alpha", info, response); },
       "103 The ZAN Server is not Connected [CZanDavEngine::SetProjectInfo]"},
      {"DownloadBP", [&] { engine.DownloadBP("", "Alpha/B", "/tmp/x", "prod", response); },
       "103 The ZAN Server is not Connected [CZanDavEngine::DownloadBP]"},
      {"UploadBP", [&] { engine.UploadBP("", "Alpha/B", "/tmp/x", response); },
       "103 The ZAN Server is not Connected [CZanDavEngine::UploadBP]"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.error, ErrorOf(c.call)) << c.name;
  EXPECT_EQ("", Describe(response));
}

class EngineCoreTest : public DavTest {};

TEST_F(EngineCoreTest, ConnectingReadsBothTemplates) {
  CZanDavEngine engine;
  XMLSet scratch;
  EXPECT_EQ("no error", ErrorOf([&] { engine.InitToZanServer(R(), scratch); }));
  EXPECT_TRUE(engine.IsConnected(R()));
  EXPECT_EQ(R(), engine.GetServerUrl());
  CMBPEntity expected;
  expected.loadXml(Get(Url("Templates/MBP.xml")));
  EXPECT_EQ(expected.getXml(), engine.GetMBPTemplate());
}

TEST_F(EngineCoreTest, AFailedConnectionLeavesNothingOfAnEarlierServer) {
  // Connected to a first repository, then a second one without an MPR template: the failed
  // connection leaves the engine not connected, without the first server's templates, so
  // the next call with that URL connects again.
  CZanDavEngine engine;
  XMLSet scratch;
  ASSERT_TRUE(engine.InitToZanServer(R(), scratch));
  ASSERT_NE(CMBPEntity().getXml(), engine.GetMBPTemplate());
  ASSERT_EQ(201, Mkcol(Url("second")));
  ASSERT_EQ(201, Mkcol(Url("second/Templates")));
  ASSERT_EQ(201, Put(Url("second/Templates/MBP.xml"), "<mbp><bp/></mbp>"));
  const std::string second = Url("second");
  const std::string error = ErrorOf([&] { engine.InitToZanServer(second, scratch); });
  EXPECT_EQ(error.rfind("104 Can not Connect to " + second + ": ", 0), 0u) << error;
  EXPECT_NE(error.find("HTTP/1.1 404 Not Found"), std::string::npos) << error;
  EXPECT_TRUE(error.ends_with(" [CZanDavEngine::InitToZanServer]")) << error;
  EXPECT_FALSE(engine.IsConnected(second));
  EXPECT_FALSE(engine.IsConnected(R()));
  EXPECT_EQ("", engine.GetServerUrl());
  EXPECT_EQ(CMBPEntity().getXml(), engine.GetMBPTemplate()) << "no template of either server";
  XMLSet response;
  EXPECT_EQ("103 The ZAN Server is not Connected [CZanDavEngine::verifyConnection]",
            ErrorOf([&] { engine.GetChildren("", response); }));
  // Once the template is there, the same URL connects.
  ASSERT_EQ(201, Put(Url("second/Templates/MPR.xml"), "<projectinfo/>"));
  EXPECT_TRUE(engine.InitToZanServer(second, scratch));
  EXPECT_EQ("<mbp><bp/></mbp>", engine.GetMBPTemplate());
}

TEST_F(EngineCoreTest, ServerWithoutTemplatesFailsWith104) {
  CZanDavEngine engine;
  XMLSet scratch;
  const std::string url = Url("nowhere");
  const std::string error = ErrorOf([&] { engine.InitToZanServer(url, scratch); });
  EXPECT_EQ(error.rfind("104 Can not Connect to " + url + ": ", 0), 0u) << error;
  EXPECT_NE(error.find("HTTP/1.1 404 Not Found"), std::string::npos) << error;
  EXPECT_FALSE(engine.IsConnected(url));
}

TEST_F(EngineCoreTest, IsConnectedComparesByteForByte) {
  CZanDavEngine engine;
  XMLSet scratch;
  ASSERT_TRUE(engine.InitToZanServer(R(), scratch));
  EXPECT_TRUE(engine.IsConnected(R()));
  EXPECT_FALSE(engine.IsConnected(R() + "/"));
  std::string upper = R();
  upper.replace(0, 4, "HTTP");
  EXPECT_FALSE(engine.IsConnected(upper));
  EXPECT_FALSE(engine.IsConnected(""));
}

TEST_F(EngineCoreTest, ItemUrlRemovesOneTrailingSeparator) {
  CZanDavEngine engine;
  XMLSet scratch;
  ASSERT_TRUE(engine.InitToZanServer(R(), scratch));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Alpha", R() + "/Alpha"},
      {"Alpha/", R() + "/Alpha"},
      {"Alpha\\", R() + "/Alpha"},
      {"Alpha//", R() + "/Alpha/"},
      {"Alpha/Designs", R() + "/Alpha/Designs"},
      {"Alpha\\Designs", R() + "/Alpha\\Designs"},
      {"", R() + "/"},
  };
  for (const auto& [id, url] : cases) EXPECT_EQ(url, engine.GetItemUrl(id)) << id;
}

TEST(EngineNodeProperties, BuildNodePropertiesAppendsInOrder) {
  struct Case {
    int code;
    bool result;
    std::string items;
  };
  const std::vector<Case> cases = {
      {1, true, "X=1, ZAN_HAS_CHILDREN=FALSE, ZAN_NAME=N, ZAN_NODE_TYPE=ZAN_PROJECT"},
      {2, true, "X=1, ZAN_HAS_CHILDREN=FALSE, ZAN_NAME=N, ZAN_NODE_TYPE=ZAN_FOLDER"},
      {3, true, "X=1, ZAN_HAS_CHILDREN=FALSE, ZAN_NAME=N, ZAN_NODE_TYPE=ZAN_BP"},
      {4, false, "X=1, ZAN_HAS_CHILDREN=FALSE, ZAN_NAME=N"},
      {0, false, "X=1, ZAN_HAS_CHILDREN=FALSE, ZAN_NAME=N"},
  };
  CZanDavEngine engine;
  for (const auto& c : cases) {
    XMLSet set = Items({{"X", "1"}});
    EXPECT_EQ(c.result, engine.BuildNodeProperties("N", c.code, set)) << c.code;
    EXPECT_EQ(c.items, Describe(set)) << c.code;
  }
}

TEST_F(EngineCoreTest, MoveDoesNothing) {
  CZanDavEngine engine;
  XMLSet scratch;
  ASSERT_TRUE(engine.InitToZanServer(R(), scratch));
  const std::string before = List(R());
  XMLSet response;
  EXPECT_TRUE(engine.Move("Templates", "Elsewhere", response));
  EXPECT_EQ(before, List(R()));
  EXPECT_EQ("", Describe(response));
}

}  // namespace
}  // namespace zan::test
