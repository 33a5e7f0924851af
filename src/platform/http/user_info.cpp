#include "platform/http/user_info.h"

#include <algorithm>

#include "platform/http/url_encoding.h"

namespace zan::http {

std::string StripUserInfo(std::string_view url, UserInfo* info) {
  if (info) *info = UserInfo{};
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::string(url);
  const size_t start = scheme + 3;
  const size_t slash = url.find('/', start);
  const std::string_view authority = url.substr(start, slash == std::string_view::npos ? url.npos : slash - start);
  const size_t at = authority.rfind('@');
  if (at == std::string_view::npos) return std::string(url);
  if (info) {
    const std::string_view userInfo = authority.substr(0, at);
    const size_t colon = userInfo.find(':');
    info->present = true;
    info->user = DecodeUrl(userInfo.substr(0, colon));
    if (colon != std::string_view::npos) info->password = DecodeUrl(userInfo.substr(colon + 1));
  }
  std::string out(url.substr(0, start));
  out.append(url.substr(start + at + 1));
  return out;
}

std::string MaskPasswords(std::string_view text) {
  static constexpr std::string_view kAuthorityEnd = "/?# \t\r\n";
  std::string out;
  size_t done = 0;  // text before this offset is in out
  for (size_t scheme = text.find("://"); scheme != std::string_view::npos; scheme = text.find("://", scheme + 3)) {
    const size_t start = scheme + 3;
    const size_t end = std::min(text.find_first_of(kAuthorityEnd, start), text.size());
    const std::string_view authority = text.substr(start, end - start);
    const size_t at = authority.rfind('@');
    if (at == std::string_view::npos) continue;
    const size_t colon = authority.substr(0, at).find(':');
    if (colon == std::string_view::npos || colon + 1 == at) continue;  // no password
    out.append(text.substr(done, start + colon + 1 - done));
    out.append("***");
    done = start + at;
    scheme = end - 3;  // resume after this authority (end >= start)
  }
  out.append(text.substr(done));
  return out;
}

}  // namespace zan::http
