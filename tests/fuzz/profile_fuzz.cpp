// The INI writer: an existing file, section, key and value from one input (split at NUL
// bytes). Writing the same key twice must give the same file as writing it once.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/os/file_io.h"
#include "platform/os/profile.h"

namespace {
const std::string& Directory() {
  static const std::string dir = [] {
    char name[] = "/tmp/zan-profile-fuzz.XXXXXX";
    if (!mkdtemp(name)) std::abort();
    return std::string(name);
  }();
  return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && parts.size() < 4) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  parts.resize(4);
  const std::string file = Directory() + "/app.usr";
  if (!zan::os::WriteWholeFile(file, parts[0])) std::abort();
  if (zan::os::WriteIniString(parts[1], parts[2], parts[3], file)) {
    std::string once, twice;
    if (!zan::os::ReadWholeFile(file, once)) std::abort();
    if (!zan::os::WriteIniString(parts[1], parts[2], parts[3], file)) std::abort();
    if (!zan::os::ReadWholeFile(file, twice)) std::abort();
    if (once != twice) std::abort();
  }
  unlink(file.c_str());
  return 0;
}
