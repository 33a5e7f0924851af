#include "platform/os/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/os/codepage.h"
#include "platform/os/lasterror.h"
#include "support/host.h"
#include "support/temp_dir.h"

namespace {

using namespace zan::os;

// Switches the process code page for one scope.
class CodePageGuard {
 public:
  explicit CodePageGuard(unsigned codePage) : previous_(SetACP(codePage)) {}
  ~CodePageGuard() { SetACP(previous_); }

 private:
  unsigned previous_;
};

class FileSystemTest : public ::testing::Test {
 protected:
  // The entries of a search, as "name" or "name/" for a directory ("name@" for a link),
  // in the order found; "<failed>" when the search could not start.
  std::string Search(const std::string& pattern) {
    DirectorySearch search(pattern);
    if (!search.ok()) return "<failed>";
    std::string out;
    FindData data;
    while (search.Next(data)) {
      if (!out.empty()) out += ' ';
      out += data.name + (data.isLink ? "@" : "") + (data.isDirectory ? "/" : "");
    }
    return out;
  }
  // The entries after "." and "..", sorted.
  std::string SearchSorted(const std::string& pattern) {
    DirectorySearch search(pattern);
    std::vector<std::string> names;
    FindData data;
    while (search.Next(data)) names.push_back(data.name + (data.isDirectory ? "/" : ""));
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
  }

