#include "support/dav_server.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/http/transport.h"
#include "platform/http/url_encoding.h"
#include "support/host.h"
#include "support/send.h"
#include "support/shell.h"

namespace zan::test {
namespace {

struct ServerState {
  bool started = false;
  std::string error;  // why the start failed; later calls fail the same way
  std::string url;
  std::string dir;      // as the host names it
  std::string localDir; // as this process opens it
};

ServerState& State() {
  static ServerState state;
  return state;
}

std::string Script() { return std::string(ZAN_SOURCE_DIR) + "/scripts/davserver"; }

// Runs scripts/davserver start with the options; sets url and dir (the host's path) from its
// output.
void Start(const std::vector<std::string>& options, std::string& url, std::string& dir) {
  std::string command = ShellQuote(Script()) + " start";
  for (const std::string& option : options) command += " " + ShellQuote(option);
  command += " --watch-pid " + SuitePidWord();
  std::string output;
  const int status = RunOnHost(command, &output);
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("ZAN_SERVER=")) url = line.substr(11);
    if (line.starts_with("ZAN_SERVER_DIR=")) dir = line.substr(15);
  }
  if (status != 0 || url.empty() || dir.empty())
    throw std::runtime_error("scripts/davserver start failed:\n" + output);
}

// Executables started side by side may race for a free port: a failed start is retried.
void StartWithRetries(const std::vector<std::string>& options, std::string& url, std::string& dir) {
  for (int attempt = 1;; ++attempt) {
    try {
      Start(options, url, dir);
      return;
    } catch (const std::exception&) {
      if (attempt >= 3) throw;
    }
  }
}

void StopServer(const std::string& hostDir) {
  const std::string command = ShellQuote(Script()) + " stop " + ShellQuote(hostDir);
  std::string output;
  if (RunOnHost(command, &output) != 0) std::fprintf(stderr, "dav_server: '%s' failed: %s\n", command.c_str(), output.c_str());
}

class StopEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { DavServer::Stop(); }
};

// The files of tests/data/Templates (relative path, content), read once.
const std::vector<std::pair<std::string, std::string>>& TemplateFiles() {
  static const auto files = [] {
    std::vector<std::pair<std::string, std::string>> out;
    const std::filesystem::path dir = std::filesystem::path(ZAN_SOURCE_DIR) / "tests/data/Templates";
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
      const std::string relative = std::filesystem::relative(entry.path(), dir).generic_string();
      if (entry.is_directory()) {
        out.emplace_back(relative + "/", "");
      } else {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        out.emplace_back(relative, content.str());
      }
    }
    std::sort(out.begin(), out.end());  // parents before their members
    return out;
  }();
  return files;
}

std::string UniqueCollection() {
  static int counter = 0;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
  return "t" + std::to_string(++counter) + "-" + name;
}

// The text of an XML character-data run: the five predefined entities and numeric
// character references (UTF-8) resolved.
std::string XmlText(const std::string& raw) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}};
  std::string out;
  for (size_t i = 0; i < raw.size();) {
    bool replaced = false;
    if (raw[i] == '&') {
      for (const auto& [entity, text] : kEntities) {
        if (raw.compare(i, std::strlen(entity), entity) == 0) {
          out += text;
          i += std::strlen(entity);
          replaced = true;
          break;
        }
      }
      const size_t end = raw.find(';', i);
      if (!replaced && raw.compare(i, 2, "&#") == 0 && end != std::string::npos) {
        const bool hex = i + 2 < raw.size() && (raw[i + 2] == 'x' || raw[i + 2] == 'X');
        const unsigned long cp = std::stoul(raw.substr(i + (hex ? 3 : 2), end - i - (hex ? 3 : 2)), nullptr, hex ? 16 : 10);
        if (cp < 0x80) {
          out += static_cast<char>(cp);
        } else if (cp < 0x800) {
          out += static_cast<char>(0xC0 | (cp >> 6));
          out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
          out += static_cast<char>(0xE0 | (cp >> 12));
          out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
          out += static_cast<char>(0xF0 | (cp >> 18));
          out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
          out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (cp & 0x3F));
        }
        i = end + 1;
        replaced = true;
      }
    }
    if (!replaced) out += raw[i++];
  }
  return out;
}

// The texts of the DAV href elements (<href>, <D:href>, ...) of a multistatus body, in order.
std::vector<std::string> HrefTexts(const std::string& body) {
  std::vector<std::string> out;
  for (size_t at = body.find("href>"); at != std::string::npos; at = body.find("href>", at + 5)) {
    const size_t open = body.rfind('<', at);
    if (open == std::string::npos || body[open + 1] == '/') continue;
    const std::string prefix = body.substr(open + 1, at - open - 1);  // "" or "D:"
    if (!prefix.empty() && (prefix.back() != ':' || prefix.find_first_of(" /<>") != std::string::npos)) continue;
    const size_t end = body.find('<', at + 5);
    if (end == std::string::npos) break;
    out.push_back(body.substr(at + 5, end - at - 5));
  }
  return out;
}

}  // namespace

