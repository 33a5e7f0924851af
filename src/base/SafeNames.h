// Names that stand for exactly one entry inside one directory or collection: the test every
// layer applies to a new node name, a node's ZAN_NAME and a name a server listing delivers
// before it becomes part of a URL or a local path.
#ifndef ZAN_BASE_SAFENAMES_H_
#define ZAN_BASE_SAFENAMES_H_

#include <string>
#include <string_view>

namespace zan::names {

// Why name is not a single safe segment, or "" when it is one: not empty, not "." or "..",
// no '/', '\', NUL, CR, LF or other control character (bytes below 0x20 and 0x7F).
std::string UnsafeSegmentReason(std::string_view name);
inline bool IsSafeSegment(std::string_view name) { return UnsafeSegmentReason(name).empty(); }

// The name with control characters shown as \xNN, for error texts.
std::string Printable(std::string_view name);

}  // namespace zan::names

#endif
