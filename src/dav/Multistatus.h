// Reading WebDAV multistatus replies from any server: the reply is rewritten into one
// canonical form in which every element of the "DAV:" namespace carries the prefix "a",
// whatever prefix (or default namespace) the server used, so the rest of the layer can
// compare qualified names. Also the memory of which servers refuse the "1,noroot" depth.
#ifndef ZAN_DAV_MULTISTATUS_H_
#define ZAN_DAV_MULTISTATUS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// What a PROPPATCH's multistatus reply reports as not applied: for each propstat whose
// status is not 2xx, each of its properties (name without prefix, "HTTP/1.1 403
// Forbidden"); for a response with a non-2xx status of its own, its href. nullopt when the
// reply is not a DAV: multistatus or says nothing about any property.
struct Refusal {
  std::string name;        // a property's name, or a response's href
  std::string statusLine;  // as the server wrote it
};
std::optional<std::vector<Refusal>> RefusedProperties(std::string_view reply);
// "a (HTTP/1.1 403 Forbidden), b (HTTP/1.1 424 Failed Dependency)".
std::string DescribeRefusals(const std::vector<Refusal>& refusals);

// Whether the server at url's origin is known to refuse "Depth: 1,noroot"; remembered for
// the process once seen.
bool RefusesNoRoot(std::string_view url);
void RememberRefusesNoRoot(std::string_view url);

}  // namespace zan::dav

#endif
