#include "platform/com/registry.h"

#include <cerrno>

#include "platform/os/environment.h"
#include "platform/os/file.h"
#include "platform/os/file_io.h"
#include "platform/os/file_system.h"
#include "platform/os/lasterror.h"

namespace zan::reg {

namespace {

// The directory of the registry file ("." for a bare name).
std::string DirectoryOfFile(const std::string& path) {
  std::string dir = os::DirectoryOf(path);
  return dir.empty() ? "." : dir;
}

// The whole content of the file; false on a read error. A missing file is empty.
bool ReadRegistryFile(const std::string& path, std::string* text) {
  text->clear();
  return os::ReadWholeFile(path, *text) || os::IsNotFound(os::LastError());
}

// The lock file beside the registry file; closed when it cannot be opened (or, for readers,
// created). Readers go on without it: every write replaces the file whole by a rename.
os::File OpenLock(const std::string& path, bool forWriting) {
  return os::File::OpenLockFile(path + ".lock", forWriting);
}

}  // namespace

std::string RegistryFilePath() {
  if (std::string explicitPath = os::EnvironmentValue("ZANCLIENT_REGISTRY"); !explicitPath.empty()) return explicitPath;
  if (const std::string xdg = os::EnvironmentValue("XDG_DATA_HOME"); xdg.starts_with('/'))
    return xdg + "/zanclient/registry";
  return os::HomeDirectory() + "/.local/share/zanclient/registry";
}

// The registry file's tree, read under the caller's lock.
static HRESULT Load(const std::string& path, Key& root) {
  std::string text;
  if (!ReadRegistryFile(path, &text)) return REGDB_E_READREGDB;
  if (!Parse(text, &root)) return REGDB_E_READREGDB;
  return S_OK;
}

HRESULT Read(const std::function<HRESULT(const Key& root)>& fn) {
  const std::string path = RegistryFilePath();
  os::File lock = OpenLock(path, false);
  if (lock.isOpen() && !lock.Lock(false)) return REGDB_E_READREGDB;
  Key root;
  if (HRESULT hr = Load(path, root); FAILED(hr)) return hr;
  return fn(root);
}

HRESULT Update(const std::function<HRESULT(Key& root)>& fn) {
  const std::string path = RegistryFilePath();
  if (!os::CreateDirectories(DirectoryOfFile(path))) return REGDB_E_WRITEREGDB;
  os::File lock = OpenLock(path, true);
  if (!lock.isOpen() || !lock.Lock(true)) return REGDB_E_WRITEREGDB;
  Key root;
  if (HRESULT loaded = Load(path, root); FAILED(loaded)) return loaded;
  const std::string before = Serialize(root);
  const HRESULT hr = fn(root);
  if (FAILED(hr)) return hr;
  const std::string updated = Serialize(root);
  // An unchanged tree is not written (an empty registry stays without a file).
  if (updated == before) return hr;
  if (!os::ReplaceWholeFile(path, updated)) return REGDB_E_WRITEREGDB;
  return hr;
}

HRESULT CreateKey(std::string_view path) {
  return Update([&](Key& root) { return root.Create(path); });
}

HRESULT SetValue(std::string_view path, std::string_view name, std::string_view text) {
  return Update([&](Key& root) {
    Key* key = &root;
    if (!path.empty()) {
      if (HRESULT hr = root.Create(path, &key); FAILED(hr)) return hr;
    }
    key->SetValue(name, Value::String(std::string(text)));
    return S_OK;
  });
}

HRESULT SetDwordValue(std::string_view path, std::string_view name, DWORD number) {
  return Update([&](Key& root) {
    Key* key = &root;
    if (!path.empty()) {
      if (HRESULT hr = root.Create(path, &key); FAILED(hr)) return hr;
    }
    key->SetValue(name, Value::Dword(number));
    return S_OK;
  });
}

namespace {
// kNotFound for a missing key, E_INVALIDARG for a malformed path.
template <typename K>
HRESULT Locate(K& root, std::string_view path, K** key) {
  std::vector<std::string_view> segs;
  if (!SplitPath(path, &segs)) return E_INVALIDARG;
  *key = root.Find(path);
  return *key ? S_OK : kNotFound;
}
}  // namespace

HRESULT QueryValue(std::string_view path, std::string_view name, Value* value) {
  return Read([&](const Key& root) {
    const Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    const Value* v = key->FindValue(name);
    if (!v) return kNotFound;
    *value = *v;
    return S_OK;
  });
}

HRESULT QueryValue(std::string_view path, std::string_view name, std::string* text) {
  Value v;
  if (HRESULT hr = QueryValue(path, name, &v); FAILED(hr)) return hr;
  if (v.type != ValueType::kString) return kUnsupportedType;
  *text = std::move(v.text);
  return S_OK;
}

bool KeyExists(std::string_view path) {
  return Read([&](const Key& root) {
           const Key* key = nullptr;
           return Locate(root, path, &key);
         }) == S_OK;
}

HRESULT EnumKeys(std::string_view path, std::vector<std::string>* names) {
  names->clear();
  return Read([&](const Key& root) {
    const Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    for (const Key& k : key->subkeys()) names->push_back(k.name());
    return S_OK;
  });
}

HRESULT EnumValues(std::string_view path, std::vector<std::pair<std::string, Value>>* values) {
  values->clear();
  return Read([&](const Key& root) {
    const Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    *values = key->values();
    return S_OK;
  });
}

HRESULT DeleteValue(std::string_view path, std::string_view name) {
  return Update([&](Key& root) {
    Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    return key->RemoveValue(name) ? S_OK : kNotFound;
  });
}

namespace {
// Splits "a\b\c" into the parent path "a\b" and the last name "c".
std::pair<std::string_view, std::string_view> ParentAndName(std::string_view path) {
  const size_t sep = path.rfind('\\');
  if (sep == std::string_view::npos) return {std::string_view(), path};
  return {path.substr(0, sep), path.substr(sep + 1)};
}
}  // namespace

HRESULT DeleteKey(std::string_view path) {
  if (path.empty()) return E_INVALIDARG;
  return Update([&](Key& root) {
    Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    if (!key->subkeys().empty()) return E_ACCESSDENIED;
    const auto [parent, name] = ParentAndName(path);
    root.Find(parent)->RemoveSubkey(name);
    return S_OK;
  });
}

HRESULT DeleteTree(std::string_view path) {
  return Update([&](Key& root) {
    Key* key = nullptr;
    if (HRESULT hr = Locate(root, path, &key); FAILED(hr)) return hr;
    if (path.empty()) {
      root.Clear();
      return S_OK;
    }
    const auto [parent, name] = ParentAndName(path);
    root.Find(parent)->RemoveSubkey(name);
    return S_OK;
  });
}

}  // namespace zan::reg
