#include "platform/os/file_io.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/os/lasterror.h"
#include "support/host.h"
#include "support/local_files.h"
#include "support/temp_dir.h"

namespace {

using namespace zan::os;

TEST(FileIo, WritesReplacesAndReadsWholeFiles) {
  zan::test::TempDir dir;
  const std::string bytes("line\r\n\0binary\xff", 14);
  ASSERT_TRUE(WriteWholeFile(dir / "a.txt", bytes));
  std::string read;
  ASSERT_TRUE(ReadWholeFile(dir / "a.txt", read));
  EXPECT_EQ(read, bytes);
  ASSERT_TRUE(WriteWholeFile(dir / "a.txt", "short"));
  ASSERT_TRUE(ReadWholeFile(dir / "a.txt", read));
  EXPECT_EQ(read, "short");
  ASSERT_TRUE(WriteWholeFile(dir / "empty", ""));
  ASSERT_TRUE(ReadWholeFile(dir / "empty", read));
  EXPECT_EQ(read, "");
}

TEST(FileIo, BackslashesSeparateSegments) {
  zan::test::TempDir dir;
  dir.Write("sub/x.xml", "");
  ASSERT_TRUE(WriteWholeFile(dir.path() + "\\sub\\x.xml", "<x/>"));
  EXPECT_EQ(dir.Read("sub/x.xml"), "<x/>");
  std::string read;
  ASSERT_TRUE(ReadWholeFile(dir.path() + "\\sub/x.xml", read));
  EXPECT_EQ(read, "<x/>");
}

TEST(FileIo, WritesNoSymbolicLinkAndNoFifo) {
  ZAN_SKIP_ON_WINDOWS("symbolic links as Linux makes them, and FIFOs");
  zan::test::TempDir dir;
  dir.Write("victim.txt", "victim");
  std::filesystem::create_symlink(dir / "victim.txt", dir / "link.xml");
  EXPECT_FALSE(WriteWholeFile(dir / "link.xml", "<x/>"));
  EXPECT_TRUE(IsALink(LastError())) << LastError();
  EXPECT_EQ("victim", dir.Read("victim.txt"));
  // Without a reader, a FIFO would block the writer for ever.
  ASSERT_TRUE(zan::test::MakeFifo(dir / "fifo.xml"));
  EXPECT_FALSE(WriteWholeFile(dir / "fifo.xml", "<x/>"));
}

TEST(FileIo, FailuresSetTheLastError) {
  zan::test::TempDir dir;
  std::string read = "unchanged";
  EXPECT_FALSE(WriteWholeFile(dir / "missing/x.xml", "x"));
  EXPECT_TRUE(IsNotFound(LastError())) << LastError();
  EXPECT_FALSE(ReadWholeFile(dir / "missing.xml", read));
  EXPECT_TRUE(IsNotFound(LastError())) << LastError();
  EXPECT_FALSE(ReadWholeFile(dir.path(), read));
  EXPECT_TRUE(IsADirectory(LastError())) << LastError();
  EXPECT_FALSE(WriteWholeFile(std::string("a\0b", 3), "x"));
  EXPECT_TRUE(IsInvalid(LastError())) << LastError();
  EXPECT_EQ(read, "unchanged");
}

}  // namespace
