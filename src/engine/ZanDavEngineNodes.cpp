// CZanDavEngine: creating and deleting nodes, and reading and writing their properties.
// A step that returns false ends an operation with false; nothing done before is undone.
#include "base/FileUtils.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "engine/DiagnosticDump.h"
#include "engine/RepositoryNames.h"
#include "engine/ZanDavEngine.h"
#include "platform/com/com_error.h"
#include "platform/os/codepage.h"
#include "xml/ZANDataEntity.h"

namespace {
constexpr char kClass[] = "CZanDavEngine";
constexpr long kCopyOverwrite = 1;  // adCopyOverWrite

// A property request naming the given properties, each with an empty value, in order.
XMLSet PropertyRequest(std::initializer_list<const char*> names) {
  XMLSet request;
  for (const char* name : names) request.addItem(name, "");
  return request;
}
}  // namespace

bool CZanDavEngine::CreateProject(const std::string& connectionUrl, const std::string& name, XMLSet& properties,
                                  XMLSet& /*response*/) {
  verifyConnection();
  const std::string root = GetServerUrl();
  const std::string projectUrl = root + "/" + name;
  if (!m_davManager.CreateItem(root, name, true)) return false;
  const std::string mprTemplate = root + "/" + zan::repo::kMprTemplates + "/" + zan::repo::kMprFile;
  if (!m_davManager.Copy(connectionUrl, mprTemplate, projectUrl + "/" + zan::repo::kMprFile, "", "", kCopyOverwrite)) {
    return false;
  }
  XMLSet set(properties);
  BuildNodeProperties(name, zan::repo::kProjectCode, set);
  if (!m_davManager.setResourceProperties(zan::dav::CollectionUrl(projectUrl), set.getXml())) return false;
  return SetHasChildren(root, true);
}

bool CZanDavEngine::CreateFolder(const std::string& parentId, const std::string& name, XMLSet& properties,
                                 XMLSet& /*response*/) {
  verifyConnection();
  const std::string parentUrl = GetServerUrl() + "/" + parentId;
  const std::string folderUrl = parentUrl + "/" + name;
  if (!m_davManager.CreateItem(parentUrl, name, true)) return false;
  XMLSet set(properties);
  BuildNodeProperties(name, zan::repo::kFolderCode, set);
  if (!m_davManager.setResourceProperties(zan::dav::CollectionUrl(folderUrl), set.getXml())) return false;
  return SetHasChildren(parentUrl, true);
}

bool CZanDavEngine::CreateBusinessProcess(const std::string& connectionUrl, const std::string& parentId,
                                          const std::string& name, XMLSet& /*properties*/, XMLSet& response) {
  verifyConnection();
  try {
    // The copy shares the template's document: the creation's lastmodified stamp lands in
    // the template held in memory too, and nothing else does.
    CMBPEntity document(m_mbpTemplate);
    return CreateBusinessProcessFromMBP(connectionUrl, parentId, name, document, response);
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "CreateBusinessProcess");
  } catch (...) {
    throw CGenException("Unknown Error.", zan::err::kUnknown, kClass, "CreateBusinessProcess");
  }
}

