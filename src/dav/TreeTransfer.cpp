// The copy of whole directory trees between a local directory and a server collection. A walk
// lists the whole source, checking every name, and plans the destination directories and one
// copy per file, in walk order; then the directories are made and the files copied through
// record copies over the transfer's connections (several at once), recording the environment's
// files in downloaded user (".usr") files.
#include <atomic>
#include <exception>
#include <vector>

#include "base/AsciiCase.h"
#include "base/ErrorContext.h"
#include "base/FileUtils.h"
#include "base/GenException.h"
#include "base/SafeNames.h"
#include "base/WindowsNames.h"
#include "dav/CollectionUrl.h"
#include "dav/DavADOManager.h"
#include "dav/Multistatus.h"
#include "platform/ado/ado_constants.h"
#include "platform/http/parallel.h"
#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"
#include "platform/os/profile.h"

using namespace zan::ado;

namespace {

constexpr const char* kClass = "CDavADOManager";

// The context the walk adds to a failure: each directory level names the transfer, each
// entry also the copy it stands for.
zan::err::Context TreeContext() { return {kClass, "DirUploadDownload"}; }
zan::err::Context EntryContext(const std::string& from, const std::string& to) {
  return {.className = kClass, .method = "DirUploadDownload", .suffix = zan::err::CopyingFrom(from, to)};
}

// A name from a server listing may only name one entry inside the destination directory.
void RefuseUnsafeServerName(const std::string& name, const std::string& source) {
  if (!zan::names::IsSafeSegment(name))
    throw CGenException("The server listed a member name that would leave the local directory: '" +
                            zan::names::Printable(name) + "' in " + source,
                        zan::err::kInvalidName, kClass, "FindFilesDav");
}

// A local entry is copied only as what it is: a name that the server could not hold as one
// segment ('\' would separate there) or a symbolic link (it may lead out of the directory)
// is refused.
void RefuseUnsafeLocalEntry(const std::string& name, const std::string& path) {
  if (name.find('\\') != std::string::npos)
    throw CGenException("A local name holding '\\' cannot be uploaded: " + path, zan::err::kInvalidName, kClass,
                        "DirUploadDownload");
  if (zan::os::IsSymbolicLink(path))
    throw CGenException("A symbolic link is not uploaded: " + path, zan::err::kInvalidName, kClass,
                        "DirUploadDownload");
}

// The switch that adds the Windows name rules where the system does not impose them.
std::atomic<bool> g_windowsNameRules{false};

// A listed name that a Windows file system would store as something else, or as nothing.
void RefuseWindowsName(const std::string& name, const std::string& source) {
  if (const std::string reason = zan::names::WindowsNameReason(name); !reason.empty())
    throw CGenException("The server listed a member name that Windows cannot store as itself (" + reason + "): '" +
                            zan::names::Printable(name) + "' in " + source,
                        zan::err::kInvalidName, kClass, "FindFilesDav");
}

// The failure of a planned step, with the context the walk adds on its way out of each
// enclosing directory, innermost first.
template <typename Steps>
std::exception_ptr WithEnclosingContext(std::exception_ptr failure, const Steps& enclosing) {
  for (auto it = enclosing.rbegin(); it != enclosing.rend(); ++it) {
    failure = zan::err::WithContext(failure, TreeContext());
    failure = zan::err::WithContext(failure, EntryContext(it->from, it->to));
  }
  return failure;
}

}  // namespace

void CDavADOManager::SetWindowsNameRules(bool on) { g_windowsNameRules.store(on); }
bool CDavADOManager::WindowsNameRules() { return g_windowsNameRules.load() || zan::os::LocalNamesFollowWindowsRules(); }

bool CDavADOManager::IsHttpUrl(const std::string& path) {
  return path.rfind("http://", 0) == 0 || path.rfind("https://", 0) == 0;
}

