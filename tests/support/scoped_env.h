// Sets an environment variable for one scope; the previous value (or its absence) comes back
// afterwards. For tests that set the module's limits (ZANCLIENT_...) small.
#ifndef ZAN_TESTS_SUPPORT_SCOPED_ENV_H_
#define ZAN_TESTS_SUPPORT_SCOPED_ENV_H_

#include <cstdlib>
#include <optional>
#include <string>

namespace zan::test {

class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    setenv(name_.c_str(), value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (previous_) {
      setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace zan::test

#endif
