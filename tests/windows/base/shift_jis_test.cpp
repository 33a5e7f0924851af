// Path utilities under code page 932 on Windows: lead bytes come from the system's own table
// (IsDBCSLeadByteEx), so a Shift-JIS trail byte 0x5C is never taken for a backslash.
#include <gtest/gtest.h>

#include <string>

#include "base/FileUtils.h"
#include "platform/os/codepage.h"

namespace {

// Switches the process code page for one scope.
class CodePageGuard {
 public:
  explicit CodePageGuard(unsigned codePage) : previous_(zan::os::SetACP(codePage)) {}
  ~CodePageGuard() { zan::os::SetACP(previous_); }

 private:
  unsigned previous_;
};

TEST(ShiftJis, LeadBytesAreTheSystemsUnderCodePage932) {
  CodePageGuard cp(zan::os::kCodePageShiftJis);
  for (int b = 0; b < 256; ++b) {
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(lead, zan::os::IsDBCSLeadByte(static_cast<unsigned char>(b))) << b;
  }
}

TEST(ShiftJis, ATrailByte5CIsNoBackslash) {
  // Characters whose second byte is 0x5C: ソ 表 能 十 予; and ｿ, a one-byte katakana before a real one.
  const std::string so = "\x83\x5C", hyo = "\x95\x5C", nou = "\x94\x5C", juu = "\x8F\x5C", yo = "\x97\x5C";
  struct Case {
    std::string path;
    int first, last;
    bool right;
  } cases[] = {
      {so, -1, -1, false},
      {"C:\\" + hyo + nou, 2, 2, false},
      {"C:\\" + hyo + "\\" + juu, 2, 5, false},
      {"\\\\server\\share\\" + yo + "\\", 0, 17, true},
      {"\xBF\\" + so, 1, 1, false},
      {so + hyo + nou + juu + yo, -1, -1, false},
  };
  CodePageGuard cp(zan::os::kCodePageShiftJis);
  for (const auto& c : cases) {
    EXPECT_EQ(CFileUtils::FindBackSlash(std::string_view(c.path)), c.first) << c.path;
    EXPECT_EQ(CFileUtils::ReverseFindBackSlash(c.path), c.last) << c.path;
    EXPECT_EQ(CFileUtils::IsBackSlashRight(c.path), c.right) << c.path;
  }
  EXPECT_EQ(CFileUtils::ToForwardSlashes("C:\\" + so + "\\" + hyo), "C:/" + so + "/" + hyo);
  EXPECT_EQ(CFileUtils::RemoveTrailingSlash(so + hyo), so + hyo);
}

}  // namespace
