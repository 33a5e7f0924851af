#include "support/fault_proxy_b.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zan::test::b {

FaultRule FaultRule::On(std::string method, std::string pathContains) {
  FaultRule rule;
  rule.method = std::move(method);
  rule.pathContains = std::move(pathContains);
  return rule;
}

FaultRule& FaultRule::Respond(int statusCode, std::string replyBody) {
  action = Action::kRespond;
  status = statusCode;
  body = std::move(replyBody);
  return *this;
}

FaultRule& FaultRule::Reset() {
  action = Action::kReset;
  return *this;
}

FaultRule& FaultRule::WeakETags() {
  action = Action::kWeakETags;
  return *this;
}

FaultRule& FaultRule::Times(int count) {
  times = count;
  return *this;
}

namespace {

constexpr int kWaitMs = 30000;  // every wait for a peer is bounded

struct Message {
  std::string startLine;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  std::string Header(const std::string& name) const {
    for (const auto& [n, v] : headers) {
      if (n.size() == name.size() &&
          std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
        return v;
    }
    return {};
  }
  void Drop(const std::string& name) {
    std::erase_if(headers, [&](const auto& h) {
      return h.first.size() == name.size() && std::equal(h.first.begin(), h.first.end(), name.begin(), [](char a, char b) {
               return std::tolower(a) == std::tolower(b);
             });
    });
  }
};

// Reads into buffer until it holds `until` or the peer closes; false on close, error or timeout.
bool ReadUntil(int fd, std::string& buffer, const std::string& until) {
  while (buffer.find(until) == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kWaitMs) <= 0) return false;
    char chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

bool ReadCount(int fd, std::string& buffer, size_t count) {
  while (buffer.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kWaitMs) <= 0) return false;
    char chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void ParseHead(const std::string& head, Message& m) {
  size_t at = head.find("\r\n");
  m.startLine = head.substr(0, at);
  while (at != std::string::npos && at + 2 < head.size()) {
    const size_t next = head.find("\r\n", at + 2);
    const std::string line = head.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
      size_t v = colon + 1;
      while (v < line.size() && line[v] == ' ') ++v;
      m.headers.emplace_back(line.substr(0, colon), line.substr(v));
    }
    at = next;
  }
}

// Reads one request (Content-Length or chunked body) from the client; nullopt when the
// connection ends.
std::optional<Message> ReadRequest(int fd, std::string& buffer) {
  if (!ReadUntil(fd, buffer, "\r\n\r\n")) return std::nullopt;
  const size_t end = buffer.find("\r\n\r\n");
  Message m;
  ParseHead(buffer.substr(0, end + 2), m);
  buffer.erase(0, end + 4);
  const std::string length = m.Header("Content-Length");
  if (!length.empty()) {
    const size_t n = std::stoul(length);
    if (!ReadCount(fd, buffer, n)) return std::nullopt;
    m.body = buffer.substr(0, n);
    buffer.erase(0, n);
  } else if (m.Header("Transfer-Encoding").find("chunked") != std::string::npos) {
    for (;;) {
      if (!ReadUntil(fd, buffer, "\r\n")) return std::nullopt;
      const size_t eol = buffer.find("\r\n");
      const size_t size = std::stoul(buffer.substr(0, eol), nullptr, 16);
      buffer.erase(0, eol + 2);
      if (!ReadCount(fd, buffer, size + 2)) return std::nullopt;
      m.body += buffer.substr(0, size);
      buffer.erase(0, size + 2);
      if (size == 0) break;
    }
    m.Drop("Transfer-Encoding");
    m.headers.emplace_back("Content-Length", std::to_string(m.body.size()));
  }
  return m;
}

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string Serialise(const Message& m) {
  std::string out = m.startLine + "\r\n";
  for (const auto& [n, v] : m.headers) out += n + ": " + v + "\r\n";
  return out + "\r\n" + m.body;
}

int PortOf(const std::string& url) {
  const size_t colon = url.rfind(':');
  return std::stoi(url.substr(colon + 1));
}

std::string ReasonOf(int status) {
  static const std::map<int, std::string> reasons = {
      {200, "OK"}, {201, "Created"}, {204, "No Content"}, {207, "Multi-Status"}, {400, "Bad Request"},
      {403, "Forbidden"}, {404, "Not Found"}, {405, "Method Not Allowed"}, {409, "Conflict"},
      {412, "Precondition Failed"}, {423, "Locked"}, {424, "Failed Dependency"}, {500, "Internal Server Error"},
      {503, "Service Unavailable"}};
  const auto at = reasons.find(status);
  return at == reasons.end() ? "Status" : at->second;
}

}  // namespace

