// The registry: a file-backed stand-in for HKEY_CLASSES_ROOT. Paths name keys below the root,
// segments separated by '\' ("CLSID\{...}\InprocServer32"); names compare ASCII
// case-insensitively. Every call reads the whole file and every change writes it whole: under
// an advisory lock (flock on "<file>.lock"), through a temporary file renamed over the old
// one, so concurrent processes neither lose changes nor see half-written files. A missing
// file is an empty registry. Any thread; calls serialise on the lock.
#ifndef ZAN_PLATFORM_COM_REGISTRY_H_
#define ZAN_PLATFORM_COM_REGISTRY_H_

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/registry_tree.h"
#include "zanclient/com.h"

namespace zan::reg {

// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): no such key or value.
constexpr HRESULT kNotFound = MAKE_HRESULT_U(0x80070002);
// HRESULT_FROM_WIN32(ERROR_UNSUPPORTED_TYPE): the value is not a string.
constexpr HRESULT kUnsupportedType = MAKE_HRESULT_U(0x8007065E);
// Failures of the file: REGDB_E_READREGDB (cannot be read, or is not a registry file; it is
// then never overwritten) and REGDB_E_WRITEREGDB (cannot be written).

// The registry file: $ZANCLIENT_REGISTRY when set and not empty, else
// $XDG_DATA_HOME/zanclient/registry (when XDG_DATA_HOME is an absolute path), else
// $HOME/.local/share/zanclient/registry. Taken from the environment on every call.
std::string RegistryFilePath();

// Runs fn on the registry's tree and returns its status.
HRESULT Read(const std::function<HRESULT(const Key& root)>& fn);
// Runs fn on the registry's tree under the exclusive lock. When fn succeeds and the tree
// changed, the tree is written back; when fn fails nothing is written and its status is
// returned. The file's directory is created when needed.
HRESULT Update(const std::function<HRESULT(Key& root)>& fn);

// The calls below are one Read or Update each. Invalid paths give E_INVALIDARG; a missing
// key or value gives kNotFound. The value name "" is the default value.
HRESULT CreateKey(std::string_view path);
HRESULT SetValue(std::string_view path, std::string_view name, std::string_view text);  // creates the key
HRESULT SetDwordValue(std::string_view path, std::string_view name, DWORD number);      // creates the key
HRESULT QueryValue(std::string_view path, std::string_view name, Value* value);
// A string value's text; kUnsupportedType for a DWORD value.
HRESULT QueryValue(std::string_view path, std::string_view name, std::string* text);
bool KeyExists(std::string_view path);
// Subkey names and values, in name order.
HRESULT EnumKeys(std::string_view path, std::vector<std::string>* names);
HRESULT EnumValues(std::string_view path, std::vector<std::pair<std::string, Value>>* values);
HRESULT DeleteValue(std::string_view path, std::string_view name);
// Deletes a key without subkeys (E_ACCESSDENIED when it has some), as RegDeleteKey does.
HRESULT DeleteKey(std::string_view path);
// Deletes a key with its whole tree; the empty path empties the registry.
HRESULT DeleteTree(std::string_view path);

}  // namespace zan::reg

#endif
