#include "platform/os/language.h"

#include <gtest/gtest.h>

#include <string>

#include "support/host.h"
#include "support/scoped_env.h"

namespace {

using zan::os::GetUserDefaultLangID;
using zan::os::LangIdFromLocale;

TEST(Language, FromLocaleName) {
  struct Case {
    const char* locale;
    uint16_t id;
  } cases[] = {
      {"ja_JP.UTF-8", 0x0411}, {"ja", 0x0411},         {"de_DE@euro", 0x0407}, {"de_AT", 0x0C07},
      {"zh_TW.Big5", 0x0404},  {"zh_CN.GB2312", 0x0804}, {"zh", 0x0804},      {"zh_HK", 0x0C04},
      {"zh_SG", 0x1004},       {"ko_KR.EUC-KR", 0x0412}, {"ru_RU", 0x0419},   {"he_IL", 0x040D},
      {"iw_IL", 0x040D},       {"fr_FR", 0x040C},       {"fr", 0x040C},       {"fr_CA", 0x0C0C},
      {"sv_SE", 0x041D},       {"vi_VN", 0x042A},       {"en_US.UTF-8", 0x0409}, {"en_GB", 0x0809},
      {"C", 0x0409},           {"POSIX", 0x0409},       {"C.UTF-8", 0x0409},  {"", 0x0409},
      {"xx_YY", 0x0409},       {"JA_jp", 0x0411},
  };
  for (const auto& c : cases) EXPECT_EQ(LangIdFromLocale(c.locale), c.id) << c.locale;
}

TEST(Language, EnvironmentOrder) {
  ZAN_SKIP_ON_WINDOWS("the user's language comes from the system there, not from locale variables");
  zan::test::ScopedEnv env;
  env.Set("LC_ALL", nullptr).Set("LC_MESSAGES", nullptr).Set("LANG", nullptr);
  EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
  {
    zan::test::ScopedEnv scope;
    scope.Set("LANG", "ja_JP.UTF-8");
    EXPECT_EQ(GetUserDefaultLangID(), 0x0411);
    scope.Set("LC_MESSAGES", "de_DE.UTF-8");
    EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
    scope.Set("LC_ALL", "");  // set but empty: skipped
    EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
    scope.Set("LC_ALL", "ko_KR");
    EXPECT_EQ(GetUserDefaultLangID(), 0x0412);
  }
}

}  // namespace
