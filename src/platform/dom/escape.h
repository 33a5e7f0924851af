// Escaping text for element content when XML is written as text (the DOM's serialisation
// does this itself; this is for callers that build a large document as one string).
#ifndef ZAN_PLATFORM_DOM_ESCAPE_H_
#define ZAN_PLATFORM_DOM_ESCAPE_H_

#include <string>
#include <string_view>

namespace zan::dom {

// Appends text to out with '&', '<', '>' as entity references and CR as "&#13;" (so it
// survives line-end normalisation), everything else as it is.
void AppendEscapedText(std::string& out, std::string_view text);

}  // namespace zan::dom

#endif
