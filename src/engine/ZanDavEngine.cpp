// CZanDavEngine: construction, connection, URL rules and the has-children flag.
#include "engine/ZanDavEngine.h"

#include <utility>

#include "base/ErrorContext.h"
#include "base/FileUtils.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "engine/RepositoryNames.h"
#ifdef ZAN_DEVELOPMENT_WARNING
#include "platform/os/alert.h"
#endif

namespace {
constexpr char kClass[] = "CZanDavEngine";
}  // namespace

CZanDavEngine::CZanDavEngine() {
#ifdef ZAN_DEVELOPMENT_WARNING
  zan::os::ShowErrorAlert("Running in Development Mode, Do not continue...\n\rPlease Notify Development. ");
#endif
}

bool CZanDavEngine::InitToZanServer(const std::string& serverUrl, XMLSet& /*scratch*/) {
  const std::string url = serverUrl;  // serverUrl may alias a string this call replaces
  // A failed connection leaves nothing of an earlier server (not its URL, not its templates):
  // the engine is not connected, and the next call with this URL connects again.
  struct Disconnect {
    CZanDavEngine& engine;
    bool armed = true;
    ~Disconnect() {
      if (!armed) return;
      engine.m_serverUrl.clear();
      engine.m_mbpTemplate = CMBPEntity();
      engine.m_mprTemplateText.clear();
    }
  } disconnect{*this};
  try {
    m_serverUrl = url;
    const std::string templates = GetServerUrl() + "/" + zan::repo::kMbpTemplates + "/";
    CMBPEntity mbpTemplate;
    mbpTemplate.loadXml(m_davManager.GetFileStream(templates + zan::repo::kMbpFile));
    std::string mprTemplateText =
        m_davManager.GetFileStream(GetServerUrl() + "/" + zan::repo::kMprTemplates + "/" + zan::repo::kMprFile);
    m_mbpTemplate = std::move(mbpTemplate);
    m_mprTemplateText = std::move(mprTemplateText);
    disconnect.armed = false;
    return true;
  } catch (...) {
    // Every failure becomes 104 "Can not Connect to <url>"; its cause (the server's status
    // line, or the transport's text) follows the description.
    using Context = zan::err::Context;
    zan::err::RethrowWithContext({.className = kClass, .method = "InitToZanServer",
                                  .platform = Context::Platform::kAdoptAndStep, .other = Context::Other::kUnknownAndStep,
                                  .lead = "Can not Connect to " + url, .code = zan::err::kCannotConnect});
  }
}

bool CZanDavEngine::IsConnected(const std::string& serverUrl) { return GetServerUrl() == serverUrl; }

std::string CZanDavEngine::GetServerUrl() { return m_serverUrl; }

std::string CZanDavEngine::GetMBPTemplate() { return m_mbpTemplate.getXml(); }

bool CZanDavEngine::Move(const std::string& /*sourceId*/, const std::string& /*destinationParentId*/,
                         XMLSet& /*response*/) {
  return true;
}

bool CZanDavEngine::verifyConnection() {
  if (GetServerUrl().empty()) {
    throw CGenException("The ZAN Server is not Connected", zan::err::kNotConnected, kClass, "verifyConnection");
  }
  return true;
}

std::string CZanDavEngine::GetItemUrl(const std::string& itemId) {
  return GetServerUrl() + "/" + CFileUtils::RemoveTrailingSlash(itemId);
}

std::string CZanDavEngine::NodeUrl(const std::string& itemId, zan::engine::NodeUse use,
                                   const zan::engine::MissingNode& missing) {
  zan::engine::RequireUsableId(itemId, use, missing);
  return GetItemUrl(itemId);
}

std::string CZanDavEngine::CreationParentUrl(const std::string& parentId, const zan::engine::MissingNode& missing) {
  zan::engine::RequireUsableId(parentId, zan::engine::NodeUse::kWrite, missing);
  return GetServerUrl() + "/" + parentId;
}

bool CZanDavEngine::BuildNodeProperties(const std::string& name, int kindCode, XMLSet& set) {
  set.addItem(zan::repo::kHasChildren, zan::repo::kFalse);
  set.addItem(zan::repo::kName, name);
  switch (kindCode) {
    case zan::repo::kProjectCode:
      set.addItem(zan::repo::kNodeType, zan::repo::kProjectKind);
      return true;
    case zan::repo::kFolderCode:
      set.addItem(zan::repo::kNodeType, zan::repo::kFolderKind);
      return true;
    case zan::repo::kBusinessProcessCode:
      set.addItem(zan::repo::kNodeType, zan::repo::kBusinessProcessKind);
      return true;
    default:
      return false;
  }
}

bool CZanDavEngine::SetHasChildren(const std::string& url, bool hasChildren) {
  XMLSet set;
  set.addItem(zan::repo::kHasChildren, hasChildren ? zan::repo::kTrue : zan::repo::kFalse);
  return m_davManager.setResourceProperties(zan::dav::CollectionUrl(url), set.getXml());
}

bool CZanDavEngine::RefreshHasChildren(const std::string& collectionUrl) {
  verifyConnection();
  XMLSet request;
  request.addItem(zan::repo::kNodeType, "");
  request.addItem(zan::repo::kName, "");
  // Only a reply that holds the collection's own response is a whole listing; a broken one
  // (a proxy's empty multistatus, say) must not hide the node's children from everyone.
  const long members = m_davManager.countMembers(collectionUrl, request.getXml());
  if (members < 0) return false;
  return SetHasChildren(collectionUrl, members > 0);
}
