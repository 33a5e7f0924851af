// CZanEngine: the repository engine interface, the model of the repository on one server.
// The API object owns one engine and calls one operation per API operation. Results say
// whether an operation did its work; every real failure is thrown as a CGenException (or,
// where the implementation says so, a platform _com_error). One thread at a time.
#ifndef ZAN_ENGINE_ZANENGINE_H_
#define ZAN_ENGINE_ZANENGINE_H_

#include <string>

#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"
#include "xml/XMLSet.h"

class CZanEngine {
 public:
  virtual ~CZanEngine() = default;

  // Connects to serverUrl: stores it, then reads the server's templates. scratch is unused.
  virtual bool InitToZanServer(const std::string& serverUrl, XMLSet& scratch) = 0;
  // Appends one inner set per child of the node (ZAN_NAME, ZAN_NODE_TYPE, ZAN_HAS_CHILDREN).
  virtual bool GetChildren(const std::string& parentId, XMLSet& response) = 0;
  // GetChildren of the server root.
  virtual bool GetProjects(XMLSet& response) = 0;
  virtual bool CreateFolder(const std::string& parentId, const std::string& name, XMLSet& properties,
                            XMLSet& response) = 0;
  // connectionUrl is the server URL as the caller passed it; it only opens record copies.
  virtual bool CreateProject(const std::string& connectionUrl, const std::string& name, XMLSet& properties,
                             XMLSet& response) = 0;
  virtual bool CreateBusinessProcess(const std::string& connectionUrl, const std::string& parentId,
                                     const std::string& name, XMLSet& properties, XMLSet& response) = 0;
  virtual bool Delete(const std::string& itemId, XMLSet& response) = 0;
  // Does nothing and returns true.
  virtual bool Move(const std::string& sourceId, const std::string& destinationParentId, XMLSet& response) = 0;
  virtual bool DownloadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                          const std::string& localDirectory, const std::string& environment, XMLSet& response) = 0;
  virtual bool UploadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                        const std::string& localDirectory, XMLSet& response) = 0;
  virtual bool GetProjectProperties(const std::string& projectId, XMLSet& response) = 0;
  virtual bool GetFolderProperties(const std::string& folderId, XMLSet& response) = 0;
  virtual bool GetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& response) = 0;
  virtual bool SetProjectProperties(const std::string& projectId, XMLSet& properties, XMLSet& response) = 0;
  virtual bool SetFolderProperties(const std::string& folderId, XMLSet& properties, XMLSet& response) = 0;
  virtual bool SetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& properties,
                                            XMLSet& response) = 0;
  // True when the current server URL equals serverUrl byte for byte.
  virtual bool IsConnected(const std::string& serverUrl) = 0;
  // Fills entity with the stored MBP document, its /mbp/bp/@id set to the id.
  virtual bool GetBusinessProcessMBP(const std::string& businessProcessId, CMBPEntity& entity) = 0;
  // Merges the marked changes of changed into the stored MBP document, stores the result and
  // loads it into response. changed is not modified.
  virtual bool SetBusinessProcessMBP(const std::string& businessProcessId, const CMBPEntity& changed,
                                     XMLSet& response) = 0;
  virtual bool GetProjectInfo(const std::string& projectId, CProjectInfoEntity& entity) = 0;
  virtual bool SetProjectInfo(const std::string& projectId, const CProjectInfoEntity& changed, XMLSet& response) = 0;
  // The text of the MBP template read at connection.
  virtual std::string GetMBPTemplate() = 0;
  virtual bool CreateBusinessProcessFromMBP(const std::string& connectionUrl, const std::string& parentId,
                                            const std::string& name, const CMBPEntity& document, XMLSet& response) = 0;
  // The current server URL; empty when not connected.
  virtual std::string GetServerUrl() = 0;
};

#endif
