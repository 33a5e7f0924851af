#include "platform/http/url_encoding.h"

#include "platform/http/user_info.h"

namespace zan::http {
namespace {

bool KeptAsIs(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-': case '.': case '_': case '~':
    case '/': case ':': case '@':
    case '!': case '$': case '&': case '\'': case '(': case ')':
    case '*': case '+': case ',': case ';': case '=':
      return true;
    default:
      return false;
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string EncodeUrl(std::string_view raw) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string stripped = StripUserInfo(raw);
  const std::string_view url = stripped;
  size_t pathStart = 0;
  if (const size_t scheme = url.find("://"); scheme != std::string_view::npos) {
    const size_t slash = url.find('/', scheme + 3);
    pathStart = slash == std::string_view::npos ? url.size() : slash;
  }
  std::string out(url.substr(0, pathStart));
  out.reserve(url.size() + 16);
  for (const char ch : url.substr(pathStart)) {
    const auto c = static_cast<unsigned char>(ch);
    if (KeptAsIs(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string DecodeUrl(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int hi = HexValue(text[i + 1]);
      const int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool HasDotSegment(std::string_view url) {
  size_t pathStart = 0;
  if (const size_t scheme = url.find("://"); scheme != std::string_view::npos) {
    const size_t slash = url.find('/', scheme + 3);
    if (slash == std::string_view::npos) return false;
    pathStart = slash;
  }
  const auto holdsDots = [](std::string_view path) {
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '/') {
        const std::string_view segment = path.substr(start, i - start);
        if (segment == "." || segment == "..") return true;
        start = i + 1;
      }
    }
    return false;
  };
  const std::string_view path = url.substr(pathStart);
  return holdsDots(path) || holdsDots(DecodeUrl(path));
}

}  // namespace zan::http
