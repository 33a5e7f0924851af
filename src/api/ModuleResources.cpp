#include "api/ModuleResources.h"

#include <iterator>

// Generated at build time from ZANApi.rgs (EmbedText.cmake).
extern const char kZANApiRegistryScript[];

namespace zan::api {
namespace {

constexpr VersionString kVersionStrings[] = {
    {"FileDescription", "ZANClient Module"},
    {"FileVersion", "1, 0, 0, 1"},
    {"InternalName", "ZANClient"},
    {"LegalCopyright", ""},
    {"OriginalFilename", "ZANClient.DLL"},
    {"ProductName", "ZANClient Module"},
    {"ProductVersion", "1, 0, 0, 1"},
    {"OLESelfRegister", ""},
};

constexpr VersionInfo kVersionInfo = {
    {1, 0, 0, 1}, {1, 0, 0, 1}, 0x0409, 0x04B0, kVersionStrings, static_cast<int>(std::size(kVersionStrings)),
};

}  // namespace

std::string_view RegistryScript() { return kZANApiRegistryScript; }

std::string_view LoadModuleString(int id) { return id == kModuleNameString ? "ZANClient" : ""; }

const VersionInfo& ModuleVersionInfo() { return kVersionInfo; }

bool QueryVersionString(std::string_view name, std::string_view* value) {
  for (const VersionString& s : kVersionStrings) {
    if (s.name == name) {
      if (value) *value = s.value;
      return true;
    }
  }
  return false;
}

}  // namespace zan::api
