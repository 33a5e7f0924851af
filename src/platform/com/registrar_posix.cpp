#include "platform/com/registrar.h"

#include <atomic>
#include <optional>
#include <utility>
#include <vector>

#include "platform/com/registry.h"

namespace zan::reg {

namespace {

std::atomic<bool> g_registrarAvailable{true};

enum class Flag { kNone, kForceRemove, kNoRemove, kDelete };

struct ScriptKey {
  std::string name;
  Flag flag = Flag::kNone;
  std::optional<Value> defaultValue;
  std::vector<std::pair<std::string, Value>> values;  // `val` entries
  std::vector<ScriptKey> subkeys;
};

// Applies the replacements; false for an unknown or unterminated %NAME%.
bool Preprocess(std::string_view script, const std::map<std::string, std::string>& replacements, std::string* out) {
  out->clear();
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i] != '%') {
      *out += script[i];
      continue;
    }
    const size_t end = script.find('%', i + 1);
    if (end == std::string_view::npos) return false;
    const std::string_view name = script.substr(i + 1, end - i - 1);
    if (name.empty()) {
      *out += '%';
    } else {
      const std::string* text = nullptr;
      for (const auto& [key, value] : replacements)
        if (NameEquals(key, name)) text = &value;
      if (!text) return false;
      *out += *text;
    }
    i = end;
  }
  return true;
}

struct Token {
  enum Kind { kEnd, kWord, kQuoted, kOpen, kClose, kEquals } kind = kEnd;
  std::string text;
};

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  // False for an unterminated quoted string.
  bool Next(Token* t) {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    t->text.clear();
    if (pos_ >= text_.size()) {
      t->kind = Token::kEnd;
      return true;
    }
    const char c = text_[pos_];
    if (c == '\'') {
      t->kind = Token::kQuoted;
      for (++pos_; pos_ < text_.size(); ++pos_) {
        if (text_[pos_] != '\'') {
          t->text += text_[pos_];
        } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
          t->text += '\'';
          ++pos_;
        } else {
          ++pos_;
          return true;
        }
      }
      return false;
    }
    while (pos_ < text_.size() && !IsSpace(text_[pos_])) t->text += text_[pos_++];
    if (t->text == "{")
      t->kind = Token::kOpen;
    else if (t->text == "}")
      t->kind = Token::kClose;
    else if (t->text == "=")
      t->kind = Token::kEquals;
    else
      t->kind = Token::kWord;
    return true;
  }

 private:
  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
  std::string_view text_;
  size_t pos_ = 0;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : tokens_(text) {}

  // The keys of every HKCR block, in order; false for a malformed script.
  bool ParseScript(std::vector<ScriptKey>* keys) {
    if (!Advance()) return false;
    while (tok_.kind != Token::kEnd) {
      if (tok_.kind != Token::kWord || !(NameEquals(tok_.text, "HKCR") || NameEquals(tok_.text, "HKEY_CLASSES_ROOT")))
        return false;
      if (!Advance() || tok_.kind != Token::kOpen || !Advance()) return false;
      if (!ParseBody(keys, nullptr)) return false;
    }
    return true;
  }

 private:
  bool Advance() { return tokens_.Next(&tok_); }

  bool IsKeyword(const char* word) const { return tok_.kind == Token::kWord && NameEquals(tok_.text, word); }
  bool IsName() const { return tok_.kind == Token::kWord || tok_.kind == Token::kQuoted; }

  // Items up to and including the closing brace; named values go to *values (null at root).
  bool ParseBody(std::vector<ScriptKey>* keys, std::vector<std::pair<std::string, Value>>* values) {
    while (tok_.kind != Token::kClose) {
      if (tok_.kind == Token::kEnd) return false;
      if (IsKeyword("val")) {
        if (!values || !Advance() || !IsName()) return false;
        std::string name = tok_.text;
        if (!Advance() || tok_.kind != Token::kEquals || !Advance()) return false;
        Value v;
        if (!ParseTypedValue(&v)) return false;
        values->emplace_back(std::move(name), std::move(v));
        continue;
      }
      ScriptKey key;
      if (IsKeyword("ForceRemove"))
        key.flag = Flag::kForceRemove;
      else if (IsKeyword("NoRemove"))
        key.flag = Flag::kNoRemove;
      else if (IsKeyword("Delete"))
        key.flag = Flag::kDelete;
      if (key.flag != Flag::kNone && !Advance()) return false;
      if (!IsName() || !IsValidKeyName(tok_.text)) return false;
      key.name = tok_.text;
      if (!Advance()) return false;
      if (tok_.kind == Token::kEquals) {
        if (!Advance()) return false;
        Value v;
        if (!ParseTypedValue(&v)) return false;
        key.defaultValue = std::move(v);
      }
      if (tok_.kind == Token::kOpen) {
        if (!Advance() || !ParseBody(&key.subkeys, &key.values)) return false;
      }
      keys->push_back(std::move(key));
    }
    return Advance();  // past '}'
  }

  // `s 'text'` or `d number`; leaves the token after the value current.
  bool ParseTypedValue(Value* v) {
    if (tok_.kind != Token::kWord) return false;
    const bool isString = NameEquals(tok_.text, "s");
    if (!isString && !NameEquals(tok_.text, "d")) return false;
    if (!Advance() || !IsName()) return false;
    if (isString) {
      *v = Value::String(tok_.text);
    } else {
      DWORD n = 0;
      if (!ParseNumber(tok_.text, &n)) return false;
      *v = Value::Dword(n);
    }
    return Advance();
  }

  static bool ParseNumber(std::string_view s, DWORD* out) {
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
      base = 16;
      s.remove_prefix(2);
    }
    if (s.empty()) return false;
    uint64_t n = 0;
    for (char c : s) {
      unsigned d;
      if (c >= '0' && c <= '9')
        d = static_cast<unsigned>(c - '0');
      else if (base == 16 && c >= 'a' && c <= 'f')
        d = static_cast<unsigned>(c - 'a' + 10);
      else if (base == 16 && c >= 'A' && c <= 'F')
        d = static_cast<unsigned>(c - 'A' + 10);
      else
        return false;
      n = n * base + d;
      if (n > 0xFFFFFFFFull) return false;
    }
    *out = static_cast<DWORD>(n);
    return true;
  }

  Tokenizer tokens_;
  Token tok_;
};

