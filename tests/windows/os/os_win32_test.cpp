// The Windows backends of src/platform/os, run under Wine or Windows: file calls, the last-error
// classifiers, replacement under a reader, directory search, paths in the extended-length form
// and past MAX_PATH, local time before 1970, the checked time formatting and the alert's choice
// of sink.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "platform/os/alert.h"
#include "platform/os/clock.h"
#include "platform/os/environment.h"
#include "platform/os/file.h"
#include "platform/os/file_io.h"
#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"
#include "platform/os/module_path.h"
#include "platform/os/profile.h"

namespace {

using namespace zan::os;

// A fresh directory under the temporary directory, removed with its files afterwards.
class Win32Os : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TemporaryDirectory() + "zan-os-" + std::to_string(GetCurrentProcessId()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(CreateDirectories(dir_)) << LastError();
  }
  void TearDown() override { Remove(dir_); }

  static void Remove(const std::string& dir) {
    DirectorySearch search(dir + "\\*");
    FindData e;
    while (search.Next(e)) {
      if (e.name == "." || e.name == "..") continue;
      e.isDirectory ? Remove(dir + "\\" + e.name) : void(RemoveFile(dir + "\\" + e.name));
    }
    RemoveDirectoryAt(dir);
  }
  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  std::string Read(const std::string& name) const {
    std::string bytes;
    return ReadWholeFile(Path(name), bytes) ? bytes : "<" + std::to_string(LastError()) + ">";
  }
  // The names a search yields, joined by '|'.
  static std::string Search(const std::string& pattern) {
    DirectorySearch search(pattern);
    if (!search.ok()) return "<" + std::to_string(LastError()) + ">";
    std::string out;
    FindData e;
    while (search.Next(e)) out += (out.empty() ? "" : "|") + e.name + (e.isDirectory ? "/" : "");
    return out;
  }

  std::string dir_;
};

TEST_F(Win32Os, FailuresClassifyOnThisSystem) {
  struct Row {
    const char* what;
    std::function<bool()> call;
    ErrorKind kind;
  };
  ASSERT_TRUE(WriteWholeFile(Path("f.txt"), "x"));
  ASSERT_TRUE(MakeDirectory(Path("d")));
  ASSERT_TRUE(WriteWholeFile(Path("d\\inner.txt"), "y"));
  std::string bytes;
  const Row rows[] = {
      {"read missing", [&] { return ReadWholeFile(Path("missing.txt"), bytes); }, ErrorKind::kNotFound},
      {"read in missing dir", [&] { return ReadWholeFile(Path("nodir\\x.txt"), bytes); }, ErrorKind::kNotFound},
      {"read a directory", [&] { return ReadWholeFile(Path("d"), bytes); }, ErrorKind::kIsADirectory},
      {"read over cap", [&] { return ReadWholeFile(Path("f.txt"), bytes, 0); }, ErrorKind::kTooLarge},
      {"make existing", [&] { return MakeDirectory(Path("d")); }, ErrorKind::kExists},
      {"make in missing", [&] { return MakeDirectory(Path("nodir\\sub")); }, ErrorKind::kNotFound},
      {"remove full dir", [&] { return RemoveDirectoryAt(Path("d")); }, ErrorKind::kNotEmpty},
      {"remove missing", [&] { return RemoveFile(Path("missing.txt")); }, ErrorKind::kNotFound},
      {"create existing", [&] { return File::CreateNew(Path("f.txt")).isOpen(); }, ErrorKind::kExists},
      {"NUL in name", [&] { return PathExists(std::string("a\0b", 3)); }, ErrorKind::kInvalid},
      {"write onto dir", [&] { return WriteWholeFile(Path("d"), "z"); }, ErrorKind::kIsADirectory},
  };
  for (const Row& r : rows) {
    zan::os::SetLastError(0);
    EXPECT_FALSE(r.call()) << r.what;
    EXPECT_TRUE(IsError(LastError(), r.kind)) << r.what << ": " << LastError();
  }
  EXPECT_EQ(SystemErrorCode(ERROR_FILE_NOT_FOUND), 2u);
  EXPECT_EQ(SystemMessageLine(ERROR_FILE_NOT_FOUND).find('\n'), std::string::npos);
  EXPECT_FALSE(SystemMessageLine(ERROR_FILE_NOT_FOUND).empty());
  EXPECT_EQ(SystemMessage(ERROR_ACCESS_DENIED).substr(SystemMessage(ERROR_ACCESS_DENIED).size() - 2), "\r\n");
}

