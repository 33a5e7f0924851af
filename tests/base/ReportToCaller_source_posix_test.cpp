// ReportToCaller names the registered ProgID of the class as the error's source.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include "base/GenException.h"
#include "platform/com/bstr.h"
#include "platform/com/errorinfo.h"
#include "platform/com/registrar.h"
#include "support/temp_dir.h"
#include "zanclient/ZANClient_ids.h"

namespace {

// Points the registry at a file of its own; restores the environment afterwards.
class ReportToCallerSource : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* v = std::getenv("ZANCLIENT_REGISTRY")) saved_ = v;
    setenv("ZANCLIENT_REGISTRY", (dir_ / "registry").c_str(), 1);
  }
  void TearDown() override {
    if (saved_)
      setenv("ZANCLIENT_REGISTRY", saved_->c_str(), 1);
    else
      unsetenv("ZANCLIENT_REGISTRY");
  }

  static HRESULT RunModuleScript(bool registerMode) {
    std::ifstream in(std::string(ZAN_SOURCE_DIR) + "/src/api/ZANApi.rgs", std::ios::binary);
    const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return zan::reg::RunRegistryScript(script, {{"Module", "/opt/zan/ZANClient.so"}}, registerMode);
  }

  // Reports an error for ZANApi and returns the source of the thread's error information.
  static std::string ReportedSource() {
    CGenException e("Item wasn't found.", 102, "", "");
    EXPECT_EQ(e.ReportToCaller(zanclient::kClsidZANApi), static_cast<HRESULT>(0x80040066));
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return "<no error information>";
    zan::Bstr source;
    info->GetSource(source.out());
    info->Release();
    return zan::BstrToString(source.get());
  }

  zan::test::TempDir dir_;
  std::optional<std::string> saved_;
};

TEST_F(ReportToCallerSource, IsTheProgIdOnceTheClassIsRegistered) {
  EXPECT_EQ(ReportedSource(), "");
  ASSERT_EQ(RunModuleScript(true), S_OK);
  EXPECT_EQ(ReportedSource(), "ZANClient.ZANApi.1");
  ASSERT_EQ(RunModuleScript(false), S_OK);
  EXPECT_EQ(ReportedSource(), "");
}

}  // namespace
