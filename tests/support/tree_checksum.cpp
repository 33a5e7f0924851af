#include "support/tree_checksum.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zan::test {
namespace {

std::string Fnv1a(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  uint64_t hash = 14695981039346656037ull;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash ^= static_cast<unsigned char>(buffer[i]);
      hash *= 1099511628211ull;
    }
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace

std::string TreeChecksums(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return "";
  std::vector<std::string> lines;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string rel = fs::relative(p, dir).generic_string();
    const fs::file_status st = it->symlink_status();
    if (fs::is_symlink(st)) {
      lines.push_back("l " + rel + " -> " + fs::read_symlink(p, ec).string());
    } else if (fs::is_directory(st)) {
      lines.push_back("d " + rel + "/");
    } else if (fs::is_regular_file(st)) {
      lines.push_back("f " + rel + " " + std::to_string(fs::file_size(p, ec)) + " " + Fnv1a(p));
    } else {
      lines.push_back("o " + rel);
    }
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

}  // namespace zan::test
