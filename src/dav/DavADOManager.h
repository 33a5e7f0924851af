// CDavADOManager: the engine's one access object for resources on the WebDAV server:
// creation, deletion, copy, whole-content read and write (with ETag, lock token and
// precondition) and write locks, member listings, and the copy of whole directory trees
// between a local directory and a server collection. Each operation creates and releases its
// own platform objects; nothing survives between calls.
#ifndef ZAN_DAV_DAVADOMANAGER_H_
#define ZAN_DAV_DAVADOMANAGER_H_

#include <string>
#include <vector>

#include "dav/DavHTTPManager.h"
#include "xml/XMLSet.h"

class CDavADOManager : public CDavHTTPManager {
 public:
  CDavADOManager() = default;
  ~CDavADOManager() override = default;

  // Creates parentUrl + "/" + name, a collection (its URL with a trailing slash) or an empty
  // resource; an existing name fails.
  bool CreateItem(const std::string& parentUrl, const std::string& name, bool collection);
  // Opens a record at url with the given create options, mode and open options.
  bool CreateItem(const std::string& url, long createOptions, long mode, long openOptions);
  // Deletes the resource (a collection with everything in it). A COM failure writes
  // "Description = '<description>'" to the error alert (the module's one diagnostic sink,
  // platform/os/alert.h; never standard output) and is passed on.
  bool DeleteItem(const std::string& url);
  // The text before the last "/" (empty when there is none).
  std::string GetParentUrl(const std::string& url);
  // Copies sourceUrl to destinationUrl (server or "file://" URLs) through a record opened at
  // recordUrl; copyOptions 1 overwrites.
  bool Copy(const std::string& recordUrl, const std::string& sourceUrl, const std::string& destinationUrl,
            const std::string& user, const std::string& password, long copyOptions);
  // Moves sourceUrl to destinationUrl (both on the server) in one MOVE with Overwrite F,
  // through a record opened at recordUrl: an existing destination is never replaced (some
  // servers merge a moved collection into an existing one instead of replacing it). Anything
  // but 200/201/204 throws the error object of the record's failure (a missing source: the
  // record's "does not exist" code), naming the move and the server's status line.
  void MoveItem(const std::string& recordUrl, const std::string& sourceUrl, const std::string& destinationUrl);
  // Deletes url if it is there, through a record opened at recordUrl; never throws. "" when
  // the resource is gone (or was never there), else why it could not be removed.
  std::string RemoveIfPresent(const std::string& recordUrl, const std::string& url) noexcept;
  // Appends one inner set per member of the collection (itself excluded) to result.
  bool FindChildrenProperties(const std::string& url, XMLSet& request, XMLSet& result);
  bool setResourceProperties(const std::string& url, const std::string& xmlText);
  using CDavHTTPManager::findResourceProperties;

  // Document I/O, all through the platform's stream object (platform/ado/stream.h).
  // The whole content of a resource, byte for byte; with etag, also its ETag as the server
  // sent it ("W/" first when weak; "" when none). A failure names the URL after the
  // description ("Errors with Recource(s): " + url).
  std::string GetFileStream(const std::string& url, std::string* etag = nullptr);
  // A write's precondition: the lock token held on the resource (sent in the tagged If
  // header "<url> (<token>)"), and the ETag the resource must still have (empty: any, but
  // the resource must exist).
  struct WriteCondition {
    std::string lockToken;
    std::string ifMatch;
  };
  // Replaces the whole content of a resource by text; a write never creates a resource.
  // With a lock token or an ETag in the condition, a 412 (the ETag changed, or the lock is
  // no longer valid) raises code 412 (kPreconditionFailed) "The item was changed by another
  // client. " + url.
  bool SetFileStream(const std::string& url, const std::string& text, const WriteCondition& condition = {});