struct FaultProxy::Shared {
  std::string serverUrl;
  int serverPort = 0;
  int listener = -1;
  int port = 0;
  int wake[2] = {-1, -1};
  mutable std::mutex mutex;
  std::vector<FaultRule> rules;
  std::vector<int> hits;
  std::map<std::string, int> counts;
  std::vector<int> clients;
  std::vector<std::thread> threads;

  // The rule acting on the request (its index), or nullopt.
  std::optional<size_t> Decide(const std::string& method, const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex);
    ++counts[method];
    for (size_t i = 0; i < rules.size(); ++i) {
      FaultRule& r = rules[i];
      if (!r.method.empty() && r.method != method) continue;
      if (!r.pathContains.empty() && target.find(r.pathContains) == std::string::npos) continue;
      if (r.times == 0) continue;
      if (r.times > 0) --r.times;
      ++hits[i];
      return i;
    }
    return std::nullopt;
  }

  // Forwards the request to the server; the reply, or nullopt when none arrived.
  std::optional<Message> Forward(Message request, const std::string& method) {
    const std::string proxyOrigin = "http://127.0.0.1:" + std::to_string(port);
    for (auto& [n, v] : request.headers) {
      if (strcasecmp(n.c_str(), "Destination") == 0 && v.rfind(proxyOrigin, 0) == 0)
        v = serverUrl + v.substr(proxyOrigin.size());
      if (strcasecmp(n.c_str(), "Host") == 0) v = "127.0.0.1:" + std::to_string(serverPort);
    }
    request.Drop("Connection");
    request.Drop("Keep-Alive");
    const size_t version = request.startLine.rfind(" HTTP/");
    request.startLine = request.startLine.substr(0, version) + " HTTP/1.0";
    const int fd = Connect(serverPort);
    if (fd < 0) return std::nullopt;
    std::string reply;
    const bool sent = WriteAll(fd, Serialise(request));
    if (sent) {
      for (;;) {  // until the server closes
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kWaitMs) <= 0) break;
        char chunk[65536];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        reply.append(chunk, static_cast<size_t>(n));
      }
    }
    close(fd);
    const size_t end = reply.find("\r\n\r\n");
    if (!sent || end == std::string::npos) return std::nullopt;
    Message m;
    ParseHead(reply.substr(0, end + 2), m);
    m.body = reply.substr(end + 4);
    const std::string length = m.Header("Content-Length");
    m.Drop("Connection");
    m.Drop("Keep-Alive");
    m.Drop("Transfer-Encoding");
    m.Drop("Content-Length");
    if (method == "HEAD") {
      m.body.clear();
      if (!length.empty()) m.headers.emplace_back("Content-Length", length);
    } else {
      m.headers.emplace_back("Content-Length", std::to_string(m.body.size()));
    }
    return m;
  }

  void Serve(int client) {
    std::string buffer;
    for (;;) {
      std::optional<Message> request = ReadRequest(client, buffer);
      if (!request) break;
      const std::string method = request->startLine.substr(0, request->startLine.find(' '));
      const size_t space = request->startLine.find(' ');
      const std::string target =
          request->startLine.substr(space + 1, request->startLine.rfind(' ') - space - 1);
      const bool closeAfter = strcasecmp(request->Header("Connection").c_str(), "close") == 0;
      const std::optional<size_t> index = Decide(method, target);
      FaultRule rule;
      if (index) {
        std::lock_guard<std::mutex> lock(mutex);
        rule = rules[*index];
      }
      if (rule.action == FaultRule::Action::kReset) {
        linger hard{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        break;
      }
      Message reply;
      if (rule.action == FaultRule::Action::kRespond) {
        reply.startLine = "HTTP/1.1 " + std::to_string(rule.status) + " " + ReasonOf(rule.status);
        reply.headers.emplace_back("Content-Type", "application/xml; charset=utf-8");
        reply.headers.emplace_back("Content-Length", std::to_string(rule.body.size()));
        reply.body = rule.body;
      } else {
        std::optional<Message> forwarded = Forward(*request, method);
        if (!forwarded) break;
        reply = std::move(*forwarded);
        if (rule.action == FaultRule::Action::kWeakETags) {
          for (auto& [n, v] : reply.headers)
            if (strcasecmp(n.c_str(), "ETag") == 0 && v.rfind("W/", 0) != 0) v = "W/" + v;
        }
      }
      if (!WriteAll(client, Serialise(reply)) || closeAfter) break;
    }
    std::lock_guard<std::mutex> lock(mutex);
    for (int& fd : clients) {
      if (fd == client) {
        close(fd);  // with a zero linger, a reset
        fd = -1;
      }
    }
  }
};

