// lasterror.h on POSIX: the value is errno.
#include <cerrno>
#include <cstring>

#include "platform/os/lasterror.h"

namespace zan::os {

uint32_t ErrorValue(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kNotFound: return ENOENT;
    case ErrorKind::kNotADirectory: return ENOTDIR;
    case ErrorKind::kExists: return EEXIST;
    case ErrorKind::kAccessDenied: return EACCES;
    case ErrorKind::kIsADirectory: return EISDIR;
    case ErrorKind::kIsALink: return ELOOP;
    case ErrorKind::kInvalid: return EINVAL;
    case ErrorKind::kTooLarge: return EFBIG;
    case ErrorKind::kNotEmpty: return ENOTEMPTY;
  }
  return EINVAL;
}

bool IsError(uint32_t error, ErrorKind kind) {
  const int e = static_cast<int>(error);
  switch (kind) {
    case ErrorKind::kAccessDenied: return e == EACCES || e == EPERM || e == EROFS;
    case ErrorKind::kNotEmpty: return e == ENOTEMPTY || e == EEXIST;  // POSIX allows either from rmdir
    case ErrorKind::kExists: return e == EEXIST;
    default: return error == ErrorValue(kind);
  }
}

std::string SystemMessage(uint32_t error) {
  char buf[256];
  // GNU strerror_r returns the message, which may or may not live in buf.
  const char* text = strerror_r(static_cast<int>(error), buf, sizeof buf);
  return std::string(text) + "\r\n";
}

uint32_t SystemErrorCode(uint32_t error) {
  // Win32 codes: FILE_NOT_FOUND 2, PATH_NOT_FOUND 3, TOO_MANY_OPEN_FILES 4, ACCESS_DENIED 5,
  // NOT_ENOUGH_MEMORY 8, WRITE_PROTECT 19, GEN_FAILURE 31, SHARING_VIOLATION 32,
  // HANDLE_EOF 38, DISK_FULL 112, INVALID_PARAMETER 87, DIR_NOT_EMPTY 145, ALREADY_EXISTS 183,
  // FILENAME_EXCED_RANGE 206, FILE_TOO_LARGE 223, DIRECTORY_NOT_SUPPORTED 336, CANT_RESOLVE_FILENAME 1921.
  switch (static_cast<int>(error)) {
    case 0: return 0;
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: return 5;
    case ENOMEM: return 8;
    case EROFS: return 19;
    case EBUSY: case ETXTBSY: return 32;
    case EINVAL: return 87;
    case ENOSPC: case EDQUOT: return 112;
    case ENOTEMPTY: return 145;
    case EEXIST: return 183;
    case ENAMETOOLONG: return 206;
    case EFBIG: return 223;
    case EISDIR: return 336;
    case ELOOP: return 1921;
    default: return 31;
  }
}

}  // namespace zan::os
