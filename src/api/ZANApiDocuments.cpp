// CZANApi: the operations on the two repository documents, the MBP document of a business
// process and the project-information document of a project. Their errors gain the context
// CZANApi::<operation> before they are reported.
#include <string>

#include "api/ZANApi.h"
#include "base/GenException.h"
#include "engine/RepositoryNames.h"
#include "platform/com/bstr.h"
#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"
#include "xml/XMLSet.h"

namespace {
std::string Arg(BSTR b) { return zan::BstrToString(b); }
}  // namespace

HRESULT CZANApi::SetMBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR MBP, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("SetMBP", Catch::kDocument, serverUrl, [&] {
    XMLSet response;
    CMBPEntity changed;
    changed.loadXml(zan::BstrView(MBP));
    RequireDone(m_engine->SetBusinessProcessMBP(Arg(BusinessProcessId), changed, response),
                "SetMBP", Arg(BusinessProcessId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::GetMBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR* MBP) {
  if (!MBP) return E_POINTER;
  return Run("GetMBP", Catch::kDocument, serverUrl, [&] {
    CMBPEntity entity;
    RequireDone(m_engine->GetBusinessProcessMBP(Arg(BusinessProcessId), entity), "GetMBP", Arg(BusinessProcessId));
    SetResult(MBP, entity.getXml());
  });
}

HRESULT CZANApi::SetProjectInfo(BSTR serverUrl, BSTR ProjectId, BSTR ProjectInfo, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("SetProjectInfo", Catch::kDocument, serverUrl, [&] {
    XMLSet response;
    CProjectInfoEntity changed;
    changed.loadXml(zan::BstrView(ProjectInfo));
    RequireDone(m_engine->SetProjectInfo(Arg(ProjectId), changed, response), "SetProjectInfo", Arg(ProjectId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::GetProjectInfo(BSTR serverUrl, BSTR ProjectId, BSTR* ProjectInfo) {
  if (!ProjectInfo) return E_POINTER;
  return Run("GetProjectInfo", Catch::kDocument, serverUrl, [&] {
    CProjectInfoEntity entity;
    RequireDone(m_engine->GetProjectInfo(Arg(ProjectId), entity), "GetProjectInfo", Arg(ProjectId));
    SetResult(ProjectInfo, entity.getXml());
  });
}

HRESULT CZANApi::SetMBPFile(BSTR serverUrl, BSTR BusinessProcessId, BSTR BPFile, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("SetMBPFile", Catch::kDocument, serverUrl, [&] {
    XMLSet response, file;
    CMBPEntity changed;
    // The entity receives the file as the item set re-serialises it. A path that names no
    // readable document fails here, before the stored document is read or written.
    file.loadFromFile(Arg(BPFile));
    changed.loadXml(file.getXml());
    RequireDone(m_engine->SetBusinessProcessMBP(Arg(BusinessProcessId), changed, response),
                "SetMBPFile", Arg(BusinessProcessId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::GetMBPFile(BSTR serverUrl, BSTR BusinessProcessId, BSTR MBPFile) {
  return Run("GetMBPFile", Catch::kDocument, serverUrl, [&] {
    // An empty directory would put the file at the root of the file system.
    if (Arg(MBPFile).empty()) throw CGenException("No local directory was given", zan::err::kUnknown, "", "");
    CMBPEntity entity;
    RequireDone(m_engine->GetBusinessProcessMBP(Arg(BusinessProcessId), entity), "GetMBPFile", Arg(BusinessProcessId));
    XMLSet file;
    file.loadXml(entity.getXml());
    file.saveToFile(Arg(MBPFile) + "/" + zan::repo::kMbpBaseName);
  });
}
