#include "cli/operations.h"

namespace zancli {

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> ops = {
      {"CreateFolder", {"Parent", "FolderName", "Properties"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->CreateFolder(u, in[0], in[1], in[2], o); }},
      {"CreateBusinessProcess", {"Parent", "BusinessProcessName", "Properties"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) {
         return a->CreateBusinessProcess(u, in[0], in[1], in[2], o);
       }},
      {"Delete", {"Parent"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->Delete(u, in[0], o); }},
      {"Move", {"SourceParent", "DestinationParent"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->Move(u, in[0], in[1], o); }},
      {"UploadBP", {"BusinessProcessId", "LocalDirectory"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->UploadBP(u, in[0], in[1], o); }},
      {"CreateProject", {"ProjectName", "Properties"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->CreateProject(u, in[0], in[1], o); }},
      {"GetProjectProperties", {"ProjectName"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->GetProjectProperties(u, in[0], o); }},
      {"SetProjectProperties", {"ProjectName", "Properties"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->SetProjectProperties(u, in[0], in[1], o); }},
      {"SetFolderProperties", {"FolderId", "Properties"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->SetFolderProperties(u, in[0], in[1], o); }},
      {"SetBusinessProcessProperties", {"BusinessProcessId", "Properties"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) {
         return a->SetBusinessProcessProperties(u, in[0], in[1], o);
       }},
      {"GetFolderProperties", {"FolderId"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->GetFolderProperties(u, in[0], o); }},
      {"GetBusinessProcessProperties", {"BusinessProcessId"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->GetBusinessProcessProperties(u, in[0], o); }},
      {"GetProjects", {}, "Response",
       [](IZANApi* a, BSTR u, const BSTR*, BSTR* o) { return a->GetProjects(u, o); }},
      {"DeleteProject", {"ProjectName"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->DeleteProject(u, in[0], o); }},
      {"DeleteFolder", {"FolderId"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->DeleteFolder(u, in[0], o); }},
      {"DeleteBusinessProcess", {"BusinessProcessId"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->DeleteBusinessProcess(u, in[0], o); }},
      {"SetMBP", {"BusinessProcessId", "MBP"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->SetMBP(u, in[0], in[1], o); }},
      {"GetMBP", {"BusinessProcessId"}, "MBP",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->GetMBP(u, in[0], o); }},
      {"SetProjectInfo", {"ProjectId", "ProjectInfo"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->SetProjectInfo(u, in[0], in[1], o); }},
      {"GetProjectInfo", {"ProjectId"}, "ProjectInfo",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->GetProjectInfo(u, in[0], o); }},
      {"GetChildren", {"Parent"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->GetChildren(u, in[0], o); }},
      {"SetMBPFile", {"BusinessProcessId", "BPFile"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->SetMBPFile(u, in[0], in[1], o); }},
      {"GetMBPFile", {"BusinessProcessId", "MBPFile"}, nullptr,
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR*) { return a->GetMBPFile(u, in[0], in[1]); }},
      {"DownloadBP", {"BusinessProcessId", "LocalDirectory", "environment"}, "Response",
       [](IZANApi* a, BSTR u, const BSTR* in, BSTR* o) { return a->DownloadBP(u, in[0], in[1], in[2], o); }},
  };
  return ops;
}

const Operation* FindOperation(std::string_view name) {
  for (const Operation& op : Operations())
    if (name == op.name) return &op;
  return nullptr;
}

}  // namespace zancli
