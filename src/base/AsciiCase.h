// ASCII case-insensitive comparison of byte strings: 'A'-'Z' match 'a'-'z', every other byte
// (UTF-8 sequences included) only itself. Independent of the process locale.
#ifndef ZAN_BASE_ASCIICASE_H_
#define ZAN_BASE_ASCIICASE_H_

#include <string_view>

namespace zan {

constexpr char FoldAsciiCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  return true;
}

constexpr bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace zan

#endif
