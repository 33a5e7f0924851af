// The copy of whole directory trees between a local directory and a server collection:
// list the source, make the destination exist, copy each file through the record copy,
// descend into each subdirectory, and record the environment's files in downloaded user
// (".usr") files.
#include <strings.h>

#include "base/FileUtils.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "dav/DavADOManager.h"
#include "dav/Multistatus.h"
#include "platform/ado/ado_constants.h"
#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"
#include "platform/os/profile.h"

using namespace zan::ado;

namespace {

constexpr const char* kClass = "CDavADOManager";
constexpr const char* kUnspecifiedText = "An error has occured, check file names,directories names and net connections";

// A name from a server listing may only name an entry inside the destination directory.
bool IsSafeName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

void RefuseUnsafeNames(XMLSet& listing, const std::string& source) {
  std::string name;
  for (long i = 0; i < listing.getCount(); ++i) {
    XMLSet entry;
    listing.getInnerSet(i, entry);
    entry.getItemValue("FileName", name);
    if (!IsSafeName(name))
      throw CGenException("The server listed a member name that would leave the local directory: '" + name + "' in " +
                              source,
                          zan::err::kUnknown, kClass, "DirUploadDownload");
  }
}

}  // namespace

bool CDavADOManager::IsHttpUrl(const std::string& path) {
  return path.rfind("http://", 0) == 0 || path.rfind("https://", 0) == 0;
}

bool CDavADOManager::IsUsrFile(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".usr") == 0;
}

std::string CDavADOManager::GetSeparator(const std::string& path) { return IsHttpUrl(path) ? "/" : "\\"; }

void CDavADOManager::ReadFileEntry(XMLSet& entry, std::string& fileName, std::string& fullFileName,
                                   std::string& urlFileName, bool& isDir, bool& isDirDots) {
  std::string dir, dots;
  entry.getItemValue("FileName", fileName);
  entry.getItemValue("FullFileName", fullFileName);
  entry.getItemValue("URL_FileName", urlFileName);
  entry.getItemValue("IsDir", dir);
  entry.getItemValue("IsDirDots", dots);
  isDir = strcasecmp(dir.c_str(), "T") == 0;
  isDirDots = strcasecmp(dots.c_str(), "T") == 0;
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
    if (source.empty() || destination.empty()) return false;
    const std::string from = CFileUtils::RemoveTrailingSlash(source);
    const std::string to = CFileUtils::RemoveTrailingSlash(destination);
    if (!CreateDir(to)) return false;
    XMLSet listing;
    try {
      if (!FindFiles(from, listing)) return false;
    } catch (const CGenException&) {
      return false;
    }
    if (IsHttpUrl(from)) RefuseUnsafeNames(listing, from);
    const long count = listing.getCount();
    for (long i = 0; i < count; ++i) {
      XMLSet entry;
      listing.getInnerSet(i, entry);
      if (!DirUploadDownload(recordUrl, entry, to, parameterFile, defaultCfg, copyOptions)) return false;
    }
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "DirUploadDownload");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "DirUploadDownload");
  }
}

bool CDavADOManager::DirUploadDownload(const std::string& recordUrl, XMLSet& entry, const std::string& destination,
                                       const std::string& parameterFile, const std::string& defaultCfg,
                                       long copyOptions) {
  std::string fileName, fullFileName, urlFileName, target;
  bool isDir = false, isDirDots = false;
  try {
    ReadFileEntry(entry, fileName, fullFileName, urlFileName, isDir, isDirDots);
    target = destination + GetSeparator(destination) + fileName;
    if (!isDir) {
      const std::string localPath = target;
      const bool writeIni = !parameterFile.empty() && !defaultCfg.empty() && IsUsrFile(target);
      const std::string copyTarget = IsHttpUrl(target) ? target : "file://" + target;
      if (!Copy(recordUrl, urlFileName, copyTarget, "", "", copyOptions)) return false;
      if (writeIni) {
        zan::os::WritePrivateProfileString("General", "DefaultCfg", defaultCfg, localPath);
        zan::os::WritePrivateProfileString("General", "ParameterFile", parameterFile, localPath);
      }
    } else if (!isDirDots) {
      if (!DirUploadDownload(recordUrl, fullFileName, target, parameterFile, defaultCfg, copyOptions)) return false;
    }
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "DirUploadDownload");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription() + " .Error while Copying From " + fullFileName + " To " + target,
              e.GetErrorCode(), kClass, "DirUploadDownload");
  }
}