FaultProxy::FaultProxy(std::string serverUrl) : shared_(std::make_shared<Shared>()) {
  Shared& s = *shared_;
  s.serverUrl = std::move(serverUrl);
  s.serverPort = PortOf(s.serverUrl);
  s.listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (s.listener < 0 || bind(s.listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(s.listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(s.listener, 64) != 0 ||
      pipe(s.wake) != 0) {
    if (s.listener >= 0) close(s.listener);
    throw std::runtime_error("the fault proxy cannot listen");
  }
  s.port = ntohs(addr.sin_port);
  acceptor_ = std::thread([shared = shared_] {
    for (;;) {
      pollfd fds[2] = {{shared->wake[0], POLLIN, 0}, {shared->listener, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) continue;
      if (fds[0].revents) break;
      const int client = accept4(shared->listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      std::lock_guard<std::mutex> lock(shared->mutex);
      shared->clients.push_back(client);
      shared->threads.emplace_back([shared, client] { shared->Serve(client); });
    }
  });
}

FaultProxy::~FaultProxy() {
  Shared& s = *shared_;
  const char stop = 1;
  (void)!write(s.wake[1], &stop, 1);
  acceptor_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    for (int fd : s.clients)
      if (fd >= 0) shutdown(fd, SHUT_RDWR);
    threads.swap(s.threads);
  }
  for (std::thread& t : threads) t.join();
  close(s.listener);
  close(s.wake[0]);
  close(s.wake[1]);
}

std::string FaultProxy::Url() const { return "http://127.0.0.1:" + std::to_string(shared_->port); }

std::string FaultProxy::Via(const std::string& serverSideUrl) const {
  if (serverSideUrl.rfind(shared_->serverUrl, 0) != 0) return serverSideUrl;
  return Url() + serverSideUrl.substr(shared_->serverUrl.size());
}

size_t FaultProxy::Add(FaultRule rule) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->rules.push_back(std::move(rule));
  shared_->hits.push_back(0);
  return shared_->rules.size() - 1;
}

void FaultProxy::Clear() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->rules.clear();
  shared_->hits.clear();
}

int FaultProxy::Hits(size_t index) const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return index < shared_->hits.size() ? shared_->hits[index] : 0;
}

int FaultProxy::Count(const std::string& method) const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (!method.empty()) {
    const auto at = shared_->counts.find(method);
    return at == shared_->counts.end() ? 0 : at->second;
  }
  int total = 0;
  for (const auto& [m, n] : shared_->counts) total += n;
  return total;
}

}  // namespace zan::test::b
