#include "base/FileUtils.h"

#include <cstring>

#include "base/ErrorContext.h"
#include "base/GenException.h"
#include "platform/os/codepage.h"
#include "platform/os/file_system.h"

namespace {

bool IsLead(char c) { return zan::os::IsDBCSLeadByte(static_cast<unsigned char>(c)); }

// Index of the last byte c that is not part of a double-byte character, or -1.
int ReverseFind(std::string_view path, char c) {
  int last = -1;
  for (size_t i = 0; i < path.size();) {
    if (IsLead(path[i])) {
      i += 2;
      continue;
    }
    if (path[i] == c) last = static_cast<int>(i);
    ++i;
  }
  return last;
}

std::string Replace(std::string_view path, char from, char to) {
  std::string out(path);
  for (size_t i = 0; i < out.size();) {
    if (IsLead(out[i])) {
      i += 2;
      continue;
    }
    if (out[i] == from) out[i] = to;
    ++i;
  }
  return out;
}

// Every failure of a path utility becomes code 0 "<operation> -- Unknown error", without
// class and method.
zan::err::Context LocalFailure(const char* operation) {
  return {.platform = zan::err::Context::Platform::kUnknown,
          .own = zan::err::Context::Own::kUnknown,
          .other = zan::err::Context::Other::kUnknown,
          .unknown = std::string(operation) + " -- Unknown error",
          .unknownCode = zan::err::kLocalFailure};
}

[[noreturn]] void RethrowAsLocalFailure(const char* operation) { zan::err::RethrowWithContext(LocalFailure(operation)); }

}  // namespace

int CFileUtils::FindBackSlash(std::string_view path) {
  try {
    for (size_t i = 0; i < path.size();) {
      if (IsLead(path[i])) {
        i += 2;
        continue;
      }
      if (path[i] == '\\') return static_cast<int>(i);
      ++i;
    }
    return -1;
  } catch (...) {
    RethrowAsLocalFailure("FindBackSlash");
  }
}

const char* CFileUtils::FindBackSlash(const char* path) {
  try {
    if (!path) return nullptr;
    for (const char* p = path; *p;) {
      if (IsLead(*p)) {
        if (!*++p) break;  // a lead byte without its trail byte ends the string
        ++p;
        continue;
      }
      if (*p == '\\') return p;
      ++p;
    }
    return nullptr;
  } catch (...) {
    RethrowAsLocalFailure("FindBackSlash");
  }
}

int CFileUtils::ReverseFindBackSlash(std::string_view path) {
  try {
    if (path.empty()) return -1;
    const int last = ReverseFind(path, '\\');
    if (last <= 0) return last;
    // Walk forward from backslash to backslash; the last one reached is the answer.
    const int length = static_cast<int>(path.size());
    int position = -1;
    while (position < length - 1) {
      const int found = FindBackSlash(path.substr(static_cast<size_t>(position + 1)));
      if (found < 0) break;
      position = position == -1 ? found : position + found + 1;
    }
    return position;
  } catch (...) {
    RethrowAsLocalFailure("ReverseFindBackSlash");
  }
}

bool CFileUtils::IsBackSlashRight(std::string_view path) {
  try {
    if (path.empty()) return false;
    return static_cast<int>(path.size()) == ReverseFindBackSlash(path) + 1;
  } catch (...) {
    RethrowAsLocalFailure("IsBackSlashRight");
  }
}

bool CFileUtils::FileExists(const std::string& path) {
  try {
    std::string name = path;
    while (IsBackSlashRight(name)) name.pop_back();
    return zan::os::PathExists(name);
  } catch (...) {
    // An error of the utilities it uses takes the step "FileExists" (code 0).
    zan::err::Context context = LocalFailure("FileExists");
    context.own = zan::err::Context::Own::kStep;
    context.lead = "FileExists";
    context.withCause = false;
    context.code = zan::err::kLocalFailure;
    zan::err::RethrowWithContext(context);
  }
}

bool CFileUtils::FileExists(const char* path) { return path ? FileExists(std::string(path)) : false; }

std::string CFileUtils::LocalDirectoryProblem(const std::string& path) {
  if (path.empty()) return "No local directory was given";
  if (!FileExists(path)) return "The local directory does not exist: " + path;
  if (!zan::os::IsDirectory(path)) return "The local path is not a directory: " + path;
  const zan::os::DirectorySearch search(path + "\\*");
  if (!search.ok()) return "The local directory cannot be read: " + path + ": " + GetLastErrorLine();
  return "";
}

std::string CFileUtils::RemoveTrailingSlash(std::string_view path) {
  if (path.empty()) return std::string();
  const int last = static_cast<int>(path.size()) - 1;
  if (ReverseFind(path, '\\') == last || ReverseFind(path, '/') == last) {
    return std::string(path.substr(0, path.size() - 1));
  }
  return std::string(path);
}

std::string CFileUtils::ToForwardSlashes(std::string_view path) { return Replace(path, '\\', '/'); }

std::string CFileUtils::ToBackSlashes(std::string_view path) { return Replace(path, '/', '\\'); }

bool CFileUtils::DeleteDirectory(const char* path) {
  try {
    if (!path || !*path || !FileExists(path)) return true;
    std::string prefix = path;
    if (!IsBackSlashRight(prefix)) prefix += '\\';
    {
      zan::os::DirectorySearch search(prefix + "*");
      if (!search.ok()) {
        zan::os::RemoveDirectoryAt(path);
        return true;
      }
      zan::os::FindData entry;
      while (search.Next(entry)) {
        const std::string full = prefix + entry.name;
        if (entry.isLink) {
          zan::os::RemoveFile(full);  // the link itself, never what it points to
        } else if (entry.isDirectory) {
          if (entry.name != "." && entry.name != "..") DeleteDirectory(full.c_str());
        } else {
          zan::os::RemoveFile(full);
        }
      }
    }
    zan::os::RemoveDirectoryAt(path);
    return true;
  } catch (...) {
    return false;
  }
}
