#include "engine/DiagnosticDump.h"

namespace zan::engine {

void DumpDocument(CZANDataEntity& entity, const std::string& baseName) noexcept {
  try {
    entity.getParser().toFile(kDumpDirectory + baseName);
  } catch (...) {
  }
}

void DumpSet(XMLSet& set, const std::string& baseName) noexcept {
  try {
    set.saveToFile(kDumpDirectory + baseName);
  } catch (...) {
  }
}

}  // namespace zan::engine
