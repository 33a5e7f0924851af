// lasterror.h on Windows: the value is the Win32 error code; its text comes from FormatMessageW.
#include <windows.h>

#include "platform/os/lasterror.h"
#include "platform/os/win32_text.h"

namespace zan::os {

namespace {
// Codes newer than the headers of every toolchain.
constexpr uint32_t kErrorDirectoryNotSupported = 336;  // ERROR_DIRECTORY_NOT_SUPPORTED
constexpr uint32_t kErrorStoppedOnSymlink = 681;       // ERROR_STOPPED_ON_SYMLINK
}  // namespace

uint32_t ErrorValue(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kNotFound: return ERROR_FILE_NOT_FOUND;
    case ErrorKind::kNotADirectory: return ERROR_DIRECTORY;
    case ErrorKind::kExists: return ERROR_ALREADY_EXISTS;
    case ErrorKind::kAccessDenied: return ERROR_ACCESS_DENIED;
    case ErrorKind::kIsADirectory: return kErrorDirectoryNotSupported;
    case ErrorKind::kIsALink: return ERROR_CANT_RESOLVE_FILENAME;
    case ErrorKind::kInvalid: return ERROR_INVALID_PARAMETER;
    case ErrorKind::kTooLarge: return ERROR_FILE_TOO_LARGE;
    case ErrorKind::kNotEmpty: return ERROR_DIR_NOT_EMPTY;
  }
  return ERROR_INVALID_PARAMETER;
}

bool IsError(uint32_t error, ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kNotFound:
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_DRIVE ||
             error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME;
    case ErrorKind::kExists: return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    case ErrorKind::kAccessDenied:
      return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT || error == ERROR_SHARING_VIOLATION ||
             error == ERROR_LOCK_VIOLATION;
    case ErrorKind::kIsALink: return error == ERROR_CANT_RESOLVE_FILENAME || error == kErrorStoppedOnSymlink;
    case ErrorKind::kInvalid:
      return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME;
    default: return error == ErrorValue(kind);
  }
}

std::string SystemMessage(uint32_t error) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", buffer ? n : 0);
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return "Unknown error " + std::to_string(error) + "\r\n";
  return internal::Narrow(text) + "\r\n";
}

uint32_t SystemErrorCode(uint32_t error) { return error; }

}  // namespace zan::os
