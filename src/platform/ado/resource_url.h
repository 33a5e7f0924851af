// What a record or stream URL names (a server resource or a local file), and the
// process-wide memory of server URLs known to exist. Internal to the ado objects.
#ifndef ZAN_PLATFORM_ADO_RESOURCE_URL_H_
#define ZAN_PLATFORM_ADO_RESOURCE_URL_H_

#include <string>
#include <string_view>

namespace zan::ado::internal {

enum class UrlKind { kHttp, kFile, kOther };

// "http://" and "https://" name server resources, "file://" local files (schemes compared
// ASCII case-insensitively); anything else is kOther.
UrlKind KindOf(std::string_view url);
// The native local path of a "file://" URL: the text after "file://" (a local path that may
// use '\' separators), not percent-decoded.
std::string LocalPathOf(std::string_view fileUrl);

// The process's set of server URLs known to exist (one trailing '/' ignored; safe from any
// thread): a record opened on such a URL with adFailIfNotExists asks the server only once.
bool IsKnownToExist(std::string_view url);
void RememberExists(std::string_view url);
// Forgets the URL and every URL below it.
void ForgetTree(std::string_view url);
void ForgetAll();

}  // namespace zan::ado::internal

#endif
