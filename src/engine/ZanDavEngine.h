// CZanDavEngine: the repository engine on a WebDAV server. It knows where projects,
// folders, business processes and their documents live under the server URL R, which
// properties describe a node, and in which order the server is touched. Every server access
// goes through its CDavADOManager. Not connected until InitToZanServer; nothing disconnects
// it. Non-copyable; one thread at a time (two engines may run on two threads).
//
// Documents are updated under a short exclusive WebDAV lock held from the read of the stored
// document to the write of the merged one, so concurrent updaters of one document each merge
// into what the previous one stored (see DocumentUpdate.h).
#ifndef ZAN_ENGINE_ZANDAVENGINE_H_
#define ZAN_ENGINE_ZANDAVENGINE_H_

#include <string>

#include "dav/DavADOManager.h"
#include "engine/DocumentUpdate.h"
#include "engine/NodeIds.h"
#include "engine/ZanEngine.h"
#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"
#include "xml/XMLSet.h"

class CZanDavEngine : public CZanEngine {
 public:
  // Not connected. With ZAN_DEVELOPMENT_WARNING defined at build time, shows the
  // development-mode warning in the error alert.
  CZanDavEngine();
  ~CZanDavEngine() override = default;
  CZanDavEngine(const CZanDavEngine&) = delete;
  CZanDavEngine& operator=(const CZanDavEngine&) = delete;

  // Core (ZanDavEngine.cpp). A failed template read raises 104 "Can not Connect to " + URL
  // and leaves the engine not connected, holding nothing of an earlier server.
  bool InitToZanServer(const std::string& serverUrl, XMLSet& scratch) override;
  bool IsConnected(const std::string& serverUrl) override;
  std::string GetServerUrl() override;
  std::string GetMBPTemplate() override;
  bool Move(const std::string& sourceId, const std::string& destinationParentId, XMLSet& response) override;

  // Listing (ZanDavEngineListing.cpp). A missing node raises 102 "Item wasn't found.".
  bool GetChildren(const std::string& parentId, XMLSet& response) override;
  bool GetProjects(XMLSet& response) override;

  // Node operations (ZanDavEngineNodes.cpp).
  bool CreateFolder(const std::string& parentId, const std::string& name, XMLSet& properties,
                    XMLSet& response) override;
  bool CreateProject(const std::string& connectionUrl, const std::string& name, XMLSet& properties,
                     XMLSet& response) override;
  // The caller's properties are not stored: a new process carries only the engine's three.
  bool CreateBusinessProcess(const std::string& connectionUrl, const std::string& parentId, const std::string& name,
                             XMLSet& properties, XMLSet& response) override;
  bool CreateBusinessProcessFromMBP(const std::string& connectionUrl, const std::string& parentId,
                                    const std::string& name, const CMBPEntity& document, XMLSet& response) override;
  bool Delete(const std::string& itemId, XMLSet& response) override;
  bool GetProjectProperties(const std::string& projectId, XMLSet& response) override;
  bool GetFolderProperties(const std::string& folderId, XMLSet& response) override;
  bool GetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& response) override;
  bool SetProjectProperties(const std::string& projectId, XMLSet& properties, XMLSet& response) override;
  bool SetFolderProperties(const std::string& folderId, XMLSet& properties, XMLSet& response) override;
  bool SetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& properties,
                                    XMLSet& response) override;

  // Transfer (ZanDavEngineTransfer.cpp).
  bool DownloadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                  const std::string& localDirectory, const std::string& environment, XMLSet& response) override;
  bool UploadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                const std::string& localDirectory, XMLSet& response) override;

  // Documents (ZanDavEngineDocuments.cpp).
  bool GetBusinessProcessMBP(const std::string& businessProcessId, CMBPEntity& entity) override;
  bool SetBusinessProcessMBP(const std::string& businessProcessId, const CMBPEntity& changed,
                             XMLSet& response) override;
  bool GetProjectInfo(const std::string& projectId, CProjectInfoEntity& entity) override;
  bool SetProjectInfo(const std::string& projectId, const CProjectInfoEntity& changed, XMLSet& response) override;

  // True when connected; otherwise raises 103 "The ZAN Server is not Connected".
  bool verifyConnection();
  // GetServerUrl() + "/" + id without one trailing slash or backslash. Glues only: operations
  // reach node URLs through NodeUrl and CreationParentUrl.
  std::string GetItemUrl(const std::string& itemId);
  // The one way from a node id to a URL: the id is checked first (NodeIds.h) and a refused id
  // raises, before any request, `missing`, the failure the operation gives for a node that
  // does not exist. NodeUrl gives GetItemUrl(id); CreationParentUrl gives GetServerUrl() + "/"
  // + id unchanged, the parent of a creation (a write).
  std::string NodeUrl(const std::string& itemId, zan::engine::NodeUse use, const zan::engine::MissingNode& missing);
  std::string CreationParentUrl(const std::string& parentId, const zan::engine::MissingNode& missing);
  // Appends ZAN_HAS_CHILDREN = "FALSE", ZAN_NAME = name and, for kind code 1, 2 or 3,
  // ZAN_NODE_TYPE = "ZAN_PROJECT", "ZAN_FOLDER" or "ZAN_BP". False (two items appended) for
  // any other code.
  bool BuildNodeProperties(const std::string& name, int kindCode, XMLSet& set);
  // Writes ZAN_HAS_CHILDREN = "TRUE" or "FALSE" on url.
  bool SetHasChildren(const std::string& url, bool hasChildren);
  // Recomputes ZAN_HAS_CHILDREN of the collection from a listing of its own: "TRUE" when a
  // member carries ZAN_NODE_TYPE or ZAN_NAME. Writes nothing and returns false when that
  // listing does not hold the collection's own response (not a whole listing).
  bool RefreshHasChildren(const std::string& collectionUrl);

  // How long a document update holds its lock and waits for another updater's.
  const zan::engine::UpdatePolicy& GetUpdatePolicy() const { return m_updatePolicy; }
  void SetUpdatePolicy(const zan::engine::UpdatePolicy& policy) { m_updatePolicy = policy; }

 private:
  // True only when the server answers 404 for url (any other outcome: false).
  bool IsMissing(const std::string& url);

  CDavADOManager m_davManager;
  std::string m_serverUrl;
  CMBPEntity m_mbpTemplate;
  std::string m_mprTemplateText;
  zan::engine::UpdatePolicy m_updatePolicy;
};

#endif
