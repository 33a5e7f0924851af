// UploadBP and DownloadBP through ZANClient.DLL on Windows' own local trees: paths longer than
// MAX_PATH with names in several scripts, read-only files on either side, links (symbolic
// links, junctions, and the directory links Wine shows as reparse points) that neither transfer
// follows, and a local directory that cannot be made, reported with the system's own text and
// number. Every test compares what the server stored (its document root) and what reached the
// local disk.
//
// Environment (tests/windows/trees.sh): ZAN_ROOT_URL, the repository root; ZAN_SERVER_STORE,
// that root's directory in the server's document root; ZAN_SERVER_LOG, the server's access log;
// ZAN_LINK_TREE, a tree with "a.txt", "sub/b.txt" and "sub/link", a directory link the system
// made to a directory beside the tree holding "secret.txt".
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dav_request.h"
#include "owned_bstr.h"
#include "platform/os/file_system.h"
#include "zanclient/ZANClient.h"

namespace {

using zan::test::Bstr;

std::wstring Env(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? value : L"";
}

std::string Utf8(const std::wstring& wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The extended-length form of an absolute path, so that the test's own file calls take any length.
std::wstring Long(const std::wstring& path) { return path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path; }

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(Long(path).c_str()); }

bool MakeDirectory(const std::wstring& path) { return CreateDirectoryW(Long(path).c_str(), nullptr) != FALSE; }

bool Put(const std::wstring& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  const HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  return CloseHandle(h) && ok;
}

std::string Get(const std::wstring& path) {
  const HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
  CloseHandle(h);
  return out;
}

// The names in a directory, without "." and "..", with their attributes.
std::map<std::wstring, DWORD> Entries(const std::wstring& dir) {
  std::map<std::wstring, DWORD> out;
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW(Long(dir + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return out;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") out[name] = data.dwFileAttributes;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return out;
}

// Everything below dir, one line per entry in name order: the relative path ('/'-separated),
// then "/" for a directory, "@" for a reparse point (not entered) or "=" and the content.
std::string Tree(const std::wstring& dir, const std::wstring& prefix = L"") {
  std::string out;
  for (const auto& [name, attributes] : Entries(dir)) {
    const std::wstring path = dir + L"\\" + name;
    const std::string line = Utf8(prefix + name);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      out += line + "@\n";
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      out += line + "/\n" + Tree(path, prefix + name + L"/");
    } else {
      out += line + "=" + Get(path) + "\n";
    }
  }
  return out;
}

// Removes the tree: a reparse point itself, never what it leads to; read-only files too.
void RemoveTree(const std::wstring& dir) {
  for (const auto& [name, attributes] : Entries(dir)) {
    const std::wstring path = Long(dir + L"\\" + name);
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveTree(dir + L"\\" + name);
      RemoveDirectoryW(path.c_str());
    } else {
      DeleteFileW(path.c_str());
    }
  }
  RemoveDirectoryW(Long(dir).c_str());
}

// The number of requests in the server's access log that changed something: a writing
// method answered with success (a DELETE of what is not there changes nothing). A line reads
// HOST [TIME] "METHOD PATH HTTP/1.1" STATUS ...
int WritingRequests() {
  int count = 0;
  const std::string log = Get(Env(L"ZAN_SERVER_LOG"));
  for (size_t line = 0; line < log.size();) {
    const size_t end = std::min(log.find('\n', line), log.size());
    const std::string text = log.substr(line, end - line);
    line = end + 1;
    const size_t request = text.find('"');
    const size_t status = text.find("\" ", request + 1);
    if (request == std::string::npos || status == std::string::npos || text.compare(status + 2, 1, "2") != 0) continue;
    const std::string method = text.substr(request + 1, text.find(' ', request) - request - 1);
    for (const char* writing : {"PUT", "MKCOL", "MOVE", "COPY", "DELETE", "PROPPATCH", "LOCK"}) count += method == writing;
  }
  return count;
}

// The system's message for a Win32 error code, without its line end.
std::wstring SystemText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", buffer ? n : 0);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return text;
}

