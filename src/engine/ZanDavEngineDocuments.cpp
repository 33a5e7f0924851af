// CZanDavEngine: reading the MBP and project-information documents, and updating them by
// merging a client's marked changes into the stored document under a lock.
#include <exception>
#include <optional>
#include <utility>

#include "base/ErrorContext.h"
#include "base/FileUtils.h"
#include "base/GenException.h"
#include "engine/DiagnosticDump.h"
#include "engine/DocumentUpdate.h"
#include "engine/NodeIds.h"
#include "engine/RepositoryNames.h"
#include "engine/ZanDavEngine.h"
#include "platform/ado/ado_errors.h"
#include "xml/XmlBasicQKParser.h"
#include "xml/ZANDataEntity.h"

namespace {
constexpr char kClass[] = "CZanDavEngine";

// How each document operation reports a document whose node does not exist (and so a
// refused id): the read of the stored document finds nothing.
constexpr zan::engine::MissingNode Missing(const char* method) {
  return {static_cast<int32_t>(zan::ado::kAdErrUrlDoesNotExist), "The resource does not exist:", method};
}

// Merge arguments: the client marks changed elements with dirty="1"; MERGE_ADD alone.
constexpr char kMarkerAttribute[] = "dirty";
constexpr char kMarkerValue[] = "1";
constexpr int kMergeFlags = CXmlBasicQKParser::MERGE_ADD;

struct DumpNames {
  const char* changed;
  const char* stored;
  const char* merged;
  const char* afterChange;
};
constexpr DumpNames kMbpDumps{"SetBusinessProcessMBP_new", "SetBusinessProcessMBP_old", "SetBusinessProcessMBP_Merged",
                              "SetBusinessProcessMBP_afterChange"};
constexpr DumpNames kMprDumps{"SetBusinessProcessMPR_new", "SetBusinessProcessMPR_old", "SetBusinessProcessMPR_Merged",
                              "SetBusinessProcessMPR_afterChange"};

// Loads a document read from the server at url; one that does not parse (malformed, over the
// size cap or nested too deep) is the server's fault: code 1 naming the reason and the URL.
void LoadStored(CZANDataEntity& document, const std::string& text, const std::string& url) {
  document.loadXml(text);
  if (!document.getParser().getRoot())
    throw CGenException("The document on the server cannot be read: " +
                            document.getParser().getDocument().parseErrorReason() +
                            " (GET " + url + ")",
                        zan::err::kUnknown, kClass, "LoadStored");
}

// How many times a read that does not parse is made while each one finds a newer version.
constexpr int kReadsOfAChangingDocument = 4;

// Reads the document stored at url into document. A text that does not parse is read again
// while each read finds a newer version: a server may send a file that another writer
// replaces during the read torn (cut short, under the older version's ETag). A document that
// stays as it is, or keeps changing, fails as LoadStored says.
void ReadStored(CDavADOManager& dav, CZANDataEntity& document, const std::string& url) {
  std::string etag;
  std::string text = dav.GetFileStream(url, &etag);
  for (int read = 1;; ++read) {
    try {
      LoadStored(document, text, url);
      return;
    } catch (...) {
      if (read >= kReadsOfAChangingDocument || etag.empty()) throw;
      const std::exception_ptr failure = std::current_exception();
      std::string newer;
      try {
        text = dav.GetFileStream(url, &newer);
      } catch (...) {
        std::rethrow_exception(failure);  // the document's own failure, not the second read's
      }
      if (zan::engine::SameVersion(newer, etag)) std::rethrow_exception(failure);
      etag = std::move(newer);
    }
  }
}

// Merges changed into the document stored at url, stamps lastmodified, stores the result
// (guarded against other writers, DocumentUpdate.h) and gives the merged document to
// response. False when the write step returns false (response untouched). changed is read,
// never modified; each attempt parses the stored text once and the merged document is not
// parsed again.
template <class Entity>
bool UpdateDocument(CDavADOManager& dav, const std::string& url, const Entity& changed, XMLSet& response,
                    const zan::engine::UpdatePolicy& policy, const DumpNames& dumps) {
  std::optional<Entity> last;  // the merged document of the latest attempt
  const zan::engine::MergeStep merge = [&](const std::string& stored) {
    Entity current;
    LoadStored(current, stored, url);
    if constexpr (zan::engine::kDiagnosticDumps) {
      Entity changedCopy(changed);  // a clone: the dump never touches the client's document
      zan::engine::DumpDocument(changedCopy, dumps.changed);
      zan::engine::DumpDocument(current, dumps.stored);
    }
    current.mergeChanges(changed, kMarkerAttribute, kMarkerValue, kMergeFlags);
    current.setLastModified(GetTimeStamp());
    if constexpr (zan::engine::kDiagnosticDumps) zan::engine::DumpDocument(current, dumps.merged);
    std::string text = current.getXml();
    last = std::move(current);
    return text;
  };
  // A stored document holds the changes when merging them in again changes nothing but the
  // time stamp (which the merge leaves as stored). A text that does not parse (a torn read)
  // confirms nothing: the update reads, merges and writes again.
  const zan::engine::HoldsChanges holds = [&](const std::string& stored) {
    Entity again;
    again.loadXml(stored);
    if (!again.getParser().getRoot()) return false;
    const std::string before = again.getXml();
    again.mergeChanges(changed, kMarkerAttribute, kMarkerValue, kMergeFlags);
    const std::optional<std::string> stamp = again.getParser().getRoot().getAttribute("lastmodified");
    if (stamp) again.setLastModified(*stamp);
    return again.getXml() == before;
  };
  zan::engine::DavDocumentStore store(dav);
  std::string merged;
  if (!zan::engine::UpdateDocument(store, url, policy, merge, merged, holds)) return false;
  if (last) {
    response.adoptDocument(std::move(last->getParser()));
  } else {
    response.loadXml(merged);
  }
  if constexpr (zan::engine::kDiagnosticDumps) {
    try {
      XMLSet afterChange;
      afterChange.loadXml(dav.GetFileStream(url));
      zan::engine::DumpSet(afterChange, dumps.afterChange);
    } catch (...) {  // a dump never changes the outcome
    }
  }
  return true;
}
}  // namespace

