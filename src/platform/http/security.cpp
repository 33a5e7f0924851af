#include "platform/http/security.h"

#include "platform/http/user_info.h"
#include "platform/os/environment.h"

namespace zan::http {
namespace {

std::string Env(const char* name) { return os::EnvironmentValue(name); }

bool IsYes(const std::string& value) { return value == "1" || value == "true" || value == "yes"; }

}  // namespace

std::optional<Credentials> EnvironmentCredentials() {
  std::string user = Env("ZANCLIENT_USER");
  if (user.empty()) return std::nullopt;
  return Credentials{std::move(user), Env("ZANCLIENT_PASSWORD")};
}

std::string NetrcFile() { return Env("NETRC"); }

TlsSettings TlsFromEnvironment() {
  TlsSettings tls;
  for (const char* name : {"ZANCLIENT_CA_BUNDLE", "CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
    tls.caBundle = Env(name);
    if (!tls.caBundle.empty()) break;
  }
  tls.clientCert = Env("ZANCLIENT_CLIENT_CERT");
  tls.clientKey = Env("ZANCLIENT_CLIENT_KEY");
  tls.keyPassword = Env("ZANCLIENT_CLIENT_KEY_PASSWORD");
  tls.insecure = IsYes(Env("ZANCLIENT_INSECURE"));
  return tls;
}

std::string InsecureWarning(std::string_view url) {
  return "WARNING: ZANCLIENT_INSECURE is set: the server's certificate is not verified, the connection to " +
         MaskPasswords(url) + " may be intercepted";
}

std::string RealmOf(std::string_view challenge) {
  // realm="..." (quoted, with \-escapes) or realm=token, as a parameter of any scheme.
  for (size_t at = challenge.find("realm="); at != std::string_view::npos; at = challenge.find("realm=", at + 6)) {
    if (at > 0 && challenge[at - 1] != ' ' && challenge[at - 1] != ',' && challenge[at - 1] != '\t') continue;
    std::string_view rest = challenge.substr(at + 6);
    std::string realm;
    if (!rest.empty() && rest.front() == '"') {
      for (size_t i = 1; i < rest.size() && rest[i] != '"'; ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
        realm += rest[i];
      }
    } else {
      realm.assign(rest.substr(0, rest.find_first_of(", \t")));
    }
    return realm;
  }
  return {};
}

}  // namespace zan::http