bool CDavADOManager::IsUsrFile(const std::string& path) {
  return zan::EndsWithIgnoringAsciiCase(path, ".usr");
}

// Local paths are joined with '/' too: a '\' inside a local name is never taken for a separator.
// A path in the extended-length form "\\?\C:\..." is joined with '\', the only separator the
// system sees there (names holding '\' are refused either way).
std::string CDavADOManager::GetSeparator(const std::string& path) {
  return path.rfind("\\\\?\\", 0) == 0 ? "\\" : "/";
}

void CDavADOManager::ReadFileEntry(XMLSet& entry, std::string& fileName, std::string& fullFileName,
                                   std::string& urlFileName, bool& isDir, bool& isDirDots) {
  std::string dir, dots;
  entry.getItemValue("FileName", fileName);
  entry.getItemValue("FullFileName", fullFileName);
  entry.getItemValue("URL_FileName", urlFileName);
  entry.getItemValue("IsDir", dir);
  entry.getItemValue("IsDirDots", dots);
  isDir = zan::EqualsIgnoringAsciiCase(dir, "T");
  isDirDots = zan::EqualsIgnoringAsciiCase(dots, "T");
}

void CDavADOManager::AddFileEntry(XMLSet& entry, const std::string& fileName, const std::string& fullFileName,
                                  const std::string& urlFileName, bool isDir, bool isDirDots) {
  entry.addItem("FileName", fileName);
  entry.addItem("FullFileName", fullFileName);
  entry.addItem("URL_FileName", urlFileName);
  entry.addItem("IsDir", isDir ? "T" : "F");
  entry.addItem("IsDirDots", isDirDots ? "T" : "F");
}

bool CDavADOManager::DirUploadDownload(const std::string& recordUrl, const std::string& source,
                                       const std::string& destination, const std::string& parameterFile,
                                       const std::string& defaultCfg, long copyOptions) {
  try {
    CopyPlan plan;
    if (!PlanTree(recordUrl, source, destination, parameterFile, defaultCfg, plan, {})) return false;
    return CopyPlanned(recordUrl, plan, parameterFile, defaultCfg, copyOptions);
  } catch (...) {
    zan::err::RethrowWithContext(TreeContext());
  }
}

bool CDavADOManager::DirUploadDownload(const std::string& recordUrl, XMLSet& entry, const std::string& destination,
                                       const std::string& parameterFile, const std::string& defaultCfg,
                                       long copyOptions) {
  CopyPlan plan;
  if (!PlanEntry(recordUrl, entry, destination, parameterFile, defaultCfg, plan, {})) return false;
  return CopyPlanned(recordUrl, plan, parameterFile, defaultCfg, copyOptions);
}

bool CDavADOManager::PlanTree(const std::string& recordUrl, const std::string& source, const std::string& destination,
                              const std::string& parameterFile, const std::string& defaultCfg, CopyPlan& plan,
                              const std::vector<CopyStep>& enclosing) {
  try {
    if (source.empty() || destination.empty()) return false;
    const std::string from = CFileUtils::RemoveTrailingSlash(source);
    const std::string to = CFileUtils::RemoveTrailingSlash(destination);
    // The source is listed first: a listing that fails fails the transfer before the
    // destination is touched (a tree copied without it would be incomplete).
    XMLSet listing;
    if (!FindFiles(from, listing)) return false;
    plan.directories.push_back(DirectoryJob{to, enclosing});
    const long count = listing.getCount();
    for (long i = 0; i < count; ++i) {
      XMLSet entry;
      listing.getInnerSet(i, entry);
      if (!PlanEntry(recordUrl, entry, to, parameterFile, defaultCfg, plan, enclosing)) return false;
    }
    return true;
  } catch (...) {
    zan::err::RethrowWithContext(TreeContext());
  }
}

