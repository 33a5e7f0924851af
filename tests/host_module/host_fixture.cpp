#include "host_fixture.h"

#include <cstdlib>
#include <sstream>

#include "support/host.h"

namespace zan::test {

ScopedRegistry::ScopedRegistry() {
  if (const char* v = std::getenv("ZANCLIENT_REGISTRY")) {
    hadValue_ = true;
    previous_ = v;
  }
  SetEnvironment("ZANCLIENT_REGISTRY", File().c_str());
}

ScopedRegistry::~ScopedRegistry() {
  SetEnvironment("ZANCLIENT_REGISTRY", hadValue_ ? previous_.c_str() : nullptr);
}

std::string ScopedRegistry::Lines() const {
  std::istringstream in(dir_.Read("registry"));
  std::string out;
  bool header = true;
  for (std::string line; std::getline(in, line);) {
    if (header) {
      header = false;
      continue;
    }
    if (!line.empty() && line[0] != ';') out += line + "\n";
  }
  return out;
}

HostCalls::~HostCalls() {
  for (BSTR b : args_) host_.SysFreeString(b);
  host_.SysFreeString(out_);
}

BSTR HostCalls::B(const std::string& text) { return args_.emplace_back(host_.Alloc(text)); }

BSTR* HostCalls::Out() {
  host_.SysFreeString(out_);
  out_ = nullptr;
  return &out_;
}

std::string HostCalls::Result(HRESULT hr) {
  if (hr == S_OK) return "ok " + host_.Text(out_);
  return Hex(hr) + " " + host_.TakeErrorText();
}

void HostServerTest::SetUp() {
  registry_ = std::make_unique<ScopedRegistry>();
  DavTest::SetUp();
  if (HasFatalFailure()) return;
  log_ = std::make_unique<AccessLog>();
  api_ = host_.Create();
}

void HostServerTest::TearDown() {
  if (api_) api_->Release();
  api_ = nullptr;
  DavTest::TearDown();
  registry_.reset();
}

std::vector<std::string> HostServerTest::Requests(const std::string& path) const {
  std::vector<std::string> lines;
  for (const LoggedRequest& request : log_->Since(path)) lines.push_back(request.method + " " + request.path);
  return lines;
}

std::string Set(const std::string& inner) {
  return std::string(kPrologue) + (inner.empty() ? "<QKXItem/>" : "<QKXItem>" + inner + "</QKXItem>");
}

std::string Item(const std::vector<std::pair<std::string, std::string>>& items) {
  std::string out = "<QKXItem>";
  for (const auto& [name, value] : items) out += "<" + name + ">" + value + "</" + name + ">";
  return out + "</QKXItem>";
}

}  // namespace zan::test
