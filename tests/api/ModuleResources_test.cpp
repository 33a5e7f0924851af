// The module's resources and path helpers.
#include "api/ModuleResources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "api/ModuleRegistration.h"

namespace zan::api {
namespace {

TEST(ModuleResources, TheRegistryScriptIsZANApiRgsAsItStands) {
  std::ifstream in(std::string(ZAN_SOURCE_DIR) + "/src/api/ZANApi.rgs", std::ios::binary);
  std::ostringstream file;
  file << in.rdbuf();
  ASSERT_FALSE(file.str().empty());
  EXPECT_EQ(file.str(), RegistryScript());
  EXPECT_NE(std::string_view::npos, RegistryScript().find("'%MODULE%'"));
}

TEST(ModuleResources, NameStringAndVersionBlock) {
  EXPECT_EQ("ZANClient", LoadModuleString(kModuleNameString));
  EXPECT_EQ("", LoadModuleString(101));

  const VersionInfo& version = ModuleVersionInfo();
  EXPECT_EQ(0x0409, version.language);
  EXPECT_EQ(0x04B0, version.codePage);
  const std::pair<const char*, const char*> rows[] = {
      {"FileDescription", "ZANClient Module"}, {"ProductName", "ZANClient Module"},
      {"InternalName", "ZANClient"},           {"OriginalFilename", "ZANClient.DLL"},
      {"OLESelfRegister", ""},
  };
  for (const auto& [name, expected] : rows) {
    std::string_view value = "unset";
    EXPECT_TRUE(QueryVersionString(name, &value)) << name;
    EXPECT_EQ(expected, value) << name;
  }
  EXPECT_FALSE(QueryVersionString("Comments", nullptr));
}

}  // namespace
}  // namespace zan::api
