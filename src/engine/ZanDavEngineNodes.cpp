// CZanDavEngine: creating and deleting nodes, and reading and writing their properties.
// A step that returns false ends an operation with false. A creation is all or nothing: when
// a step after the creation of its collection fails, the collection is deleted again.
#include "base/ErrorContext.h"
#include "base/FileUtils.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "engine/DiagnosticDump.h"
#include "engine/NodeIds.h"
#include "engine/NodeNames.h"
#include "engine/RepositoryNames.h"
#include "engine/ZanDavEngine.h"
#include "platform/ado/ado_constants.h"
#include "platform/ado/ado_errors.h"
#include "platform/com/com_error.h"
#include "xml/ZANDataEntity.h"

namespace {
constexpr char kClass[] = "CZanDavEngine";

using zan::engine::MissingNode;
using zan::engine::NodeUse;

// How each operation reports a node that does not exist (and so a refused id).
constexpr const char* kNoParentText = zan::err::kCheckNamesText;
constexpr char kNoResourceText[] = "The resource does not exist:";
constexpr char kNoPropertiesText[] = "The item you requested was not found.";
constexpr char kNoPropertyTargetText[] = "Dav Unknown Error.";
constexpr int32_t kNoResource = static_cast<int32_t>(zan::ado::kAdErrUrlDoesNotExist);

// Deletes a collection that a creation made; "" when it is gone, else a sentence for the
// creation's error text. Never throws.
std::string RemoveAgain(CDavADOManager& dav, const std::string& url) noexcept {
  std::string why;
  try {
    if (dav.DeleteItem(url)) return {};
    why = "the deletion did not complete";
  } catch (const _com_error& e) {
    why = e.Description();
  } catch (const CGenException& e) {
    why = e.GetErrorDescription();
  } catch (...) {
    why = "Unknown Error.";
  }
  try {
    return " The new collection " + url + " could not be removed again: " + why;
  } catch (...) {
    return {};
  }
}

// Creations are all or nothing: runs the steps that follow the creation of the collection
// url; when they return false or throw, the collection is deleted again (best effort) so the
// name is free for a retry, and the failure passes on. A failed removal is added to the
// error's description (a false then becomes an error naming the removal).
template <class Steps>
bool CompleteCreation(CDavADOManager& dav, const std::string& url, const char* operation, Steps steps) {
  try {
    if (steps()) return true;
  } catch (const _com_error& e) {
    const std::string cleanup = RemoveAgain(dav, url);
    if (cleanup.empty()) throw;
    throw _com_error(e.Error(), e.Description() + cleanup);
  } catch (CGenException& e) {
    const std::string cleanup = RemoveAgain(dav, url);
    if (cleanup.empty()) throw;
    e.Rethrow(e.GetErrorDescription() + cleanup, e.GetErrorCode(), kClass, operation);
  }
  const std::string cleanup = RemoveAgain(dav, url);
  if (!cleanup.empty())
    throw CGenException("The creation of " + url + " did not complete." + cleanup, zan::err::kUnknown, kClass,
                        operation);
  return false;
}

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
  zan::engine::RequireSafeNewName(name, true, "CreateProject");
  zan::engine::RequireSafeNodeProperties(properties, "CreateProject");
  const std::string root = GetServerUrl();
  const std::string projectUrl = root + "/" + name;
  if (!m_davManager.CreateItem(root, name, true)) return false;
  return CompleteCreation(m_davManager, projectUrl, "CreateProject", [&] {
    const std::string mprTemplate = root + "/" + zan::repo::kMprTemplates + "/" + zan::repo::kMprFile;
    if (!m_davManager.Copy(connectionUrl, mprTemplate, projectUrl + "/" + zan::repo::kMprFile, "", "",
                           zan::ado::adCopyOverWrite)) {
      return false;
    }
    XMLSet set(properties);
    BuildNodeProperties(name, zan::repo::kProjectCode, set);
    if (!m_davManager.setResourceProperties(zan::dav::CollectionUrl(projectUrl), set.getXml())) return false;
    return SetHasChildren(root, true);
  });
}

