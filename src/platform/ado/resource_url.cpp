#include "platform/ado/resource_url.h"

#include <algorithm>
#include <unordered_set>

#include "platform/os/file_system.h"

namespace zan::ado::internal {
namespace {

constexpr size_t kMaxKnown = 4096;  // bounds the memory of a long-lived thread

thread_local std::unordered_set<std::string> t_known;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
           return p == ((t >= 'A' && t <= 'Z') ? static_cast<char>(t - 'A' + 'a') : t);
         });
}

std::string Key(std::string_view url) {
  if (url.ends_with('/')) url.remove_suffix(1);
  return std::string(url);
}

}  // namespace

UrlKind KindOf(std::string_view url) {
  if (StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://")) return UrlKind::kHttp;
  if (StartsWithNoCase(url, "file://")) return UrlKind::kFile;
  return UrlKind::kOther;
}

std::string LocalPathOf(std::string_view fileUrl) { return os::ToNativePath(fileUrl.substr(7)); }

bool IsKnownToExist(std::string_view url) { return t_known.count(Key(url)) != 0; }

void RememberExists(std::string_view url) {
  if (t_known.size() >= kMaxKnown) t_known.clear();
  t_known.insert(Key(url));
}

void ForgetTree(std::string_view url) {
  const std::string key = Key(url);
  const std::string below = key + "/";
  std::erase_if(t_known, [&](const std::string& k) { return k == key || k.starts_with(below); });
}

void ForgetAll() { t_known.clear(); }

}  // namespace zan::ado::internal
