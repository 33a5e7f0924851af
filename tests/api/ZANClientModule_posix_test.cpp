// The module's state and self-registration with the stand-in registry, called in-process (the
// module file being this test executable). On Windows the hosts' tests register the DLL.
#include "api/ZANClientModule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/com/registrar.h"
#include "support/temp_dir.h"
#include "zanclient/ZANClient_ids.h"

namespace zan::test {
namespace {

class ModuleStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* previous = std::getenv("ZANCLIENT_REGISTRY");
    if (previous) previous_ = previous;
    hadPrevious_ = previous != nullptr;
    setenv("ZANCLIENT_REGISTRY", (dir_ / "registry").c_str(), 1);
  }
  void TearDown() override {
    reg::SetRegistrarAvailable(true);
    if (hadPrevious_)
      setenv("ZANCLIENT_REGISTRY", previous_.c_str(), 1);
    else
      unsetenv("ZANCLIENT_REGISTRY");
  }
  std::string RegistryText() const { return dir_.Read("registry"); }

  TempDir dir_;
  std::string previous_;
  bool hadPrevious_ = false;
};

TEST_F(ModuleStateTest, WithoutTheRegistrarNothingIsRegistered) {
  reg::SetRegistrarAvailable(false);
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CZANClientModule::RegisterServer());
  EXPECT_EQ("", RegistryText());  // neither the keys nor the type library
  EXPECT_EQ(S_OK, CZANClientModule::UnregisterServer());
}

TEST_F(ModuleStateTest, RegistersThisModulesPathAndRemovesItAgain) {
  const std::string path = CZANClientModule::GetModulePath();
  ASSERT_FALSE(path.empty());
  ASSERT_EQ(S_OK, CZANClientModule::RegisterServer());
  EXPECT_NE(std::string::npos, RegistryText().find("@=\"" + path + "\"")) << RegistryText();
  EXPECT_EQ(S_OK, CZANClientModule::UnregisterServer());
  EXPECT_EQ(std::string::npos, RegistryText().find(path)) << RegistryText();
}

TEST_F(ModuleStateTest, ServesClassObjectsOnlyForZANApi) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_POINTER, CZANClientModule::GetClassObject(CLSID_ZANApi, IID_IClassFactory, nullptr));
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, CZANClientModule::GetClassObject(IID_IZANApi, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, CZANClientModule::GetClassObject(CLSID_ZANApi, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  const LONG locks = CZANClientModule::GetLockCount();
  factory->LockServer(1);
  EXPECT_EQ(locks + 1, CZANClientModule::GetLockCount());
  EXPECT_EQ(S_FALSE, CZANClientModule::CanUnloadNow());
  factory->LockServer(0);
  EXPECT_EQ(locks, CZANClientModule::GetLockCount());
  factory->Release();
  CZANClientModule::Term();  // releases the cached factory; a later request makes a new one
  ASSERT_EQ(S_OK, CZANClientModule::GetClassObject(CLSID_ZANApi, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  factory->Release();
  CZANClientModule::Term();
}

}  // namespace
}  // namespace zan::test