// A reader's handle shares delete, so the replacement may be renamed over it; where the system
// still refuses (a file system or Wine without POSIX rename semantics: access denied), the
// old content stays whole and no temporary file is left.
TEST_F(Win32Os, ReplacementUnderAnOpenReaderIsAllOrNothing) {
  ASSERT_TRUE(WriteWholeFile(Path("r.txt"), "old"));
  File reader = File::OpenForReading(Path("r.txt"));
  ASSERT_TRUE(reader.isOpen()) << LastError();
  const bool replaced = ReplaceWholeFile(Path("r.txt"), "new");
  if (!replaced) {
    EXPECT_TRUE(IsAccessDenied(LastError())) << LastError();
  }
  char buf[8];
  size_t got = 0;
  ASSERT_TRUE(reader.Read(buf, sizeof buf, got));
  EXPECT_EQ(std::string(buf, got), "old");  // the reader keeps what it opened
  reader.Close();
  EXPECT_EQ(Read("r.txt"), replaced ? "new" : "old");
  EXPECT_EQ(Search(Path("*.part")), "");
  EXPECT_TRUE(ReplaceWholeFile(Path("r.txt"), "new")) << LastError();  // once the reader is gone
  EXPECT_EQ(Read("r.txt"), "new");
}

TEST_F(Win32Os, CommitWithoutOverwriteKeepsTheDestination) {
  ASSERT_TRUE(WriteWholeFile(Path("keep.txt"), "first"));
  ReplacingFile file;
  ASSERT_TRUE(file.Open(Path("keep.txt")));
  ASSERT_TRUE(file.Write("second"));
  EXPECT_FALSE(file.Commit(false));
  EXPECT_TRUE(IsExists(LastError())) << LastError();
  EXPECT_EQ(Read("keep.txt"), "first");
}

