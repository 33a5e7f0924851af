// The URL form of a collection on the wire: RFC 4918 clients name a collection with a
// trailing slash, and some servers refuse or redirect the form without it.
#ifndef ZAN_DAV_COLLECTIONURL_H_
#define ZAN_DAV_COLLECTIONURL_H_

#include <string>
#include <string_view>

namespace zan::dav {

// url with exactly one trailing '/' added when it has none ("http://h/R/a" -> "http://h/R/a/").
inline std::string CollectionUrl(std::string_view url) {
  std::string out(url);
  if (!out.ends_with('/')) out.push_back('/');
  return out;
}

// The URL as error texts name it: a collection as callers name it, without the trailing slash
// ("http://h/R/a/" -> "http://h/R/a").
inline std::string NamedUrl(std::string_view url) {
  if (url.ends_with('/') && !url.ends_with("//")) url.remove_suffix(1);
  return std::string(url);
}

}  // namespace zan::dav

#endif
