// The engine built with both build-time switches on (zan_engine_switches), against Apache:
// the development-mode warning at construction, and the diagnostic dumps each operation
// writes into the fixed dump directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "engine/DiagnosticDump.h"
#include "engine/ZanDavEngine.h"
#include "platform/os/alert.h"
#include "support/dav_server.h"
#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"
#include "xml/XMLSet.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

namespace fs = std::filesystem;

constexpr char kMbp[] =
    "<?xml version=\"1.0\"?>\n"
    "<mbp lastmodified=\"2001-01-01 00:00:00\"><bp id=\"stored\"><title>Billing</title></bp></mbp>";
constexpr char kMpr[] =
    "<?xml version=\"1.0\"?>\n"
    "<projectinfo lastmodified=\"2001-01-01 00:00:00\"><projectName>stored</projectName></projectinfo>";

// The alerts shown while it lives, as "caption: text".
class AlertRecorder {
 public:
  AlertRecorder()
      : previous_(zan::os::SetAlertSink([this](std::string_view caption, std::string_view text) {
          alerts_.push_back(std::string(caption) + ": " + std::string(text));
        })) {}
  ~AlertRecorder() { zan::os::SetAlertSink(previous_); }
  AlertRecorder(const AlertRecorder&) = delete;
  AlertRecorder& operator=(const AlertRecorder&) = delete;
  const std::vector<std::string>& Alerts() const { return alerts_; }

 private:
  std::vector<std::string> alerts_;
  zan::os::AlertSink previous_;
};

TEST(EngineSwitches, BothAreOn) { EXPECT_TRUE(zan::engine::kDiagnosticDumps); }

TEST(EngineSwitches, ConstructionShowsTheDevelopmentWarning) {
  AlertRecorder recorder;
  { CZanDavEngine engine; }
  const std::vector<std::string> expected = {
      "ZAN: Running in Development Mode, Do not continue...\n\rPlease Notify Development. "};
  EXPECT_EQ(expected, recorder.Alerts());
}

// The dump file of a base name, as DiagnosticDump.h names it.
fs::path DumpFile(const std::string& baseName) { return fs::path(zan::engine::DumpDirectory()) / (baseName + ".xml"); }

// The file's bytes; "<missing>" when there is none.
std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class EngineSwitchesTest : public DavTest {
 protected:
  void SetUp() override {
    DavTest::SetUp();
    fs::create_directories(zan::engine::DumpDirectory());
    XMLSet scratch;
    XMLSet none;
    ASSERT_TRUE(engine_.InitToZanServer(R(), scratch));
    ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none, response_));
    ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none, response_));
    ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", none, response_));
    ASSERT_EQ(204, Put(Url("Alpha/Billing/MBP.xml"), kMbp));
    ASSERT_EQ(204, Put(Url("Alpha/MPR.xml"), kMpr));
  }
  void TearDown() override {
    for (const fs::path& file : written_) fs::remove(file);
    std::error_code ignored;
    fs::remove(zan::engine::DumpDirectory(), ignored);  // only when empty
    DavTest::TearDown();
  }

  AlertRecorder quiet_;  // the development-mode warning of engine_ stays out of the output
  CZanDavEngine engine_;
  XMLSet response_;
  std::vector<fs::path> written_;
};

TEST_F(EngineSwitchesTest, OperationsDumpTheirDocuments) {
  struct Case {
    const char* operation;
    std::function<bool()> call;
    // Each dump's base name and a part of its expected content.
    std::vector<std::pair<std::string, std::string>> dumps;
  };
  XMLSet properties;
  properties.addItem("Owner", "Kim");
  const std::vector<Case> cases = {
      {"SetFolderProperties",
       [&] { return engine_.SetFolderProperties("Alpha/Designs", properties, response_); },
       {{"SetFolderProperties_newProps", "<Owner>Kim</Owner>"}}},
      {"GetBusinessProcessMBP",
       [&] {
         CMBPEntity entity;
         return engine_.GetBusinessProcessMBP("Alpha/Billing", entity);
       },
       {{"GetBusinessProcessMBP", "<title>Billing</title>"}}},
      {"SetBusinessProcessMBP",
       [&] {
         CMBPEntity changed;
         changed.loadXml(kMbp);
         changed.getNodeByPath("/mbp/bp/title").setText("changed");
         return engine_.SetBusinessProcessMBP("Alpha/Billing", changed, response_);
       },
       {{"SetBusinessProcessMBP_new", "<title>changed</title>"},
        {"SetBusinessProcessMBP_old", "lastmodified=\"2001-01-01 00:00:00\""},
        {"SetBusinessProcessMBP_Merged", "<title>Billing</title>"},
        {"SetBusinessProcessMBP_afterChange", "<title>Billing</title>"}}},
      {"SetProjectInfo",
       [&] {
         CProjectInfoEntity changed;
         changed.loadXml(kMpr);
         changed.getNodeByPath("/projectinfo/projectName").setText("changed");
         return engine_.SetProjectInfo("Alpha", changed, response_);
       },
       {{"SetBusinessProcessMPR_new", "<projectName>changed</projectName>"},
        {"SetBusinessProcessMPR_old", "lastmodified=\"2001-01-01 00:00:00\""},
        {"SetBusinessProcessMPR_Merged", "<projectName>stored</projectName>"},
        {"SetBusinessProcessMPR_afterChange", "<projectName>stored</projectName>"}}},
  };
  for (const Case& c : cases) {
    for (const auto& [name, part] : c.dumps) {
      fs::remove(DumpFile(name));
      written_.push_back(DumpFile(name));
    }
    EXPECT_TRUE(c.call()) << c.operation;
    for (const auto& [name, part] : c.dumps) {
      const std::string text = Contents(DumpFile(name));
      EXPECT_NE(std::string::npos, text.find(part)) << c.operation << ": " << name << " holds " << text;
    }
  }
  // The merged dump is the document the update stored, byte for byte.
  EXPECT_EQ(Get(Url("Alpha/Billing/MBP.xml")), Contents(DumpFile("SetBusinessProcessMBP_Merged")));
  EXPECT_EQ(Get(Url("Alpha/MPR.xml")), Contents(DumpFile("SetBusinessProcessMPR_Merged")));
}

}  // namespace
}  // namespace zan::test
