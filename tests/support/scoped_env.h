// Environment variables changed for one scope: each variable set, unset or only remembered
// through this object gets its previous value (or its absence) back on destruction, in reverse
// order. For tests that set the module's variables (ZANCLIENT_..., credentials, TLS).
#ifndef ZAN_TESTS_SUPPORT_SCOPED_ENV_H_
#define ZAN_TESTS_SUPPORT_SCOPED_ENV_H_

#include <cstdlib>
#include <string>
#include <vector>

#include "support/host.h"

namespace zan::test {

class ScopedEnv {
 public:
  ScopedEnv() = default;
  // Remembers name's value and leaves it as it is (the scope may change it by other means).
  explicit ScopedEnv(const std::string& name) { Save(name); }
  ScopedEnv(const std::string& name, const std::string& value) { Set(name, value.c_str()); }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      SetEnvironment(it->name, it->had ? it->value.c_str() : nullptr);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // Sets name to value, or unsets it when value is null.
  ScopedEnv& Set(const std::string& name, const char* value) {
    Save(name);
    SetEnvironment(name, value);
    return *this;
  }

 private:
  void Save(const std::string& name) {
    const char* old = std::getenv(name.c_str());
    saved_.push_back(Saved{name, old != nullptr, old ? old : ""});
  }
  struct Saved {
    std::string name;
    bool had;
    std::string value;
  };
  std::vector<Saved> saved_;
};

}  // namespace zan::test

#endif
