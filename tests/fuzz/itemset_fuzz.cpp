// The item set over any text: load, walk every item and inner set, serialise.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/GenException.h"
#include "platform/com/com_error.h"
#include "xml/XMLSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    XMLSet set(std::string_view(text), XMLSet::kDefaultTag);
    std::string name, value;
    for (set.moveFirst(); !set.isEOF(); set.moveNext()) {
      set.getItem(set.getCursor(), name, value);
      if (set.hasInnerSet(set.getCursor())) {
        XMLSet inner;
        set.getInnerSet(set.getCursor(), inner);
        inner.getXml();
      }
    }
    set.findItem("ZAN_NAME", value);
    set.getXml();
  } catch (const CGenException&) {
  } catch (const _com_error&) {
  }
  return 0;
}
