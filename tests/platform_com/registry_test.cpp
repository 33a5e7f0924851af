#include "platform/com/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "registry_fixture.h"

namespace zan::test {
namespace {

using Registry = RegistryTest;

TEST_F(Registry, MissingFileIsEmptyAndReadingCreatesNoFile) {
  EXPECT_EQ(Dump(), "");
  EXPECT_FALSE(reg::KeyExists("CLSID"));
  EXPECT_EQ(Default("CLSID"), "<missing>");
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(reg::EnumKeys("", &names), S_OK);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(reg::EnumKeys("CLSID", &names), reg::kNotFound);
  EXPECT_EQ(reg::DeleteTree("CLSID"), reg::kNotFound);
  struct stat st;
  EXPECT_NE(::stat(RegistryFile().c_str(), &st), 0);
}

TEST_F(Registry, ValuesPersistAndReadBack) {
  ASSERT_EQ(reg::SetValue("A\\B", "", "default"), S_OK);
  ASSERT_EQ(reg::SetValue("A\\B", "Named", "text"), S_OK);
  ASSERT_EQ(reg::SetDwordValue("A\\B", "Count", 42), S_OK);
  ASSERT_EQ(reg::CreateKey("A\\Empty"), S_OK);
  EXPECT_EQ(Dump(), "A\nA\\B @=default Count=dword:42 Named=text\nA\\Empty\n");
  std::string text;
  EXPECT_EQ(reg::QueryValue("A\\B", "Count", &text), reg::kUnsupportedType);
  reg::Value v;
  ASSERT_EQ(reg::QueryValue("A\\B", "Count", &v), S_OK);
  EXPECT_EQ(v, reg::Value::Dword(42));
  EXPECT_EQ(reg::QueryValue("A\\B", "Other", &text), reg::kNotFound);
  EXPECT_EQ(reg::QueryValue("A\\Empty", "", &text), reg::kNotFound);
  EXPECT_EQ(FileText(),
            "ZANCLIENT REGISTRY 1\n"
            "; HKEY_CLASSES_ROOT of zanclient. Keys in brackets; @ is the default value.\n"
            "\n[A]\n"
            "\n[A\\B]\n@=\"default\"\n\"Count\"=dword:0000002A\n\"Named\"=\"text\"\n"
            "\n[A\\Empty]\n");
}

TEST_F(Registry, NamesAreCaseInsensitiveAndKeepTheirFirstCase) {
  ASSERT_EQ(reg::SetValue("CLSID\\{ABC}", "ThreadingModel", "Apartment"), S_OK);
  ASSERT_EQ(reg::SetValue("clsid\\{abc}", "THREADINGMODEL", "Both"), S_OK);
  EXPECT_EQ(Dump(), "CLSID\nCLSID\\{ABC} ThreadingModel=Both\n");
  EXPECT_TRUE(reg::KeyExists("Clsid\\{aBc}"));
  std::string text;
  EXPECT_EQ(reg::QueryValue("cLsId\\{abc}", "threadingmodel", &text), S_OK);
  EXPECT_EQ(text, "Both");
  EXPECT_EQ(reg::DeleteTree("CLSID\\{Abc}"), S_OK);
  EXPECT_EQ(Dump(), "CLSID\n");
}

TEST_F(Registry, KeysAndValuesComeInNameOrder) {
  for (const char* name : {"b", "C", "a", "B2"}) ASSERT_EQ(reg::CreateKey(std::string("K\\") + name), S_OK);
  for (const char* name : {"y", "X", ""}) ASSERT_EQ(reg::SetValue("K", name, name), S_OK);
  std::vector<std::string> names;
  ASSERT_EQ(reg::EnumKeys("K", &names), S_OK);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "B2", "C"}));
  std::vector<std::pair<std::string, reg::Value>> values;
  ASSERT_EQ(reg::EnumValues("K", &values), S_OK);
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].first, "");
  EXPECT_EQ(values[1].first, "X");
  EXPECT_EQ(values[2].first, "y");
}

TEST_F(Registry, InvalidPathsAreRefused) {
  for (const char* path : {"", "\\A", "A\\", "A\\\\B", "A\nB", "A\x01"}) {
    EXPECT_EQ(reg::CreateKey(path), E_INVALIDARG) << path;
    EXPECT_FALSE(path[0] && reg::KeyExists(path)) << path;
  }
  EXPECT_EQ(reg::DeleteKey(""), E_INVALIDARG);
  EXPECT_EQ(Dump(), "");
}

TEST_F(Registry, DeleteKeyNeedsAKeyWithoutSubkeys) {
  ASSERT_EQ(reg::SetValue("A\\B\\C", "", "x"), S_OK);
  EXPECT_EQ(reg::DeleteKey("A\\B"), E_ACCESSDENIED);
  EXPECT_EQ(reg::DeleteKey("A\\B\\C"), S_OK);
  EXPECT_EQ(reg::DeleteKey("A\\B\\C"), reg::kNotFound);
  EXPECT_EQ(reg::DeleteKey("A\\B"), S_OK);
  EXPECT_EQ(Dump(), "A\n");
  ASSERT_EQ(reg::SetValue("A", "v", "1"), S_OK);
  EXPECT_EQ(reg::DeleteValue("A", "V"), S_OK);
  EXPECT_EQ(reg::DeleteValue("A", "v"), reg::kNotFound);
  EXPECT_EQ(reg::DeleteTree(""), S_OK);
  EXPECT_EQ(Dump(), "");
}

