#include "base/WindowsNames.h"

#include <map>

#include "base/AsciiCase.h"
#include "platform/os/codepage.h"

namespace zan::names {
namespace {

// The device names Windows reserves in every directory, whatever follows a dot.
bool IsReservedDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);  // "CON .txt" is CON too
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (EqualsIgnoringAsciiCase(stem, device)) return true;
  if (stem.size() == 4 || (stem.size() == 5 && stem[3] == '\xC2')) {
    // COM0-9 and LPT0-9, and with a superscript digit (U+00B9, U+00B2, U+00B3).
    const std::string_view prefix = stem.substr(0, 3);
    if (!EqualsIgnoringAsciiCase(prefix, "COM") && !EqualsIgnoringAsciiCase(prefix, "LPT")) return false;
    if (stem.size() == 4) return stem[3] >= '0' && stem[3] <= '9';
    const unsigned char second = static_cast<unsigned char>(stem[4]);
    return second == 0xB9 || second == 0xB2 || second == 0xB3;
  }
  return false;
}

// Upper case as Windows' file systems fold names, for the scripts most names are written in.
char16_t FoldCase(char16_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);  // Latin Extended-A
    return ((c & 1) == (oddPairs ? 0u : 1u)) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;  // Greek
  if (c >= 0x430 && c <= 0x44F) return c - 32;                 // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

}  // namespace

std::string WindowsNameReason(std::string_view name) {
  if (name.empty()) return "the name is empty";
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return "a control character";
    if (std::string_view(":*?\"<>|/\\").find(ch) != std::string_view::npos)
      return std::string("the character '") + ch + "'";
  }
  if (name.back() == '.' || name.back() == ' ') return "a trailing dot or space (Windows drops it)";
  if (IsReservedDeviceName(name)) return "a reserved device name";
  return "";
}

std::string WindowsNameKey(std::string_view name) {
  // As the name reaches the file system: UTF-16, malformed bytes as U+FFFD.
  std::u16string wide = os::MultiByteToWide(name);
  for (char16_t& c : wide) c = FoldCase(c);
  return os::WideToMultiByte(wide);
}

std::pair<std::string, std::string> FirstCaseCollision(const std::vector<std::string>& names) {
  std::map<std::string, const std::string*> seen;
  for (const std::string& name : names) {
    const auto [it, added] = seen.emplace(WindowsNameKey(name), &name);
    if (!added) return {*it->second, name};
  }
  return {};
}

}  // namespace zan::names