bool CDavADOManager::PlanEntry(const std::string& recordUrl, XMLSet& entry, const std::string& destination,
                               const std::string& parameterFile, const std::string& defaultCfg, CopyPlan& plan,
                               const std::vector<CopyStep>& enclosing) {
  CopyStep step;
  bool isDir = false, isDirDots = false;
  try {
    std::string fileName;
    ReadFileEntry(entry, fileName, step.from, step.urlFrom, isDir, isDirDots);
    step.to = destination + GetSeparator(destination) + fileName;
    if (!IsHttpUrl(step.from)) RefuseUnsafeLocalEntry(fileName, step.from);
    if (!isDir) {
      CopyJob job;
      job.step = step;
      job.enclosing = enclosing;
      plan.files.push_back(std::move(job));
    } else if (!isDirDots) {
      // Downloading, a directory is entered only as itself: a symbolic link there may lead out.
      if (!IsHttpUrl(step.to) && zan::os::IsSymbolicLink(step.to))
        throw CGenException("A symbolic link in the local directory is not followed: " + step.to, zan::err::kInvalidName,
                            kClass, "DirUploadDownload");
      std::vector<CopyStep> inner = enclosing;
      inner.push_back(step);
      if (!PlanTree(recordUrl, step.from, step.to, parameterFile, defaultCfg, plan, inner)) return false;
    }
    return true;
  } catch (...) {
    zan::err::RethrowWithContext(EntryContext(step.from, step.to));
  }
}

bool CDavADOManager::CopyPlanned(const std::string& recordUrl, const CopyPlan& plan, const std::string& parameterFile,
                                 const std::string& defaultCfg, long copyOptions) {
  struct Declined {};  // a copy that reported false: the transfer is not done
  for (const DirectoryJob& directory : plan.directories) {
    try {
      if (!CreateDir(directory.path)) return false;
    } catch (...) {
      // The context a walk that makes each directory as it goes would have added.
      std::rethrow_exception(
          zan::err::WithContext(WithEnclosingContext(std::current_exception(), directory.enclosing), TreeContext()));
    }
  }
  try {
    zan::http::RunParallel(plan.files.size(), zan::http::GetTransferConnections(), [&](size_t i) {
      if (!CopyOne(recordUrl, plan.files[i], parameterFile, defaultCfg, copyOptions)) throw Declined{};
    });
    return true;
  } catch (const Declined&) {
    return false;
  }
}

bool CDavADOManager::CopyOne(const std::string& recordUrl, const CopyJob& job, const std::string& parameterFile,
                             const std::string& defaultCfg, long copyOptions) {
  try {
    const std::string& target = job.step.to;
    const bool writeIni = !parameterFile.empty() && !defaultCfg.empty() && IsUsrFile(target);
    const std::string copyTarget = IsHttpUrl(target) ? target : "file://" + target;
    if (!Copy(recordUrl, job.step.urlFrom, copyTarget, "", "", copyOptions)) return false;
    if (writeIni && (!zan::os::WriteIniString("General", "DefaultCfg", defaultCfg, target) ||
                     !zan::os::WriteIniString("General", "ParameterFile", parameterFile, target))) {
      const uint32_t error = zan::os::SystemErrorCode(zan::os::LastError());
      throw CGenException("Could not write the environment's settings into " + target + ": " + GetLastErrorLine(),
                          static_cast<int32_t>(error), kClass, "DirUploadDownload");
    }
    return true;
  } catch (...) {
    // The file's own context, then the context the walk adds on its way out of each
    // enclosing directory, innermost first.
    std::rethrow_exception(WithEnclosingContext(
        zan::err::WithContext(std::current_exception(), EntryContext(job.step.from, job.step.to)), job.enclosing));
  }
}

bool CDavADOManager::FindFiles(const std::string& path, XMLSet& listing) {
  return IsHttpUrl(path) ? FindFilesDav(path, listing) : FindFilesLocal(path, listing);
}