  zan::test::TempDir dir_;
};

TEST(ToNativePath, SeparatorsBecomeSlashesExceptTrailBytes) {
  ZAN_SKIP_ON_WINDOWS("Linux's native separator; the Windows forms are tests/windows/os's");
  struct Case {
    unsigned codePage;
    std::string in, out;
  } cases[] = {
      {kCodePageUtf8, "a\\b/c\\", "a/b/c/"},
      {kCodePageUtf8, "", ""},
      {kCodePageUtf8, "\x95\x5C", "\x95/"},
      {kCodePageShiftJis, "\x95\x5C", "\x95\x5C"},           // 表: 0x5C is its trail byte
      {kCodePageShiftJis, "d\\\x95\x5C\\x", "d/\x95\x5C/x"},
      {kCodePageShiftJis, "a\\\x95", "a/\x95"},              // lead byte without trail byte
  };
  for (const auto& c : cases) {
    CodePageGuard cp(c.codePage);
    EXPECT_EQ(ToNativePath(c.in), c.out) << c.in << " cp " << c.codePage;
  }
}

TEST(WildcardMatch, WindowsRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*", "anything", true},      {"*", ".", true},           {"*.*", "noext", true},
      {"*.*", "..", true},          {"*.txt", "a.txt", true},   {"*.txt", "a.TXT", true},
      {"*.txt", "a.txt.bak", false}, {"*.txt", "txt", false},   {"a?c", "abc", true},
      {"a?c", "ac", false},         {"a?c", "abbc", false},     {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbY", false},     {"data.*", "data", true},   {"data.*", "data.xml", true},
      {"data.*", "database", false}, {"A.USR", "a.usr", true},   {"?", ".", true},
      {"exact", "exact", true},     {"exact", "exactly", false}, {"", "", true},
      {"*x", "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " ~ " << c.name;
}

TEST(WildcardMatch, QuestionMarkTakesOneWholeCharacter) {
  {
    CodePageGuard cp(kCodePageUtf8);
    EXPECT_TRUE(WildcardMatch("?.txt", "\xC3\xA4.txt"));  // ä
    EXPECT_TRUE(WildcardMatch("?", "\xE8\xA1\xA8"));      // 表
  }
  CodePageGuard cp(kCodePageShiftJis);
  EXPECT_TRUE(WildcardMatch("?", "\x95\x5C"));
  EXPECT_FALSE(WildcardMatch("??", "\x95\x5C"));
  // The trail byte 'A' of one character does not fold to 'a' of another.
  EXPECT_FALSE(WildcardMatch("\x83\x61", "\x83\x41"));
}

TEST_F(FileSystemTest, CreateRemoveDeleteAndExistence) {
  const std::string sub = dir_.path() + "\\sub";
  EXPECT_FALSE(PathExists(sub));
  EXPECT_TRUE(IsNotFound(LastError())) << LastError();
  ASSERT_TRUE(MakeDirectory(sub));
  EXPECT_TRUE(PathExists(sub));
  EXPECT_TRUE(IsDirectory(sub + "\\"));
  EXPECT_FALSE(MakeDirectory(sub));
  EXPECT_TRUE(IsExists(LastError())) << LastError();
  EXPECT_FALSE(MakeDirectory(dir_.path() + "\\missing\\deeper"));
  EXPECT_TRUE(IsNotFound(LastError())) << LastError();

  dir_.Write("sub/f.txt", "x");
  EXPECT_TRUE(PathExists(sub + "\\f.txt"));
  EXPECT_FALSE(IsDirectory(sub + "\\f.txt"));
  EXPECT_FALSE(RemoveDirectoryAt(sub));
  EXPECT_TRUE(IsNotEmpty(LastError())) << LastError();
  EXPECT_FALSE(RemoveFile(sub));  // a directory is not a file
  ASSERT_TRUE(RemoveFile(sub + "\\f.txt"));
  EXPECT_FALSE(RemoveFile(sub + "\\f.txt"));
  EXPECT_TRUE(IsNotFound(LastError())) << LastError();
  EXPECT_TRUE(RemoveDirectoryAt(sub));
  EXPECT_FALSE(PathExists(sub));
}

TEST_F(FileSystemTest, EmbeddedNulNamesNoFile) {
  dir_.Write("a", "x");
  const std::string withNul = dir_.path() + "/a" + std::string(1, '\0') + "b";
  EXPECT_FALSE(PathExists(withNul));
  EXPECT_TRUE(IsInvalid(LastError())) << LastError();
  EXPECT_FALSE(RemoveFile(withNul));
  EXPECT_TRUE(PathExists(dir_ / "a"));
  EXPECT_FALSE(PathExists(""));
}

TEST_F(FileSystemTest, FullPath) {
  ZAN_SKIP_ON_WINDOWS("Linux's path forms; the Windows forms are tests/windows/os's");
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(FullPath("x\\y\\..\\z"), cwd + "/x/z");
  EXPECT_EQ(FullPath("/a/./b//c"), "/a/b/c");
  EXPECT_EQ(FullPath("\\a\\b\\"), "/a/b/");
  EXPECT_EQ(FullPath(""), "");
}

TEST_F(FileSystemTest, SearchYieldsDotsFirstThenMatches) {
  dir_.Write("a.txt", "1");
  dir_.Write("b.dat", "2");
  dir_.Write("sub/inner.txt", "3");
  const std::string all = Search(dir_.path() + "\\*");
  EXPECT_EQ(all.substr(0, 7), "./ ../ ") << all;
  EXPECT_EQ(SearchSorted(dir_.path() + "\\*"), "../ ./ a.txt b.dat sub/");
  EXPECT_EQ(SearchSorted(dir_.path() + "\\*.*"), "../ ./ a.txt b.dat sub/");
  EXPECT_EQ(SearchSorted(dir_.path() + "/*.txt"), "a.txt");
  EXPECT_EQ(SearchSorted(dir_.path() + "\\?.*"), "../ a.txt b.dat");
  EXPECT_EQ(Search(dir_.path() + "\\sub"), "sub/");  // a plain name finds that entry
  EXPECT_EQ(Search(dir_.path() + "\\nothing*"), "");
}

TEST_F(FileSystemTest, SearchOfEmptyDirectoryYieldsOnlyDots) {
  ASSERT_TRUE(MakeDirectory(dir_ / "empty"));
  EXPECT_EQ(Search(dir_.path() + "\\empty\\*"), "./ ../");
}

TEST_F(FileSystemTest, SearchOfMissingDirectoryFails) {
  SetLastError(0);
  EXPECT_EQ(Search(dir_.path() + "\\missing\\*"), "<failed>");
  EXPECT_TRUE(IsNotFound(LastError())) << LastError();
  DirectorySearch search(dir_.path() + "\\missing\\*");
  FindData data;
  EXPECT_FALSE(search.Next(data));
}

TEST_F(FileSystemTest, SearchReportsLinksWithWhatTheyPointTo) {
  ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them");
  dir_.Write("target/f", "x");
  dir_.Write("file", "y");
  ASSERT_TRUE(MakeDirectory(dir_ / "d"));
  std::filesystem::create_directory_symlink(dir_ / "target", dir_ / "d/todir");
  std::filesystem::create_symlink(dir_ / "file", dir_ / "d/tofile");
  std::filesystem::create_symlink(dir_ / "gone", dir_ / "d/dangling");
  EXPECT_EQ(Search(dir_.path() + "\\d\\todir"), "todir@/");
  EXPECT_EQ(Search(dir_.path() + "\\d\\tofile"), "tofile@");
  EXPECT_EQ(Search(dir_.path() + "\\d\\dangling"), "dangling@");
}

TEST_F(FileSystemTest, SearchWithDoubleByteNameInShiftJis) {
  ZAN_SKIP_ON_WINDOWS("the fixture's names are bytes of code page 932, which a Windows process has only "
                      "when the system runs in it (tests/windows/base runs so)");
  CodePageGuard cp(kCodePageShiftJis);
  // The directory is named by the two bytes of 表; its 0x5C byte does not split the path.
  const std::string name = "\x95\x5C";
  ASSERT_TRUE(MakeDirectory(dir_.path() + "\\" + name));
  dir_.Write(name + "/x.txt", "1");
  EXPECT_EQ(Search(dir_.path() + "\\" + name + "\\*.txt"), "x.txt");
}

TEST(DirectoryOf, APath) {
  const std::pair<const char*, const char*> rows[] = {
      {"/usr/lib/ZANClient.so", "/usr/lib"},
      {"/ZANClient.so", "/"},
      {"ZANClient.so", ""},
      {"C:\\Program Files\\ZANClient.DLL", "C:\\Program Files"},
      {"/a/it's/x.so", "/a/it's"},
      {"dir\\sub/x.usr", "dir\\sub"},
      // Roots are kept whole, whatever system runs the module.
      {"/", "/"},
      {"C:/x.ini", "C:/"},
      {"C:\\x.ini", "C:\\"},
      {"C:\\", "C:\\"},
      {"C:x.ini", "C:"},
      {"C:\\dir\\", "C:\\dir"},
      {"//server/share/x.ini", "//server/share/"},
      {"\\\\server\\share\\dir\\x.ini", "\\\\server\\share\\dir"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"\\\\?\\C:\\x.ini", "\\\\?\\C:\\"},
      {"\\\\?\\C:\\a/b.ini", "\\\\?\\C:\\"},  // '/' separates nothing in a \\?\ path
      {"\\\\?\\C:\\dir\\x.ini", "\\\\?\\C:\\dir"},
      {"\\\\?\\UNC\\server\\share\\x.ini", "\\\\?\\UNC\\server\\share\\"},
  };
  for (const auto& [path, directory] : rows) EXPECT_EQ(directory, DirectoryOf(path)) << path;
}

TEST(PathRootLength, EveryForm) {
  const std::pair<const char*, size_t> rows[] = {
      {"", 0},
      {"dir/x", 0},
      {"/x", 1},
      {"\\x", 1},
      {"C:", 2},
      {"c:x", 2},
      {"C:/x", 3},
      {"C:\\x", 3},
      {"1:/x", 0},  // not a drive letter
      {"//server/share/x", 15},
      {"//server/share", 14},
      {"//server", 8},
      {"\\\\server\\share\\x", 15},
      {"///x", 1},
      {"\\\\?\\C:\\x", 7},
      {"\\\\?\\C:", 6},
      {"\\\\?\\UNC\\srv\\sh\\x", 15},
      {"\\\\?\\unc\\srv\\sh", 14},
      {"\\\\?\\Volume{1}\\x", 14},
  };
  for (const auto& [path, length] : rows) EXPECT_EQ(length, PathRootLength(path)) << path;
}

TEST(DirectoryOf, ShiftJisTrailByteIsNoSeparator) {
  CodePageGuard cp(kCodePageShiftJis);
  EXPECT_EQ(DirectoryOf("C:\\\x95\x5C\\x.ini"), "C:\\\x95\x5C");
  EXPECT_EQ(DirectoryOf("\\\\srv\x95\x5C\\share\\x.ini"), "\\\\srv\x95\x5C\\share\\");
}

}  // namespace
