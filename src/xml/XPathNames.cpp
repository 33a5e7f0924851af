#include "xml/XPathNames.h"

#include <algorithm>

namespace zan::xml {

bool IsPlainXPathName(std::string_view name) {
  if (name.empty()) return false;
  auto letter = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
  };
  if (!letter(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin() + 1, name.end(), [&](char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    return letter(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
  });
}

}  // namespace zan::xml
