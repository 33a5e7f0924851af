#include "platform/os/module_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/host.h"

namespace {

int FunctionInThisExecutable() { return 1; }

TEST(ModulePath, NamesTheModuleThatHoldsTheAddress) {
  ZAN_SKIP_ON_WINDOWS("/proc and libc; the Windows counterpart is tests/windows/os's");
  const std::string exe = std::filesystem::canonical("/proc/self/exe").string();
  EXPECT_EQ(exe, zan::os::ModulePath(reinterpret_cast<const void*>(&FunctionInThisExecutable)));

  const std::string libc = zan::os::ModulePath(reinterpret_cast<const void*>(&std::abort));
  EXPECT_TRUE(libc.starts_with("/")) << libc;
  EXPECT_NE(std::string::npos, libc.find("libc")) << libc;
  EXPECT_EQ(std::filesystem::canonical(libc).string(), libc);
}

TEST(ModulePath, AnAddressOutsideEveryModuleHasNoPath) {
  int onTheStack = 0;
  EXPECT_EQ("", zan::os::ModulePath(&onTheStack));
  EXPECT_EQ("", zan::os::ModulePath(nullptr));
}

}  // namespace
