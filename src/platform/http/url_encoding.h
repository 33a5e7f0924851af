// Percent-encoding of the system's URLs for the wire, and decoding of the hrefs a server
// returns. The system's URLs are raw text (UTF-8 bytes, never pre-encoded) and never carry a
// query or a fragment: every '?', '#' and '%' in them is part of a name.
#ifndef ZAN_PLATFORM_HTTP_URL_ENCODING_H_
#define ZAN_PLATFORM_HTTP_URL_ENCODING_H_

#include <string>
#include <string_view>

namespace zan::http {

// The URL as sent: "scheme://authority" unchanged except that user info is dropped
// (credentials never travel in a URL or a header: see user_info.h), then every byte of the path outside
// A-Z a-z 0-9 - . _ ~ / : @ ! $ & ' ( ) * + , ; = written as %XX (upper-case hex); so
// space, '#', '?', '%', '\', control bytes and every non-ASCII byte are encoded. Text
// without "://" is treated as a path alone.
std::string EncodeUrl(std::string_view url);

// The text with every %XX (either case of hex) replaced by its byte; a '%' not followed by
// two hex digits stays as it is. '+' is not a space. For hrefs.
std::string DecodeUrl(std::string_view text);

// Whether the path of the URL (text after "scheme://authority", or the whole text when it has
// no "://") holds a "." or ".." segment, written plainly or percent-encoded ("%2e", "%2E").
// Such a URL names another resource once a server resolves it; it is never sent.
bool HasDotSegment(std::string_view url);

}  // namespace zan::http

#endif
