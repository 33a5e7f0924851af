#include "platform/os/limits.h"

#include "platform/os/environment.h"

namespace zan::os {

uint64_t LimitFromEnvironment(const char* name, uint64_t fallback) {
  const std::string text = EnvironmentValue(name);
  if (text.empty()) return fallback;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return fallback;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return fallback;
    value = value * 10 + digit;
  }
  return value > 0 ? value : fallback;
}

uint64_t MaxXmlSize() { return LimitFromEnvironment(kEnvMaxXmlSize, kDefaultMaxXmlSize); }

uint64_t MaxXmlDepth() { return LimitFromEnvironment(kEnvMaxXmlDepth, kDefaultMaxXmlDepth); }

std::string XmlSizeCapText() {
  return "the limit of " + std::to_string(MaxXmlSize()) + " bytes (" + kEnvMaxXmlSize + ")";
}

std::string XmlDepthCapText() {
  return "the limit of " + std::to_string(MaxXmlDepth()) + " nesting levels (" + kEnvMaxXmlDepth + ")";
}

}  // namespace zan::os