TEST_F(Registry, SpecialCharactersRoundTrip) {
  const std::string text = "quote \" backslash \\ newline \n cr \r tab \t bell \x07 utf8 \xC3\xA9 end";
  const std::string key = "Odd [name] with \"quotes\" and = sign";
  ASSERT_EQ(reg::SetValue(key, "value \"name\"\n", text), S_OK);
  std::string read;
  ASSERT_EQ(reg::QueryValue(key, "value \"name\"\n", &read), S_OK);
  EXPECT_EQ(read, text);
  EXPECT_TRUE(reg::KeyExists(key));
}

TEST_F(Registry, AFileThatIsNotARegistryIsNeitherReadNorOverwritten) {
  const char* bad[] = {"hello\n",
                       "ZANCLIENT REGISTRY 1\n@=\"value before any key\"\n",
                       "ZANCLIENT REGISTRY 1\n[A]\n@=\"unterminated\n",
                       "ZANCLIENT REGISTRY 1\n[A\\]\n",
                       "ZANCLIENT REGISTRY 1\n[A]\n\"x\"=dword:12\n",
                       "ZANCLIENT REGISTRY 1\n[A]\n@=\"bad \\q escape\"\n"};
  for (const char* text : bad) {
    dir_.Write("registry", text);
    EXPECT_EQ(reg::SetValue("B", "", "x"), REGDB_E_READREGDB) << text;
    EXPECT_FALSE(reg::KeyExists("B")) << text;
    EXPECT_EQ(Dump(), "<error>") << text;
    EXPECT_EQ(FileText(), text);
  }
}

TEST_F(Registry, AnEmptyFileOrHandWrittenTextIsRead) {
  dir_.Write("registry", "");
  EXPECT_EQ(Dump(), "");
  dir_.Write("registry", "ZANCLIENT REGISTRY 1\r\n; comment\r\n\r\n[A\\B]\r\n@=\"x\"\r\n[a]\r\n\"n\"=\"y\"\r\n");
  EXPECT_EQ(Dump(), "A n=y\nA\\B @=x\n");
}

TEST_F(Registry, AnUnchangedTreeIsNotRewritten) {
  ASSERT_EQ(reg::SetValue("A", "", "x"), S_OK);
  struct stat before;
  ASSERT_EQ(::stat(RegistryFile().c_str(), &before), 0);
  ASSERT_EQ(reg::SetValue("a", "", "x"), S_OK);
  struct stat after;
  ASSERT_EQ(::stat(RegistryFile().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(Registry, AFailedUpdateWritesNothing) {
  ASSERT_EQ(reg::SetValue("A", "", "x"), S_OK);
  const std::string text = FileText();
  EXPECT_EQ(reg::Update([](reg::Key& root) {
              root.Clear();
              return E_FAIL;
            }),
            E_FAIL);
  EXPECT_EQ(FileText(), text);
}

TEST_F(Registry, FileLocationFollowsTheEnvironment) {
  ScopedEnv home("HOME"), xdg("XDG_DATA_HOME");
  setenv("ZANCLIENT_REGISTRY", (dir_ / "other/dir/reg").c_str(), 1);
  ASSERT_EQ(reg::SetValue("A", "", "x"), S_OK);
  EXPECT_NE(dir_.Read("other/dir/reg").find("[A]"), std::string::npos);

  unsetenv("ZANCLIENT_REGISTRY");
  setenv("XDG_DATA_HOME", (dir_ / "xdg").c_str(), 1);
  EXPECT_EQ(reg::RegistryFilePath(), dir_ / "xdg/zanclient/registry");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  setenv("HOME", dir_.path().c_str(), 1);
  EXPECT_EQ(reg::RegistryFilePath(), dir_ / ".local/share/zanclient/registry");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(reg::RegistryFilePath(), dir_ / ".local/share/zanclient/registry");
  setenv("ZANCLIENT_REGISTRY", "", 1);
  EXPECT_EQ(reg::RegistryFilePath(), dir_ / ".local/share/zanclient/registry");
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
  constexpr int kWriters = 4, kWrites = 20;
  // Two processes, each with two threads.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  const int base = child == 0 ? 0 : 2;
  std::vector<std::thread> threads;
  for (int t = base; t < base + 2; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kWrites; ++i) reg::SetValue("W" + std::to_string(t) + "\\" + std::to_string(i), "", "x");
    });
  for (auto& th : threads) th.join();
  if (child == 0) _exit(0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  for (int t = 0; t < kWriters; ++t) {
    std::vector<std::string> names;
    ASSERT_EQ(reg::EnumKeys("W" + std::to_string(t), &names), S_OK);
    EXPECT_EQ(names.size(), static_cast<size_t>(kWrites)) << t;
  }
}

}  // namespace
}  // namespace zan::test
