#include "platform/com/module_registration.h"

namespace zan::com {

std::string EscapeScriptText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

}  // namespace zan::com
