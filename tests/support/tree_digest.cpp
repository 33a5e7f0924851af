#include "support/tree_digest.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace zan::test {

std::string TreeDigest(const std::string& directory) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(directory, error)) return "missing";
  std::set<std::string> entries;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(directory, error))
    entries.insert(fs::relative(e.path(), directory).string() + (e.is_directory() ? "/" : ""));
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  const auto mix = [&hash](const std::string& bytes) {
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    hash = (hash ^ 0xFF) * 1099511628211ull;
  };
  for (const std::string& entry : entries) {
    mix(entry);
    if (entry.ends_with("/")) continue;
    std::ifstream in(directory + "/" + entry, std::ios::binary);
    mix(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return std::to_string(entries.size()) + ":" + hex;
}

}  // namespace zan::test
