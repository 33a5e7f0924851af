// The repository's fixed names: node properties, node kinds, flag values, and the names of
// the documents and collections that the engine places on the server.
#ifndef ZAN_ENGINE_REPOSITORYNAMES_H_
#define ZAN_ENGINE_REPOSITORYNAMES_H_

namespace zan::repo {

// Node properties (namespace "DAV:").
inline constexpr char kNodeType[] = "ZAN_NODE_TYPE";
inline constexpr char kName[] = "ZAN_NAME";
inline constexpr char kHasChildren[] = "ZAN_HAS_CHILDREN";
inline constexpr char kDescription[] = "ZAN_DESCRIPTION";

// Node kinds. The root kind is named but neither written nor read.
inline constexpr char kRootKind[] = "ZAN_ROOT";
inline constexpr char kProjectKind[] = "ZAN_PROJECT";
inline constexpr char kFolderKind[] = "ZAN_FOLDER";
inline constexpr char kBusinessProcessKind[] = "ZAN_BP";

// Has-children values.
inline constexpr char kTrue[] = "TRUE";
inline constexpr char kFalse[] = "FALSE";

// Resources inside nodes and on the server root.
inline constexpr char kAppFiles[] = "AppFiles";
// An upload builds the new AppFiles tree beside the old one, in a collection whose name
// starts so and ends in a random token (no file or node takes it by chance). Letters, digits,
// '.' and '-' only: a server that keeps collections as directories of a Windows file system
// must store it as itself (there "AppFiles:..." would name a stream of AppFiles).
inline constexpr char kAppFilesStagingPrefix[] = "AppFiles.upload-";
// The name the replaced AppFiles has between the swap and its removal (as unique as the staging name).
inline constexpr char kAppFilesRetiredPrefix[] = "AppFiles.replaced-";
inline constexpr char kMbpBaseName[] = "MBP";
inline constexpr char kMbpFile[] = "MBP.xml";
inline constexpr char kMprFile[] = "MPR.xml";
inline constexpr char kMbpTemplates[] = "Templates";  // holds the MBP template
inline constexpr char kMprTemplates[] = "Templates";  // holds the MPR template

// Node kind codes of CZanDavEngine::BuildNodeProperties.
inline constexpr int kProjectCode = 1;
inline constexpr int kFolderCode = 2;
inline constexpr int kBusinessProcessCode = 3;

}  // namespace zan::repo

#endif
