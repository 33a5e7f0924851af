// environment.h on POSIX: getenv and the account database.
#include "platform/os/environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace zan::os {

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeDirectory() {
  if (std::string home = EnvironmentValue("HOME"); !home.empty()) return home;
  const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buf(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
  passwd pw;
  passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
    return result->pw_dir;
  return ".";
}

std::string TemporaryDirectory() { return "/tmp/"; }

}  // namespace zan::os