bool CZanDavEngine::GetBusinessProcessMBP(const std::string& businessProcessId, CMBPEntity& entity) {
  try {
    const std::string url = CFileUtils::ToForwardSlashes(
        NodeUrl(businessProcessId, zan::engine::NodeUse::kRead, Missing("GetBusinessProcessMBP")) + "/" +
        zan::repo::kMbpFile);
    verifyConnection();
    ReadStored(m_davManager, entity, url);
    entity.setBPId(businessProcessId);
    if constexpr (zan::engine::kDiagnosticDumps) zan::engine::DumpDocument(entity, "GetBusinessProcessMBP");
    return true;
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::OwnErrorsOnly(kClass, "GetBusinessProcessMBP"));
  }
}

bool CZanDavEngine::GetProjectInfo(const std::string& projectId, CProjectInfoEntity& entity) {
  try {
    const std::string url =
        NodeUrl(projectId, zan::engine::NodeUse::kRead, Missing("GetProjectInfo")) + "/" + zan::repo::kMprFile;
    verifyConnection();
    ReadStored(m_davManager, entity, url);
    entity.setProjectName(projectId);
    return true;
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::OwnErrorsOnly(kClass, "GetProjectInfo"));
  }
}

bool CZanDavEngine::SetBusinessProcessMBP(const std::string& businessProcessId, const CMBPEntity& changed,
                                          XMLSet& response) {
  try {
    const std::string url = NodeUrl(businessProcessId, zan::engine::NodeUse::kWrite, Missing("SetBusinessProcessMBP")) +
                            "/" + zan::repo::kMbpFile;
    verifyConnection();
    return UpdateDocument(m_davManager, url, changed, response, m_updatePolicy, kMbpDumps);
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::OwnErrorsOnly(kClass, "SetBusinessProcessMBP"));
  }
}

bool CZanDavEngine::SetProjectInfo(const std::string& projectId, const CProjectInfoEntity& changed, XMLSet& response) {
  try {
    const std::string url =
        NodeUrl(projectId, zan::engine::NodeUse::kWrite, Missing("SetProjectInfo")) + "/" + zan::repo::kMprFile;
    verifyConnection();
    return UpdateDocument(m_davManager, url, changed, response, m_updatePolicy, kMprDumps);
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::OwnErrorsOnly(kClass, "SetProjectInfo"));
  }
}
