#include "api/ZANApiTypeInfo.h"

#include <initializer_list>
#include <string>

#include "zanclient/ZANClient_ids.h"

namespace zan::api {

namespace {

// One method: its name, DISPID, the in parameters after serverUrl, and the out-retval
// parameter's name (null for none). Slots follow the table's order.
struct Row {
  const char* name;
  DISPID dispid;
  std::initializer_list<const char*> in;
  const char* out;
};

tlb::InterfaceDesc MakeIZANApi() {
  const Row rows[] = {
      {"CreateFolder", 2, {"Parent", "FolderName", "Properties"}, "Response"},
      {"CreateBusinessProcess", 3, {"Parent", "BusinessProcessName", "Properties"}, "Response"},
      {"Delete", 4, {"Parent"}, "Response"},
      {"Move", 5, {"SourceParent", "DestinationParent"}, "Response"},
      {"UploadBP", 7, {"BusinessProcessId", "LocalDirectory"}, "Response"},
      {"CreateProject", 8, {"ProjectName", "Properties"}, "Response"},
      {"GetProjectProperties", 9, {"ProjectName"}, "Response"},
      {"SetProjectProperties", 10, {"ProjectName", "Properties"}, "Response"},
      {"SetFolderProperties", 11, {"FolderId", "Properties"}, "Response"},
      {"SetBusinessProcessProperties", 12, {"BusinessProcessId", "Properties"}, "Response"},
      {"GetFolderProperties", 13, {"FolderId"}, "Response"},
      {"GetBusinessProcessProperties", 14, {"BusinessProcessId"}, "Response"},
      {"GetProjects", 15, {}, "Response"},
      {"DeleteProject", 16, {"ProjectName"}, "Response"},
      {"DeleteFolder", 17, {"FolderId"}, "Response"},
      {"DeleteBusinessProcess", 18, {"BusinessProcessId"}, "Response"},
      {"SetMBP", 19, {"BusinessProcessId", "MBP"}, "Response"},
      {"GetMBP", 20, {"BusinessProcessId"}, "MBP"},
      {"SetProjectInfo", 21, {"ProjectId", "ProjectInfo"}, "Response"},
      {"GetProjectInfo", 22, {"ProjectId"}, "ProjectInfo"},
      {"GetChildren", 23, {"Parent"}, "Response"},
      {"SetMBPFile", 25, {"BusinessProcessId", "BPFile"}, "Response"},
      {"GetMBPFile", 26, {"BusinessProcessId", "MBPFile"}, nullptr},
      {"DownloadBP", 27, {"BusinessProcessId", "LocalDirectory", "environment"}, "Response"},
  };
  tlb::InterfaceDesc itf;
  itf.iid = zanclient::kIidIZANApi;
  itf.name = "IZANApi";
  itf.helpString = "IZANApi Interface";
  itf.dual = true;
  UINT slot = tlb::kFirstMethodSlot;
  for (const Row& row : rows) {
    tlb::MethodDesc m;
    m.name = row.name;
    m.dispid = row.dispid;
    m.vtableSlot = slot++;
    m.params.push_back({"serverUrl", false});
    for (const char* p : row.in) m.params.push_back({p, false});
    if (row.out) m.params.push_back({row.out, true});
    m.helpString = std::string("method ") + row.name;
    itf.methods.push_back(std::move(m));
  }
  return itf;
}

tlb::TypeLibDesc MakeLibrary() {
  tlb::TypeLibDesc lib;
  lib.libid = zanclient::kLibidZANCLIENTLib;
  lib.majorVersion = 1;
  lib.minorVersion = 0;
  lib.lcid = 0;
  lib.name = "ZANCLIENTLib";
  lib.helpString = "ZANClient 1.0 Type Library";
  lib.interfaces.push_back(MakeIZANApi());
  lib.coclasses.push_back({zanclient::kClsidZANApi, "ZANApi", "ZANApi Class", zanclient::kIidIZANApi});
  return lib;
}

}  // namespace

const tlb::TypeLibDesc& ZANClientTypeLib() {
  static const tlb::TypeLibDesc lib = MakeLibrary();
  return lib;
}

}  // namespace zan::api
