// The failure statuses of the HTTP transport: the WinINet values an XML HTTP request object
// reports when no HTTP reply arrives. HTTP error statuses (4xx, 5xx) are replies, not
// failures, at this level.
#ifndef ZAN_PLATFORM_HTTP_HTTP_ERRORS_H_
#define ZAN_PLATFORM_HTTP_HTTP_ERRORS_H_

#include "zanclient/com.h"

namespace zan::http {

// ERROR_INTERNET_TIMEOUT (12002): no connection within the connect timeout, or no byte
// within the stall timeout.
constexpr HRESULT kErrTimeout = MAKE_HRESULT_U(0x80072EE2);
// ERROR_INTERNET_INTERNAL_ERROR (12004): any other transfer failure.
constexpr HRESULT kErrTransfer = MAKE_HRESULT_U(0x80072EE4);
// ERROR_INTERNET_INVALID_URL (12005): the URL cannot be used (malformed, not http/https).
constexpr HRESULT kErrInvalidUrl = MAKE_HRESULT_U(0x80072EE5);
// ERROR_INTERNET_NAME_NOT_RESOLVED (12007): the host name could not be resolved.
constexpr HRESULT kErrNameNotResolved = MAKE_HRESULT_U(0x80072EE7);
// ERROR_INTERNET_CANNOT_CONNECT (12029): the connection was refused or unreachable.
constexpr HRESULT kErrCannotConnect = MAKE_HRESULT_U(0x80072EFD);
// ERROR_INTERNET_CONNECTION_ABORTED (12030): the connection broke during the exchange
// (nothing received, reset, body shorter than announced).
constexpr HRESULT kErrConnectionAborted = MAKE_HRESULT_U(0x80072EFE);
// ERROR_FILE_TOO_LARGE (223): a reply body held in memory passed the size cap
// (ZANCLIENT_MAX_XML_SIZE).
constexpr HRESULT kErrReplyTooLarge = MAKE_HRESULT_U(0x800700DF);
// ERROR_INTERNET_SECURITY_CHANNEL_ERROR (12157): TLS failed.
constexpr HRESULT kErrSecureChannel = MAKE_HRESULT_U(0x80072F7D);

}  // namespace zan::http

#endif