bool CZanDavEngine::CreateFolder(const std::string& parentId, const std::string& name, XMLSet& properties,
                                 XMLSet& /*response*/) {
  verifyConnection();
  zan::engine::RequireSafeNewName(name, false, "CreateFolder");
  zan::engine::RequireSafeNodeProperties(properties, "CreateFolder");
  const std::string parentUrl =
      CreationParentUrl(parentId, MissingNode{zan::err::kUnknown, kNoParentText, "CreateFolder"});
  const std::string folderUrl = parentUrl + "/" + name;
  if (!m_davManager.CreateItem(parentUrl, name, true)) return false;
  return CompleteCreation(m_davManager, folderUrl, "CreateFolder", [&] {
    XMLSet set(properties);
    BuildNodeProperties(name, zan::repo::kFolderCode, set);
    if (!m_davManager.setResourceProperties(zan::dav::CollectionUrl(folderUrl), set.getXml())) return false;
    return SetHasChildren(parentUrl, true);
  });
}

bool CZanDavEngine::CreateBusinessProcess(const std::string& connectionUrl, const std::string& parentId,
                                          const std::string& name, XMLSet& /*properties*/, XMLSet& response) {
  verifyConnection();
  try {
    // The creation stamps a clone of the document: the template held in memory stays as read.
    return CreateBusinessProcessFromMBP(connectionUrl, parentId, name, m_mbpTemplate, response);
  } catch (...) {
    using Context = zan::err::Context;
    zan::err::RethrowWithContext({.className = kClass, .method = "CreateBusinessProcess",
                                  .platform = Context::Platform::kUnknown, .other = Context::Other::kUnknown});
  }
}

bool CZanDavEngine::CreateBusinessProcessFromMBP(const std::string& connectionUrl, const std::string& parentId,
                                                 const std::string& name, const CMBPEntity& document,
                                                 XMLSet& /*response*/) {
  verifyConnection();
  zan::engine::RequireSafeNewName(name, false, "CreateBusinessProcessFromMBP");
  std::string parentUrl =
      CreationParentUrl(parentId, MissingNode{zan::err::kUnknown, kNoParentText, "CreateBusinessProcessFromMBP"});
  std::string processUrl = parentUrl + "/" + name;
  CMBPEntity stamped(document);  // a clone: the caller's document is not stamped
  try {
    parentUrl = CFileUtils::ToForwardSlashes(parentUrl);
    processUrl = CFileUtils::ToForwardSlashes(processUrl);
    const std::string mbpUrl = processUrl + "/" + zan::repo::kMbpFile;
    if (!m_davManager.CreateItem(parentUrl, name, true)) return false;
    return CompleteCreation(m_davManager, processUrl, "CreateBusinessProcessFromMBP", [&] {
      const std::string mbpTemplate = GetServerUrl() + "/" + zan::repo::kMbpTemplates + "/" + zan::repo::kMbpFile;
      if (!m_davManager.Copy(connectionUrl, mbpTemplate, mbpUrl, "", "", zan::ado::adCopyOverWrite)) return false;
      stamped.setLastModified(GetTimeStamp());
      // One PUT of the copied document (an empty condition: the document must exist).
      if (!m_davManager.SetFileStream(mbpUrl, stamped.getXml(), CDavADOManager::WriteCondition{})) return false;
      XMLSet set;
      BuildNodeProperties(name, zan::repo::kBusinessProcessCode, set);
      if (!m_davManager.setResourceProperties(zan::dav::CollectionUrl(processUrl), set.getXml())) return false;
      return SetHasChildren(parentUrl, true);
    });
  } catch (...) {
    zan::err::RethrowWithContext(
        {.className = kClass, .method = "CreateBusinessProcessFromMBP", .other = zan::err::Context::Other::kUnknown});
  }
}

