// CZanDavEngine: copying a business process's AppFiles tree to and from a local directory.
#include <cstdint>
#include <cstdio>
#include <random>

#include "base/FileUtils.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "engine/NodeIds.h"
#include "engine/RepositoryNames.h"
#include "engine/ZanDavEngine.h"
#include "platform/ado/ado_errors.h"
#include "platform/os/codepage.h"

namespace {
constexpr char kClass[] = "CZanDavEngine";
constexpr long kCopyOverwrite = 1;  // adCopyOverWrite
// How each transfer reports a business process that does not exist (and so a refused id).
constexpr zan::engine::MissingNode kMissingDownload{static_cast<int32_t>(zan::ado::kAdErrUrlDoesNotExist),
                                                    "The resource does not exist:", "DownloadBP"};
constexpr zan::engine::MissingNode kMissingUpload{
    zan::err::kUnknown, "An error has occured, check file names,directories names and net connections", "UploadBP"};

// A token of its own for each upload, so that two uploads never share a staging collection.
std::string UploadToken() {
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
                                          kCopyOverwrite))
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
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "DownloadBP");
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
    // complete; the old tree stays whole on every path that fails.
    const std::string token = UploadToken();
    const std::string destination = item + "/" + zan::repo::kAppFiles;
    const std::string staging = item + "/" + zan::repo::kAppFilesStagingPrefix + token;
    const std::string aside = item + "/" + zan::repo::kAppFilesReplacedPrefix + token;
    const std::string destinationUrl = zan::dav::CollectionUrl(destination);
    const std::string stagingUrl = zan::dav::CollectionUrl(staging);
    const std::string asideUrl = zan::dav::CollectionUrl(aside);
    bool oldStandsAside = false;
    // Puts the old tree back under its name; "" when done, else why not.
    const auto putBack = [&]() -> std::string {
      try {
        m_davManager.MoveItem(connectionUrl, asideUrl, destinationUrl, false);
        return "";
      } catch (CGenException& e) {
        return e.GetErrorDescription();
      } catch (...) {
        return "Unknown Error.";
      }
    };
    try {
      if (!m_davManager.DirUploadDownload(connectionUrl, localDirectory, staging, "", "", kCopyOverwrite))
        throw CGenException("The upload of " + localDirectory + " to " + staging + " did not complete",
                            zan::err::kUnknown, kClass, "UploadBP");
      // The old tree steps aside and the new one takes its name, in two MOVEs that never
      // overwrite: a server may merge two collections on an overwriting MOVE (lighttpd does),
      // which would keep files the new tree does not have.
      try {
        m_davManager.MoveItem(connectionUrl, destinationUrl, asideUrl, false);
        oldStandsAside = true;
      } catch (CGenException& e) {
        if (e.GetErrorCode() != static_cast<int32_t>(zan::ado::kAdErrUrlDoesNotExist)) throw;  // no old tree
      }
      m_davManager.MoveItem(connectionUrl, stagingUrl, destinationUrl, false);
    } catch (CGenException& e) {
      std::string leftOvers;
      if (oldStandsAside) {
        const std::string notBack = putBack();
        if (!notBack.empty()) leftOvers += " .The previous AppFiles is kept as " + aside + ": " + notBack;
      }
      const std::string leftOver = m_davManager.RemoveIfPresent(connectionUrl, stagingUrl);
      if (!leftOver.empty()) leftOvers += " .The staging collection " + staging + " could not be removed: " + leftOver;
      if (leftOvers.empty()) throw;
      e.Rethrow(e.GetErrorDescription() + leftOvers, e.GetErrorCode(), kClass, "UploadBP");
    } catch (...) {
      if (oldStandsAside) putBack();
      m_davManager.RemoveIfPresent(connectionUrl, stagingUrl);
      throw;
    }
    const std::string leftOver = m_davManager.RemoveIfPresent(connectionUrl, asideUrl);
    if (!leftOver.empty())
      throw CGenException("The new AppFiles is in place, but the replaced tree " + aside +
                              " could not be removed: " + leftOver,
                          zan::err::kUnknown, kClass, "UploadBP");
    return true;
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "UploadBP");
  }
}

bool CZanDavEngine::IsMissing(const std::string& url) {
  try {
    XMLSet request, found;
    request.addItem("displayname", "");
    m_davManager.findResourceProperties(zan::os::MultiByteToWide(url), request.getXmlW(), u"0", found);
    return false;
  } catch (const CGenException& e) {
    return e.GetErrorCode() == zan::err::kDavNotFound;
  } catch (...) {
    return false;
  }
}
