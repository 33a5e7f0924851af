// The calling thread's last error: every os call that fails records the system's own error
// value here (kept per thread by the os layer, so a later system call cannot overwrite it);
// callers read it with LastError() right after the failing call.
//
// The value is the system's native error number:
// - POSIX: an errno value (ENOENT, EACCES, ...);
// - Windows: a Win32 error code as GetLastError() gives it (ERROR_FILE_NOT_FOUND, ...).
// Conditions that the os layer detects itself (a link refused, a directory where a file was
// expected, a file over a size cap...) are recorded as the native value of that condition
// (ErrorValue). Callers never compare the value with errno or ERROR_* constants: they ask the
// classifiers below, show SystemMessage, and report SystemErrorCode where a number is shown.
#ifndef ZAN_PLATFORM_OS_LASTERROR_H_
#define ZAN_PLATFORM_OS_LASTERROR_H_

#include <cstdint>
#include <string>

namespace zan::os {

// The conditions a caller can tell apart on every system.
enum class ErrorKind {
  kNotFound,       // the file or a directory on its path is missing
  kNotADirectory,  // a component of the path is a file (POSIX ENOTDIR; Windows ERROR_DIRECTORY)
  kExists,         // the name is taken
  kAccessDenied,   // permission, a read-only file system or medium, a file in use
  kIsADirectory,   // a directory where a file was expected
  kIsALink,        // a symbolic link (or reparse point) where none is followed
  kInvalid,        // a name the system cannot pass on, or a file that is not a regular one
  kTooLarge,       // a file over a size cap
  kNotEmpty,       // a directory that still holds entries
};

uint32_t LastError();
void SetLastError(uint32_t error);

// The native value this system records for the condition.
uint32_t ErrorValue(ErrorKind kind);
// Whether a native value means the condition (several values may: EACCES, EPERM, EROFS).
bool IsError(uint32_t error, ErrorKind kind);

inline bool IsNotFound(uint32_t error) { return IsError(error, ErrorKind::kNotFound); }
inline bool IsNotADirectory(uint32_t error) { return IsError(error, ErrorKind::kNotADirectory); }
inline bool IsExists(uint32_t error) { return IsError(error, ErrorKind::kExists); }
inline bool IsAccessDenied(uint32_t error) { return IsError(error, ErrorKind::kAccessDenied); }
inline bool IsADirectory(uint32_t error) { return IsError(error, ErrorKind::kIsADirectory); }
inline bool IsALink(uint32_t error) { return IsError(error, ErrorKind::kIsALink); }
inline bool IsInvalid(uint32_t error) { return IsError(error, ErrorKind::kInvalid); }
inline bool IsTooLarge(uint32_t error) { return IsError(error, ErrorKind::kTooLarge); }
inline bool IsNotEmpty(uint32_t error) { return IsError(error, ErrorKind::kNotEmpty); }

// Records the condition's native value as the last error and returns false, for a failing call.
bool Fail(ErrorKind kind);

// The system's message text for a native value, ending in CR LF like a system message
// (POSIX: strerror's text; Windows: FormatMessage's text for the code).
std::string SystemMessage(uint32_t error);
// The same text without its line end, to stand inside a sentence.
std::string SystemMessageLine(uint32_t error);
// The value as a Windows error code, the number the system reports to its callers: the value
// itself on Windows; on POSIX the Win32 code of the same condition (ENOENT -> 2,
// EACCES -> 5, ...), or ERROR_GEN_FAILURE (31) for an errno without one.
uint32_t SystemErrorCode(uint32_t error);

}  // namespace zan::os

#endif