bool CZanDavEngine::Delete(const std::string& itemId, XMLSet& /*response*/) {
  // No connection check first: RefreshHasChildren makes it, after the deletion.
  const std::string url = NodeUrl(itemId, NodeUse::kWrite, MissingNode{kNoResource, kNoResourceText, "Delete"});
  if (!m_davManager.DeleteItem(zan::dav::CollectionUrl(url))) return false;
  // The deletion is done: the parent's flag is repaired at best, its failure changes nothing.
  try {
    RefreshHasChildren(m_davManager.GetParentUrl(url));
  } catch (...) {
  }
  return true;
}

namespace {
// Reads the requested properties of url itself (Depth "0") into response. The URL goes as the
// id names it: an id may name a document, which then reads as a resource without node
// properties on every server (its slash form is refused: Apache 400, lighttpd 403).
void ReadProperties(CDavADOManager& dav, const std::string& url, XMLSet& request, XMLSet& response) {
  dav.findResourceProperties(url, request.getXml(), "0", response);
}
}  // namespace

bool CZanDavEngine::GetProjectProperties(const std::string& projectId, XMLSet& response) {
  verifyConnection();
  XMLSet request =
      PropertyRequest({zan::repo::kName, zan::repo::kNodeType, zan::repo::kHasChildren, zan::repo::kDescription});
  const MissingNode missing{zan::err::kDavNotFound, kNoPropertiesText, "GetProjectProperties"};
  ReadProperties(m_davManager, NodeUrl(projectId, NodeUse::kRead, missing), request, response);
  return true;
}

bool CZanDavEngine::GetFolderProperties(const std::string& folderId, XMLSet& response) {
  verifyConnection();
  XMLSet request =
      PropertyRequest({zan::repo::kHasChildren, zan::repo::kNodeType, zan::repo::kName, zan::repo::kDescription});
  const MissingNode missing{zan::err::kDavNotFound, kNoPropertiesText, "GetFolderProperties"};
  ReadProperties(m_davManager, NodeUrl(folderId, NodeUse::kRead, missing), request, response);
  return true;
}

bool CZanDavEngine::GetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& response) {
  verifyConnection();
  XMLSet request =
      PropertyRequest({zan::repo::kHasChildren, zan::repo::kNodeType, zan::repo::kDescription, zan::repo::kName});
  const MissingNode missing{zan::err::kDavNotFound, kNoPropertiesText, "GetBusinessProcessProperties"};
  ReadProperties(m_davManager, NodeUrl(businessProcessId, NodeUse::kRead, missing), request, response);
  return true;
}

bool CZanDavEngine::SetProjectProperties(const std::string& projectId, XMLSet& properties, XMLSet& /*response*/) {
  verifyConnection();
  const std::string url = NodeUrl(projectId, NodeUse::kWrite,
                                  MissingNode{zan::err::kUnknown, kNoPropertyTargetText, "SetProjectProperties"});
  zan::engine::RequireSafeNodeProperties(properties, "SetProjectProperties");
  return m_davManager.setResourceProperties(zan::dav::CollectionUrl(url), properties.getXml());
}

bool CZanDavEngine::SetFolderProperties(const std::string& folderId, XMLSet& properties, XMLSet& /*response*/) {
  verifyConnection();
  if constexpr (zan::engine::kDiagnosticDumps) {
    XMLSet copy(properties);
    zan::engine::DumpSet(copy, "SetFolderProperties_newProps");
  }
  const std::string url = NodeUrl(folderId, NodeUse::kWrite,
                                  MissingNode{zan::err::kUnknown, kNoPropertyTargetText, "SetFolderProperties"});
  zan::engine::RequireSafeNodeProperties(properties, "SetFolderProperties");
  return m_davManager.setResourceProperties(zan::dav::CollectionUrl(url), properties.getXml());
}

bool CZanDavEngine::SetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& properties,
                                                 XMLSet& /*response*/) {
  verifyConnection();
  const std::string url = NodeUrl(businessProcessId, NodeUse::kWrite,
                                  MissingNode{zan::err::kUnknown, kNoPropertyTargetText, "SetBusinessProcessProperties"});
  zan::engine::RequireSafeNodeProperties(properties, "SetBusinessProcessProperties");
  return m_davManager.setResourceProperties(zan::dav::CollectionUrl(url), properties.getXml());
}
