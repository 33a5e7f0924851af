#include "platform/os/profile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/os/codepage.h"
#include "platform/os/lasterror.h"
#include "support/host.h"
#include "support/local_files.h"
#include "support/temp_dir.h"

namespace {

using zan::os::WriteIniString;

class ProfileTest : public ::testing::Test {
 protected:
  // Writes before (when not null) as the file, sets section/key = value, returns the file.
  std::string Set(const char* before, std::string_view section, std::string_view key, std::string_view value) {
    if (before) dir_.Write("x.usr", before);
    EXPECT_TRUE(WriteIniString(section, key, value, path())) << zan::os::LastError();
    return dir_.Read("x.usr");
  }
  std::string path() const { return dir_ / "x.usr"; }

  zan::test::TempDir dir_;
};

TEST_F(ProfileTest, NewFileGetsSectionAndKeyWithCrLf) {
  EXPECT_EQ(Set(nullptr, "General", "DefaultCfg", "8.cfg"), "[General]\r\nDefaultCfg=8.cfg\r\n");
  EXPECT_EQ(Set(nullptr, "General", "ParameterFile", "3.prm"),
            "[General]\r\nDefaultCfg=8.cfg\r\nParameterFile=3.prm\r\n");
}

TEST_F(ProfileTest, Cases) {
  struct Case {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } cases[] = {
      {"empty file", "", "General", "K", "v", "[General]\r\nK=v\r\n"},
      {"section appended, LF kept", "[Other]\nA=1\n", "General", "K", "v", "[Other]\nA=1\n[General]\nK=v\n"},
      {"last line without line end", "[Other]\nA=1", "General", "K", "v", "[Other]\nA=1\n[General]\nK=v\n"},
      {"key replaced case-insensitively, rest byte for byte",
       "; top comment\n[general]\nA=1\ndefaultcfg = old.cfg ; tail\nB=2\n\n[Other]\nDefaultCfg=x\n", "GENERAL",
       "DefaultCfg", "new.cfg",
       "; top comment\n[general]\nA=1\ndefaultcfg = new.cfg\nB=2\n\n[Other]\nDefaultCfg=x\n"},
      {"key added after the section's last line, before blank and next section",
       "[General]\nA=1\n\n[Other]\nK=x\n", "General", "K", "v", "[General]\nA=1\nK=v\n\n[Other]\nK=x\n"},
      {"key added to last section without line end", "[General]\r\nA=1", "General", "K", "v",
       "[General]\r\nA=1\r\nK=v\r\n"},
      {"CRLF file stays CRLF", "; c\r\n[General]\r\nK=old\r\nZ=1\r\n", "General", "k", "new",
       "; c\r\n[General]\r\nK=new\r\nZ=1\r\n"},
      {"section header with blanks", "  [ General ]  \nK=1\n", "General", "K", "2", "  [ General ]  \nK=2\n"},
      {"comment that looks like the key is left", "[General]\n;K=1\n", "General", "K", "2",
       "[General]\n;K=1\nK=2\n"},
      {"key before any section is not the section's", "K=1\n[General]\n", "General", "K", "2",
       "K=1\n[General]\nK=2\n"},
      {"first of two equal keys", "[General]\nK=1\nK=2\n", "General", "K", "3", "[General]\nK=3\nK=2\n"},
      {"empty value", "[General]\nK=1\n", "General", "K", "", "[General]\nK=\n"},
      {"unchanged value", "[General]\r\nK=1\n", "General", "K", "1", "[General]\r\nK=1\n"},
      {"a value with leading blanks replaces the blanks after '='", "[General]\nK= \t1\n", "General", "K", "\t2",
       "[General]\nK=\t2\n"},
      {"the same value with leading blanks written again", "[General]\nK=\t2\n", "General", "K", "\t2",
       "[General]\nK=\t2\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Set(c.before, c.section, c.key, c.value), c.after) << c.name;
  }
}

TEST_F(ProfileTest, DoubleByteKeysCompareByWholeCharacters) {
  const unsigned previous = zan::os::SetACP(zan::os::kCodePageShiftJis);
  // 0x83 0x41 and 0x83 0x61 are two different characters whose trail bytes are 'A' and 'a'.
  EXPECT_EQ(Set("[S]\n\x83\x41=1\n", "S", "\x83\x61", "2"), "[S]\n\x83\x41=1\n\x83\x61=2\n");
  zan::os::SetACP(previous);
}

TEST_F(ProfileTest, BackslashPathAndFileModeKept) {
  dir_.Write("sub/a.usr", "[General]\nK=1\n");
  const bool modes = zan::test::SetFileMode(dir_ / "sub/a.usr", 0640);  // POSIX only
  ASSERT_TRUE(WriteIniString("General", "K", "2", dir_.path() + "\\sub\\a.usr"));
  EXPECT_EQ(dir_.Read("sub/a.usr"), "[General]\nK=2\n");
  if (modes) {
    EXPECT_EQ(0640, zan::test::FileMode(dir_ / "sub/a.usr"));
  }
}

TEST_F(ProfileTest, WritesThroughSymbolicLink) {
  ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them");
  dir_.Write("real.usr", "[General]\n");
  std::filesystem::create_symlink(dir_ / "real.usr", dir_ / "link.usr");
  ASSERT_TRUE(WriteIniString("General", "K", "v", dir_ / "link.usr"));
  EXPECT_EQ(dir_.Read("real.usr"), "[General]\nK=v\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.usr"));
}

TEST_F(ProfileTest, Failures) {
  EXPECT_FALSE(WriteIniString("General", "K", "v", dir_ / "missing/x.usr"));
  EXPECT_TRUE(zan::os::IsNotFound(zan::os::LastError()));
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } invalid[] = {{"", "K", "v"}, {"General", "", "v"}, {"Gen\neral", "K", "v"},
                 {"General", "K\r", "v"}, {"General", "K", "v\n[Injected]"}, {"Gen]", "K", "v"},
                 {"General", "K=1", "v"}, {"General", ";K", "v"}, {"General", " [K", "v"}};
  for (const auto& c : invalid) {
    EXPECT_FALSE(WriteIniString(c.section, c.key, c.value, path())) << c.section << "/" << c.key;
    EXPECT_TRUE(zan::os::IsInvalid(zan::os::LastError()));
  }
  EXPECT_FALSE(dir_.Read("x.usr").size());
  // A directory in place of the file: nothing is written, no temporary file is left.
  ASSERT_TRUE(std::filesystem::create_directory(dir_ / "adir"));
  EXPECT_FALSE(WriteIniString("General", "K", "v", dir_ / "adir"));
  EXPECT_TRUE(zan::os::IsADirectory(zan::os::LastError()));
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

}  // namespace
