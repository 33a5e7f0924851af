// DownloadBP through ZANClient.DLL under Windows' file-name rules: for every server name that
// Windows cannot store as itself, the download fails before it writes anything, names the
// server URL, and leaves the target directory exactly as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dav_request.h"
#include "zanclient/ZANClient.h"

namespace {

namespace fs = std::filesystem;

std::string EnvNarrow(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::wstring Wide(const std::string& utf8) {
  std::wstring out(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), static_cast<int>(out.size()));
  return out;
}

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Every file below dir, relative, with its content.
std::string Tree(const fs::path& dir) {
  std::string out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    out += Utf8(e.path().lexically_relative(dir).generic_string()) + (e.is_directory() ? "/" : "=");
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      out += std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    out += "\n";
  }
  return out;
}

class BstrText {
 public:
  explicit BstrText(const std::string& utf8) : b_(SysAllocString(Wide(utf8).c_str())) {}
  ~BstrText() { SysFreeString(b_); }
  BstrText(const BstrText&) = delete;
  BstrText& operator=(const BstrText&) = delete;
  BSTR get() const { return b_; }

 private:
  BSTR b_;
};

std::string ErrorText() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return "";
  BSTR text = nullptr;
  info->GetDescription(&text);
  info->Release();
  std::string out;
  for (const wchar_t* p = text; p && *p; ++p) out += *p < 128 ? static_cast<char>(*p) : '?';
  SysFreeString(text);
  return out;
}

TEST(HostileNames, ADownloadRefusesEveryNameWindowsCannotStoreBeforeWritingAnything) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const std::string root = EnvNarrow("ZAN_ROOT_URL");
  ASSERT_FALSE(root.empty());
  CLSID clsid;
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"ZANClient.ZANApi", &clsid));
  IZANApi* api = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, zanclient::kIidIZANApi,
                                   reinterpret_cast<void**>(&api)));
  BSTR out = nullptr;
  ASSERT_EQ(S_OK, api->CreateProject(BstrText(root).get(), BstrText("Eps").get(), BstrText("").get(), &out));
  SysFreeString(out);
  ASSERT_EQ(S_OK, api->CreateBusinessProcess(BstrText(root).get(), BstrText("Eps").get(), BstrText("Names").get(),
                                             BstrText("").get(), &out));
  SysFreeString(out);

  const fs::path target = fs::temp_directory_path() / ("zan-hostile-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(target / "kept");
  std::ofstream(target / "mine.txt") << "mine";
  const std::string before = Tree(target);
  const std::string appFiles = root + "/Eps/Names/AppFiles";

  // Each row: names put into AppFiles/z, after a file and a directory that the walk meets first.
  const std::vector<std::vector<std::string>> hostile = {
      {"CON"}, {"con.txt"}, {"Nul.tar.gz"}, {"AUX"}, {"com1.log"}, {"LPT9"}, {"CONOUT$"}, {"COM\xC2\xB2"},
      {"a:b"}, {"data.txt:stream"}, {"star*"}, {"what?"}, {"quote\""}, {"less<"}, {"more>"}, {"pipe|"},
      {"trailing."}, {"trailing "}, {"Readme.txt", "README.TXT"}, {"\xC3\x84pfel", "\xC3\xA4PFEL"}};
  for (const std::vector<std::string>& names : hostile) {
    SCOPED_TRACE(names.front());
    zan::test::DavRequest("DELETE", appFiles + "/");
    ASSERT_EQ(201, zan::test::DavRequest("MKCOL", appFiles + "/"));
    ASSERT_EQ(201, zan::test::DavRequest("PUT", appFiles + "/first.txt", "1"));
    ASSERT_EQ(201, zan::test::DavRequest("MKCOL", appFiles + "/a/"));
    ASSERT_EQ(201, zan::test::DavRequest("PUT", appFiles + "/a/second.txt", "2"));
    ASSERT_EQ(201, zan::test::DavRequest("MKCOL", appFiles + "/z/"));
    for (const std::string& name : names) ASSERT_EQ(201, zan::test::DavRequest("PUT", appFiles + "/z/" + name, "evil"));

    const HRESULT hr = api->DownloadBP(BstrText(root).get(), BstrText("Eps/Names").get(),
                                       BstrText(Utf8(target)).get(), BstrText("DEV").get(), &out);
    EXPECT_EQ(static_cast<HRESULT>(0x800403EC), hr);  // 1004: an invalid name
    const std::string text = ErrorText();
    EXPECT_NE(std::string::npos, text.find(" in " + appFiles + "/z")) << text;  // the listing's URL
    EXPECT_EQ(before, Tree(target));
  }

  // The same tree without the hostile names downloads.
  zan::test::DavRequest("DELETE", appFiles + "/z/");
  ASSERT_EQ(S_OK, api->DownloadBP(BstrText(root).get(), BstrText("Eps/Names").get(), BstrText(Utf8(target)).get(),
                                  BstrText("DEV").get(), &out));
  SysFreeString(out);
  EXPECT_TRUE(fs::exists(target / "first.txt"));
  EXPECT_TRUE(fs::exists(target / "a" / "second.txt"));
  api->DeleteProject(BstrText(root).get(), BstrText("Eps").get(), &out);
  SysFreeString(out);
  api->Release();
  fs::remove_all(target);
  CoUninitialize();
}

}  // namespace
