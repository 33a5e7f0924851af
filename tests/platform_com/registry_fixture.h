// A fixture that points the registry at a fresh file in a temporary directory for each test
// (never the user's own registry), with helpers that show the registry as text.
#ifndef ZAN_TESTS_PLATFORM_COM_REGISTRY_FIXTURE_H_
#define ZAN_TESTS_PLATFORM_COM_REGISTRY_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/com/registry.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zan::test {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZANCLIENT_REGISTRY", RegistryFile().c_str(), 1); }

  std::string RegistryFile() const { return dir_ / "registry"; }
  std::string FileText() const { return dir_.Read("registry"); }

  // The keys below path, one line each in depth-first name order: the key's path (relative to
  // path), then its values as " @=text" (default) and " name=text" (DWORDs as "dword:n");
  // "<error>" when the registry cannot be read or the key is missing.
  static std::string Dump(const std::string& path = "") {
    std::string out;
    const HRESULT hr = reg::Read([&](const reg::Key& root) {
      const reg::Key* key = root.Find(path);
      if (!key) return reg::kNotFound;
      for (const reg::Key& sub : key->subkeys()) DumpKey(sub, sub.name(), out);
      return S_OK;
    });
    return FAILED(hr) ? "<error>" : out;
  }

  // The default value of a key, or "<missing>".
  static std::string Default(const std::string& path) {
    std::string text;
    return SUCCEEDED(reg::QueryValue(path, "", &text)) ? text : "<missing>";
  }

  TempDir dir_;

 private:
  static void DumpKey(const reg::Key& key, const std::string& path, std::string& out) {
    out += path;
    for (const auto& [name, value] : key.values()) {
      out += " " + (name.empty() ? std::string("@") : name) + "=";
      out += value.type == reg::ValueType::kString ? value.text : "dword:" + std::to_string(value.number);
    }
    out += "\n";
    for (const reg::Key& sub : key.subkeys()) DumpKey(sub, path + "\\" + sub.name(), out);
  }

  ScopedEnv saved_{"ZANCLIENT_REGISTRY"};
};

}  // namespace zan::test

#endif
