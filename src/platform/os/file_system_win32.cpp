// file_system.h on Windows: the wide-character file calls and FindFirstFileW/FindNextFileW, every
// path in the extended-length form (WideSystemPath).
#include <windows.h>

#include "platform/os/backend.h"
#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"
#include "platform/os/win32_text.h"

namespace zan::os {

namespace {

using internal::NativePath;
using internal::WideSystemPath;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool Failed() {
  SetLastError(::GetLastError());
  return false;
}

// The checked path as the system is given it (WideSystemPath), or false with the last error set.
bool WidePath(std::string_view path, std::wstring& out) {
  std::string native;
  if (!NativePath(path, native)) return false;
  out = WideSystemPath(native);
  return true;
}

// The attributes without the read-only one, as SetFileAttributesW takes them.
DWORD WithoutReadOnly(DWORD attributes) {
  const DWORD rest = attributes & ~FILE_ATTRIBUTE_READONLY;
  return rest == 0 ? FILE_ATTRIBUTE_NORMAL : rest;
}

// The attributes of what the path names, a reparse point followed (as POSIX stat follows a
// link); false with the last error set.
bool FollowedAttributes(const std::wstring& name, DWORD& attributes) {
  attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed();
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
  const HANDLE h =
      ::CreateFileW(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failed();
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info) || Failed();
  ::CloseHandle(h);
  attributes = info.dwFileAttributes;
  return ok;
}

}  // namespace

namespace internal {

std::wstring WideSystemPath(std::string_view native) {
  const std::wstring wide = Wide(native);
  if (wide.empty() || wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  std::wstring full(MAX_PATH, L'\0');
  DWORD n = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {  // the current directory may change between calls
    n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n < full.size()) break;
    full.resize(n);
  }
  if (n == 0 || n >= full.size()) return wide;
  full.resize(n);
  if (full.compare(0, 2, L"\\\\") == 0) {
    // A device path or one already verbatim stays; any other is a UNC path.
    if (full.size() >= 4 && (full[2] == L'.' || full[2] == L'?') && full[3] == L'\\') return full;
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return full;
}

}  // namespace internal

std::string ToNativePath(std::string_view path) {
  if (path.substr(0, 4) == "\\\\?\\") return std::string(path);  // taken verbatim by the system
  return internal::ReplaceSeparators(path, '/', '\\');
}

std::string SystemPath(std::string_view path) {
  std::string native;
  if (!NativePath(path, native)) return std::string(path);
  return internal::Narrow(internal::WideSystemPath(native));
}

bool ResolvedPath(std::string_view path, std::string& out) {
  std::wstring name;
  if (!WidePath(path, name)) return false;
  const HANDLE h =
      ::CreateFileW(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failed();
  std::wstring final(MAX_PATH, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  if (n >= final.size()) {
    final.resize(n);
    n = ::GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  }
  const DWORD error = ::GetLastError();
  ::CloseHandle(h);
  if (n == 0 || n >= final.size()) {
    SetLastError(n == 0 ? error : ErrorValue(ErrorKind::kInvalid));
    return false;
  }
  final.resize(n);
  // "\\?\C:\dir" -> "C:\dir", "\\?\UNC\server\share" -> "\\server\share".
  if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    final = L"\\\\" + final.substr(8);
  } else if (final.compare(0, 4, L"\\\\?\\") == 0 && final.size() >= 6 && final[5] == L':') {
    final = final.substr(4);
  }
  out = internal::Narrow(final);
  return true;
}

bool PathExists(std::string_view path) {
  std::wstring name;
  DWORD attributes = 0;
  return WidePath(path, name) && FollowedAttributes(name, attributes);
}

bool IsDirectory(std::string_view path) {
  std::wstring name;
  DWORD attributes = 0;
  return WidePath(path, name) && FollowedAttributes(name, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSymbolicLink(std::string_view path) {
  std::wstring name;
  if (!WidePath(path, name)) return false;
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed();
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool MakeDirectory(std::string_view path) {
  std::wstring name;
  return WidePath(path, name) && (::CreateDirectoryW(name.c_str(), nullptr) || Failed());
}

bool RemoveDirectoryAt(std::string_view path) {
  std::wstring name;
  return WidePath(path, name) && (::RemoveDirectoryW(name.c_str()) || Failed());
}

bool RemoveFile(std::string_view path) {
  std::wstring name;
  if (!WidePath(path, name)) return false;
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  // A link to a directory is a directory entry: removing it leaves its target alone.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return ::RemoveDirectoryW(name.c_str()) || Failed();
  }
  if (::DeleteFileW(name.c_str())) return true;
  const DWORD error = ::GetLastError();
  // A read-only file goes too, as unlink removes it on POSIX.
  if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      ::SetFileAttributesW(name.c_str(), WithoutReadOnly(attributes))) {
    if (::DeleteFileW(name.c_str())) return true;
    ::SetFileAttributesW(name.c_str(), attributes);
  }
  SetLastError(error);
  return false;
}

std::string FullPath(std::string_view path) {
  std::string native;
  if (path.empty() || !NativePath(path, native)) return std::string(path);
  const std::wstring name = internal::Wide(native);
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) {
      Failed();
      return std::string(path);
    }
    if (n < full.size()) {
      full.resize(n);
      return internal::Narrow(full);
    }
    full.resize(n);
  }
}

namespace internal {

struct DirectoryReader::Impl {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data{};
  bool pending = false;  // data holds an entry not yet read
  bool open = false;

  ~Impl() {
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
  }
};

DirectoryReader::DirectoryReader() : impl_(std::make_unique<Impl>()) {}
DirectoryReader::~DirectoryReader() = default;

bool DirectoryReader::Open(std::string_view directory) {
  std::string native;
  if (!NativePath(directory, native)) return false;
  const char last = native.empty() ? '\\' : native.back();
  if (!native.empty() && last != '\\' && last != '/' && !(native.size() == 2 && native[1] == ':')) native += '\\';
  const std::wstring pattern = WideSystemPath(native + "*");
  impl_->find = ::FindFirstFileW(pattern.c_str(), &impl_->data);
  if (impl_->find == INVALID_HANDLE_VALUE) {
    // An empty root directory lists nothing at all; a missing directory fails.
    if (::GetLastError() != ERROR_FILE_NOT_FOUND) return Failed();
    impl_->open = true;
    return true;
  }
  impl_->pending = true;
  impl_->open = true;
  return true;
}

bool DirectoryReader::isOpen() const { return impl_->open; }

bool DirectoryReader::Read(FindData& out) {
  for (;;) {
    if (!impl_->pending) {
      if (impl_->find == INVALID_HANDLE_VALUE) return false;
      if (!::FindNextFileW(impl_->find, &impl_->data)) {
        if (::GetLastError() != ERROR_NO_MORE_FILES) Failed();
        return false;
      }
    }
    impl_->pending = false;
    const std::wstring_view name(impl_->data.cFileName);
    if (name == L"." || name == L"..") continue;
    out.name = Narrow(name);
    // Any reparse point, whatever its tag (Wine reports a directory link with none).
    out.isLink = (impl_->data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    out.isDirectory = (impl_->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
  }
}

}  // namespace internal

bool LocalNamesFollowWindowsRules() { return true; }

}  // namespace zan::os