// Keys directly below the root that no script deletes, whatever its flags say (the platform's
// registrar keeps the same list), so that a script missing a NoRemove cannot wipe them.
bool NeverDeleted(const std::string& name, bool atRoot) {
  static const char* const kNames[] = {"AppID",    "CLSID",     "Component Categories",
                                       "FileType", "Interface", "Hardware",
                                       "Mime",     "SAM",       "SECURITY",
                                       "SYSTEM",   "Software",  "TypeLib"};
  if (!atRoot) return false;
  for (const char* n : kNames)
    if (NameEquals(name, n)) return true;
  return false;
}

void Register(Key& parent, const std::vector<ScriptKey>& keys, bool atRoot) {
  for (const ScriptKey& sk : keys) {
    if ((sk.flag == Flag::kDelete || sk.flag == Flag::kForceRemove) && !NeverDeleted(sk.name, atRoot))
      parent.RemoveSubkey(sk.name);
    if (sk.flag == Flag::kDelete) continue;
    Key& key = parent.CreateSubkey(sk.name);
    if (sk.defaultValue) key.SetValue("", *sk.defaultValue);
    for (const auto& [name, value] : sk.values) key.SetValue(name, value);
    Register(key, sk.subkeys, false);
  }
}

void Unregister(Key& parent, const std::vector<ScriptKey>& keys, bool atRoot) {
  for (const ScriptKey& sk : keys) {
    Key* key = parent.FindSubkey(sk.name);
    if (!key) continue;
    const bool keep = sk.flag == Flag::kNoRemove || NeverDeleted(sk.name, atRoot);
    if (sk.flag == Flag::kForceRemove && !keep) {
      parent.RemoveSubkey(sk.name);
      continue;
    }
    for (const auto& [name, value] : sk.values) key->RemoveValue(name);
    Unregister(*key, sk.subkeys, false);
    if (!keep && key->subkeys().empty()) parent.RemoveSubkey(sk.name);
  }
}

}  // namespace

HRESULT RunRegistryScript(std::string_view script, const std::map<std::string, std::string>& replacements,
                          bool registerMode) {
  if (!g_registrarAvailable.load()) return REGDB_E_CLASSNOTREG;
  std::string text;
  std::vector<ScriptKey> keys;
  if (!Preprocess(script, replacements, &text) || !Parser(text).ParseScript(&keys)) return DISP_E_EXCEPTION;
  return Update([&](Key& root) {
    if (registerMode)
      Register(root, keys, true);
    else
      Unregister(root, keys, true);
    return S_OK;
  });
}

void SetRegistrarAvailable(bool available) { g_registrarAvailable.store(available); }

}  // namespace zan::reg