// One business process Project/Process on the server and a scratch directory of its own on
// the local disk, under the temporary directory.
class LocalTrees : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    root_ = Env(L"ZAN_ROOT_URL");
    store_ = Env(L"ZAN_SERVER_STORE");
    ASSERT_FALSE(root_.empty() || store_.empty()) << "ZAN_ROOT_URL and ZAN_SERVER_STORE name the server";
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"ZANClient.ZANApi", &clsid));
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, zanclient::kIidIZANApi,
                                     reinterpret_cast<void**>(&api_)));
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    project_ = std::wstring(name.begin(), name.end());
    Bstr out;
    ASSERT_EQ(S_OK, api_->CreateProject(Bstr(root_).get(), Bstr(project_).get(), Bstr(L"").get(), out.out()));
    ASSERT_EQ(S_OK, api_->CreateBusinessProcess(Bstr(root_).get(), Bstr(project_).get(), Bstr(L"Process").get(),
                                                Bstr(L"").get(), out.out()));
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    local_ = std::wstring(temp) + L"zan-trees-" + project_ + L"-" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(local_);
    ASSERT_TRUE(MakeDirectory(local_));
  }

  void TearDown() override {
    if (api_) {
      Bstr out;
      api_->DeleteProject(Bstr(root_).get(), Bstr(project_).get(), out.out());
      api_->Release();
    }
    RemoveTree(local_);
    CoUninitialize();
  }

  std::wstring Id() const { return project_ + L"/Process"; }
  std::string AppFilesUrl() const { return Utf8(root_ + L"/" + project_ + L"/Process/AppFiles/"); }
  // The business process's AppFiles as the server stored it.
  std::string ServerTree() const { return Tree(store_ + L"\\" + project_ + L"\\Process\\AppFiles"); }
  // The members of the business process's collection, AppFiles and any staging one among
  // them (not the server's own files, such as Apache's .DAV property store).
  std::string ServerMembers() const {
    std::string out;
    for (const auto& entry : Entries(store_ + L"\\" + project_ + L"\\Process")) {
      if (entry.first[0] != L'.') out += Utf8(entry.first) + "\n";
    }
    return out;
  }

  HRESULT Upload(const std::wstring& dir) {
    Bstr out;
    return api_->UploadBP(Bstr(root_).get(), Bstr(Id()).get(), Bstr(dir).get(), out.out());
  }
  HRESULT Download(const std::wstring& dir) {
    Bstr out;
    return api_->DownloadBP(Bstr(root_).get(), Bstr(Id()).get(), Bstr(dir).get(), Bstr(L"DEV").get(), out.out());
  }
  // The description of the calling thread's error information, as UTF-8.
  static std::string ErrorText() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return "";
    Bstr text;
    info->GetDescription(text.out());
    info->Release();
    return Utf8(text.text());
  }

  std::wstring root_;
  std::wstring store_;
  std::wstring project_;
  std::wstring local_;
  IZANApi* api_ = nullptr;
};

