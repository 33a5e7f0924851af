// Reading WebDAV multistatus replies from any server: the reply is rewritten into one
// canonical form in which every element of the "DAV:" namespace carries the prefix "a",
// whatever prefix (or default namespace) the server used, so the rest of the layer can
// compare qualified names.
#ifndef ZAN_DAV_MULTISTATUS_H_
#define ZAN_DAV_MULTISTATUS_H_

#include <string>
#include <string_view>

namespace zan::dav {

// The reply with DAV: elements under the prefix "a" (declared on the root), other elements
// in their own namespaces, attributes and formatting whitespace dropped. "" when the reply
// is not well-formed XML.
std::string CanonicalMultistatus(std::string_view reply);

// The path of a URL or href ("http://h:p/a/b/" -> "/a/b/"), percent-decoded, with runs of
// '/' folded and one trailing '/' removed, so a collection's href and its request URL
// compare equal.
std::string ComparablePath(std::string_view urlOrHref);

// The last segment of an href, split off before decoding ("/R/My%20Dir/" -> "My Dir";
// "/R/a%2Fb" -> "a/b").
std::string LastSegment(std::string_view href);

}  // namespace zan::dav

#endif