  // Guarding a read-modify-write of one resource against other writers.
  // An exclusive write lock (Depth 0) held for at most timeoutSeconds: the lock token, or ""
  // when the server does not offer locking, gives no reply (a transport failure is left to
  // the read that follows) or nothing is there to lock (an empty resource a server creates
  // for the LOCK despite If-Match is deleted again). A resource locked by another client
  // raises code 423 (kLocked) at once; callers decide whether to wait and try again.
  std::string LockItem(const std::string& url, int timeoutSeconds);
  // Releases a lock taken with LockItem; never throws (a lock that cannot be released expires).
  bool UnlockItem(const std::string& url, const std::string& lockToken) noexcept;

  // Directory tree transfer. A path that begins with "http://" is on the server. Files are
  // copied over zan::http::GetTransferConnections() connections at once; on a failure no new
  // copy starts, the ones in flight finish, and the first failure in walk order is raised.
  bool DirUploadDownload(const std::string& recordUrl, const std::string& source, const std::string& destination,
                         const std::string& parameterFile, const std::string& defaultCfg, long copyOptions);
  bool DirUploadDownload(const std::string& recordUrl, XMLSet& entry, const std::string& destination,
                         const std::string& parameterFile, const std::string& defaultCfg, long copyOptions);
  // Downloads refuse, before anything is written, every listed name that Windows cannot store
  // as itself (base/WindowsNames.h), and two names of one directory that differ only in case.
  // Process-wide; off by default on Linux (a Linux directory holds such names as they are).
  // Where local names follow Windows' rules (Windows) they always apply: writing such a name
  // there would reach a device, a stream or another file.
  static void SetWindowsNameRules(bool on);
  static bool WindowsNameRules();
  bool FindFiles(const std::string& path, XMLSet& listing);
  bool FindFilesLocal(const std::string& directory, XMLSet& listing);
  bool FindFilesDav(const std::string& url, XMLSet& listing);
  bool CreateDir(const std::string& path);
  bool CreateDirDav(const std::string& url);
  bool CreateDirLocalIfNeeded(const std::string& path);
  static bool IsHttpUrl(const std::string& path);
  static bool IsUsrFile(const std::string& path);
  static std::string GetSeparator(const std::string& path);
  static void ReadFileEntry(XMLSet& entry, std::string& fileName, std::string& fullFileName,
                            std::string& urlFileName, bool& isDir, bool& isDirDots);
  static void AddFileEntry(XMLSet& entry, const std::string& fileName, const std::string& fullFileName,
                           const std::string& urlFileName, bool isDir, bool isDirDots);

 private:
  // One entry of a tree transfer: its source path, the source URL to copy from, its target.
  struct CopyStep {
    std::string from;
    std::string urlFrom;
    std::string to;
  };
  // One file to copy, with the directory entries that enclose it (outermost first), so that a
  // failure carries the same context as a walk that copies as it goes.
  struct CopyJob {
    CopyStep step;
    std::vector<CopyStep> enclosing;
  };
  // One destination directory to make, with the entries that enclose it (its own last).
  struct DirectoryJob {
    std::string path;
    std::vector<CopyStep> enclosing;
  };
  // What a walk found: the directories to make, parents first, and the files to copy, both in
  // walk order. Nothing is made before the whole source has been listed and its names checked.
  struct CopyPlan {
    std::vector<DirectoryJob> directories;
    std::vector<CopyJob> files;
  };
  // The walk: lists the source and plans the destination directories and the files to copy.
  bool PlanTree(const std::string& recordUrl, const std::string& source, const std::string& destination,
                const std::string& parameterFile, const std::string& defaultCfg, CopyPlan& plan,
                const std::vector<CopyStep>& enclosing);
  bool PlanEntry(const std::string& recordUrl, XMLSet& entry, const std::string& destination,
                 const std::string& parameterFile, const std::string& defaultCfg, CopyPlan& plan,
                 const std::vector<CopyStep>& enclosing);
  // The directories in plan order, then the copies over the transfer's connections; the first
  // failure in plan order is raised.
  bool CopyPlanned(const std::string& recordUrl, const CopyPlan& plan, const std::string& parameterFile,
                   const std::string& defaultCfg, long copyOptions);
  bool CopyOne(const std::string& recordUrl, const CopyJob& job, const std::string& parameterFile,
               const std::string& defaultCfg, long copyOptions);
};

#endif
