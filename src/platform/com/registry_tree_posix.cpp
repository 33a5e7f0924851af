#include "platform/com/registry_tree.h"

#include <algorithm>
#include <cstdio>

namespace zan::reg {

namespace {

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

constexpr std::string_view kMagic = "ZANCLIENT REGISTRY 1";

template <typename Vec, typename NameOf>
auto LowerBound(Vec& v, std::string_view name, NameOf nameOf) {
  return std::lower_bound(v.begin(), v.end(), name,
                          [&](const auto& item, std::string_view n) { return NameLess(nameOf(item), n); });
}

const std::string& KeyName(const Key& k) { return k.name(); }
const std::string& PairName(const std::pair<std::string, Value>& p) { return p.first; }

}  // namespace

bool IsValidKeyName(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) { return c == '\\' || IsControl(c); });
}

Key* Key::FindSubkey(std::string_view name) {
  auto it = LowerBound(subkeys_, name, KeyName);
  return (it != subkeys_.end() && NameEquals(it->name(), name)) ? &*it : nullptr;
}

const Key* Key::FindSubkey(std::string_view name) const { return const_cast<Key*>(this)->FindSubkey(name); }

Key& Key::CreateSubkey(std::string_view name) {
  auto it = LowerBound(subkeys_, name, KeyName);
  if (it != subkeys_.end() && NameEquals(it->name(), name)) return *it;
  return *subkeys_.insert(it, Key(std::string(name)));
}

bool Key::RemoveSubkey(std::string_view name) {
  auto it = LowerBound(subkeys_, name, KeyName);
  if (it == subkeys_.end() || !NameEquals(it->name(), name)) return false;
  subkeys_.erase(it);
  return true;
}

void Key::Clear() {
  subkeys_.clear();
  values_.clear();
}

const Value* Key::FindValue(std::string_view name) const {
  auto it = LowerBound(values_, name, PairName);
  return (it != values_.end() && NameEquals(it->first, name)) ? &it->second : nullptr;
}

void Key::SetValue(std::string_view name, Value value) {
  auto it = LowerBound(values_, name, PairName);
  if (it != values_.end() && NameEquals(it->first, name))
    it->second = std::move(value);
  else
    values_.insert(it, {std::string(name), std::move(value)});
}

bool Key::RemoveValue(std::string_view name) {
  auto it = LowerBound(values_, name, PairName);
  if (it == values_.end() || !NameEquals(it->first, name)) return false;
  values_.erase(it);
  return true;
}

bool SplitPath(std::string_view path, std::vector<std::string_view>* segments) {
  segments->clear();
  if (path.empty()) return true;
  size_t start = 0;
  for (;;) {
    const size_t sep = path.find('\\', start);
    const std::string_view seg =
        path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
    if (!IsValidKeyName(seg)) return false;
    segments->push_back(seg);
    if (sep == std::string_view::npos) return true;
    start = sep + 1;
  }
}

Key* Key::Find(std::string_view path) {
  std::vector<std::string_view> segs;
  if (!SplitPath(path, &segs)) return nullptr;
  Key* k = this;
  for (std::string_view s : segs) {
    k = k->FindSubkey(s);
    if (!k) return nullptr;
  }
  return k;
}

const Key* Key::Find(std::string_view path) const { return const_cast<Key*>(this)->Find(path); }

HRESULT Key::Create(std::string_view path, Key** out) {
  std::vector<std::string_view> segs;
  if (path.empty() || !SplitPath(path, &segs)) return E_INVALIDARG;
  Key* k = this;
  for (std::string_view s : segs) k = &k->CreateSubkey(s);
  if (out) *out = k;
  return S_OK;
}

// ---- text form ----

namespace {

void AppendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (IsControl(c)) {
          char buf[5];
          std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(c));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void AppendValue(std::string& out, const Value& v) {
  if (v.type == ValueType::kDword) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08X", static_cast<unsigned>(v.number));
    out += buf;
  } else {
    AppendQuoted(out, v.text);
  }
}

void AppendValues(std::string& out, const Key& key) {
  for (const auto& [name, value] : key.values()) {
    if (name.empty())
      out += '@';
    else
      AppendQuoted(out, name);
    out += '=';
    AppendValue(out, value);
    out += '\n';
  }
}

void AppendKey(std::string& out, const Key& key, const std::string& path) {
  out += "\n[" + path + "]\n";
  AppendValues(out, key);
  for (const Key& sub : key.subkeys()) AppendKey(out, sub, path + "\\" + sub.name());
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string at s[pos] ('"'); advances pos past the closing quote.
bool ReadQuoted(std::string_view s, size_t& pos, std::string* out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  out->clear();
  for (++pos; pos < s.size(); ++pos) {
    char c = s[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++pos >= s.size()) return false;
    switch (s[pos]) {
      case '\\':
        *out += '\\';
        break;
      case '"':
        *out += '"';
        break;
      case 'n':
        *out += '\n';
        break;
      case 'r':
        *out += '\r';
        break;
      case 't':
        *out += '\t';
        break;
      case 'x': {
        if (pos + 2 >= s.size()) return false;
        const int hi = HexValue(s[pos + 1]), lo = HexValue(s[pos + 2]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

bool ParseValueLine(std::string_view line, Key* key) {
  size_t pos = 0;
  std::string name;
  if (line[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, pos, &name) || name.empty()) {
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  Value value;
  constexpr std::string_view kDword = "dword:";
  if (line.substr(pos, kDword.size()) == kDword) {
    const std::string_view hex = line.substr(pos + kDword.size());
    if (hex.size() != 8) return false;
    DWORD n = 0;
    for (char c : hex) {
      const int d = HexValue(c);
      if (d < 0) return false;
      n = n * 16 + static_cast<DWORD>(d);
    }
    value = Value::Dword(n);
  } else {
    std::string text;
    if (!ReadQuoted(line, pos, &text) || pos != line.size()) return false;
    value = Value::String(std::move(text));
  }
  key->SetValue(name, std::move(value));
  return true;
}

}  // namespace

std::string Serialize(const Key& root) {
  std::string out(kMagic);
  out += "\n; HKEY_CLASSES_ROOT of zanclient. Keys in brackets; @ is the default value.\n";
  if (!root.values().empty()) {  // the root's own values stand under "[]"
    out += "\n[]\n";
    AppendValues(out, root);
  }
  for (const Key& sub : root.subkeys()) AppendKey(out, sub, sub.name());
  return out;
}

bool Parse(std::string_view text, Key* root) {
  root->Clear();
  if (text.empty()) return true;
  bool sawMagic = false;
  Key* current = nullptr;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!sawMagic) {
      if (line != kMagic) return false;
      sawMagic = true;
      continue;
    }
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return false;
      const std::string_view path = line.substr(1, line.size() - 2);
      if (path.empty()) {
        current = root;
      } else if (FAILED(root->Create(path, &current))) {
        return false;
      }
      continue;
    }
    if (!current || !ParseValueLine(line, current)) return false;
  }
  return sawMagic;
}

}  // namespace zan::reg
