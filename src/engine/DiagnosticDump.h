// Diagnostic dumps of documents into one directory, switched on at build time by the
// compile definition ZAN_DIAGNOSTIC_DUMPS (off by default). Off, callers skip them under
// `if constexpr`, so nothing is written and the server is not touched. On, a dump that
// cannot be written is dropped: a dump never changes an operation's outcome.
#ifndef ZAN_ENGINE_DIAGNOSTICDUMP_H_
#define ZAN_ENGINE_DIAGNOSTICDUMP_H_

#include <string>

#include "xml/XMLSet.h"
#include "xml/ZANDataEntity.h"

namespace zan::engine {

#ifdef ZAN_DIAGNOSTIC_DUMPS
inline constexpr bool kDiagnosticDumps = true;
#else
inline constexpr bool kDiagnosticDumps = false;
#endif

// The dump directory: "zanclient-dumps" in the system's temporary directory, with a final
// separator ("/tmp/zanclient-dumps/" on POSIX); it must exist for dumps to be written.
std::string DumpDirectory();

// Writes the entity's document to DumpDirectory() + baseName + ".xml".
void DumpDocument(CZANDataEntity& entity, const std::string& baseName) noexcept;
// Writes the set's document to DumpDirectory() + baseName + ".xml".
void DumpSet(XMLSet& set, const std::string& baseName) noexcept;

}  // namespace zan::engine

#endif
