#include "platform/os/profile.h"

#include <mutex>
#include <string>
#include <vector>

#include "platform/os/codepage.h"
#include "platform/os/file_io.h"
#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {

std::mutex g_profileMutex;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Case-insensitive for ASCII letters; the two bytes of a double-byte character compare exactly.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (IsDBCSLeadByte(x)) {
      if (x != y || (i + 1 < a.size() && a[i + 1] != b[i + 1])) return false;
      ++i;
      continue;
    }
    const auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
    if (fold(x) != fold(y)) return false;
  }
  return true;
}

struct Line {
  size_t begin;  // offset of the line's text
  size_t size;   // text without the line end
  size_t eol;    // bytes of the line end (0 for a last line without one)
};

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) {
      lines.push_back({pos, text.size() - pos, 0});
      break;
    }
    const bool cr = nl > pos && text[nl - 1] == '\r';
    lines.push_back({pos, nl - pos - (cr ? 1 : 0), cr ? 2u : 1u});
    pos = nl + 1;
  }
  return lines;
}

// The section name of a "[name]" line, or false.
bool SectionName(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

bool Valid(std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos && !s.empty(); }

}  // namespace

bool WriteIniString(std::string_view section, std::string_view key, std::string_view value,
                    std::string_view fileName) {
  // A name or value holding a line break would write lines of its own.
  if (!Valid(section) || !Valid(key)) return Fail(ErrorKind::kInvalid);
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || section.find(']') != std::string_view::npos ||
      key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[' ||
      value.find_first_of("\r\n") != std::string_view::npos ||
      fileName.empty() || fileName.find('\0') != std::string_view::npos) {
    return Fail(ErrorKind::kInvalid);
  }
  std::string path = ToNativePath(fileName);
  // Replacing a symbolic link would cut it off its file: write the file it names.
  if (IsSymbolicLink(path) && !ResolvedPath(path, path)) return false;

  std::lock_guard<std::mutex> lock(g_profileMutex);
  std::string text;
  if (!ReadWholeFile(path, text) && !IsNotFound(LastError())) return false;

  const size_t firstNl = text.find('\n');
  const std::string eol = firstNl == std::string::npos || (firstNl > 0 && text[firstNl - 1] == '\r') ? "\r\n" : "\n";
  const std::vector<Line> lines = SplitLines(text);
  const auto lineText = [&](const Line& l) { return std::string_view(text).substr(l.begin, l.size); };

  size_t header = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (SectionName(lineText(lines[i]), name) && SameName(name, section)) {
      header = i;
      break;
    }
  }

  std::string result;
  if (header == lines.size()) {
    result = text;
    if (!result.empty() && result.back() != '\n') result += eol;
    result.append("[").append(section).append("]").append(eol);
    result.append(key).append("=").append(value).append(eol);
  } else {
    size_t lastFilled = header;  // the section's last non-blank line
    size_t end = header + 1;     // first line after the section
    for (; end < lines.size(); ++end) {
      std::string_view name;
      const std::string_view line = lineText(lines[end]);
      if (SectionName(line, name)) break;
      if (!Trim(line).empty()) lastFilled = end;
      const std::string_view trimmed = Trim(line);
      const size_t eq = trimmed.find('=');
      if (trimmed.empty() || trimmed.front() == ';' || eq == std::string_view::npos) continue;
      if (!SameName(Trim(trimmed.substr(0, eq)), key)) continue;
      // Keep the key text, '=' and the blanks after it; replace the rest of the line. A value
      // that brings its own leading blanks replaces those blanks too (else each write of
      // it would add them again).
      const size_t equals = line.find('=') + 1;
      size_t valueBegin = equals;
      while (valueBegin < line.size() && IsBlank(line[valueBegin])) ++valueBegin;
      if (line.substr(valueBegin) == value) return true;
      const size_t keep = !value.empty() && IsBlank(value.front()) ? equals : valueBegin;
      const Line& l = lines[end];
      result = text.substr(0, l.begin + keep);
      result.append(value);
      result.append(text, l.begin + l.size, std::string::npos);
      return ReplaceWholeFile(path, result);
    }
    const Line& after = lines[lastFilled];
    const size_t cut = after.begin + after.size + after.eol;
    result = text.substr(0, cut);
    if (after.eol == 0) result += eol;
    result.append(key).append("=").append(value).append(eol);
    result.append(text, cut, std::string::npos);
  }
  return ReplaceWholeFile(path, result);
}

}  // namespace zan::os
