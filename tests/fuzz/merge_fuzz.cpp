// The merge of two documents taken from one input (split at the first NUL byte): the
// changed document merged into the stored one, as a document update does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/GenException.h"
#include "platform/com/com_error.h"
#include "xml/MBPEntity.h"
#include "xml/XmlBasicQKParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  if (split == std::string_view::npos) return 0;
  try {
    CMBPEntity stored, changed;
    stored.loadXml(input.substr(0, split));
    changed.loadXml(input.substr(split + 1));
    stored.mergeChanges(changed, "dirty", "1", CXmlBasicQKParser::MERGE_ADD);
    stored.getXml();
  } catch (const CGenException&) {
  } catch (const _com_error&) {
  }
  return 0;
}
