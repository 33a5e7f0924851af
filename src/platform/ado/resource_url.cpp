#include "platform/ado/resource_url.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

#include "platform/os/file_system.h"

namespace zan::ado::internal {
namespace {

constexpr size_t kMaxKnown = 4096;  // bounds the memory of a long-lived thread

// Shared by every thread of the process: the workers of a parallel transfer check a
// connection URL once between them.
std::mutex g_knownMutex;
std::unordered_set<std::string> g_known;

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

bool IsKnownToExist(std::string_view url) {
  const std::string key = Key(url);
  std::lock_guard<std::mutex> lock(g_knownMutex);
  return g_known.count(key) != 0;
}

void RememberExists(std::string_view url) {
  std::string key = Key(url);
  std::lock_guard<std::mutex> lock(g_knownMutex);
  if (g_known.size() >= kMaxKnown) g_known.clear();
  g_known.insert(std::move(key));
}

void ForgetTree(std::string_view url) {
  const std::string key = Key(url);
  const std::string below = key + "/";
  std::lock_guard<std::mutex> lock(g_knownMutex);
  std::erase_if(g_known, [&](const std::string& k) { return k == key || k.starts_with(below); });
}

void ForgetAll() {
  std::lock_guard<std::mutex> lock(g_knownMutex);
  g_known.clear();
}

}  // namespace zan::ado::internal
