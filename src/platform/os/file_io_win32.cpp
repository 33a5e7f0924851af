// The Windows backend of file_io.h: MoveFileExW, with write-through; attributes without
// following a reparse point. Paths in the extended-length form (WideSystemPath).
#include <windows.h>

#include "platform/os/backend.h"
#include "platform/os/lasterror.h"
#include "platform/os/win32_text.h"

namespace zan::os::internal {

bool RenameFile(const std::string& from, const std::string& to, bool overwrite) {
  const std::wstring source = WideSystemPath(from);
  const std::wstring target = WideSystemPath(to);
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (overwrite ? MOVEFILE_REPLACE_EXISTING : 0);
  if (::MoveFileExW(source.c_str(), target.c_str(), flags)) return true;
  SetLastError(::GetLastError());
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
