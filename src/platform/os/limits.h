// The limits that keep the module bounded against a broken or hostile server, each with a
// default and an environment variable a host may set (read on every call, so a change
// applies to the next request). A value that is not a positive whole number is ignored.
#ifndef ZAN_PLATFORM_OS_LIMITS_H_
#define ZAN_PLATFORM_OS_LIMITS_H_

#include <cstdint>
#include <string>

namespace zan::os {

// ZANCLIENT_CONNECT_TIMEOUT: seconds to establish a connection (default 10).
constexpr const char* kEnvConnectTimeout = "ZANCLIENT_CONNECT_TIMEOUT";
// ZANCLIENT_LOW_SPEED_LIMIT / ZANCLIENT_LOW_SPEED_TIME: a transfer whose average speed stays
// under LIMIT bytes per second for TIME seconds is stopped (defaults 256 and 30).
constexpr const char* kEnvLowSpeedLimit = "ZANCLIENT_LOW_SPEED_LIMIT";
constexpr const char* kEnvLowSpeedTime = "ZANCLIENT_LOW_SPEED_TIME";
// ZANCLIENT_MAX_XML_SIZE: bytes of one XML reply or document held in memory (default
// 256 MiB). File bodies stream to and from disk and have no cap.
constexpr const char* kEnvMaxXmlSize = "ZANCLIENT_MAX_XML_SIZE";
// ZANCLIENT_MAX_XML_DEPTH: element nesting levels of one XML reply or document (default 10000).
constexpr const char* kEnvMaxXmlDepth = "ZANCLIENT_MAX_XML_DEPTH";

constexpr uint64_t kDefaultConnectTimeoutSeconds = 10;
constexpr uint64_t kDefaultLowSpeedLimit = 256;
constexpr uint64_t kDefaultLowSpeedTimeSeconds = 30;
constexpr uint64_t kDefaultMaxXmlSize = 256ull * 1024 * 1024;
constexpr uint64_t kDefaultMaxXmlDepth = 10000;

// The environment variable's value when it is a positive whole number, else fallback.
uint64_t LimitFromEnvironment(const char* name, uint64_t fallback);

uint64_t MaxXmlSize();   // ZANCLIENT_MAX_XML_SIZE or its default
uint64_t MaxXmlDepth();  // ZANCLIENT_MAX_XML_DEPTH or its default

// "the limit of 268435456 bytes (ZANCLIENT_MAX_XML_SIZE)": the cap named in error texts.
std::string XmlSizeCapText();
std::string XmlDepthCapText();

}  // namespace zan::os

#endif
