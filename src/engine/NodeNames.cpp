#include "engine/NodeNames.h"

#include "base/AsciiCase.h"
#include "base/GenException.h"
#include "base/SafeNames.h"
#include "engine/RepositoryNames.h"

namespace zan::engine {
namespace {

[[noreturn]] void Refuse(const std::string& what, const std::string& reason, const char* method) {
  throw CGenException(what + ": " + reason + ".", err::kInvalidName, "CZanDavEngine", method);
}

}  // namespace

void RequireSafeNewName(const std::string& name, bool isProject, const char* method) {
  const std::string what = "Invalid node name '" + names::Printable(name) + "'";
  if (const std::string reason = names::UnsafeSegmentReason(name); !reason.empty()) Refuse(what, reason, method);
  if (isProject && EqualsIgnoringAsciiCase(name, repo::kMprTemplates))
    Refuse(what, "it is the name of the repository's templates", method);
}

void RequireSafeNodeProperties(XMLSet& props, const char* method) {
  std::string name, value;
  for (long i = 0; i < props.getCount(); ++i) {
    if (!props.getItem(i, name, value)) continue;
    const std::string what = "Invalid value '" + names::Printable(value) + "' for " + name;
    if (name == repo::kName) {
      if (const std::string reason = names::UnsafeSegmentReason(value); !reason.empty()) Refuse(what, reason, method);
    } else if (name == repo::kNodeType) {
      if (value != repo::kProjectKind && value != repo::kFolderKind && value != repo::kBusinessProcessKind)
        Refuse(what, std::string("a node is a ") + repo::kProjectKind + ", " + repo::kFolderKind + " or " +
                         repo::kBusinessProcessKind, method);
    } else if (name == repo::kHasChildren) {
      if (value != repo::kTrue && value != repo::kFalse)
        Refuse(what, std::string("it is ") + repo::kTrue + " or " + repo::kFalse, method);
    }
  }
}

}  // namespace zan::engine
