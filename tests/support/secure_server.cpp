#include "support/secure_server.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/host.h"
#include "support/shell.h"

namespace zan::test {

SecureServer::SecureServer(const SecureServerOptions& options) {
  std::string output;
  if (RunOnHost("mktemp -d /tmp/zan-pki.XXXXXX", &output) != 0) throw std::runtime_error("cannot make a temporary directory: " + output);
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  hostPki_ = output;
  pki_ = LocalPathOf(hostPki_);
  const std::string source = ZAN_SOURCE_DIR;
  int status = RunOnHost(ShellQuote(source + "/tests/support/make_test_pki") + " " + ShellQuote(hostPki_) + " " + kUser + " " +
                             ShellQuote(kRealm),
                         &output, std::string(kPassword) + "\n");
  if (status != 0) throw std::runtime_error("make_test_pki failed:\n" + output);

  auto hostFile = [this](const char* name) { return ShellQuote(hostPki_ + "/" + name); };
  std::string command = ShellQuote(source + "/scripts/davserver") + " start --seed " + ShellQuote(source + "/tests/data") +
                        " --watch-pid " + SuitePidWord();
  if (options.tls) command += " --tls-cert " + hostFile("server.pem") + " --tls-key " + hostFile("server.key");
  if (options.clientCert) command += " --client-ca " + hostFile("ca.pem");
  if (!options.auth.empty()) {
    command += " --auth " + options.auth + " --auth-realm " + ShellQuote(kRealm) + " --auth-file " +
               hostFile(options.auth == "digest" ? "users.digest" : "users.basic");
  }
  if (!options.deny.empty()) command += " --deny " + ShellQuote(options.deny);
  status = RunOnHost(command, &output);
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("ZAN_SERVER=")) url_ = line.substr(11);
    if (line.starts_with("ZAN_SERVER_DIR=")) hostDir_ = line.substr(15);
  }
  if (status != 0 || url_.empty() || hostDir_.empty()) {
    RunOnHost("rm -rf " + ShellQuote(hostPki_), &output);
    throw std::runtime_error("scripts/davserver start failed:\n" + output);
  }
  dir_ = LocalPathOf(hostDir_);
}

SecureServer::~SecureServer() {
  std::string output;
  RunOnHost(ShellQuote(std::string(ZAN_SOURCE_DIR) + "/scripts/davserver") + " stop " + ShellQuote(hostDir_) + "; rm -rf " +
                ShellQuote(hostPki_),
            &output);
}

std::string SecureServer::UrlByName() const {
  std::string url = url_;
  url.replace(url.find("127.0.0.1"), 9, "localhost");
  return url;
}

std::string SecureServer::UrlWithUser(const std::string& passwordInUrl) const {
  std::string url = url_;
  url.insert(url.find("://") + 3, std::string(kUser) + ":" + passwordInUrl + "@");
  return url;
}

std::string SecureServer::WriteNetrc(const std::string& password) const {
  static int counter = 0;
  const std::string path = pki_ + "/netrc" + std::to_string(++counter);
  std::ofstream out(path);
  out << "machine 127.0.0.1\n  login " << kUser << "\n  password " << password << "\n";
  return path;
}

size_t SecureServer::Requests() const {
  auto count = [this] {
    std::ifstream log(dir_ + "/logs/access.log");
    size_t n = 0;
    for (std::string line; std::getline(log, line);) ++n;
    return n;
  };
  // Apache logs a request after its reply has gone out.
  size_t last = count();
  for (int stable = 0, tries = 0; stable < 3 && tries < 40; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const size_t now = count();
    stable = now == last ? stable + 1 : 0;
    last = now;
  }
  return last;
}

const std::vector<std::string>& SecurityVariables() {
  static const std::vector<std::string> names = {
      "NETRC",          "ZANCLIENT_USER",         "ZANCLIENT_PASSWORD",     "ZANCLIENT_CA_BUNDLE",
      "CURL_CA_BUNDLE", "SSL_CERT_FILE",          "ZANCLIENT_CLIENT_CERT",  "ZANCLIENT_CLIENT_KEY",
      "ZANCLIENT_CLIENT_KEY_PASSWORD",            "ZANCLIENT_INSECURE",
  };
  return names;
}

}  // namespace zan::test
