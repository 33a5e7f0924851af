#include "platform/os/alert.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/file_io.h"
#include "platform/os/standard_output.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using namespace zan::os;

TEST(Alert, LineFoldsLineBreaks) {
  struct Case {
    const char* text;
    const char* line;
  } cases[] = {
      {"plain", "ZAN: plain"},
      {"Running in Development Mode, Do not continue...\n\rPlease Notify Development. ",
       "ZAN: Running in Development Mode, Do not continue... Please Notify Development. "},
      {"Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r",
       "ZAN: Item wasn't found. Error 102: Item wasn't found.  "},
      {"\r\nlead", "ZAN: lead"},
      {"a\nb\rc", "ZAN: a b c"},
      {"", "ZAN: "},
  };
  for (const auto& c : cases) EXPECT_EQ(AlertLine("ZAN", c.text), c.line) << c.text;
}

TEST(Alert, DefaultSinkWritesOneLineToStandardError) {
  ::testing::internal::CaptureStderr();
  ShowErrorAlert("bad\r\nthing");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ZAN: bad thing\n");
}

TEST(Alert, TheEnvironmentSilencesOrRedirectsTheDefaultSink) {
  const zan::test::TempDir dir;
  const std::string file = dir.path() + "/diagnostics.log";
  {
    zan::test::ScopedEnv off("ZANCLIENT_DIAGNOSTICS", "off");
    ::testing::internal::CaptureStderr();
    ShowErrorAlert("silenced");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  }
  {
    zan::test::ScopedEnv redirected("ZANCLIENT_DIAGNOSTICS", file);
    ::testing::internal::CaptureStderr();
    ShowErrorAlert("one");
    ShowErrorAlert("two");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  }
  std::string text;
  ASSERT_TRUE(ReadWholeFile(file, text));
  EXPECT_EQ(text, "ZAN: one\nZAN: two\n");
}

TEST(Alert, ReplaceableSink) {
  std::vector<std::string> seen;
  AlertSink previous = SetAlertSink([&](std::string_view caption, std::string_view text) {
    seen.push_back(std::string(caption) + "|" + std::string(text));
  });
  ASSERT_TRUE(previous);
  ShowErrorAlert("first\n\r");
  EXPECT_EQ(seen, std::vector<std::string>{"ZAN|first\n\r"});  // the sink gets the text unchanged

  // An empty sink installs the default; the one returned is the test's.
  AlertSink mine = SetAlertSink(nullptr);
  ASSERT_TRUE(mine);
  mine("c", "t");
  EXPECT_EQ(seen.back(), "c|t");
  ::testing::internal::CaptureStderr();
  ShowErrorAlert("x");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ZAN: x\n");
  SetAlertSink(previous);
}

TEST(Alert, SwapWhileOtherThreadsShow) {
  std::atomic<int> count{0};
  AlertSink previous = SetAlertSink([&](std::string_view, std::string_view) { ++count; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) ShowErrorAlert("t");
    });
  }
  for (int i = 0; i < 200; ++i) SetAlertSink([&](std::string_view, std::string_view) { ++count; });
  for (auto& t : threads) t.join();
  EXPECT_EQ(count.load(), 800);
  SetAlertSink(previous);
}

TEST(StandardOutput, WritesBytesAsTheyAre) {
  ::testing::internal::CaptureStdout();
  WriteStdout("Description = 'x'\n");
  WriteStdout(std::string_view("a\0b", 3));
  WriteStdout("");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string("Description = 'x'\na\0b", 21));
}

}  // namespace