bool CZanDavEngine::CreateBusinessProcessFromMBP(const std::string& connectionUrl, const std::string& parentId,
                                                 const std::string& name, const CMBPEntity& document,
                                                 XMLSet& /*response*/) {
  verifyConnection();
  std::string parentUrl = GetServerUrl() + "/" + parentId;
  std::string processUrl = parentUrl + "/" + name;
  CMBPEntity stamped(document);
  try {
    parentUrl = CFileUtils::ToForwardSlashes(parentUrl);
    processUrl = CFileUtils::ToForwardSlashes(processUrl);
    const std::string mbpUrl = processUrl + "/" + zan::repo::kMbpFile;
    if (!m_davManager.CreateItem(parentUrl, name, true)) return false;
    const std::string mbpTemplate = GetServerUrl() + "/" + zan::repo::kMbpTemplates + "/" + zan::repo::kMbpFile;
    if (!m_davManager.Copy(connectionUrl, mbpTemplate, mbpUrl, "", "", kCopyOverwrite)) return false;
    stamped.setLastModified(GetTimeStamp());
    // One PUT of the copied document (an empty condition: the document must exist).
    if (!m_davManager.SetFileStream(mbpUrl, stamped.getXml(), CDavADOManager::WriteCondition{})) return false;
    XMLSet set;
    BuildNodeProperties(name, zan::repo::kBusinessProcessCode, set);
    if (!m_davManager.setResourceProperties(zan::dav::CollectionUrl(processUrl), set.getXml())) return false;
    return SetHasChildren(parentUrl, true);
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "CreateBusinessProcessFromMBP");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "CreateBusinessProcessFromMBP");
  } catch (...) {
    throw CGenException("Unknown Error.", zan::err::kUnknown, kClass, "CreateBusinessProcessFromMBP");
  }
}

bool CZanDavEngine::Delete(const std::string& itemId, XMLSet& /*response*/) {
  // No connection check first: RefreshHasChildren makes it, after the deletion.
  const std::string url = GetItemUrl(itemId);
  if (!m_davManager.DeleteItem(zan::dav::CollectionUrl(url))) return false;
  return RefreshHasChildren(m_davManager.GetParentUrl(url));
}

namespace {
// Reads the requested properties of url itself (Depth "0") into response. The URL goes as the
// id names it: an id may name a document, which then reads as a resource without node
// properties on every server (its slash form is refused: Apache 400, lighttpd 403).
void ReadProperties(CDavADOManager& dav, const std::string& url, XMLSet& request, XMLSet& response) {
  dav.findResourceProperties(zan::os::MultiByteToWide(url), zan::os::MultiByteToWide(request.getXml()), u"0", response);
}
}  // namespace

bool CZanDavEngine::GetProjectProperties(const std::string& projectId, XMLSet& response) {
  verifyConnection();
  XMLSet request =
      PropertyRequest({zan::repo::kName, zan::repo::kNodeType, zan::repo::kHasChildren, zan::repo::kDescription});
  ReadProperties(m_davManager, GetItemUrl(projectId), request, response);
  return true;
}

bool CZanDavEngine::GetFolderProperties(const std::string& folderId, XMLSet& response) {
  verifyConnection();
  XMLSet request =
      PropertyRequest({zan::repo::kHasChildren, zan::repo::kNodeType, zan::repo::kName, zan::repo::kDescription});
  ReadProperties(m_davManager, GetItemUrl(folderId), request, response);
  return true;
}

bool CZanDavEngine::GetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& response) {
  verifyConnection();
  XMLSet request =
      PropertyRequest({zan::repo::kHasChildren, zan::repo::kNodeType, zan::repo::kDescription, zan::repo::kName});
  ReadProperties(m_davManager, GetItemUrl(businessProcessId), request, response);
  return true;
}

bool CZanDavEngine::SetProjectProperties(const std::string& projectId, XMLSet& properties, XMLSet& /*response*/) {
  verifyConnection();
  return m_davManager.setResourceProperties(zan::dav::CollectionUrl(GetItemUrl(projectId)), properties.getXml());
}

bool CZanDavEngine::SetFolderProperties(const std::string& folderId, XMLSet& properties, XMLSet& /*response*/) {
  verifyConnection();
  if constexpr (zan::engine::kDiagnosticDumps) {
    XMLSet copy(properties);
    zan::engine::DumpSet(copy, "SetFolderProperties_newProps");
  }
  return m_davManager.setResourceProperties(zan::dav::CollectionUrl(GetItemUrl(folderId)), properties.getXml());
}

bool CZanDavEngine::SetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& properties,
                                                 XMLSet& /*response*/) {
  verifyConnection();
  return m_davManager.setResourceProperties(zan::dav::CollectionUrl(GetItemUrl(businessProcessId)),
                                            properties.getXml());
}
