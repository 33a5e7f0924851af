// CZanDavEngine: copying a business process's AppFiles tree to and from a local directory.
#include <cstdint>
#include <cstdio>
#include <random>

#include "base/ErrorContext.h"
#include "base/FileUtils.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "engine/NodeIds.h"
#include "engine/RepositoryNames.h"
#include "engine/ZanDavEngine.h"
#include "platform/ado/ado_constants.h"
#include "platform/ado/ado_errors.h"
#include "platform/os/alert.h"

namespace {
constexpr char kClass[] = "CZanDavEngine";
// How each transfer reports a business process that does not exist (and so a refused id).
constexpr zan::engine::MissingNode kMissingDownload{static_cast<int32_t>(zan::ado::kAdErrUrlDoesNotExist),
                                                    "The resource does not exist:", "DownloadBP"};
constexpr zan::engine::MissingNode kMissingUpload{
    zan::err::kUnknown, zan::err::kCheckNamesText, "UploadBP"};

// A token of its own for each upload's staging and retired collections, so that two uploads
// never share one.
std::string UniqueToken() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  char token[17];
  std::snprintf(token, sizeof token, "%016llx", static_cast<unsigned long long>(generator()));
  return token;
}
}  // namespace

bool CZanDavEngine::DownloadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                               const std::string& localDirectory, const std::string& environment,
                               XMLSet& /*response*/) {
  try {
    verifyConnection();
    if (localDirectory.empty()) throw CGenException("No local directory was given", zan::err::kUnknown, kClass, "DownloadBP");
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
    try {
      if (!m_davManager.DirUploadDownload(connectionUrl, source, localDirectory, parameterFile, defaultCfg,
                                          zan::ado::adCopyOverWrite))
        throw CGenException("The download of " + source + " to " + localDirectory + " did not complete",
                            zan::err::kUnknown, kClass, "DownloadBP");
    } catch (CGenException& e) {
      // A process that was never uploaded has no AppFiles: its tree is empty. Any other
      // failure, a vanished member included, stands.
      if (e.GetErrorCode() != zan::err::kDavNotFound || !IsMissing(source)) throw;
      if (!m_davManager.CreateDir(localDirectory))
        throw CGenException("Could not create the local directory " + localDirectory, zan::err::kUnknown, kClass,
                            "DownloadBP");
    }
    return true;
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::OwnErrorsOnly(kClass, "DownloadBP"));
  }
}

bool CZanDavEngine::UploadBP(const std::string& connectionUrl, const std::string& businessProcessId,
                             const std::string& localDirectory, XMLSet& /*response*/) {
  try {
    verifyConnection();
    const std::string item = NodeUrl(businessProcessId, zan::engine::NodeUse::kWrite, kMissingUpload);
    const std::string problem = CFileUtils::LocalDirectoryProblem(localDirectory);
    if (!problem.empty()) throw CGenException(problem, zan::err::kUnknown, kClass, "UploadBP");
    // The new tree is built beside the old AppFiles and takes its place only when it is
    // complete: the old tree moves aside, the new one moves in, the old one is removed. No
    // MOVE replaces an existing collection (some servers merge instead); on every path that
    // fails the old tree is back in place and the staging collection is gone.
    const std::string destination = zan::dav::CollectionUrl(item + "/" + zan::repo::kAppFiles);
    const std::string token = UniqueToken();
    const std::string staging = zan::dav::CollectionUrl(item + "/" + zan::repo::kAppFilesStagingPrefix + token);
    const std::string retired = zan::dav::CollectionUrl(item + "/" + zan::repo::kAppFilesRetiredPrefix + token);
    const int32_t kNotThere = static_cast<int32_t>(zan::ado::kAdErrUrlDoesNotExist);
    // Whether the old tree may stand under the retired name (a MOVE whose reply was lost may
    // have been carried out).
    bool retiredOld = false;
    try {
      if (!m_davManager.DirUploadDownload(connectionUrl, localDirectory, staging, "", "", zan::ado::adCopyOverWrite))
        throw CGenException("The upload of " + localDirectory + " to " + zan::dav::NamedUrl(staging) +
                                " did not complete",
                            zan::err::kUnknown, kClass, "UploadBP");
      try {
        retiredOld = true;
        m_davManager.MoveItem(connectionUrl, destination, retired);
      } catch (const CGenException& e) {
        if (e.GetErrorCode() != kNotThere) throw;
        retiredOld = false;  // no AppFiles yet
      }
      m_davManager.MoveItem(connectionUrl, staging, destination);
    } catch (CGenException& e) {
      std::string problems;
      if (retiredOld) {
        try {
          m_davManager.MoveItem(connectionUrl, retired, destination);
        } catch (const CGenException& restore) {
          if (restore.GetErrorCode() != kNotThere)
            problems += " .The previous AppFiles could not be moved back from " + zan::dav::NamedUrl(retired) + ": " +
                        restore.GetErrorDescription();
        }
      }
      const std::string leftOver = m_davManager.RemoveIfPresent(connectionUrl, staging);
      if (!leftOver.empty())
        problems += " .The staging collection " + zan::dav::NamedUrl(staging) + " could not be removed: " + leftOver;
      if (problems.empty()) throw;
      e.Rethrow(e.GetErrorDescription() + problems, e.GetErrorCode(), kClass, "UploadBP");
    } catch (...) {
      if (retiredOld) {
        try {
          m_davManager.MoveItem(connectionUrl, retired, destination);
        } catch (...) {
        }
      }
      m_davManager.RemoveIfPresent(connectionUrl, staging);
      throw;
    }
    // The new tree is in place and the upload stands; the old tree is only garbage now, so a
    // failed removal is named on the diagnostic stream, not as a failure of the upload.
    if (retiredOld) {
      const std::string leftOver = m_davManager.RemoveIfPresent(connectionUrl, retired);
      if (!leftOver.empty())
        zan::os::ShowErrorAlert("The new AppFiles is in place, but the replaced tree " + zan::dav::NamedUrl(retired) +
                                " could not be removed: " + leftOver);
    }
    return true;
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::OwnErrorsOnly(kClass, "UploadBP"));
  }
}

bool CZanDavEngine::IsMissing(const std::string& url) {
  try {
    XMLSet request, found;
    request.addItem("displayname", "");
    m_davManager.findResourceProperties(url, request.getXml(), "0", found);
    return false;
  } catch (const CGenException& e) {
    return e.GetErrorCode() == zan::err::kDavNotFound;
  } catch (...) {
    return false;
  }
}
