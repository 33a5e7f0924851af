// file.h on Windows: a HANDLE from CreateFileW on the extended-length path (WideSystemPath),
// opened sharing read, write and delete; reparse points are opened themselves
// (FILE_FLAG_OPEN_REPARSE_POINT) and refused where POSIX refuses a symbolic link.
#include <windows.h>

#include <utility>

#include "platform/os/backend.h"
#include "platform/os/file.h"
#include "platform/os/lasterror.h"
#include "platform/os/win32_text.h"

namespace zan::os {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kChunk = 1u << 30;  // the most one ReadFile or WriteFile call is given

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t I(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

bool Failed() {
  SetLastError(::GetLastError());
  return false;
}

// CreateFileW on a checked path; INVALID_HANDLE_VALUE with the last error set on failure.
HANDLE Open(std::string_view path, DWORD access, DWORD disposition, DWORD flags) {
  std::string native;
  if (!internal::NativePath(path, native, true)) return INVALID_HANDLE_VALUE;
  const std::wstring name = internal::WideSystemPath(native);
  const HANDLE h = ::CreateFileW(name.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) Failed();
  return h;
}

// Closes h and records kind as the last error: for a file opened and then refused.
HANDLE Refuse(HANDLE h, ErrorKind kind) {
  ::CloseHandle(h);
  Fail(kind);
  return INVALID_HANDLE_VALUE;
}

// A regular file only: a directory, a reparse point not followed, a device or pipe is refused.
HANDLE OpenRegular(std::string_view path, Links links) {
  DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS;  // a directory opens, to be named as one
  if (links == Links::kRefuse) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  const HANDLE h = Open(path, GENERIC_READ, OPEN_EXISTING, flags);
  if (h == INVALID_HANDLE_VALUE) return h;
  if (::GetFileType(h) != FILE_TYPE_DISK) return Refuse(h, ErrorKind::kInvalid);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(h);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT && links == Links::kRefuse) {
    return Refuse(h, ErrorKind::kIsALink);
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Refuse(h, ErrorKind::kIsADirectory);
  return h;
}

}  // namespace

File File::OpenForReading(std::string_view path, Links links) { return File(I(OpenRegular(path, links))); }

File File::OpenForAppending(std::string_view path) {
  const HANDLE h = Open(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (h == INVALID_HANDLE_VALUE) return File();
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return File(I(Refuse(h, ErrorKind::kIsALink)));
  }
  return File(I(h));
}

File File::CreateNew(std::string_view path) {
  return File(I(Open(path, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL)));
}

File File::OpenLockFile(std::string_view path, bool forWriting) {
  HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE && !forWriting) h = Open(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  return File(I(h));
}

bool File::Read(char* buffer, size_t size, size_t& got) {
  DWORD n = 0;
  if (!::ReadFile(H(handle_), buffer, size > kChunk ? kChunk : static_cast<DWORD>(size), &n, nullptr)) {
    if (::GetLastError() != ERROR_BROKEN_PIPE) return Failed();
    n = 0;  // the writing end of a pipe closed: the end of the data
  }
  got = n;
  return true;
}

bool File::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD n = 0;
    const DWORD chunk = bytes.size() > kChunk ? kChunk : static_cast<DWORD>(bytes.size());
    if (!::WriteFile(H(handle_), bytes.data(), chunk, &n, nullptr)) return Failed();
    bytes.remove_prefix(n);
  }
  return true;
}

bool File::Sync() { return ::FlushFileBuffers(H(handle_)) || Failed(); }

bool File::Size(uint64_t& bytes) const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(H(handle_), &size)) return Failed();
  bytes = size.QuadPart > 0 ? static_cast<uint64_t>(size.QuadPart) : 0;
  return true;
}

bool File::Offset(uint64_t& offset) const {
  LARGE_INTEGER zero{};
  LARGE_INTEGER at{};
  if (!::SetFilePointerEx(H(handle_), zero, &at, FILE_CURRENT)) return Failed();
  offset = static_cast<uint64_t>(at.QuadPart);
  return true;
}

bool File::Seek(uint64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(H(handle_), to, nullptr, FILE_BEGIN) || Failed();
}

bool File::CopyPermissionsOf(std::string_view path) {
  std::string native;
  return internal::NativePath(path, native, true);
}

bool File::Lock(bool exclusive) {
  OVERLAPPED whole{};
  const DWORD flags = exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
  return ::LockFileEx(H(handle_), flags, 0, MAXDWORD, MAXDWORD, &whole) || Failed();
}

bool File::Close() {
  if (handle_ == kClosed) return true;
  return ::CloseHandle(H(std::exchange(handle_, kClosed))) || Failed();
}

}  // namespace zan::os
