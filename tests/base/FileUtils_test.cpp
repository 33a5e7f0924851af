#include "base/FileUtils.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os/codepage.h"
#include "support/host.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Switches the process code page for one scope.
class CodePageGuard {
 public:
  explicit CodePageGuard(unsigned codePage) : previous_(zan::os::SetACP(codePage)) {}
  ~CodePageGuard() { zan::os::SetACP(previous_); }

 private:
  unsigned previous_;
};

// 表 in Shift-JIS: its trail byte is 0x5C, the backslash.
const std::string kHyo = "\x95\x5C";

TEST(FileUtils, FindBackSlash) {
  struct Case {
    std::string path;
    int index;
  } cases[] = {{"", -1}, {"abc", -1}, {"a\\b\\c", 1}, {"\\", 0}, {"a/b", -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(CFileUtils::FindBackSlash(std::string_view(c.path)), c.index) << c.path;
    const char* p = CFileUtils::FindBackSlash(c.path.c_str());
    EXPECT_EQ(p ? p - c.path.c_str() : -1, c.index) << c.path;
  }
  EXPECT_EQ(CFileUtils::FindBackSlash(static_cast<const char*>(nullptr)), nullptr);
}

TEST(FileUtils, ReverseFindBackSlashAndIsBackSlashRight) {
  struct Case {
    std::string path;
    int last;
    bool right;
  } cases[] = {
      {"a\\b\\c", 3, false}, {"\\", 0, true},           {"abc", -1, false},   {"", -1, false},
      {"c:\\dir\\", 6, true}, {"c:\\dir", 2, false},    {"\\\\", 1, true},    {"a/b/", -1, false},
      {"\\abc", 0, false},   {"a\\b\\c\\\\", 6, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CFileUtils::ReverseFindBackSlash(c.path), c.last) << c.path;
    EXPECT_EQ(CFileUtils::IsBackSlashRight(c.path), c.right) << c.path;
  }
}

TEST(FileUtils, TrailByteIsNoBackSlashInShiftJis) {
  struct Case {
    std::string path;
    int first, last;
    bool right;
  } cases[] = {
      {kHyo, -1, -1, false},
      {"dir\\" + kHyo, 3, 3, false},
      {kHyo + "\\", 2, 2, true},
      {"a" + kHyo + "b\\" + kHyo, 4, 4, false},
      {"\x95", -1, -1, false},  // a lead byte without its trail byte
  };
  CodePageGuard cp(zan::os::kCodePageShiftJis);
  for (const auto& c : cases) {
    EXPECT_EQ(CFileUtils::FindBackSlash(std::string_view(c.path)), c.first) << c.path;
    const char* p = CFileUtils::FindBackSlash(c.path.c_str());
    EXPECT_EQ(p ? p - c.path.c_str() : -1, c.first) << c.path;
    EXPECT_EQ(CFileUtils::ReverseFindBackSlash(c.path), c.last) << c.path;
    EXPECT_EQ(CFileUtils::IsBackSlashRight(c.path), c.right) << c.path;
  }
  EXPECT_EQ(CFileUtils::RemoveTrailingSlash(kHyo), kHyo);
  EXPECT_EQ(CFileUtils::ToForwardSlashes("a\\" + kHyo + "\\b"), "a/" + kHyo + "/b");
}

TEST(FileUtils, SameBytesInUtf8HaveABackSlash) {
  CodePageGuard cp(zan::os::kCodePageUtf8);
  EXPECT_EQ(CFileUtils::FindBackSlash(std::string_view(kHyo)), 1);
  EXPECT_TRUE(CFileUtils::IsBackSlashRight(kHyo));
  EXPECT_EQ(CFileUtils::RemoveTrailingSlash(kHyo), "\x95");
}

TEST(FileUtils, RemoveTrailingSlashAndConversions) {
  struct Case {
    std::string path, trimmed;
  } cases[] = {
      {"a/b/", "a/b"}, {"a\\\\", "a\\"}, {"a", "a"},     {"", ""},
      {"a\\b/", "a\\b"}, {"a/\\", "a/"}, {"/", ""},      {"a\\b", "a\\b"},
  };
  for (const auto& c : cases) EXPECT_EQ(CFileUtils::RemoveTrailingSlash(c.path), c.trimmed) << c.path;
  EXPECT_EQ(CFileUtils::ToForwardSlashes("a\\b\\c"), "a/b/c");
  EXPECT_EQ(CFileUtils::ToForwardSlashes("a/b"), "a/b");
  EXPECT_EQ(CFileUtils::ToBackSlashes("a/b/c\\"), "a\\b\\c\\");
}

class FileUtilsDiskTest : public ::testing::Test {
 protected:
  // path() with its slashes turned into backslashes, the way the callers write local paths.
  std::string Win(const std::string& relative) const { return CFileUtils::ToBackSlashes(dir_ / relative); }

  zan::test::TempDir dir_;
};

TEST_F(FileUtilsDiskTest, FileExists) {
  dir_.Write("dir/file.txt", "x");
  struct Case {
    std::string path;
    bool exists;
  } cases[] = {
      {Win("dir"), true},
      {Win("dir") + "\\\\\\", true},  // trailing backslashes are dropped
      {Win("dir\\file.txt"), true},
      {dir_ / "dir/file.txt", true},
      {Win("dir\\missing"), false},
      {"\\", false},                  // the empty name
      {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CFileUtils::FileExists(c.path), c.exists) << c.path;
    EXPECT_EQ(CFileUtils::FileExists(c.path.c_str()), c.exists) << c.path;
  }
  EXPECT_FALSE(CFileUtils::FileExists(static_cast<const char*>(nullptr)));
}

TEST_F(FileUtilsDiskTest, DeleteDirectoryRemovesTree) {
  dir_.Write("tree/a.txt", "1");
  dir_.Write("tree/.hidden", "2");
  dir_.Write("tree/with space.usr", "3");
  dir_.Write("tree/sub/b.txt", "4");
  dir_.Write("tree/sub/deeper/c.txt", "5");
  ASSERT_TRUE(fs::create_directories(dir_ / "tree/sub/empty"));
  dir_.Write("sibling/keep.txt", "6");
  EXPECT_TRUE(CFileUtils::DeleteDirectory(Win("tree").c_str()));
  EXPECT_FALSE(fs::exists(dir_ / "tree"));
  EXPECT_EQ(dir_.Read("sibling/keep.txt"), "6");
}

TEST_F(FileUtilsDiskTest, DeleteDirectoryWithTrailingSeparator) {
  dir_.Write("t1/sub/a", "1");
  dir_.Write("t2/sub/a", "1");
  EXPECT_TRUE(CFileUtils::DeleteDirectory((Win("t1") + "\\").c_str()));
  EXPECT_FALSE(fs::exists(dir_ / "t1"));
  EXPECT_TRUE(CFileUtils::DeleteDirectory((dir_ / "t2/").c_str()));
  EXPECT_FALSE(fs::exists(dir_ / "t2"));
}

TEST_F(FileUtilsDiskTest, DeleteDirectoryOfMissingPathTouchesNothing) {
  dir_.Write("keep/a.txt", "1");
  EXPECT_TRUE(CFileUtils::DeleteDirectory(Win("missing").c_str()));
  EXPECT_TRUE(CFileUtils::DeleteDirectory(""));
  EXPECT_TRUE(CFileUtils::DeleteDirectory(nullptr));
  EXPECT_EQ(dir_.Read("keep/a.txt"), "1");
}

TEST_F(FileUtilsDiskTest, DeleteDirectoryOfAFileLeavesIt) {
  dir_.Write("plain.txt", "1");
  EXPECT_TRUE(CFileUtils::DeleteDirectory(Win("plain.txt").c_str()));
  EXPECT_EQ(dir_.Read("plain.txt"), "1");
}

TEST_F(FileUtilsDiskTest, DeleteDirectoryRemovesLinksNotTheirTargets) {
  ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them");
  dir_.Write("outside/precious.txt", "1");
  dir_.Write("tree/a.txt", "2");
  fs::create_directory_symlink(dir_ / "outside", dir_ / "tree/link");
  fs::create_symlink(dir_ / "outside/precious.txt", dir_ / "tree/filelink");
  EXPECT_TRUE(CFileUtils::DeleteDirectory(Win("tree").c_str()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "tree")));
  EXPECT_EQ(dir_.Read("outside/precious.txt"), "1");
}

TEST_F(FileUtilsDiskTest, DeleteDirectoryWithDoubleByteNames) {
  ZAN_SKIP_ON_WINDOWS("the fixture's names are bytes of code page 932, which a Windows process has only "
                      "when the system runs in it (tests/windows/base runs so)");
  CodePageGuard cp(zan::os::kCodePageShiftJis);
  dir_.Write("tree/" + kHyo + "/x.txt", "1");
  dir_.Write("tree/a" + kHyo, "2");
  EXPECT_TRUE(CFileUtils::DeleteDirectory(Win("tree").c_str()));
  EXPECT_FALSE(fs::exists(dir_ / "tree"));
}

}  // namespace
