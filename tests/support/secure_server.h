// An Apache WebDAV server for the tests of authentication and TLS: https with its own CA and a
// server certificate valid for the address 127.0.0.1 only, one user, Basic or Digest, made by
// tests/support/make_test_pki and run by scripts/davserver. The document root holds the
// repository's Templates. Stopped and removed with the object (or, should the test process
// die, by the script's --watch-pid).
#ifndef ZAN_TESTS_SUPPORT_SECURE_SERVER_H_
#define ZAN_TESTS_SUPPORT_SECURE_SERVER_H_

#include <string>
#include <vector>

#include "support/scoped_env.h"

namespace zan::test {

struct SecureServerOptions {
  std::string auth;         // "basic", "digest" or "" (open)
  bool tls = true;          // false: plain http
  bool clientCert = false;  // require a client certificate from the test CA
  std::string deny;         // a path segment every request to which answers 403
};

class SecureServer {
 public:
  static constexpr const char* kUser = "ann";
  static constexpr const char* kRealm = "zan repository";
  // A password that needs percent-encoding in a URL; every output of a test is searched for it.
  static constexpr const char* kPassword = "Qw9!secret@pw";
  static constexpr const char* kPasswordInUrl = "Qw9!secret%40pw";

  // Throws std::runtime_error with the scripts' output when the server cannot be started.
  explicit SecureServer(const SecureServerOptions& options);
  ~SecureServer();
  SecureServer(const SecureServer&) = delete;
  SecureServer& operator=(const SecureServer&) = delete;

  // "https://127.0.0.1:PORT" (http for a plain server).
  const std::string& Url() const { return url_; }
  // The same with "localhost" for the host, a name the certificate does not hold.
  std::string UrlByName() const;
  // Url() with user info: "https://ann:<password, percent-encoded>@127.0.0.1:PORT".
  std::string UrlWithUser(const std::string& passwordInUrl = kPasswordInUrl) const;
  // A file of the test PKI: "ca.pem", "client.pem", "client.key", ...
  std::string File(const std::string& name) const { return pki_ + "/" + name; }
  // Writes a netrc file for this server's host with the user and password; returns its path.
  std::string WriteNetrc(const std::string& password = kPassword) const;
  // The number of requests the server has logged so far, read once the log has settled.
  size_t Requests() const;
  // The server's directory (document root Dir() + "/dav").
  const std::string& Dir() const { return dir_; }

 private:
  std::string hostPki_;  // as the host names it
  std::string pki_;      // as this process opens it
  std::string hostDir_;
  std::string dir_;
  std::string url_;
};

// The variables that give credentials or TLS settings, all of them.
const std::vector<std::string>& SecurityVariables();

}  // namespace zan::test

#endif
