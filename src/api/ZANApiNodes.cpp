// CZANApi: the operations on nodes, their properties and listings, the transfers, and the two
// operations that do nothing (Delete, Move).
#include <string>

#include "api/ZANApi.h"
#include "base/GenException.h"
#include "platform/com/bstr.h"
#include "platform/os/alert.h"
#include "xml/XMLSet.h"

namespace {

std::string Arg(BSTR b) { return zan::BstrToString(b); }

// The caller's properties text, parsed. Text that does not parse (empty text included) is
// refused with 1003 before the server is contacted, so no write runs with a set that has no
// content and no creation is left half made.
void LoadProperties(XMLSet& props, BSTR text) {
  props.loadXml(zan::BstrView(text));
  if (!props.getRoot()) throw CGenException(zan::err::kXmlNotValid, "XMLSet passed Xml not valid");
}

// The properties of a creation: the empty default set when the text is empty, else as above.
void LoadOptionalProperties(XMLSet& props, BSTR text) {
  if (SysStringLen(text) != 0) LoadProperties(props, text);
}

}  // namespace

HRESULT CZANApi::CreateFolder(BSTR serverUrl, BSTR Parent, BSTR FolderName, BSTR Properties, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("CreateFolder", Catch::kPlain, serverUrl, [&] {
    XMLSet props, response;
    LoadOptionalProperties(props, Properties);
    RequireDone(m_engine->CreateFolder(Arg(Parent), Arg(FolderName), props, response),
                "CreateFolder", Arg(Parent) + "/" + Arg(FolderName));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::CreateBusinessProcess(BSTR serverUrl, BSTR Parent, BSTR BusinessProcessName, BSTR Properties,
                                       BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("CreateBusinessProcess", Catch::kPlain, serverUrl, [&] {
    XMLSet props, response;
    LoadOptionalProperties(props, Properties);
    RequireDone(m_engine->CreateBusinessProcess(Arg(serverUrl), Arg(Parent), Arg(BusinessProcessName), props, response),
                "CreateBusinessProcess", Arg(Parent) + "/" + Arg(BusinessProcessName));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::Delete(BSTR, BSTR, BSTR*) { return S_OK; }

HRESULT CZANApi::Move(BSTR, BSTR, BSTR, BSTR*) { return S_OK; }

HRESULT CZANApi::UploadBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR LocalDirectory, BSTR* Response) {
  if (!Response) return E_POINTER;
  std::string alertText;
  const HRESULT hr = Run("UploadBP", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    try {
      RequireDone(m_engine->UploadBP(Arg(serverUrl), Arg(BusinessProcessId), Arg(LocalDirectory), response),
                  "UploadBP", Arg(BusinessProcessId));
    } catch (const CGenException& e) {
      alertText = e.GetFullText();
      throw;
    }
    SetResult(Response, response.getXml());
  });
  // Shown after the error is reported, so the alert cannot disturb the error information.
  if (!alertText.empty()) {
    try {
      zan::os::ShowErrorAlert(alertText);
    } catch (...) {  // a failing alert sink does not change the outcome
    }
  }
  return hr;
}

HRESULT CZANApi::CreateProject(BSTR serverUrl, BSTR ProjectName, BSTR Properties, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("CreateProject", Catch::kPlain, serverUrl, [&] {
    XMLSet props, response;
    LoadOptionalProperties(props, Properties);
    RequireDone(m_engine->CreateProject(Arg(serverUrl), Arg(ProjectName), props, response),
                "CreateProject", Arg(ProjectName));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::GetProjectProperties(BSTR serverUrl, BSTR ProjectName, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("GetProjectProperties", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->GetProjectProperties(Arg(ProjectName), response), "GetProjectProperties", Arg(ProjectName));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::SetProjectProperties(BSTR serverUrl, BSTR ProjectName, BSTR Properties, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("SetProjectProperties", Catch::kPlain, serverUrl, [&] {
    XMLSet props, response;
    LoadProperties(props, Properties);
    RequireDone(m_engine->SetProjectProperties(Arg(ProjectName), props, response),
                "SetProjectProperties", Arg(ProjectName));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::SetFolderProperties(BSTR serverUrl, BSTR FolderId, BSTR Properties, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("SetFolderProperties", Catch::kPlain, serverUrl, [&] {
    XMLSet props, response;
    LoadProperties(props, Properties);
    RequireDone(m_engine->SetFolderProperties(Arg(FolderId), props, response), "SetFolderProperties", Arg(FolderId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::SetBusinessProcessProperties(BSTR serverUrl, BSTR BusinessProcessId, BSTR Properties,
                                              BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("SetBusinessProcessProperties", Catch::kPlain, serverUrl, [&] {
    XMLSet props, response;
    LoadProperties(props, Properties);
    RequireDone(m_engine->SetBusinessProcessProperties(Arg(BusinessProcessId), props, response),
                "SetBusinessProcessProperties", Arg(BusinessProcessId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::GetFolderProperties(BSTR serverUrl, BSTR FolderId, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("GetFolderProperties", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->GetFolderProperties(Arg(FolderId), response), "GetFolderProperties", Arg(FolderId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::GetBusinessProcessProperties(BSTR serverUrl, BSTR BusinessProcessId, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("GetBusinessProcessProperties", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->GetBusinessProcessProperties(Arg(BusinessProcessId), response),
                "GetBusinessProcessProperties", Arg(BusinessProcessId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::GetProjects(BSTR serverUrl, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("GetProjects", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->GetProjects(response), "GetProjects", Arg(serverUrl));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::DeleteProject(BSTR serverUrl, BSTR ProjectName, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("DeleteProject", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->Delete(Arg(ProjectName), response), "DeleteProject", Arg(ProjectName));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::DeleteFolder(BSTR serverUrl, BSTR FolderId, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("DeleteFolder", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->Delete(Arg(FolderId), response), "DeleteFolder", Arg(FolderId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::DeleteBusinessProcess(BSTR serverUrl, BSTR BusinessProcessId, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("DeleteBusinessProcess", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->Delete(Arg(BusinessProcessId), response), "DeleteBusinessProcess", Arg(BusinessProcessId));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::GetChildren(BSTR serverUrl, BSTR Parent, BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("GetChildren", Catch::kNamed, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->GetChildren(Arg(Parent), response), "GetChildren", Arg(Parent));
    SetResult(Response, response.getXml());
  });
}

HRESULT CZANApi::DownloadBP(BSTR serverUrl, BSTR BusinessProcessId, BSTR LocalDirectory, BSTR environment,
                            BSTR* Response) {
  if (!Response) return E_POINTER;
  return Run("DownloadBP", Catch::kPlain, serverUrl, [&] {
    XMLSet response;
    RequireDone(m_engine->DownloadBP(Arg(serverUrl), Arg(BusinessProcessId), Arg(LocalDirectory), Arg(environment), response),
                "DownloadBP", Arg(BusinessProcessId));
    SetResult(Response, response.getXml());
  });
}
