// The module itself over https against Apache with a Digest user: a host's call with the
// credentials in the server URL, and the error information of a refused login or certificate,
// which names the server URL with its password masked.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host_fixture.h"
#include "support/host.h"
#include "support/secure_server.h"

namespace zan::test {
namespace {

class SecureModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& name : SecurityVariables()) env_.Set(name, nullptr);
    env_.Set("NETRC", "/nonexistent/netrc");
    registry_ = std::make_unique<ScopedRegistry>();
    api_ = host_.Create();
  }
  void TearDown() override {
    if (api_) api_->Release();
    registry_.reset();
  }
  static SecureServer& Server() {
    static SecureServer server(SecureServerOptions{"digest", true, false, ""});
    return server;
  }
  std::string Projects(const std::string& url) { return calls_.Result(api_->GetProjects(calls_.B(url), calls_.Out())); }

  ScopedEnv env_;
  ModuleHost& host_ = ModuleHost::Built();
  std::unique_ptr<ScopedRegistry> registry_;
  HostCalls calls_{host_};
  IZANApi* api_ = nullptr;
};

TEST_F(SecureModuleTest, ErrorInformationNamesTheReasonAndMasksThePassword) {
  ZAN_SKIP_ON_WINDOWS("WinHTTP trusts the system's certificate store, not a CA file (tests/windows/http tests TLS under Wine)");
  SecureServer& server = Server();
  env_.Set("ZANCLIENT_CA_BUNDLE", server.File("ca.pem").c_str());
  EXPECT_EQ(0u, Projects(server.UrlWithUser()).find("ok ")) << Projects(server.UrlWithUser());

  const std::string masked = std::string("https://") + SecureServer::kUser + ":***@127.0.0.1:";
  const std::string refused = Projects(server.UrlWithUser("not-the-password"));
  EXPECT_NE(std::string::npos, refused.find("Authentication failed: HTTP/1.1 401 Unauthorized, realm")) << refused;
  EXPECT_NE(std::string::npos, refused.find("Can not Connect to " + masked)) << refused;
  EXPECT_EQ(std::string::npos, refused.find("not-the-password")) << refused;

  env_.Set("ZANCLIENT_CA_BUNDLE", nullptr);
  const std::string untrusted = Projects(server.UrlWithUser());
  EXPECT_NE(std::string::npos, untrusted.find("The server's certificate was not accepted: ")) << untrusted;
  EXPECT_NE(std::string::npos, untrusted.find("Can not Connect to " + masked)) << untrusted;
  EXPECT_EQ(std::string::npos, untrusted.find("secret")) << untrusted;
}

}  // namespace
}  // namespace zan::test
