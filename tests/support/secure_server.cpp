#include "support/secure_server.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/shell.h"

namespace zan::test {
namespace {

// Runs a shell command, feeding it input; returns its output (stderr included) and status.
std::string Run(const std::string& command, const std::string& input, int* status) {
  const std::string out = std::filesystem::temp_directory_path() / ("zan-secure-out." + std::to_string(getpid()));
  std::unique_ptr<FILE, PipeCloser> pipe(popen((command + " >" + ShellQuote(out) + " 2>&1").c_str(), "w"));
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::fputs(input.c_str(), pipe.get());
  *status = pclose(pipe.release());
  std::ifstream in(out);
  std::ostringstream text;
  text << in.rdbuf();
  std::filesystem::remove(out);
  return text.str();
}

}  // namespace

SecureServer::SecureServer(const SecureServerOptions& options) {
  char pattern[] = "/tmp/zan-pki.XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary directory");
  pki_ = pattern;
  const std::string source = ZAN_SOURCE_DIR;
  int status = 0;
  std::string output = Run(ShellQuote(source + "/tests/support/make_test_pki") + " " + ShellQuote(pki_) + " " + kUser + " " +
                               ShellQuote(kRealm),
                           std::string(kPassword) + "\n", &status);
  if (status != 0) throw std::runtime_error("make_test_pki failed:\n" + output);

  std::string command = ShellQuote(source + "/scripts/davserver") + " start --seed " + ShellQuote(source + "/tests/data") +
                        " --watch-pid " + std::to_string(getpid());
  if (options.tls) command += " --tls-cert " + ShellQuote(File("server.pem")) + " --tls-key " + ShellQuote(File("server.key"));
  if (options.clientCert) command += " --client-ca " + ShellQuote(File("ca.pem"));
  if (!options.auth.empty()) {
    command += " --auth " + options.auth + " --auth-realm " + ShellQuote(kRealm) + " --auth-file " +
               ShellQuote(File(options.auth == "digest" ? "users.digest" : "users.basic"));
  }
  if (!options.deny.empty()) command += " --deny " + ShellQuote(options.deny);
  output = Run(command, "", &status);
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("ZAN_SERVER=")) url_ = line.substr(11);
    if (line.starts_with("ZAN_SERVER_DIR=")) dir_ = line.substr(15);
  }
  if (status != 0 || url_.empty() || dir_.empty()) {
    std::filesystem::remove_all(pki_);
    throw std::runtime_error("scripts/davserver start failed:\n" + output);
  }
}

SecureServer::~SecureServer() {
  int status = 0;
  Run(ShellQuote(std::string(ZAN_SOURCE_DIR) + "/scripts/davserver") + " stop " + ShellQuote(dir_), "", &status);
  std::error_code ec;
  std::filesystem::remove_all(pki_, ec);
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
