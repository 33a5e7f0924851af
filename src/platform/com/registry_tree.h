// The registry's key/value tree in memory and its text form. A key has subkeys and values;
// the value named "" is the key's default value. Names compare ASCII case-insensitively, as
// the Windows registry compares them, and keep the case they were created with.
#ifndef ZAN_PLATFORM_COM_REGISTRY_TREE_H_
#define ZAN_PLATFORM_COM_REGISTRY_TREE_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/names.h"
#include "zanclient/com.h"

namespace zan::reg {

enum class ValueType { kString, kDword };

struct Value {
  ValueType type = ValueType::kString;
  std::string text;  // kString: UTF-8 text
  DWORD number = 0;  // kDword
  static Value String(std::string t) { return Value{ValueType::kString, std::move(t), 0}; }
  static Value Dword(DWORD n) { return Value{ValueType::kDword, {}, n}; }
  bool operator==(const Value&) const = default;
};

// A key name is not empty and holds neither '\' (the path separator) nor control characters.
bool IsValidKeyName(std::string_view name);

class Key {
 public:
  explicit Key(std::string name = {}) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }

  // Subkeys in name order. References and pointers to subkeys stay valid until this key's
  // list of subkeys changes.
  const std::vector<Key>& subkeys() const { return subkeys_; }
  Key* FindSubkey(std::string_view name);
  const Key* FindSubkey(std::string_view name) const;
  // The existing subkey of that name, or a new one; the name must satisfy IsValidKeyName.
  Key& CreateSubkey(std::string_view name);
  // Removes the subkey with its whole tree; false when there is none.
  bool RemoveSubkey(std::string_view name);
  // Removes every subkey and value.
  void Clear();

  // Values in name order; "" is the default value.
  const std::vector<std::pair<std::string, Value>>& values() const { return values_; }
  const Value* FindValue(std::string_view name) const;
  void SetValue(std::string_view name, Value value);
  bool RemoveValue(std::string_view name);

  // Paths name keys below this one, segments separated by '\'; the empty path is this key.
  // Find gives null for a missing key or a malformed path.
  Key* Find(std::string_view path);
  const Key* Find(std::string_view path) const;
  // Creates the missing keys of a path; E_INVALIDARG for an empty path or an invalid segment
  // (nothing is created then). *out, when given, receives the key.
  HRESULT Create(std::string_view path, Key** out = nullptr);

 private:
  std::string name_;
  std::vector<Key> subkeys_;
  std::vector<std::pair<std::string, Value>> values_;
};

// Splits a path into its segments; false when a segment is not a valid key name. The empty
// path has no segments.
bool SplitPath(std::string_view path, std::vector<std::string_view>* segments);

// The registry file's text: a first line "ZANCLIENT REGISTRY 1", then one block per key in
// depth-first name order: "[path]" followed by its values, `@=` for the default value and
// `"name"=` for the others, each either a quoted string ("\\", "\"", "\n", "\r", "\t" and
// "\xHH" escapes; other bytes as they are) or `dword:` and eight hex digits. Blank lines
// and lines starting with ';' are comments.
std::string Serialize(const Key& root);
// Parses Serialize's text into *root (cleared first). Empty text is an empty tree. False for
// text that is not a registry file; *root is then unspecified.
bool Parse(std::string_view text, Key* root);

}  // namespace zan::reg

#endif
