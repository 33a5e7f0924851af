// Which attribute names the XML layer may look up without building an XPath expression.
#ifndef ZAN_XML_XPATHNAMES_H_
#define ZAN_XML_XPATHNAMES_H_

#include <string_view>

namespace zan::xml {

// True for a name that XPath reads as a plain, unprefixed name test ("_pkid", "dirty"):
// letters, digits, '_', '.', '-' and non-ASCII bytes, not starting with a digit, '.' or
// '-'. For other names ("*", "a:b", "a b", "") the caller evaluates the real expression,
// so that odd or invalid names behave exactly as the selection does.
bool IsPlainXPathName(std::string_view name);

}  // namespace zan::xml

#endif
