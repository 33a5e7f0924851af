// The owned file and the atomic replacement: what they refuse, what they leave behind when a
// step fails, and that nothing is written through a symbolic link.
#include "platform/os/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/file_io.h"
#include "platform/os/lasterror.h"
#include "support/host.h"
#include "support/local_files.h"
#include "support/temp_dir.h"

namespace {

using namespace zan::os;

class FileTest : public ::testing::Test {
 protected:
  // The directory's entries, sorted and joined with ' ' (a temporary file left behind shows).
  std::string Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
  }
  // "ok" or the condition of the last error, named by its errno, for one-line checks.
  static std::string Outcome(bool ok) {
    if (ok) return "ok";
    const uint32_t e = LastError();
    if (IsNotFound(e)) return "ENOENT";
    if (IsExists(e)) return "EEXIST";
    if (IsADirectory(e)) return "EISDIR";
    if (IsInvalid(e)) return "EINVAL";
    if (IsALink(e)) return "ELOOP";
    if (IsTooLarge(e)) return "EFBIG";
    return "error " + std::to_string(e);
  }
  std::string Open(const std::string& name, Links links) {
    File file = File::OpenForReading(dir_ / name, links);
    return Outcome(file.isOpen());
  }

  zan::test::TempDir dir_;
};

TEST_F(FileTest, OpenForReadingTakesRegularFilesOnly) {
  ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them, and FIFOs");
  dir_.Write("file", "x");
  dir_.Write("sub/inner", "y");
  std::filesystem::create_symlink(dir_ / "file", dir_ / "link");
  ASSERT_TRUE(zan::test::MakeFifo(dir_ / "fifo"));  // opening it must not wait for a writer
  struct Case {
    const char* name;
    Links links;
    const char* expected;
  };
  const Case cases[] = {
      {"file", Links::kRefuse, "ok"},     {"file", Links::kFollow, "ok"},
      {"link", Links::kRefuse, "ELOOP"},  {"link", Links::kFollow, "ok"},
      {"fifo", Links::kRefuse, "EINVAL"}, {"fifo", Links::kFollow, "EINVAL"},
      {"sub", Links::kRefuse, "EISDIR"},  {"missing", Links::kRefuse, "ENOENT"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, Open(c.name, c.links)) << c.name << (c.links == Links::kFollow ? " followed" : "");
}

TEST_F(FileTest, ReadsSeeksAndReportsItsSize) {
  dir_.Write("f", "0123456789");
  File file = File::OpenForReading(dir_ / "f");
  ASSERT_TRUE(file.isOpen());
  uint64_t size = 0, offset = 99;
  ASSERT_TRUE(file.Size(size));
  EXPECT_EQ(10u, size);
  ASSERT_TRUE(file.Seek(4));
  ASSERT_TRUE(file.Offset(offset));
  EXPECT_EQ(4u, offset);
  char buf[16];
  size_t got = 0;
  ASSERT_TRUE(file.Read(buf, sizeof buf, got));
  EXPECT_EQ("456789", std::string(buf, got));
  ASSERT_TRUE(file.Read(buf, sizeof buf, got));
  EXPECT_EQ(0u, got);
  File moved = std::move(file);
  EXPECT_FALSE(file.isOpen());
  EXPECT_TRUE(moved.isOpen());
  EXPECT_TRUE(moved.Close());
  EXPECT_TRUE(moved.Close());  // closing a closed file is no failure
}

TEST_F(FileTest, ReadWholeFileFailsClearly) {
  dir_.Write("sub/x", "");
  const bool fifo = zan::test::MakeFifo(dir_ / "fifo");  // not on Windows
  const std::pair<std::string, const char*> cases[] = {
      {dir_ / "missing", "ENOENT"},
      {dir_ / "sub", "EISDIR"},
      {dir_ / "fifo", "EINVAL"},  // without waiting for a writer
      {dir_ / "missing/x", "ENOENT"},
      {std::string("a\0b", 3), "EINVAL"},
  };
  for (const auto& [path, expected] : cases) {
    if (!fifo && path == dir_ / "fifo") continue;
    std::string bytes = "unchanged";
    EXPECT_EQ(expected, Outcome(ReadWholeFile(path, bytes))) << path;
    EXPECT_EQ("unchanged", bytes) << path;
  }
}

TEST_F(FileTest, ACommitWithoutOverwriteLeavesAnExistingDestination) {
  struct Case {
    const char* before;  // nullptr: no destination
    bool overwrite;
    const char* outcome;
    const char* after;
  };
  const Case cases[] = {
      {nullptr, false, "ok", "new"},
      {nullptr, true, "ok", "new"},
      {"old", false, "EEXIST", "old"},
      {"old", true, "ok", "new"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir_ / "dest");
    if (c.before) dir_.Write("dest", c.before);
    {
      ReplacingFile file;
      ASSERT_TRUE(file.Open(dir_ / "dest"));
      ASSERT_TRUE(file.Write("new"));
      EXPECT_EQ(c.outcome, Outcome(file.Commit(c.overwrite))) << c.before << c.overwrite;
    }
    EXPECT_EQ(c.after, dir_.Read("dest"));
    EXPECT_EQ("dest", Entries()) << "a temporary file was left behind";
  }
}

TEST_F(FileTest, AnUncommittedReplacementLeavesTheOldFile) {
  dir_.Write("dest", "old");
  {
    ReplacingFile file;
    ASSERT_TRUE(file.Open(dir_ / "dest"));
    ASSERT_TRUE(file.Write("half of the new"));
    EXPECT_NE("dest", Entries()) << "the new content goes to a file of its own";
  }  // the transfer failed: no Commit
  EXPECT_EQ("old", dir_.Read("dest"));
  EXPECT_EQ("dest", Entries());
}

TEST_F(FileTest, AReplacementWhoseWriteFailsLeavesTheOldFile) {
  // Both whole-file writers (the document files' and the registry's and INI files').
  struct Case {
    const char* name;
    bool (*write)(std::string_view, std::string_view);
  };
  for (const Case c : {Case{"ReplaceWholeFile", &ReplaceWholeFile}, Case{"WriteWholeFile", &WriteWholeFile}}) {
    SCOPED_TRACE(c.name);
    ZAN_SKIP_ON_WINDOWS("a process there has no file size limit to make a write fail");
    dir_.Write("dest", "old");
    // The file size limit makes the write itself fail (EFBIG), as a full disk would.
    bool replaced = true;
    uint32_t error = 0;
    ASSERT_TRUE(zan::test::WithFileSizeLimit(1024, [&] {
      replaced = c.write(dir_ / "dest", std::string(4096, 'n'));
      error = LastError();
    }));
    EXPECT_FALSE(replaced);
    EXPECT_EQ(static_cast<uint32_t>(EFBIG), error);
    EXPECT_EQ("old", dir_.Read("dest"));
    EXPECT_EQ("dest", Entries());
  }
}

TEST_F(FileTest, AReplacementNeverWritesThroughASymbolicLink) {
  ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them, and FIFOs");
  dir_.Write("victim", "victim");
  struct Case {
    const char* name;
    bool whole;  // ReplaceWholeFile, else a ReplacingFile committed with overwrite
  };
  for (const Case c : {Case{"link1", true}, Case{"link2", false}}) {
    std::filesystem::create_symlink(dir_ / "victim", dir_ / c.name);
    if (c.whole) {
      EXPECT_TRUE(ReplaceWholeFile(dir_ / c.name, "new"));
    } else {
      ReplacingFile file;
      ASSERT_TRUE(file.Open(dir_ / c.name));
      ASSERT_TRUE(file.Write("new"));
      EXPECT_TRUE(file.Commit(true));
    }
    EXPECT_EQ("victim", dir_.Read("victim")) << c.name;
    EXPECT_EQ("new", dir_.Read(c.name)) << c.name;
    EXPECT_FALSE(std::filesystem::is_symlink(dir_ / c.name)) << c.name;
  }
  // The document write refuses the link outright (and leaves it), and whatever is not a
  // regular file.
  std::filesystem::create_symlink(dir_ / "victim", dir_ / "link3");
  EXPECT_EQ("ELOOP", Outcome(WriteWholeFile(dir_ / "link3", "new")));
  EXPECT_EQ("victim", dir_.Read("victim"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link3"));
  ASSERT_TRUE(std::filesystem::create_directory(dir_ / "dir"));
  EXPECT_EQ("EISDIR", Outcome(WriteWholeFile(dir_ / "dir", "new")));
  ASSERT_TRUE(zan::test::MakeFifo(dir_ / "fifo"));
  EXPECT_EQ("EINVAL", Outcome(WriteWholeFile(dir_ / "fifo", "new")));
}

TEST_F(FileTest, AWholeReplacementKeepsThePermissions) {
  ZAN_SKIP_ON_WINDOWS("POSIX permission bits");
  dir_.Write("dest", "old");
  ASSERT_TRUE(zan::test::SetFileMode(dir_ / "dest", 0640));
  ASSERT_TRUE(ReplaceWholeFile(dir_ / "dest", "new"));
  EXPECT_EQ(0640, zan::test::FileMode(dir_ / "dest"));
  EXPECT_EQ("new", dir_.Read("dest"));
  // A missing file is created; a missing directory is a failure.
  EXPECT_TRUE(ReplaceWholeFile(dir_ / "fresh", "x"));
  EXPECT_EQ("x", dir_.Read("fresh"));
  EXPECT_EQ("ENOENT", Outcome(ReplaceWholeFile(dir_ / "missing/x", "x")));
}

}  // namespace
