// A stand-in engine for the API object's tests: records each call with its arguments, fills
// responses with one item naming the operation, and raises a chosen failure on request. The
// log and the settings live in a Script that outlives the engine (the object owns the engine).
#ifndef ZAN_TESTS_API_FAKE_ENGINE_H_
#define ZAN_TESTS_API_FAKE_ENGINE_H_

#include <functional>
#include <string>
#include <vector>

#include "engine/ZanEngine.h"

namespace zan::test {

struct EngineScript {
  std::vector<std::string> calls;  // "Op(arg,arg,...)" in call order; IsConnected is not logged
  std::string serverUrl;           // stored by InitToZanServer before it fails or succeeds
  bool initResult = true;
  bool result = true;  // what every other operation returns
  // Called with the operation's name after it is logged; may throw.
  std::function<void(const std::string& op)> fault;
  std::string document = "<mbp><bp id=\"x\"/></mbp>";  // loaded into entities that are read

  std::string Calls() const;  // the log joined by " "
};

class FakeEngine final : public CZanEngine {
 public:
  explicit FakeEngine(EngineScript& script) : s_(script) {}

  bool InitToZanServer(const std::string& serverUrl, XMLSet& scratch) override;
  bool GetChildren(const std::string& parentId, XMLSet& response) override;
  bool GetProjects(XMLSet& response) override;
  bool CreateFolder(const std::string& parentId, const std::string& name, XMLSet& properties,
                    XMLSet& response) override;
  bool CreateProject(const std::string& connectionUrl, const std::string& name, XMLSet& properties,
                     XMLSet& response) override;
  bool CreateBusinessProcess(const std::string& connectionUrl, const std::string& parentId, const std::string& name,
                             XMLSet& properties, XMLSet& response) override;
  bool Delete(const std::string& itemId, XMLSet& response) override;
  bool Move(const std::string& sourceId, const std::string& destinationParentId, XMLSet& response) override;
  bool DownloadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                  const std::string& localDirectory, const std::string& environment, XMLSet& response) override;
  bool UploadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                const std::string& localDirectory, XMLSet& response) override;
  bool GetProjectProperties(const std::string& projectId, XMLSet& response) override;
  bool GetFolderProperties(const std::string& folderId, XMLSet& response) override;
  bool GetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& response) override;
  bool SetProjectProperties(const std::string& projectId, XMLSet& properties, XMLSet& response) override;
  bool SetFolderProperties(const std::string& folderId, XMLSet& properties, XMLSet& response) override;
  bool SetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& properties,
                                    XMLSet& response) override;
  bool IsConnected(const std::string& serverUrl) override { return serverUrl == s_.serverUrl; }
  bool GetBusinessProcessMBP(const std::string& businessProcessId, CMBPEntity& entity) override;
  bool SetBusinessProcessMBP(const std::string& businessProcessId, const CMBPEntity& changed,
                             XMLSet& response) override;
  bool GetProjectInfo(const std::string& projectId, CProjectInfoEntity& entity) override;
  bool SetProjectInfo(const std::string& projectId, const CProjectInfoEntity& changed, XMLSet& response) override;
  std::string GetMBPTemplate() override { return {}; }
  bool CreateBusinessProcessFromMBP(const std::string& connectionUrl, const std::string& parentId,
                                    const std::string& name, const CMBPEntity& document, XMLSet& response) override;
  std::string GetServerUrl() override { return s_.serverUrl; }

 private:
  // Logs op(args), runs the fault, and adds the item ("Called", op) to response if given.
  bool Call(const std::string& op, const std::vector<std::string>& args, XMLSet* response);

  EngineScript& s_;
};

}  // namespace zan::test

#endif
