// The checks on what a caller asks to store as a node's name: a new node's name, and the
// three node properties that listings and trees rely on (ZAN_NAME, ZAN_NODE_TYPE,
// ZAN_HAS_CHILDREN). A refusal is a CGenException with code 1004 (kInvalidName), class
// "CZanDavEngine" and the given method, raised before any request.
#ifndef ZAN_ENGINE_NODENAMES_H_
#define ZAN_ENGINE_NODENAMES_H_

#include <string>

#include "xml/XMLSet.h"

namespace zan::engine {

// A new node's name: a single safe segment (SafeNames.h); a project is not called
// "Templates" in any letter case (the repository's templates collection).
void RequireSafeNewName(const std::string& name, bool isProject, const char* method);

// Every item of props named ZAN_NAME holds a single safe segment, every ZAN_NODE_TYPE one of
// "ZAN_PROJECT", "ZAN_FOLDER", "ZAN_BP", every ZAN_HAS_CHILDREN "TRUE" or "FALSE". Other
// items are not looked at.
void RequireSafeNodeProperties(XMLSet& props, const char* method);

}  // namespace zan::engine

#endif
