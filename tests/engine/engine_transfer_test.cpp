// Downloading and uploading a business process's AppFiles tree, against Apache.
#include <gtest/gtest.h>

#include <string>

#include "engine_fixture.h"
#include "support/temp_dir.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

// Environments: "prod" names both files, "noprofile" has a profile default with refid 0,
// "datasetsonly" has no profile default.
constexpr char kMbp[] =
    "<?xml version=\"1.0\"?>\n"
    "<mbp><bp>"
    "<datasets><defaults><default pkid=\"prod\" refid=\"3\"/><default pkid=\"noprofile\" refid=\"4\"/>"
    "<default pkid=\"datasetsonly\" refid=\"5\"/></defaults></datasets>"
    "<profiles><defaults><default pkid=\"prod\" refid=\"8\"/><default pkid=\"noprofile\" refid=\"0\"/>"
    "</defaults></profiles>"
    "</bp></mbp>";

constexpr char kUsr[] = "[General]\nUser=kim\n";

class EngineTransferTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    XMLSet none;
    ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none, response_));
    ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Billing", none, response_));
    ASSERT_EQ(204, Put(Url("Alpha/Billing/MBP.xml"), kMbp));
    source_.Write("app.usr", kUsr);
    source_.Write("notes.txt", "plain");
    source_.Write("sub/deep.USR", kUsr);
  }
  // Uploads source_ as the process's AppFiles.
  void Upload() { ASSERT_TRUE(engine_.UploadBP(Server(), "Alpha/Billing", source_.path(), response_)); }
  bool Download(const std::string& environment) {
    return engine_.DownloadBP(Server(), "Alpha/Billing", target_ / "local", environment, response_);
  }

  TempDir source_;
  TempDir target_;
  XMLSet response_;
};

TEST_F(EngineTransferTest, UploadReplacesAppFilesExactly) {
  ASSERT_EQ(201, Mkcol(Url("Alpha/Billing/AppFiles")));
  ASSERT_EQ(201, Put(Url("Alpha/Billing/AppFiles/old.txt"), "old"));
  Upload();
  EXPECT_EQ("app.usr\nnotes.txt\nsub/", List(Url("Alpha/Billing/AppFiles")));
  EXPECT_EQ("deep.USR", List(Url("Alpha/Billing/AppFiles/sub")));
  EXPECT_EQ("plain", Get(Url("Alpha/Billing/AppFiles/notes.txt")));
  EXPECT_EQ("", Describe(response_));
}

TEST_F(EngineTransferTest, DownloadWritesTheEnvironmentsFilesIntoUserFiles) {
  Upload();
  EXPECT_TRUE(Download("prod"));
  for (const char* file : {"local/app.usr", "local/sub/deep.USR"}) {
    const std::string text = target_.Read(file);
    EXPECT_NE(std::string::npos, text.find("User=kim")) << text;
    EXPECT_NE(std::string::npos, text.find("ParameterFile=3.prm")) << text;
    EXPECT_NE(std::string::npos, text.find("DefaultCfg=8.cfg")) << text;
  }
  EXPECT_EQ("plain", target_.Read("local/notes.txt"));
  EXPECT_EQ("", Describe(response_));
}

TEST_F(EngineTransferTest, RefidZeroWritesNoKeys) {
  Upload();
  EXPECT_TRUE(Download("noprofile"));
  EXPECT_EQ(kUsr, target_.Read("local/app.usr"));
  EXPECT_EQ(kUsr, target_.Read("local/sub/deep.USR"));
}

TEST_F(EngineTransferTest, UnknownEnvironmentFailsBeforeAnythingIsCopied) {
  Upload();
  const std::string path = "/mbp/bp/profiles/defaults/default[@pkid='datasetsonly']";
  EXPECT_EQ("0 Xml path not found " + path + " [CZanDavEngine::DownloadBP]",
            ErrorOf([&] { Download("datasetsonly"); }));
  EXPECT_EQ("", target_.Read("local/notes.txt"));
  EXPECT_NE("no error", ErrorOf([&] { Download(""); }));
  EXPECT_EQ("", target_.Read("local/notes.txt"));
}

TEST_F(EngineTransferTest, NeverUploadedProcessDownloadsNothing) {
  EXPECT_FALSE(Download("prod"));
  EXPECT_EQ("", target_.Read("local/notes.txt"));
}

}  // namespace
}  // namespace zan::test
