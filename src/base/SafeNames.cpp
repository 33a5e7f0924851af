#include "base/SafeNames.h"

namespace zan::names {

std::string UnsafeSegmentReason(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (name == "." || name == "..") return "'.' and '..' name no entry of their own";
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '/' || c == '\\') return "a name may not hold '/' or '\\'";
    if (c < 0x20 || c == 0x7F) return "a name may not hold control characters (NUL, CR, LF, TAB, ESC, ...)";
  }
  return "";
}

std::string Printable(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(name.size());
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace zan::names
