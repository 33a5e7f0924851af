#include "engine/DiagnosticDump.h"

#include "platform/os/environment.h"
#include "platform/os/file_system.h"

namespace zan::engine {

std::string DumpDirectory() {
  const std::string temporary = os::TemporaryDirectory();
  return temporary + "zanclient-dumps" + os::ToNativePath("/");
}

void DumpDocument(CZANDataEntity& entity, const std::string& baseName) noexcept {
  try {
    entity.getParser().toFile(DumpDirectory() + baseName);
  } catch (...) {
  }
}

void DumpSet(XMLSet& set, const std::string& baseName) noexcept {
  try {
    set.saveToFile(DumpDirectory() + baseName);
  } catch (...) {
  }
}

}  // namespace zan::engine
