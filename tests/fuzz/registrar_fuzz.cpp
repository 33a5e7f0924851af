// The registry-script parser: any script, in register then unregister mode, against a
// registry file of its own in a temporary directory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/com/registrar.h"

namespace {
std::string RegistryFile() {
  static const std::string file = [] {
    char dir[] = "/tmp/zan-registrar-fuzz.XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    std::string path = std::string(dir) + "/registry";
    setenv("ZANCLIENT_REGISTRY", path.c_str(), 1);
    return path;
  }();
  return file;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = RegistryFile();
  const std::string_view script(reinterpret_cast<const char*>(data), size);
  const std::map<std::string, std::string> replacements = {{"MODULE", "/opt/zan/ZANClient.so"}, {"CLSID", "{1}"}};
  zan::reg::RunRegistryScript(script, replacements, true);
  zan::reg::RunRegistryScript(script, replacements, false);
  unlink(file.c_str());
  return 0;
}
