// Which node ids an operation may turn into a URL. Ids are paths below the repository root R
// ("Alpha", "Alpha/Designs/Billing"); an operation touches its own node and nothing else, so
// an id that leaves its place, or that names R itself or its templates for a write, is
// refused before any request.
#ifndef ZAN_ENGINE_NODEIDS_H_
#define ZAN_ENGINE_NODEIDS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace zan::engine {

enum class NodeUse {
  kRead,   // listings, property reads, document reads, downloads: R itself and Templates may be read
  kWrite,  // deletes, property writes, creations' parents, document updates, uploads
};

// Why id may not be used so, or "" when it may. Every use: a "." or ".." segment ('/' and '\'
// both separate segments), written plainly or percent-encoded ("%2e%2E"), or a NUL byte
// (also "%00"). kWrite also: an id that names R (empty, or separators only) or its Templates
// collection or anything below it (first segment "Templates" in any letter case, plain or
// percent-encoded).
std::string RefusalOf(std::string_view id, NodeUse use);

// How an operation reports a node that does not exist; a refused id is reported the same way,
// so a caller that handles the one handles the other.
struct MissingNode {
  int32_t code;        // the error code
  const char* text;    // the start of the description; the refused id and the reason follow
  const char* method;  // the method named in the error's context (class "CZanDavEngine")
};

// Raises the CGenException of `missing` for id when RefusalOf(id, use) refuses it.
void RequireUsableId(const std::string& id, NodeUse use, const MissingNode& missing);

}  // namespace zan::engine

#endif
