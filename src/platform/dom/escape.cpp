#include "platform/dom/escape.h"

namespace zan::dom {

void AppendEscapedText(std::string& out, std::string_view text) {
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char* entity = nullptr;
    switch (text[i]) {
      case '&': entity = "&amp;"; break;
      case '<': entity = "&lt;"; break;
      case '>': entity = "&gt;"; break;
      case '\r': entity = "&#13;"; break;
      default: continue;
    }
    out.append(text.substr(plain, i - plain));
    out.append(entity);
    plain = i + 1;
  }
  out.append(text.substr(plain));
}

}  // namespace zan::dom