bool DavServer::Register() {
  static const bool registered = [] {
    ::testing::AddGlobalTestEnvironment(new StopEnvironment);
    return true;
  }();
  return registered;
}

const std::string& DavServer::Url() {
  ServerState& s = State();
  if (!s.error.empty()) throw std::runtime_error(s.error);
  if (!s.started) {
    try {
      StartWithRetries({"--server", Kind()}, s.url, s.dir);
      s.localDir = LocalPathOf(s.dir);
    } catch (const std::exception& e) {
      s.error = e.what();
      throw;
    }
    s.started = true;
  }
  return s.url;
}

const std::string& DavServer::Dir() {
  Url();
  return State().localDir;
}

void DavServer::Stop() {
  ServerState& s = State();
  if (!s.started) return;
  s.started = false;
  StopServer(s.dir);
}

std::string DavServer::Kind() {
  const char* kind = std::getenv("ZAN_TEST_SERVER");
  return kind && *kind ? kind : "apache";
}

ExtraDavServer::ExtraDavServer(const std::vector<std::string>& options) {
  StartWithRetries(options, url_, hostDir_);
  dir_ = LocalPathOf(hostDir_);
}

ExtraDavServer::~ExtraDavServer() { StopServer(hostDir_); }

void DavTest::SetUp() {
  std::string url;
  try {
    url = DavServer::Url();
  } catch (const std::exception& e) {
    GTEST_FAIL() << e.what();
  }
  SetUpOn(url);
}

void DavTest::SetUpOn(const std::string& serverUrl) {
  server_ = serverUrl;
  root_ = server_ + "/" + UniqueCollection();
  ASSERT_EQ(201, Mkcol(root_)) << root_;
  ASSERT_EQ(201, Mkcol(Url("Templates")));
  for (const auto& [relative, content] : TemplateFiles()) {
    if (relative.ends_with("/")) {
      ASSERT_EQ(201, Mkcol(Url("Templates/" + relative.substr(0, relative.size() - 1))));
    } else {
      ASSERT_EQ(201, Put(Url("Templates/" + relative), content)) << relative;
    }
  }
}

void DavTest::TearDown() {
  if (root_.empty()) return;
  try {
    Send("DELETE", root_);
  } catch (...) {  // the test may have stopped the server on purpose
  }
}

int DavTest::Status(const std::string& method, const std::string& url) { return Send(method, url).status; }

std::string DavTest::Get(const std::string& url) {
  http::Response r = Send("GET", url);
  return r.status >= 200 && r.status < 300 ? r.body : r.statusLine;
}

int DavTest::Put(const std::string& url, std::string_view body) { return Send("PUT", url, {}, body).status; }

int DavTest::Mkcol(const std::string& url) { return Send("MKCOL", url).status; }

bool DavTest::Exists(const std::string& url) { return Send("PROPFIND", url, {{"Depth", "0"}}).status == 207; }

std::string DavTest::Propfind(const std::string& url, const std::string& depth) {
  return Send("PROPFIND", url, {{"Depth", depth}}).body;
}

std::string DavTest::List(const std::string& collectionUrl) {
  // Only resourcetype: an allprop reply may hold more hrefs (lighttpd's lockdiscovery).
  static constexpr char kResourceType[] =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<D:propfind xmlns:D=\"DAV:\"><D:prop><D:resourcetype/></D:prop></D:propfind>";
  http::Response r = Send("PROPFIND", collectionUrl, {{"Depth", "1"}, {"Content-Type", "text/xml; charset=utf-8"}},
                          std::string_view(kResourceType));
  if (r.status != 207) return r.statusLine;
  const size_t authority = collectionUrl.find("://");
  const size_t pathStart = collectionUrl.find('/', authority == std::string::npos ? 0 : authority + 3);
  std::string self = pathStart == std::string::npos ? "" : collectionUrl.substr(pathStart);
  while (self.ends_with("/")) self.pop_back();
  std::vector<std::string> names;
  for (const std::string& href : HrefTexts(r.body)) {
    std::string path = http::DecodeUrl(XmlText(href));
    if (const size_t scheme = path.find("://"); scheme != std::string::npos) {
      const size_t slash = path.find('/', scheme + 3);
      path = slash == std::string::npos ? "" : path.substr(slash);
    }
    const bool collection = path.ends_with("/");
    while (path.ends_with("/")) path.pop_back();
    if (path == self) continue;
    names.push_back(path.substr(path.rfind('/') + 1) + (collection ? "/" : ""));
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : "\n") + n;
  return out;
}

}  // namespace zan::test
