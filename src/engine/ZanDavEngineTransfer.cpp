// CZanDavEngine: copying a business process's AppFiles tree to and from a local directory.
#include "base/GenException.h"
#include "engine/NodeIds.h"
#include "engine/RepositoryNames.h"
#include "engine/ZanDavEngine.h"
#include "platform/ado/ado_errors.h"

namespace {
constexpr char kClass[] = "CZanDavEngine";
constexpr long kCopyOverwrite = 1;  // adCopyOverWrite
// How each transfer reports a business process that does not exist (and so a refused id).
constexpr zan::engine::MissingNode kMissingDownload{static_cast<int32_t>(zan::ado::kAdErrUrlDoesNotExist),
                                                    "The resource does not exist:", "DownloadBP"};
constexpr zan::engine::MissingNode kMissingUpload{
    zan::err::kUnknown, "An error has occured, check file names,directories names and net connections", "UploadBP"};
}  // namespace

bool CZanDavEngine::DownloadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                               const std::string& localDirectory, const std::string& environment,
                               XMLSet& /*response*/) {
  try {
    verifyConnection();
    const std::string source =
        NodeUrl(businessProcessId, zan::engine::NodeUse::kRead, kMissingDownload) + "/" + zan::repo::kAppFiles;
    std::string parameterFile;
    std::string defaultCfg;
    // The environment's names come from the stored document; an environment it does not
    // describe fails here, before anything is copied.
    CMBPEntity document;
    if (GetBusinessProcessMBP(businessProcessId, document)) {
      parameterFile = document.getParameterFileName(environment);
      defaultCfg = document.getConfigFileName(environment);
    }
    return m_davManager.DirUploadDownload(connectionUrl, source, localDirectory, parameterFile, defaultCfg,
                                          kCopyOverwrite);
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "DownloadBP");
  }
}

bool CZanDavEngine::UploadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                             const std::string& localDirectory, XMLSet& /*response*/) {
  try {
    verifyConnection();
    const std::string destination =
        NodeUrl(businessProcessId, zan::engine::NodeUse::kWrite, kMissingUpload) + "/" + zan::repo::kAppFiles;
    return m_davManager.DirUploadDownload(connectionUrl, localDirectory, destination, "", "", kCopyOverwrite);
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "UploadBP");
  }
}
