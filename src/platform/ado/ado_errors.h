// The failure statuses of the record and stream objects (ADO's ErrorValueEnum values in
// the control facility), and how an HTTP reply or a local file failure maps onto them.
//
// HTTP reply -> status (description "<summary>: <status line> (<METHOD> <URL>)", the URL's
// password masked; a 401 adds the realm and where credentials come from after the line):
//   404, 410                      kAdErrUrlDoesNotExist   "The resource does not exist"
//   412; 405 to MKCOL             kAdErrResourceExists    "The resource already exists"
//   423                           kAdErrResourceLocked    "The resource is locked"
//   401                           kAdErrPermissionDenied  "Authentication failed"
//   403                           kAdErrPermissionDenied  "Permission denied by the server"
//   407                           kAdErrPermissionDenied  "Proxy authentication failed"
//   anything else not 2xx         E_FAIL                  "Unspecified error" (e.g. 409 for a
//                                 missing parent collection, 5xx): callers may replace a
//                                 description that starts with "Unspecified error".
// (A record creating a non-collection over an existing collection gets 409 from Apache; it
// reports kAdErrResourceExists after checking that the URL exists.)
// A stream's write under a lock token or an If-Match value that gets 412 fails with
// kAdErrResourceChanged "The resource was changed by another client" (stream.h).
// No reply at all: the transport's status and text (platform/http/http_errors.h).
// Local files (file:// copies): see ThrowForFile; kAdErrOpeningFile, kAdErrReadFile,
// kAdErrWriteFile for other errors, with the system's error text.
#ifndef ZAN_PLATFORM_ADO_ADO_ERRORS_H_
#define ZAN_PLATFORM_ADO_ADO_ERRORS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/http/transport.h"
#include "zanclient/com.h"

namespace zan::ado {

constexpr HRESULT kAdErrInvalidArgument = MAKE_HRESULT_U(0x800A0BB9);   // 3001
constexpr HRESULT kAdErrOpeningFile = MAKE_HRESULT_U(0x800A0BBA);       // 3002
constexpr HRESULT kAdErrReadFile = MAKE_HRESULT_U(0x800A0BBB);          // 3003
constexpr HRESULT kAdErrWriteFile = MAKE_HRESULT_U(0x800A0BBC);         // 3004
constexpr HRESULT kAdErrIllegalOperation = MAKE_HRESULT_U(0x800A0C93);  // 3219
constexpr HRESULT kAdErrObjectClosed = MAKE_HRESULT_U(0x800A0E78);      // 3704
constexpr HRESULT kAdErrObjectOpen = MAKE_HRESULT_U(0x800A0E79);        // 3705
constexpr HRESULT kAdErrPermissionDenied = MAKE_HRESULT_U(0x800A0E88);  // 3720
constexpr HRESULT kAdErrResourceExists = MAKE_HRESULT_U(0x800A0E8E);    // 3726
constexpr HRESULT kAdErrResourceLocked = MAKE_HRESULT_U(0x800A0E8F);    // 3727
constexpr HRESULT kAdErrUrlDoesNotExist = MAKE_HRESULT_U(0x800A0E91);   // 3729
// Not one of ADO's values: a conditional write found its precondition broken (the
// resource changed since it was read, or its lock is gone).
constexpr HRESULT kAdErrResourceChanged = MAKE_HRESULT_U(0x800A0F9C);   // 3996

// Throws the _com_error for a reply that is not the expected success.
[[noreturn]] void ThrowForReply(const http::Response& reply, std::string_view method, std::string_view url);

// Throws the _com_error for a failed local file operation (`error`: the os last error):
// not found (or a path through a file) -> kAdErrUrlDoesNotExist, exists ->
// kAdErrResourceExists, access denied -> kAdErrPermissionDenied, else `otherwise`.
// Description "<what> <path>: <system text>".
[[noreturn]] void ThrowForFile(uint32_t error, HRESULT otherwise, std::string_view what, std::string_view path);

}  // namespace zan::ado

#endif
