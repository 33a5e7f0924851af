// The module's resources, kept as data in the module: the registry script (REGISTRY 101),
// the module's name (string table 100) and the version block (VERSIONINFO 1).
#ifndef ZAN_API_MODULERESOURCES_H_
#define ZAN_API_MODULERESOURCES_H_

#include <cstdint>
#include <string_view>

namespace zan::api {

inline constexpr int kRegistryScriptResource = 101;  // type "REGISTRY", language 0x0409
inline constexpr int kModuleNameString = 100;
inline constexpr int kVersionResource = 1;

// The registry script of ZANApi, "%MODULE%" not yet replaced (built from ZANApi.rgs).
std::string_view RegistryScript();
// A string of the module's string table; "" for an id it does not hold.
std::string_view LoadModuleString(int id);

struct VersionString {
  std::string_view name;
  std::string_view value;
};

// The version block: fixed version numbers, one string table (language 0x0409, code page
// 0x04B0) and its translation entry.
struct VersionInfo {
  uint16_t fileVersion[4];
  uint16_t productVersion[4];
  uint16_t language;  // 0x0409
  uint16_t codePage;  // 0x04B0
  const VersionString* strings;
  int stringCount;
};
const VersionInfo& ModuleVersionInfo();
// The value of a string of the version block; false when it has none of that name (an
// entry with an empty value, as "OLESelfRegister", is found).
bool QueryVersionString(std::string_view name, std::string_view* value);

}  // namespace zan::api

#endif
