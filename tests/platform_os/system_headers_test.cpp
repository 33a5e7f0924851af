// The operating system and the backend libraries are reached only through src/platform: no
// file of a layer above it includes a system header or a backend header, and no header under
// src/ hands a backend header on to its includers (a header private to one platform folder,
// included only by that folder's files, may). The host program (src/cli) keeps its calls to
// the system in its two seam files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = fs::path(ZAN_SOURCE_DIR) / "src";

bool IsSystemHeader(const std::string& h) {
  static const std::set<std::string> kNames = {
      "unistd.h", "fcntl.h", "dirent.h", "strings.h", "dlfcn.h",   "pwd.h",   "grp.h",     "poll.h",
      "termios.h", "netdb.h", "pthread.h", "spawn.h", "sched.h", "syslog.h", "glob.h", "fnmatch.h",
      "libgen.h", "semaphore.h", "signal.h", "limits.h", "stdlib.h", "stdio.h", "string.h", "errno.h",
      "windows.h", "winsock2.h", "ws2tcpip.h", "io.h", "direct.h", "winhttp.h", "shlwapi.h", "shellapi.h",
      "process.h", "wchar.h"};
  return kNames.count(h) != 0 || h.starts_with("sys/") || h.starts_with("netinet/") || h.starts_with("arpa/") ||
         h.starts_with("linux/");
}

bool IsBackendHeader(const std::string& h) {
  return h.starts_with("curl/") || h == "pugixml.hpp" || h == "pugiconfig.hpp" || h == "expat.h" ||
         h == "expat_external.h";
}

// Every "#include <...>" and "#include "..."" of a file, in order.
std::vector<std::pair<bool, std::string>> Includes(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::pair<bool, std::string>> out;
  std::string line;
  auto skipBlanks = [&line](size_t at) { return std::min(line.find_first_not_of(" \t", at), line.size()); };
  while (std::getline(in, line)) {
    size_t at = skipBlanks(0);
    if (line.compare(at, 1, "#") != 0) continue;
    at = skipBlanks(at + 1);
    if (line.compare(at, 7, "include") != 0) continue;
    at = skipBlanks(at + 7);
    if (at >= line.size() || (line[at] != '<' && line[at] != '"')) continue;
    const bool angled = line[at] == '<';
    const size_t end = line.find(angled ? '>' : '"', at + 1);
    if (end != std::string::npos) out.push_back({angled, line.substr(at + 1, end - at - 1)});
  }
  return out;
}

std::vector<fs::path> SourceFiles(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string ext = e.path().extension().string();
    if (e.is_regular_file() && (ext == ".h" || ext == ".cpp")) out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string Relative(const fs::path& p) { return fs::relative(p, kSource).generic_string(); }

TEST(SystemHeaders, NoLayerAbovePlatformIncludesASystemOrBackendHeader) {
  std::string found;
  for (const char* layer : {"base", "xml", "dav", "engine", "api"}) {
    for (const fs::path& file : SourceFiles(kSource / layer)) {
      for (const auto& [angled, header] : Includes(file))
        if (angled && (IsSystemHeader(header) || IsBackendHeader(header)))
          found += Relative(file) + ": <" + header + ">\n";
    }
  }
  EXPECT_EQ("", found);
}

TEST(SystemHeaders, TheHostCallsTheSystemOnlyInItsSeamFiles) {
  // The backends of the host's two seams, one file per system.
  const std::set<std::string> seams = {"cli/host_system_posix.cpp", "cli/host_system_win32.cpp", "cli/module_posix.cpp",
                                       "cli/module_win32.cpp"};
  std::string found;
  for (const fs::path& file : SourceFiles(kSource / "cli")) {
    if (seams.count(Relative(file))) continue;
    for (const auto& [angled, header] : Includes(file))
      if (angled && IsSystemHeader(header)) found += Relative(file) + ": <" + header + ">\n";
  }
  EXPECT_EQ("", found);
}

TEST(SystemHeaders, NoHeaderHandsABackendOrSystemHeaderOnToOtherFolders) {
  // Headers that include a backend or system header, and every file that includes them.
  std::map<std::string, std::string> exposing;  // "platform/dom/tree.h" -> the header it includes
  const std::vector<fs::path> files = SourceFiles(kSource);
  for (const fs::path& file : files) {
    if (file.extension() != ".h") continue;
    for (const auto& [angled, header] : Includes(file))
      if (angled && (IsSystemHeader(header) || IsBackendHeader(header))) exposing[Relative(file)] = header;
  }
  std::vector<fs::path> includers = files;
  for (const char* dir : {"tests", "bench"}) {
    for (const fs::path& f : SourceFiles(fs::path(ZAN_SOURCE_DIR) / dir)) includers.push_back(f);
  }
  std::string found;
  for (const fs::path& file : includers) {
    for (const auto& [angled, header] : Includes(file)) {
      if (angled || !exposing.count(header)) continue;
      const fs::path folder = (kSource / header).parent_path();
      if (file.parent_path() != folder)
        found += file.lexically_relative(ZAN_SOURCE_DIR).generic_string() + " includes " + header + ", which includes <" +
                 exposing[header] + ">\n";
    }
  }
  EXPECT_EQ("", found);
}

}  // namespace