bool CDavADOManager::FindFilesLocal(const std::string& directory, XMLSet& listing) {
  try {
    // A directory that cannot be searched would be copied as an empty one.
    const std::string separator = GetSeparator(directory);
    zan::os::DirectorySearch search(directory + separator + "*.*");
    if (!search.ok()) {
      const uint32_t error = zan::os::SystemErrorCode(zan::os::LastError());
      throw CGenException("Cannot list the local directory " + directory + ": " + GetLastErrorLine(),
                          static_cast<int32_t>(error), kClass, "FindFilesLocal");
    }
    zan::os::FindData found;
    while (search.Next(found)) {
      const std::string full = directory + separator + found.name;
      XMLSet entry;
      AddFileEntry(entry, found.name, full, "file://" + full, found.isDirectory,
                   found.isDirectory && (found.name == "." || found.name == ".."));
      listing.addInnerSet(entry);
    }
    return true;
  } catch (...) {
    zan::err::RethrowWithContext({kClass, "FindFilesLocal"});
  }
}

bool CDavADOManager::FindFilesDav(const std::string& url, XMLSet& listing) {
  XMLSet request;
  request.addItem("displayname", "");
  request.addItem("iscollection", "");
  const bool windowsNames = WindowsNameRules();
  std::vector<std::string> names;
  for (Member& member : listMembers(url, request.getXml())) {
    // A member the server listed without its properties cannot be copied; leaving it out
    // would report an incomplete tree as whole.
    if (!member.found)
      throw CGenException("The server listed a member without its properties: " + member.href + " in " + url,
                          zan::err::kUnknown, kClass, "FindFilesDav");
    // Servers that report neither displayname nor iscollection (Apache) are read by the
    // href's last segment and the resourcetype.
    const std::string* displayName = member.Find("displayname");
    const std::string name = displayName ? *displayName : zan::dav::LastSegment(member.href);
    const std::string* isCollection = member.Find("iscollection");
    RefuseUnsafeServerName(name, url);
    if (windowsNames) {
      RefuseWindowsName(name, url);
      names.push_back(name);
    }
    const bool isDir = isCollection ? *isCollection != "0" : member.collection;
    XMLSet entry;
    for (const auto& [propName, value] : member.props) entry.addItem(propName, value);
    AddFileEntry(entry, name, url + "/" + name, url + "/" + name, isDir, false);
    listing.addInnerSet(entry);
  }
  if (const auto [first, second] = zan::names::FirstCaseCollision(names); !first.empty())
    throw CGenException("The server listed two member names that differ only in case, which Windows stores as one: '" +
                            zan::names::Printable(first) + "' and '" + zan::names::Printable(second) + "' in " + url,
                        zan::err::kInvalidName, kClass, "FindFilesDav");
  return true;
}

bool CDavADOManager::CreateDir(const std::string& path) {
  return IsHttpUrl(path) ? CreateDirDav(path) : CreateDirLocalIfNeeded(path);
}

bool CDavADOManager::CreateDirDav(const std::string& url) {
  try {
    return CreateItem(zan::dav::CollectionUrl(url), adCreateCollection | adCreateOverwrite, adModeReadWrite,
                      adOpenRecordUnspecified);
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::ForResource(kClass, "CreateDirDav", url));
  }
}

bool CDavADOManager::CreateDirLocalIfNeeded(const std::string& path) {
  try {
    if (CFileUtils::FileExists(path)) return true;
    if (!zan::os::MakeDirectory(path)) {
      const uint32_t error = zan::os::SystemErrorCode(zan::os::LastError());
      throw CGenException(GetLastErrorText() + " " + path, static_cast<int32_t>(error), kClass, "CreateDirLocalIfNeeded");
    }
    return true;
  } catch (...) {
    using Context = zan::err::Context;
    zan::err::RethrowWithContext({.className = kClass, .method = "CreateDirLocalIfNeeded", .own = Context::Own::kPass,
                                  .other = Context::Other::kUnknown, .unknown = "Dav Unknown Error. "});
  }
}
