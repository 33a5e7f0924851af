// CZanDavEngine: construction, connection, URL rules and the has-children flag.
#include "engine/ZanDavEngine.h"

#include "base/FileUtils.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "engine/RepositoryNames.h"
#include "platform/com/com_error.h"
#include "platform/os/codepage.h"
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
  try {
    m_serverUrl = url;
    const std::string templates = GetServerUrl() + "/" + zan::repo::kMbpTemplates + "/";
    m_mbpTemplate.loadXml(m_davManager.GetFileStream(templates + zan::repo::kMbpFile));
    m_mprTemplateText = zan::os::MultiByteToWide(
        m_davManager.GetFileStream(GetServerUrl() + "/" + zan::repo::kMprTemplates + "/" + zan::repo::kMprFile));
    return true;
  } catch (const _com_error& e) {
    CGenException error(e, kClass, "InitToZanServer");
    error.Rethrow("Can not Connect to " + url, zan::err::kCannotConnect, kClass, "InitToZanServer");
  } catch (CGenException& e) {
    e.Rethrow("Can not Connect to " + url, zan::err::kCannotConnect, kClass, "InitToZanServer");
  } catch (...) {
    CGenException error("Unknown Error.", zan::err::kUnknown, kClass, "InitToZanServer");
    error.Rethrow("Can not Connect to " + url, zan::err::kCannotConnect, kClass, "InitToZanServer");
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
  XMLSet result;
  m_davManager.findResourceProperties(zan::os::MultiByteToWide(collectionUrl),
                                      zan::os::MultiByteToWide(request.getXml()), u"1,noroot", result);
  return SetHasChildren(collectionUrl, result.getCount() > 0);
}