// Names in Greek, Japanese, Cyrillic, Chinese and with emoji (outside the Basic Multilingual
// Plane: two UTF-16 units each); the deepest file's path is well over MAX_PATH (260) and its
// directories' over the 248 that CreateDirectoryW takes without the extended-length form.
TEST_F(LocalTrees, DeepTreesInSeveralScriptsGoUpAndComeBackWhole) {
  const std::vector<std::wstring> levels = {
      L"Ελληνικά-έγγραφα-της-διαδικασίας-με-μακρύ-όνομα",
      L"日本語の業務プロセス資料フォルダ一覧表示用の長い名前",
      L"Кириллица-документы-бизнес-процесса-с-длинным-именем",
      L"emoji-🚀-📦-中文目录-Ωμέγα-Жж-and-a-long-ascii-tail-xxxxxxxxxxxxxxxx",
  };
  const std::wstring up = local_ + L"\\up";
  ASSERT_TRUE(MakeDirectory(up));
  std::wstring dir = up;
  for (const std::wstring& level : levels) ASSERT_TRUE(MakeDirectory(dir += L"\\" + level)) << GetLastError();
  const std::wstring deepest = dir + L"\\файл-αρχείο-文件-🎉-with-a-long-tail-past-the-limit.txt";
  ASSERT_GT(deepest.size(), 300u);
  std::string big;
  for (int i = 0; big.size() < 70000; ++i) big += "line " + std::to_string(i) + " Ωμέγα 文件\n";  // over one 64 KiB read
  ASSERT_TRUE(Put(deepest, big));
  ASSERT_TRUE(MakeDirectory(dir + L"\\empty-Ø"));
  ASSERT_TRUE(Put(up + L"\\readme.txt", "top"));
  ASSERT_TRUE(Put(up + L"\\" + levels[0] + L"\\日本.txt", "日本"));
  // A read-only file is read as any other.
  const std::wstring readOnly = up + L"\\" + levels[0] + L"\\" + levels[1] + L"\\read-only.txt";
  ASSERT_TRUE(Put(readOnly, "kept as it is", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(Attributes(readOnly) & FILE_ATTRIBUTE_READONLY);
  const std::string local = Tree(up);

  ASSERT_EQ(S_OK, Upload(up)) << ErrorText();
  EXPECT_EQ(local, ServerTree());
  EXPECT_EQ("AppFiles\nMBP.xml\n", ServerMembers());
  EXPECT_EQ("kept as it is", Get(readOnly));
  EXPECT_TRUE(Attributes(readOnly) & FILE_ATTRIBUTE_READONLY);

  // Downloaded below a directory that is itself longer than MAX_PATH; the module makes its
  // last level.
  std::wstring down = local_ + L"\\down";
  ASSERT_TRUE(MakeDirectory(down));
  for (const std::wstring& level : {levels[2], levels[0], levels[1]}) ASSERT_TRUE(MakeDirectory(down += L"\\" + level));
  down += L"\\" + levels[3];
  ASSERT_GT(down.size(), 260u);
  ASSERT_EQ(S_OK, Download(down)) << ErrorText();
  EXPECT_EQ(local, Tree(down));
  // Once more, both ways, with the directories named in the extended-length form "\\?\C:\..."
  // (where only '\' separates): the download replaces every file of the tree it made.
  ASSERT_TRUE(Put(up + L"\\readme.txt", "second"));
  const std::string second = Tree(up);
  ASSERT_EQ(S_OK, Upload(Long(up))) << ErrorText();
  EXPECT_EQ(second, ServerTree());
  ASSERT_EQ(S_OK, Download(Long(down))) << ErrorText();
  EXPECT_EQ(second, Tree(down));
}

// A read-only file in the target is replaced, as rename replaces a file without write
// permission in a writable directory on POSIX; while another program holds it open the
// download fails naming it, and the file keeps its content and its read-only attribute.
TEST_F(LocalTrees, ADownloadReplacesAReadOnlyFileUnlessItIsHeldOpen) {
  ASSERT_EQ(201, zan::test::DavRequest("MKCOL", AppFilesUrl()));
  ASSERT_EQ(201, zan::test::DavRequest("PUT", AppFilesUrl() + "data.txt", "new"));
  struct Case {
    const char* name;
    bool heldOpen;
  };
  for (const Case& c : {Case{"read-only", false}, Case{"read-only and held open", true}}) {
    SCOPED_TRACE(c.name);
    const std::wstring target = local_ + L"\\" + (c.heldOpen ? L"held" : L"free");
    const std::wstring data = target + L"\\data.txt";
    ASSERT_TRUE(MakeDirectory(target));
    ASSERT_TRUE(Put(data, "old", FILE_ATTRIBUTE_READONLY));
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.heldOpen) {
      held = CreateFileW(Long(data).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, held);
      const HRESULT hr = Download(target);
      const std::string text = ErrorText();
      EXPECT_TRUE(FAILED(hr));
      EXPECT_NE(std::string::npos, text.find(Utf8(target) + "/data.txt")) << text;
      CloseHandle(held);
      EXPECT_EQ("old", Get(data));
      EXPECT_TRUE(Attributes(data) & FILE_ATTRIBUTE_READONLY);
      EXPECT_EQ("data.txt=old\n", Tree(target));  // no temporary file left
    }
    ASSERT_EQ(S_OK, Download(target)) << ErrorText();
    EXPECT_EQ("data.txt=new\n", Tree(target));
    EXPECT_FALSE(Attributes(data) & FILE_ATTRIBUTE_READONLY);  // a new file, as on POSIX
  }
}

// A link in the tree (a symbolic link, a junction, or a directory link the system made) is
// refused by an upload before it writes anything to the server, and by a download that would
// enter it, before it writes anything locally; what the link leads to is never touched. Each
// row is tried where the system makes such a link: Wine 8 makes neither symbolic links
// (CreateSymbolicLinkW succeeds without making one) nor junctions (FSCTL_SET_REPARSE_POINT is
// not supported) but shows a directory link on the Linux side as a reparse point.
TEST_F(LocalTrees, LinksAreRefusedBeforeAnythingIsWritten) {
  const std::wstring outside = local_ + L"\\outside";
  ASSERT_TRUE(MakeDirectory(outside));
  ASSERT_TRUE(Put(outside + L"\\secret.txt", "secret"));
  // Each maker lays tree/a.txt, tree/sub/b.txt and a link tree/sub/link to `outside`, and
  // returns the tree; "" when this system makes no such link.
  auto layTree = [&](const std::wstring& name) {
    const std::wstring tree = local_ + L"\\" + name;
    MakeDirectory(tree);
    MakeDirectory(tree + L"\\sub");
    Put(tree + L"\\a.txt", "a\n");
    Put(tree + L"\\sub\\b.txt", "b\n");
    return tree;
  };
  auto isReparsePoint = [](const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  };
  struct Maker {
    const char* name;
    std::function<std::wstring()> make;
  };
  const std::vector<Maker> makers = {
      {"symbolic link",
       [&] {
         const std::wstring tree = layTree(L"symlink");
         CreateSymbolicLinkW(Long(tree + L"\\sub\\link").c_str(), Long(outside).c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
         return isReparsePoint(tree + L"\\sub\\link") ? tree : L"";
       }},
      {"junction",
       [&] {
         const std::wstring tree = layTree(L"junction");
         const std::wstring link = tree + L"\\sub\\link";
         MakeDirectory(link);
         const HANDLE h = CreateFileW(Long(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
         if (h == INVALID_HANDLE_VALUE) return std::wstring();
         // REPARSE_DATA_BUFFER of a mount point: tag, lengths, then the NT name and the print name.
         const std::wstring substitute = L"\\??\\" + outside;
         std::vector<WCHAR> names(substitute.begin(), substitute.end());
         names.push_back(L'\0');
         names.insert(names.end(), outside.begin(), outside.end());
         names.push_back(L'\0');
         const USHORT subBytes = static_cast<USHORT>(substitute.size() * sizeof(WCHAR));
         const USHORT printBytes = static_cast<USHORT>(outside.size() * sizeof(WCHAR));
         std::vector<BYTE> buffer(16 + names.size() * sizeof(WCHAR));
         const ULONG tag = IO_REPARSE_TAG_MOUNT_POINT;
         const USHORT header[6] = {static_cast<USHORT>(buffer.size() - 8), 0, 0, subBytes,
                                   static_cast<USHORT>(subBytes + sizeof(WCHAR)), printBytes};
         memcpy(buffer.data(), &tag, 4);
         memcpy(buffer.data() + 4, header, sizeof header);
         memcpy(buffer.data() + 16, names.data(), names.size() * sizeof(WCHAR));
         DWORD got = 0;
         DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, 0, &got,
                         nullptr);
         CloseHandle(h);
         return isReparsePoint(link) ? tree : L"";
       }},
      {"directory link of the system",
       [&] {
         const std::wstring tree = Env(L"ZAN_LINK_TREE");
         return !tree.empty() && isReparsePoint(tree + L"\\sub\\link") ? tree : L"";
       }},
  };

  ASSERT_EQ(201, zan::test::DavRequest("MKCOL", AppFilesUrl()));
  ASSERT_EQ(201, zan::test::DavRequest("PUT", AppFilesUrl() + "before.txt", "before"));
  ASSERT_EQ(201, zan::test::DavRequest("MKCOL", AppFilesUrl() + "sub/"));
  ASSERT_EQ(201, zan::test::DavRequest("MKCOL", AppFilesUrl() + "sub/link/"));
  ASSERT_EQ(201, zan::test::DavRequest("PUT", AppFilesUrl() + "sub/link/secret.txt", "overwritten"));
  const std::string server = ServerTree();
  int tried = 0;
  for (const Maker& maker : makers) {
    SCOPED_TRACE(maker.name);
    const std::wstring tree = maker.make();
    if (tree.empty()) {
      std::printf("[ NOTE     ] no %s made here\n", maker.name);
      continue;
    }
    ++tried;
    const std::string link = Utf8(tree) + "/sub/link";
    const std::string local = Tree(tree);
    const std::wstring outsideOfTree = tree.substr(0, tree.rfind(L'\\')) + L"\\outside";  // where its link leads
    const std::string beyond = Tree(outsideOfTree);

    // The os layer the module lists local trees through takes it for a link, whatever its tag.
    EXPECT_TRUE(zan::os::IsSymbolicLink(link));
    zan::os::DirectorySearch search(Utf8(tree) + "\\sub\\*");
    std::map<std::string, bool> listed;  // name: isLink
    for (zan::os::FindData entry; search.Next(entry);) listed[entry.name] = entry.isLink;
    EXPECT_EQ((std::map<std::string, bool>{{".", false}, {"..", false}, {"b.txt", false}, {"link", true}}), listed);

    const int writes = WritingRequests();
    EXPECT_EQ(static_cast<HRESULT>(0x800403EC), Upload(tree));  // 1004: an invalid name
    std::string text = ErrorText();
    EXPECT_NE(std::string::npos, text.find("A symbolic link is not uploaded: " + link)) << text;
    EXPECT_EQ(writes, WritingRequests());
    EXPECT_EQ(server, ServerTree());
    EXPECT_EQ("AppFiles\nMBP.xml\n", ServerMembers());

    EXPECT_EQ(static_cast<HRESULT>(0x800403EC), Download(tree));
    text = ErrorText();
    EXPECT_NE(std::string::npos, text.find("A symbolic link in the local directory is not followed: " + link)) << text;
    EXPECT_EQ(local, Tree(tree));
    EXPECT_EQ(beyond, Tree(outsideOfTree));
    EXPECT_NE(std::string::npos, beyond.find("secret.txt=secret\n")) << beyond;
  }
  EXPECT_EQ("secret.txt=secret\n", Tree(outside));
  EXPECT_GT(tried, 0) << "this system made no link of any kind";
}

// A local directory that cannot be made fails the download with the system's message and its
// error number, as the system reports them for that directory.
TEST_F(LocalTrees, ADirectoryThatCannotBeMadeCarriesTheSystemsTextAndNumber) {
  ASSERT_EQ(201, zan::test::DavRequest("MKCOL", AppFilesUrl()));
  ASSERT_EQ(201, zan::test::DavRequest("PUT", AppFilesUrl() + "data.txt", "data"));
  ASSERT_TRUE(Put(local_ + L"\\file.txt", "a file"));
  const DWORD drives = GetLogicalDrives();
  wchar_t missing = L'Z';
  while (missing > L'D' && (drives & (1u << (missing - L'A')))) --missing;
  ASSERT_FALSE(drives & (1u << (missing - L'A'))) << "every drive letter is taken";
  struct Case {
    const char* name;
    std::wstring directory;
  };
  const Case cases[] = {
      {"parent is a file", local_ + L"\\file.txt\\down"},
      {"missing drive", std::wstring(1, missing) + L":\\zan\\down"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // What the system says of this directory.
    ASSERT_FALSE(CreateDirectoryW(c.directory.c_str(), nullptr));
    const DWORD error = GetLastError();
    const std::wstring message = SystemText(error);
    ASSERT_FALSE(message.empty());

    const HRESULT hr = Download(c.directory);
    const std::string text = ErrorText();
    EXPECT_TRUE(FAILED(hr));
    EXPECT_NE(std::string::npos, text.find(Utf8(message))) << text;
    EXPECT_NE(std::string::npos, text.find("Error " + std::to_string(error) + ": ")) << text;
    EXPECT_NE(std::string::npos, text.find(Utf8(c.directory))) << text;
  }
  EXPECT_EQ("a file", Get(local_ + L"\\file.txt"));
}

}  // namespace
