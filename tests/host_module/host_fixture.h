// Fixtures of the host tests: every test points the registry at a fresh file of its own
// (ZANCLIENT_REGISTRY), and the server tests add a fresh repository root R on the test
// server and a new ZANApi object created through the module's class factory.
#ifndef ZAN_TESTS_HOST_MODULE_HOST_FIXTURE_H_
#define ZAN_TESTS_HOST_MODULE_HOST_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "module_host.h"
#include "support/access_log.h"
#include "support/dav_server.h"
#include "support/temp_dir.h"

namespace zan::test {

// Points ZANCLIENT_REGISTRY at <dir>/registry while it lives; restores the variable after.
class ScopedRegistry {
 public:
  ScopedRegistry();
  ~ScopedRegistry();
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;

  std::string File() const { return dir_ / "registry"; }
  // The registry file without its header line, comments and blank lines; "" when there is no file.
  std::string Lines() const;

 private:
  TempDir dir_;
  bool hadValue_ = false;
  std::string previous_;
};

// Converts arguments and results at the module's interface for one-line checks.
class HostCalls {
 public:
  explicit HostCalls(ModuleHost& host) : host_(host) {}
  ~HostCalls();

  // A BSTR of the module that lives until the fixture ends.
  BSTR B(const std::string& text);
  // The out parameter, emptied (its previous string freed).
  BSTR* Out();
  // "ok " + the out text for S_OK; else the status and the thread's error text:
  // "0x80040066 Item wasn't found.\n\r...".
  std::string Result(HRESULT hr);

  ModuleHost& host() { return host_; }

 private:
  ModuleHost& host_;
  std::vector<BSTR> args_;
  BSTR out_ = nullptr;
};

class HostServerTest : public DavTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  BSTR B(const std::string& text) { return calls_.B(text); }
  BSTR* Out() { return calls_.Out(); }
  std::string Result(HRESULT hr) { return calls_.Result(hr); }
  // R as a BSTR.
  BSTR Root() { return calls_.B(R()); }
  // The requests ("METHOD PATH") of the server's access log whose path contains path, since
  // the test began; every request answered before the call is there.
  std::vector<std::string> Requests(const std::string& path) const;

  ModuleHost& host_ = ModuleHost::Built();
  std::unique_ptr<ScopedRegistry> registry_;
  HostCalls calls_{host_};
  IZANApi* api_ = nullptr;

 private:
  std::unique_ptr<AccessLog> log_;
};

// The texts the XML layer produces: the item set prologue and an empty set.
inline constexpr char kPrologue[] =
    "<?xml version=\"1.0\"?><?xml:stylesheet type=\"text/xsl\" version=\"1.0\" "
    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"?><?xml:output method=\"html\" encoding=\"UTF-16\"?>";
// A set with the given inner text: Set("") is the empty response.
std::string Set(const std::string& inner);
// One inner set's text from name/value pairs: Item({{"ZAN_NAME", "A"}}).
std::string Item(const std::vector<std::pair<std::string, std::string>>& items);

}  // namespace zan::test

#endif