TEST_F(Win32Os, PathsAreUtf8AndBothSeparatorsWork) {
  const std::string name = "\xC3\xA4\xE8\xA1\xA8.txt";  // ä表.txt
  ASSERT_TRUE(WriteWholeFile(dir_ + "/" + name, "u"));
  EXPECT_EQ(Read(name), "u");
  EXPECT_EQ(Search(Path("*.txt")), name);
  // The system sees the same name in UTF-16.
  const std::wstring wide = L"\\\u00E4\u8868.txt";
  std::wstring wdir(dir_.begin(), dir_.end());  // the temporary directory is ASCII under Wine
  EXPECT_NE(GetFileAttributesW((wdir + wide).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Win32Os, SearchYieldsDotsFirstAndMatchesByWildcard) {
  ASSERT_TRUE(WriteWholeFile(Path("a.xml"), "1"));
  ASSERT_TRUE(WriteWholeFile(Path("b.html"), "2"));
  ASSERT_TRUE(MakeDirectory(Path("sub")));
  struct Row {
    const char* pattern;
    const char* names;
  } rows[] = {
      {"*.xml", "a.xml"},
      {"*.htm", ""},  // the system's own search would also take b.html by its short name
      {"s?b", "sub/"},
      {"nothing*", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(Search(Path(r.pattern)), r.names) << r.pattern;
  EXPECT_EQ(Search(Path("*")).substr(0, 6), "./|../");
  EXPECT_EQ(Search(Path("missing\\*")).front(), '<');
  // In the extended-length form only '\' separates: a '/' there is part of a name no file has.
  EXPECT_EQ(Search("\\\\?\\" + dir_ + "\\*.xml"), "a.xml");
  EXPECT_EQ(Search("\\\\?\\" + dir_ + "/*.xml"), "<" + std::to_string(ErrorValue(ErrorKind::kInvalid)) + ">");
}

TEST_F(Win32Os, DirectoryHelpers) {
  EXPECT_TRUE(IsDirectory(dir_));
  EXPECT_FALSE(IsSymbolicLink(dir_));
  EXPECT_TRUE(CreateDirectories(Path("x\\y/z")));
  EXPECT_TRUE(IsDirectory(Path("x\\y\\z")));
  std::string resolved;
  ASSERT_TRUE(ResolvedPath(Path("x\\y\\..\\y"), resolved)) << LastError();
  EXPECT_EQ(resolved.substr(resolved.size() - 4), "\\x\\y");
  EXPECT_EQ(FullPath("C:/a/b/../c"), "C:\\a\\c");
  EXPECT_EQ(ToNativePath("C:/a\\b"), "C:\\a\\b");
  EXPECT_EQ(ToNativePath("\\\\?\\C:\\a/b"), "\\\\?\\C:\\a/b");
}

// Every path reaches the system full and in the extended-length form, which the system takes
// verbatim: the separators, "." and ".." and a last component's trailing dots are resolved first,
// as the system would resolve them in a plain path.
TEST_F(Win32Os, PathsReachTheSystemInTheExtendedLengthForm) {
  const std::pair<std::string, std::string> rows[] = {
      {"C:/a/./b/../c", "\\\\?\\C:\\a\\c"},
      {"C:\\a\\name.", "\\\\?\\C:\\a\\name"},
      {"\\\\server\\share\\x", "\\\\?\\UNC\\server\\share\\x"},
      {"//server/share/x/../y", "\\\\?\\UNC\\server\\share\\y"},
      {"\\\\?\\C:\\a/b\\..", "\\\\?\\C:\\a/b\\.."},  // already verbatim: as it is
      {"\\\\.\\pipe\\p", "\\\\.\\pipe\\p"},        // a device path
      {"NUL", "\\\\.\\NUL"},                        // a device name becomes one
      {"rel/x", "\\\\?\\" + FullPath("rel\\x")},   // against the current directory
  };
  for (const auto& [path, system] : rows) EXPECT_EQ(SystemPath(path), system) << path;
}

// Paths longer than MAX_PATH (260) in every call, with names outside ASCII; the directories'
// paths pass the 248 that CreateDirectoryW takes in a plain path.
TEST_F(Win32Os, PathsLongerThanMaxPathWorkInEveryCall) {
  std::string deep = dir_;
  for (const char* level : {"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                            "\xD0\x9A\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0", "\xF0\x9F\x9A\x80"}) {
    deep += "\\" + std::string(level) + "-" + std::string(60, 'x');
  }
  const std::string file = deep + "/f.txt";
  ASSERT_GT(file.size(), 300u);
  ASSERT_TRUE(CreateDirectories(deep)) << LastError();
  EXPECT_TRUE(IsDirectory(deep));
  EXPECT_FALSE(IsSymbolicLink(deep));
  ASSERT_TRUE(WriteWholeFile(file, "one")) << LastError();
  EXPECT_TRUE(ReplaceWholeFile(file, "two")) << LastError();
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(file, bytes)) << LastError();
  EXPECT_EQ(bytes, "two");
  EXPECT_TRUE(PathExists(file));
  // Wine 8's GetFinalPathNameByHandleW takes names up to MAX_PATH only (ERROR_MORE_DATA).
  std::string resolved;
  if (ResolvedPath(file, resolved)) {
    EXPECT_EQ(resolved.substr(resolved.size() - 6), "\\f.txt");
  } else {
    EXPECT_EQ(LastError(), static_cast<uint32_t>(ERROR_MORE_DATA));
    EXPECT_NE(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"), nullptr) << "not Wine";
  }
  EXPECT_EQ(Search(deep + "\\*"), "./|../|f.txt");
  File reader = File::OpenForReading(file);
  EXPECT_TRUE(reader.isOpen()) << LastError();
  reader.Close();
  EXPECT_TRUE(MakeDirectory(deep + "\\sub")) << LastError();
  EXPECT_TRUE(RemoveDirectoryAt(deep + "\\sub")) << LastError();
  EXPECT_TRUE(RemoveFile(file)) << LastError();
  EXPECT_FALSE(PathExists(file));
}

TEST_F(Win32Os, ProfileWriteKeepsUtf8) {
  ASSERT_TRUE(WriteIniString("General", "Name", "\xC3\xA4", Path("p.ini"))) << LastError();
  ASSERT_TRUE(WriteIniString("General", "Other", "1", Path("p.ini"))) << LastError();
  EXPECT_EQ(Read("p.ini"), "[General]\r\nName=\xC3\xA4\r\nOther=1\r\n");
}

TEST(Win32Clock, LocalTimeBefore1970RoundTrips) {
  const int years[] = {1900, 1901, 1969, 1970, 2003, 2038, 2100};
  for (int year : years) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = 6;
    tm.tm_mday = 15;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_sec = 3;
    tm.tm_isdst = -1;
    const int64_t seconds = MakeLocalTime(tm);
    ASSERT_NE(seconds, -1) << year;
    std::tm back{};
    ASSERT_TRUE(LocalBreakdown(seconds, back)) << year;
    std::string text;
    ASSERT_TRUE(FormatTime("%Y-%m-%d %H:%M:%S", back, 128, text));
    EXPECT_EQ(text, std::to_string(year) + "-07-15 09:05:03");
  }
}

TEST(Win32Clock, UnknownDirectivesNeverReachTheRuntime) {
  std::tm tm{};
  ASSERT_TRUE(UtcBreakdown(-2208988800LL, tm));  // 1900-01-01, a Monday
  const std::pair<const char*, const char*> rows[] = {
      {"%Y-%m-%d", "1900-01-01"}, {"%Q %E %O %", "%Q %E %O %"}, {"%j %u %w", "001 1 1"},
      {"%F %T", "1900-01-01 00:00:00"}, {"%a %b", "Mon Jan"},
  };
  for (const auto& [format, text] : rows) {
    std::string out;
    ASSERT_TRUE(FormatTime(format, tm, 128, out)) << format;
    EXPECT_EQ(out, text) << format;
  }
}

TEST(Win32Environment, ValuesAreUtf8) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZAN_OS_TEST", L"\u00E4"));
  EXPECT_EQ(EnvironmentValue("ZAN_OS_TEST"), "\xC3\xA4");
  EXPECT_EQ(EnvironmentValue("ZAN_OS_TEST_UNSET"), "");
  EXPECT_FALSE(HomeDirectory().empty());
  EXPECT_EQ(TemporaryDirectory().back(), '\\');
}

TEST(Win32Module, PathOfThisExecutable) {
  const std::string path = ModulePath(reinterpret_cast<const void*>(&ModulePath));
  ASSERT_GE(path.size(), 4u);
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  EXPECT_EQ(ModulePath(nullptr), "");
}

// With ZANCLIENT_DIAGNOSTICS naming a file the default sink writes its line there: never a
// modal box, which would hang a host that nobody watches.
TEST_F(Win32Os, AlertGoesToTheSinkTheEnvironmentNames) {
  const std::string log = Path("alert.log");
  const std::wstring wideLog(log.begin(), log.end());
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZANCLIENT_DIAGNOSTICS", wideLog.c_str()));
  ShowErrorAlert("first\r\nsecond");
  SetEnvironmentVariableW(L"ZANCLIENT_DIAGNOSTICS", nullptr);
  EXPECT_EQ(Read("alert.log"), "ZAN: first second\n");
}

}  // namespace
