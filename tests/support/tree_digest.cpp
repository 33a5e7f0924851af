#include "support/tree_digest.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zan::test {

std::string TreeDigest(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return "<missing>";
  std::vector<std::string> lines;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const fs::path& path = it->path();
    const std::string relative = fs::relative(path, dir).generic_string();
    if (it->is_symlink()) {
      lines.push_back(relative + " -> " + fs::read_symlink(path, ec).string());
    } else if (it->is_directory()) {
      lines.push_back(relative + "/");
    } else {
      std::ifstream in(path, std::ios::binary);
      uint64_t hash = 14695981039346656037ull;
      uint64_t size = 0;
      char buffer[65536];
      while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
          hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
        }
        size += static_cast<uint64_t>(in.gcount());
      }
      char text[40];
      std::snprintf(text, sizeof text, " %llu %016llx", static_cast<unsigned long long>(size),
                    static_cast<unsigned long long>(hash));
      lines.push_back(relative + text);
    }
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

}  // namespace zan::test
