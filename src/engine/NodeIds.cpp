#include "engine/NodeIds.h"

#include <vector>

#include "base/AsciiCase.h"
#include "base/GenException.h"
#include "base/SafeNames.h"
#include "engine/RepositoryNames.h"
#include "platform/http/url_encoding.h"

namespace zan::engine {
namespace {

// The segments of a path, '/' and '\' both separating; empty segments dropped.
std::vector<std::string_view> Segments(std::string_view path) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/' || path[i] == '\\') {
      if (i > start) out.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return out;
}

std::string RefusalOfForm(std::string_view form, NodeUse use) {
  if (form.find('\0') != std::string_view::npos) return "it holds a NUL character";
  const std::vector<std::string_view> segments = Segments(form);
  for (const std::string_view s : segments)
    if (s == "." || s == "..") return "it holds a '.' or '..' segment";
  if (use == NodeUse::kWrite) {
    if (segments.empty()) return "it names the repository root";
    const std::string_view first = segments.front();
    if (EqualsIgnoringAsciiCase(first, repo::kMbpTemplates) || EqualsIgnoringAsciiCase(first, repo::kMprTemplates))
      return "it names the repository's templates";
  }
  return "";
}

}  // namespace

std::string RefusalOf(std::string_view id, NodeUse use) {
  if (std::string reason = RefusalOfForm(id, use); !reason.empty()) return reason;
  // The same id as a server would read it after one round of percent-decoding.
  return RefusalOfForm(http::DecodeUrl(id), use);
}

void RequireUsableId(const std::string& id, NodeUse use, const MissingNode& missing) {
  const std::string reason = RefusalOf(id, use);
  if (reason.empty()) return;
  throw CGenException(std::string(missing.text) + " Refused id '" + names::Printable(id) + "': " + reason + ".",
                      missing.code, "CZanDavEngine", missing.method);
}

}  // namespace zan::engine
