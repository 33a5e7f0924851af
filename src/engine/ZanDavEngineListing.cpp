// CZanDavEngine: listing the projects and the children of a node.
#include "base/ErrorContext.h"
#include "base/GenException.h"
#include "engine/NodeIds.h"
#include "engine/RepositoryNames.h"
#include "engine/ZanDavEngine.h"

namespace {
constexpr char kClass[] = "CZanDavEngine";
constexpr zan::engine::MissingNode kMissing{zan::err::kItemNotFound, "Item wasn't found.", "GetChildren"};
}  // namespace

bool CZanDavEngine::GetChildren(const std::string& parentId, XMLSet& response) {
  verifyConnection();
  const std::string url = NodeUrl(parentId, zan::engine::NodeUse::kRead, kMissing);
  XMLSet request;
  request.addItem(zan::repo::kName, "");
  request.addItem(zan::repo::kNodeType, "");
  request.addItem(zan::repo::kHasChildren, "");
  try {
    if (!m_davManager.FindChildrenProperties(url, request, response)) return false;
  } catch (const CGenException& e) {
    // A node the listing does not find: the item was not found (a new error, no context).
    if (e.GetErrorCode() == zan::err::kDavNotFound)
      throw CGenException("Item wasn't found.", zan::err::kItemNotFound, "", "");
    zan::err::RethrowWithContext({kClass, "GetChildren"});
  } catch (...) {
    zan::err::RethrowWithContext({kClass, "GetChildren"});
  }
  // No listed children: repair the node's own flag, at best. A read never fails for it, and
  // RefreshHasChildren writes only from a whole listing that holds no member.
  if (response.getCount() == 0) {
    try {
      RefreshHasChildren(url);
    } catch (...) {
    }
  }
  return true;
}

bool CZanDavEngine::GetProjects(XMLSet& response) { return GetChildren("", response); }