bool CDavADOManager::FindFiles(const std::string& path, XMLSet& listing) {
  return IsHttpUrl(path) ? FindFilesDav(path, listing) : FindFilesLocal(path, listing);
}

bool CDavADOManager::FindFilesLocal(const std::string& directory, XMLSet& listing) {
  try {
    zan::os::DirectorySearch search(directory + "\\*.*");
    if (!search.ok()) return true;
    zan::os::FindData found;
    while (search.Next(found)) {
      const std::string full = directory + "\\" + found.name;
      XMLSet entry;
      AddFileEntry(entry, found.name, full, "file://" + full, found.isDirectory,
                   found.isDirectory && (found.name == "." || found.name == ".."));
      listing.addInnerSet(entry);
    }
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "FindFilesLocal");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "FindFilesLocal");
  }
}

bool CDavADOManager::FindFilesDav(const std::string& url, XMLSet& listing) {
  XMLSet request;
  request.addItem("displayname", "");
  request.addItem("iscollection", "");
  for (Member& member : listMembers(url, request.getXml())) {
    if (!member.found) continue;
    // Servers that report neither displayname nor iscollection (Apache) are read by the
    // href's last segment and the resourcetype.
    std::string name, isCollection;
    if (!member.props.getItemValue("displayname", name)) name = zan::dav::LastSegment(member.href);
    const bool isDir = member.props.getItemValue("iscollection", isCollection) ? isCollection != "0" : member.collection;
    AddFileEntry(member.props, name, url + "/" + name, url + "/" + name, isDir, false);
    listing.addInnerSet(member.props);
  }
  return true;
}

bool CDavADOManager::CreateDir(const std::string& path) {
  return IsHttpUrl(path) ? CreateDirDav(path) : CreateDirLocalIfNeeded(path);
}

bool CDavADOManager::CreateDirDav(const std::string& url) {
  try {
    return CreateItem(zan::dav::CollectionUrl(url), adCreateCollection | adCreateOverwrite, adModeReadWrite,
                      adOpenRecordUnspecified);
  } catch (const _com_error& e) {
    CGenException error(e, kClass, "CreateDirDav");
    if (error.IsUnspecified()) error.Rethrow(std::string(kUnspecifiedText) + " " + url, zan::err::kUnknown, kClass, "CreateDirDav");
    error.Rethrow(error.GetErrorDescription() + " " + url, error.GetErrorCode(), kClass, "CreateDirDav");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription() + " " + url, e.GetErrorCode(), kClass, "CreateDirDav");
  } catch (...) {
    throw CGenException("Dav Unknown Error. " + std::string(" ") + url, zan::err::kUnknown, kClass, "CreateDirDav");
  }
}

bool CDavADOManager::CreateDirLocalIfNeeded(const std::string& path) {
  try {
    if (CFileUtils::FileExists(path)) return true;
    if (!zan::os::CreateDirectory(path)) {
      const uint32_t error = zan::os::GetLastError();
      throw CGenException(GetLastErrorText() + " " + path, static_cast<int32_t>(error), kClass, "CreateDirLocalIfNeeded");
    }
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "CreateDirLocalIfNeeded");
  } catch (const CGenException&) {
    throw;
  } catch (...) {
    throw CGenException("Dav Unknown Error. ", zan::err::kUnknown, kClass, "CreateDirLocalIfNeeded");
  }
}
