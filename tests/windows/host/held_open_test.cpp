// DownloadBP through ZANClient.DLL onto a file another program holds open without sharing: the
// download fails with an error that names the file, and the file keeps its old content.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "dav_request.h"
#include "zanclient/ZANClient.h"

namespace {

namespace fs = std::filesystem;

BSTR Text(const std::string& ascii) { return SysAllocString(std::wstring(ascii.begin(), ascii.end()).c_str()); }

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(HeldOpen, ADownloadOntoAFileHeldOpenNamesItAndLeavesItAsItWas) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const char* rootValue = std::getenv("ZAN_ROOT_URL");
  ASSERT_NE(nullptr, rootValue);
  const std::string root = rootValue;
  CLSID clsid;
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"ZANClient.ZANApi", &clsid));
  IZANApi* api = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, zanclient::kIidIZANApi,
                                   reinterpret_cast<void**>(&api)));
  BSTR server = Text(root), project = Text("Zeta"), bp = Text("Zeta/Held"), none = Text(""), dev = Text("DEV");
  BSTR name = Text("Held"), out = nullptr;
  ASSERT_EQ(S_OK, api->CreateProject(server, project, none, &out));
  SysFreeString(out);
  ASSERT_EQ(S_OK, api->CreateBusinessProcess(server, project, name, none, &out));
  SysFreeString(out);
  const std::string appFiles = root + "/Zeta/Held/AppFiles/";
  ASSERT_EQ(201, zan::test::DavRequest("MKCOL", appFiles));
  ASSERT_EQ(201, zan::test::DavRequest("PUT", appFiles + "data.txt", "new"));

  const fs::path target = fs::temp_directory_path() / ("zan-held-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(target);
  std::ofstream(target / "data.txt", std::ios::binary) << "old";
  HANDLE held = CreateFileW((target / "data.txt").wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  BSTR directory = Text(target.string());
  out = nullptr;
  const HRESULT hr = api->DownloadBP(server, bp, directory, dev, &out);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(nullptr, out);
  IErrorInfo* info = nullptr;
  BSTR text = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    info->GetDescription(&text);
    info->Release();
  }
  const std::wstring description = text ? text : L"";
  SysFreeString(text);
  EXPECT_NE(std::wstring::npos, description.find(L"data.txt")) << std::string(description.begin(), description.end());
  CloseHandle(held);
  EXPECT_EQ("old", Read(target / "data.txt"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(target), fs::directory_iterator()));  // no temporary file left

  // Once the file is closed, the same download replaces it.
  ASSERT_EQ(S_OK, api->DownloadBP(server, bp, directory, dev, &out));
  SysFreeString(out);
  EXPECT_EQ("new", Read(target / "data.txt"));

  api->DeleteProject(server, project, &out);
  SysFreeString(out);
  for (BSTR b : {server, project, bp, none, dev, name, directory}) SysFreeString(b);
  api->Release();
  fs::remove_all(target);
  CoUninitialize();
}

}  // namespace
