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
// starts so; ':' cannot stand in a file name that came from a Windows directory, nor in a
// node name, so no user file or node can take it.
inline constexpr char kAppFilesStagingPrefix[] = "AppFiles:upload-";
// The old AppFiles tree stands aside under this prefix (and the upload's token) while the
// new tree takes its name; it is removed once the new tree is in place.
inline constexpr char kAppFilesReplacedPrefix[] = "AppFiles:replaced-";
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
