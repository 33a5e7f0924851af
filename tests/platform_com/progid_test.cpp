#include "platform/com/progid.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/registrar.h"
#include "platform/os/codepage.h"
#include "registry_fixture.h"
#include "support/com_failure.h"

namespace zan::test {
namespace {

const CLSID kClass = {0x617F5873, 0x9E14, 0x49E4, {0xAB, 0xCE, 0x08, 0x05, 0x45, 0xC0, 0x87, 0x7E}};

class ProgId : public RegistryTest {
 protected:
  // The ProgID of kClass, or the failure status in hex.
  static std::string ProgIdOf(const CLSID& clsid) {
    LPOLESTR text = reinterpret_cast<LPOLESTR>(1);
    const HRESULT hr = ProgIDFromCLSID(clsid, &text);
    if (FAILED(hr)) return Hex(hr) + (text ? " (not null)" : "");
    std::string result = os::WideToMultiByte(std::u16string_view(text));
    CoTaskMemFree(text);
    return result;
  }
};

TEST_F(ProgId, FromClsidReadsTheRegisteredProgId) {
  EXPECT_EQ(ProgIdOf(kClass), "80040154");  // REGDB_E_CLASSNOTREG, null
  ASSERT_EQ(reg::SetValue("CLSID\\" + GuidToString(kClass) + "\\ProgID", "", "ZANClient.ZANApi.1"), S_OK);
  EXPECT_EQ(ProgIdOf(kClass), "ZANClient.ZANApi.1");
  // The key of the class in lower case is the same key.
  ASSERT_EQ(reg::SetValue("clsid\\{617f5873-9e14-49e4-abce-080545c0877e}\\progid", "", "Other.\xC3\xA9"), S_OK);
  EXPECT_EQ(ProgIdOf(kClass), "Other.\xC3\xA9");
  ASSERT_EQ(reg::SetDwordValue("CLSID\\" + GuidToString(kClass) + "\\ProgID", "", 1), S_OK);
  EXPECT_EQ(ProgIdOf(kClass), "80040154");
  EXPECT_EQ(ProgIDFromCLSID(kClass, nullptr), E_INVALIDARG);
}

TEST_F(ProgId, ClsidFromProgId) {
  CLSID clsid = kClass;
  EXPECT_EQ(CLSIDFromProgID(u"ZANClient.ZANApi", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(clsid, GUID_NULL);
  ASSERT_EQ(reg::SetValue("ZANClient.ZANApi\\CLSID", "", GuidToString(kClass)), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"zanclient.zanapi", &clsid), S_OK);
  EXPECT_EQ(clsid, kClass);
  ASSERT_EQ(reg::SetValue("Broken\\CLSID", "", "not a guid"), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"Broken", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"Bad\\Name", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
}

TEST_F(ProgId, FollowsRegistrationOfTheModuleScript) {
  std::ifstream in(std::string(ZAN_SOURCE_DIR) + "/src/api/ZANApi.rgs", std::ios::binary);
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(reg::RunRegistryScript(script, {{"Module", "/m.so"}}, true), S_OK);
  EXPECT_EQ(ProgIdOf(kClass), "ZANClient.ZANApi.1");
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(u"ZANClient.ZANApi.1", &clsid), S_OK);
  EXPECT_EQ(clsid, kClass);
  ASSERT_EQ(reg::RunRegistryScript(script, {{"Module", "/m.so"}}, false), S_OK);
  EXPECT_EQ(ProgIdOf(kClass), "80040154");
}

}  // namespace
}  // namespace zan::test
