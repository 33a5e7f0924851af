// Late-bound calls through IDispatch once the module is registered, the error source that
// registration provides, and the alert of a failed upload, against the test server.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "platform/com/bstr.h"
#include "support/host.h"
#include "support/temp_dir.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

class LateBindingTest : public HostServerTest {
 protected:
  void SetUp() override {
    HostServerTest::SetUp();
    ASSERT_EQ(S_OK, host_.DllRegisterServer());
  }

  // Invokes a method by name with string arguments (in the order of the interface);
  // "ok <result>" or the status with "scode|source|description" of the exception.
  std::string CallByName(const std::u16string& method, const std::vector<std::string>& args) {
    std::u16string name = method;
    LPOLESTR names[] = {AsOleText(name.data())};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = api_->GetIDsOfNames(GUID_NULL, names, 1, 0, &id);
    if (FAILED(hr)) return "GetIDsOfNames " + Hex(hr);
    std::vector<VARIANT> variants(args.size());
    for (size_t i = 0; i < args.size(); ++i) {  // positional arguments stand in reverse order
      VARIANT& v = variants[args.size() - 1 - i];
      v.vt = VT_BSTR;
      v.bstrVal = B(args[i]);
    }
    DISPPARAMS params = {variants.data(), nullptr, static_cast<UINT>(variants.size()), 0};
    VARIANT result{};
    EXCEPINFO exception{};
    UINT argErr = 0;
    hr = api_->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argErr);
    if (hr == S_OK) return "ok " + (result.vt == VT_BSTR ? host_.Take(result.bstrVal) : "vt " + std::to_string(result.vt));
    return Hex(hr) + " " + Hex(exception.scode) + "|" + host_.Take(exception.bstrSource) + "|" +
           host_.Take(exception.bstrDescription) + host_.Take(exception.bstrHelpFile);
  }
};

TEST_F(LateBindingTest, CallsOperationsByName) {
  EXPECT_EQ("ok " + Set(""), CallByName(u"CreateProject", {R(), "Alpha", ""}));
  EXPECT_EQ("ok " + Set(Item({{"ZAN_NAME", "Alpha"}, {"ZAN_NODE_TYPE", "ZAN_PROJECT"}, {"ZAN_HAS_CHILDREN", "FALSE"}})),
            CallByName(u"getprojects", {R()}));
  EXPECT_EQ("ok ", CallByName(u"Delete", {R(), "Alpha"}));  // a null string
  EXPECT_EQ("0x80020009 0x80040066|ZANClient.ZANApi.1|Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r",
            CallByName(u"GetChildren", {R(), "Missing"}));
  EXPECT_EQ("0x8002000E 0x00000000||", CallByName(u"GetChildren", {R()}));
}

TEST_F(LateBindingTest, TheErrorSourceIsTheRegisteredProgId) {
  ZAN_SKIP_ON_WINDOWS("it changes the registration in the system registry, which the run's other tests share "
                      "(tests/windows/registration.sh tests registering there)");
  EXPECT_EQ(0x80040066, api_->GetChildren(Root(), B("Missing"), Out()));
  EXPECT_EQ("ZANClient.ZANApi.1|Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r",
            host_.TakeErrorText(/*withSource=*/true));
  ASSERT_EQ(S_OK, host_.DllUnregisterServer());
  EXPECT_EQ(0x80040066, api_->GetChildren(Root(), B("Missing"), Out()));
  EXPECT_EQ("|Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r", host_.TakeErrorText(true));
}

// Captures what the process writes to standard error while it lives.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    saved_ = dup(2);
    file_ = std::tmpfile();
    dup2(fileno(file_), 2);
  }
  std::string Stop() {
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    std::string text;
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
    std::fclose(file_);
    return text;
  }

 private:
  int saved_ = -1;
  FILE* file_ = nullptr;
};

TEST_F(LateBindingTest, AFailedUploadShowsOneAlertAndReportsTheError) {
  TempDir local;
  StderrCapture capture;
  const HRESULT hr = api_->UploadBP(B(""), B("Alpha/Billing"), B(local / "missing"), Out());
  const std::string alerts = capture.Stop();
  EXPECT_EQ(0x80040067, hr);
  const std::string text = host_.TakeErrorText();
  EXPECT_EQ("The ZAN Server is not Connected\n\r\n\rError 103: The ZAN Server is not Connected "
            "(CZanDavEngine::UploadBP) \n\rError 103: The ZAN Server is not Connected "
            "(CZanDavEngine::verifyConnection) \n\r",
            text);
  EXPECT_EQ(
      "ZAN: The ZAN Server is not Connected Error 103: The ZAN Server is not Connected (CZanDavEngine::UploadBP)  "
      "Error 103: The ZAN Server is not Connected (CZanDavEngine::verifyConnection) \n",
      alerts);
}

}  // namespace
}  // namespace zan::test
