#include "fake_engine.h"

#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"
#include "xml/XMLSet.h"

namespace zan::test {

std::string EngineScript::Calls() const {
  std::string out;
  for (const std::string& c : calls) out += (out.empty() ? "" : " ") + c;
  return out;
}

bool FakeEngine::Call(const std::string& op, const std::vector<std::string>& args, XMLSet* response) {
  std::string entry = op + "(";
  for (size_t i = 0; i < args.size(); ++i) entry += (i ? "," : "") + args[i];
  s_.calls.push_back(entry + ")");
  if (s_.fault) s_.fault(op);
  if (response) response->addItem("Called", op);
  return s_.result;
}

bool FakeEngine::InitToZanServer(const std::string& serverUrl, XMLSet&) {
  s_.serverUrl = serverUrl;
  Call("Init", {serverUrl}, nullptr);
  return s_.initResult;
}
bool FakeEngine::GetChildren(const std::string& parentId, XMLSet& response) {
  return Call("GetChildren", {parentId}, &response);
}
bool FakeEngine::GetProjects(XMLSet& response) { return Call("GetProjects", {}, &response); }
bool FakeEngine::CreateFolder(const std::string& parentId, const std::string& name, XMLSet& properties,
                              XMLSet& response) {
  return Call("CreateFolder", {parentId, name, properties.getXml()}, &response);
}
bool FakeEngine::CreateProject(const std::string& connectionUrl, const std::string& name, XMLSet& properties,
                               XMLSet& response) {
  return Call("CreateProject", {connectionUrl, name, properties.getXml()}, &response);
}
bool FakeEngine::CreateBusinessProcess(const std::string& connectionUrl, const std::string& parentId,
                                       const std::string& name, XMLSet& properties, XMLSet& response) {
  return Call("CreateBusinessProcess", {connectionUrl, parentId, name, properties.getXml()}, &response);
}
bool FakeEngine::Delete(const std::string& itemId, XMLSet& response) { return Call("Delete", {itemId}, &response); }
bool FakeEngine::Move(const std::string& sourceId, const std::string& destinationParentId, XMLSet& response) {
  return Call("Move", {sourceId, destinationParentId}, &response);
}
bool FakeEngine::DownloadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                            const std::string& localDirectory, const std::string& environment, XMLSet& response) {
  return Call("DownloadBP", {connectionUrl, businessProcessId, localDirectory, environment}, &response);
}
bool FakeEngine::UploadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                          const std::string& localDirectory, XMLSet& response) {
  return Call("UploadBP", {connectionUrl, businessProcessId, localDirectory}, &response);
}
bool FakeEngine::GetProjectProperties(const std::string& projectId, XMLSet& response) {
  return Call("GetProjectProperties", {projectId}, &response);
}
bool FakeEngine::GetFolderProperties(const std::string& folderId, XMLSet& response) {
  return Call("GetFolderProperties", {folderId}, &response);
}
bool FakeEngine::GetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& response) {
  return Call("GetBusinessProcessProperties", {businessProcessId}, &response);
}
bool FakeEngine::SetProjectProperties(const std::string& projectId, XMLSet& properties, XMLSet& response) {
  return Call("SetProjectProperties", {projectId, properties.getXml()}, &response);
}
bool FakeEngine::SetFolderProperties(const std::string& folderId, XMLSet& properties, XMLSet& response) {
  return Call("SetFolderProperties", {folderId, properties.getXml()}, &response);
}
bool FakeEngine::SetBusinessProcessProperties(const std::string& businessProcessId, XMLSet& properties,
                                              XMLSet& response) {
  return Call("SetBusinessProcessProperties", {businessProcessId, properties.getXml()}, &response);
}
bool FakeEngine::GetBusinessProcessMBP(const std::string& businessProcessId, CMBPEntity& entity) {
  Call("GetBusinessProcessMBP", {businessProcessId}, nullptr);
  entity.loadXml(std::string_view(s_.document));
  return s_.result;
}
bool FakeEngine::SetBusinessProcessMBP(const std::string& businessProcessId, const CMBPEntity& changed,
                                       XMLSet& response) {
  return Call("SetBusinessProcessMBP", {businessProcessId, changed.getXml()}, &response);
}
bool FakeEngine::GetProjectInfo(const std::string& projectId, CProjectInfoEntity& entity) {
  Call("GetProjectInfo", {projectId}, nullptr);
  entity.loadXml(std::string_view(s_.document));
  return s_.result;
}
bool FakeEngine::SetProjectInfo(const std::string& projectId, const CProjectInfoEntity& changed, XMLSet& response) {
  return Call("SetProjectInfo", {projectId, changed.getXml()}, &response);
}
bool FakeEngine::CreateBusinessProcessFromMBP(const std::string& connectionUrl, const std::string& parentId,
                                              const std::string& name, const CMBPEntity& document,
                                              XMLSet& response) {
  return Call("CreateBusinessProcessFromMBP", {connectionUrl, parentId, name, document.getXml()}, &response);
}

}  // namespace zan::test
