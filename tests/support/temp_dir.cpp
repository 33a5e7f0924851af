#include "support/temp_dir.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace zan::test {

TempDir::TempDir() {
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "zantest.%08x", static_cast<unsigned>(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(base / name, ec)) {
      path_ = (base / name).string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary directory in " + base.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::operator/(const std::string& relative) const {
  std::string out = path_ + "/" + relative;
  constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
  std::replace(out.begin(), out.end(), '/', kSeparator);
  return out;
}

void TempDir::Write(const std::string& relative, const std::string& content) const {
  const std::filesystem::path p = std::filesystem::path(path_) / relative;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << content;
}

std::string TempDir::Read(const std::string& relative) const {
  std::ifstream in(std::filesystem::path(path_) / relative, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace zan::test
