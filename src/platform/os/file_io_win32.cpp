// The Windows backend of file_io.h: MoveFileExW, with write-through; attributes without
// following a reparse point. Paths in the extended-length form (WideSystemPath).
#include <windows.h>

#include "platform/os/backend.h"
#include "platform/os/lasterror.h"
#include "platform/os/win32_text.h"

namespace zan::os::internal {

// A read-only file is replaced as POSIX rename replaces a file without write permission in a
// writable directory: MoveFileExW refuses one (access denied), so its read-only attribute is
// lifted for a second move and put back when that one fails too. The old file stays whole
// until the move replaces it.
bool RenameFile(const std::string& from, const std::string& to, bool overwrite) {
  const std::wstring source = WideSystemPath(from);
  const std::wstring target = WideSystemPath(to);
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (overwrite ? MOVEFILE_REPLACE_EXISTING : 0);
  if (::MoveFileExW(source.c_str(), target.c_str(), flags)) return true;
  DWORD error = ::GetLastError();
  const DWORD attributes = overwrite && error == ERROR_ACCESS_DENIED ? ::GetFileAttributesW(target.c_str())
                                                                     : INVALID_FILE_ATTRIBUTES;
  constexpr DWORD kNotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & kNotAFile)) {
    const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (::SetFileAttributesW(target.c_str(), writable == 0 ? FILE_ATTRIBUTE_NORMAL : writable)) {
      if (::MoveFileExW(source.c_str(), target.c_str(), flags)) return true;
      error = ::GetLastError();
      ::SetFileAttributesW(target.c_str(), attributes);
    }
  }
  SetLastError(error);
  return false;
}

bool NothingOrRegularFile(const std::string& native) {
  const std::wstring name = WideSystemPath(native);
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (IsNotFound(error)) return true;
    SetLastError(error);
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Fail(ErrorKind::kIsALink);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Fail(ErrorKind::kIsADirectory);
  if (attributes & FILE_ATTRIBUTE_DEVICE) return Fail(ErrorKind::kInvalid);
  return true;
}

uint32_t ProcessId() { return ::GetCurrentProcessId(); }

}  // namespace zan::os::internal
