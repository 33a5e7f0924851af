#include "cli/format.h"

#include <algorithm>
#include <cstdio>

#include "cli/host_system.h"

namespace zancli {

namespace {

// Characters (code points) of a UTF-8 text.
size_t Width(const std::string& s) {
  return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::string KindLabel(const std::string& nodeType) {
  if (nodeType == "ZAN_PROJECT") return "project";
  if (nodeType == "ZAN_FOLDER") return "folder";
  if (nodeType == "ZAN_BP") return "bp";
  return nodeType.empty() ? "?" : nodeType;
}

std::string TerminalSafe(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  char buf[16];
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
      } else {
        out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    // A UTF-8 sequence: its length by the lead byte, then continuation bytes.
    const size_t length = (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    bool valid = length != 0 && i + length <= text.size();
    uint32_t code = length == 2 ? (c & 0x1Fu) : length == 3 ? (c & 0x0Fu) : (c & 0x07u);
    for (size_t k = 1; valid && k < length; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      valid = (d & 0xC0) == 0x80;
      code = (code << 6) | (d & 0x3Fu);
    }
    if (valid && length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) valid = false;
    if (valid && length == 4 && (code < 0x10000 || code > 0x10FFFF)) valid = false;
    if (!valid) {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
      ++i;
    } else if (code >= 0x80 && code <= 0x9F) {
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(code));
      out += buf;
      i += length;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string ForStdout(const std::string& text) { return StdoutIsTerminal() ? TerminalSafe(text) : text; }

std::string Table(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rawRows) {
  std::vector<std::vector<std::string>> rows = rawRows;
  for (auto& row : rows)
    for (auto& cell : row) cell = TerminalSafe(cell);
  std::vector<size_t> widths;
  auto measure = [&](const std::vector<std::string>& row) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
  };
  if (!header.empty()) measure(header);
  for (const auto& row : rows) measure(row);
  std::string out;
  auto emit = [&](const std::vector<std::string>& row) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - Width(row[i]) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  };
  if (!header.empty()) emit(header);
  for (const auto& row : rows) emit(row);
  return out;
}

std::string HumanBytes(uint64_t bytes) {
  static const char* units[] = {"B", "kB", "MB", "GB", "TB"};
  if (bytes < 1000) return std::to_string(bytes) + " B";
  double v = static_cast<double>(bytes);
  int u = 0;
  while (v >= 1000 && u < 4) v /= 1000, ++u;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f %s", v, units[u]);
  return buf;
}

std::string PlainLines(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\r') {
      out += '\n';
      ++i;
    } else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string MaskPasswords(const std::string& text) {
  std::string out;
  size_t done = 0;
  for (size_t scheme = text.find("://"); scheme != std::string::npos; scheme = text.find("://", scheme + 3)) {
    const size_t start = scheme + 3;
    const size_t end = std::min(text.find_first_of("/?# \t\r\n", start), text.size());
    const size_t at = text.rfind('@', end == 0 ? 0 : end - 1);
    if (at == std::string::npos || at < start) continue;
    const size_t colon = text.find(':', start);
    if (colon == std::string::npos || colon + 1 >= at) continue;
    out.append(text, done, colon + 1 - done);
    out += "***";
    done = at;
    scheme = end - 3;
  }
  out.append(text, done);
  return out;
}

}  // namespace zancli
