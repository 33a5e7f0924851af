#include "support/fault_proxy.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <set>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "support/socket.h"

namespace zan::test {
namespace {

constexpr size_t kMaxMessage = 64u << 20;  // a larger message ends its connection
constexpr size_t kMaxHead = 64u << 10;
constexpr int kSliceMs = 100;               // stop checks between waits
constexpr auto kIdleLimit = std::chrono::seconds(60);

bool IEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Decode(std::string_view in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%' && i + 2 < in.size() && std::isxdigit(static_cast<unsigned char>(in[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(in[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(in.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += in[i];
    }
  }
  return out;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 207: return "Multi-Status";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 412: return "Precondition Failed";
    case 423: return "Locked";
    case 424: return "Failed Dependency";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 507: return "Insufficient Storage";
    default: return "Status";
  }
}

// A parsed message head: the start line and the header fields, in order.
struct Head {
  std::string startLine;
  std::vector<std::pair<std::string, std::string>> fields;

  const std::string* Field(std::string_view name) const {
    for (const auto& [n, v] : fields)
      if (IEquals(n, name)) return &v;
    return nullptr;
  }
  bool HasToken(std::string_view name, std::string_view token) const {
    const std::string* v = Field(name);
    if (!v) return false;
    std::string lower(*v);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(token) != std::string::npos;
  }
  std::string Text() const {
    std::string out = startLine + "\r\n";
    for (const auto& [n, v] : fields) out += n + ": " + v + "\r\n";
    return out + "\r\n";
  }
};

bool ParseHead(const std::string& text, Head& head) {
  size_t at = text.find("\r\n");
  if (at == std::string::npos) return false;
  head.startLine = text.substr(0, at);
  head.fields.clear();
  for (at += 2; at < text.size();) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos || end == at) break;
    const std::string line = text.substr(at, end - at);
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return false;
    size_t value = colon + 1;
    while (value < line.size() && (line[value] == ' ' || line[value] == '\t')) ++value;
    head.fields.emplace_back(line.substr(0, colon), line.substr(value));
    at = end + 2;
  }
  return true;
}

// The body bytes a kTruncate or kTorn rule passes on.
size_t Kept(const FaultRule& rule, const std::string& body) {
  return rule.keep < 0 ? body.size() / 2 : std::min(body.size(), static_cast<size_t>(rule.keep));
}

}  // namespace

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
FaultRule& FaultRule::Reset() { action = Action::kReset; return *this; }
FaultRule& FaultRule::ResetAfterServer() { action = Action::kResetAfterServer; return *this; }
FaultRule& FaultRule::Truncate(long keepBytes) {
  action = Action::kTruncate;
  keep = keepBytes;
  return *this;
}
FaultRule& FaultRule::WeakETags() { action = Action::kWeakETags; return *this; }
FaultRule& FaultRule::Torn(long keepBytes) {
  action = Action::kTorn;
  keep = keepBytes;
  return *this;
}
FaultRule& FaultRule::Pass() { action = Action::kPass; return *this; }
FaultRule& FaultRule::Skip(int count) { skip = count; return *this; }
FaultRule& FaultRule::Times(int count) { times = count; return *this; }

struct FaultProxy::Shared {
  std::string serverUrl;
  std::string proxyUrl;
  int serverPort = 0;
  net::Socket listener = net::kNoSocket;
  int port = 0;
  std::unique_ptr<net::Waker> wake;
  std::atomic<bool> stopping{false};

  mutable std::mutex mutex;  // guards everything below
  struct Entry {
    FaultRule rule;
    int matched = 0;
    int hits = 0;
  };
  std::vector<Entry> rules;
  std::vector<int> hitsOfRemoved;  // hit counts survive Clear()
  std::vector<std::string> log;
  std::vector<std::string> methods;
  std::set<net::Socket> open;  // sockets of live connections, shut down on stop
  std::vector<std::thread> workers;

  void Track(net::Socket fd) {
    std::lock_guard<std::mutex> lock(mutex);
    open.insert(fd);
  }
  void Close(net::Socket& fd, bool reset = false) {
    if (fd == net::kNoSocket) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      open.erase(fd);
    }
    if (reset)
      net::CloseWithReset(fd);
    else
      net::Close(fd);
    fd = net::kNoSocket;
  }

  // The rule that acts on a request (its copy), or a pass-through rule.
  FaultRule Decide(const std::string& method, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex);
    methods.push_back(method);
    for (Entry& e : rules) {
      if (!e.rule.method.empty() && e.rule.method != method) continue;
      if (!e.rule.pathContains.empty() && path.find(e.rule.pathContains) == std::string::npos) continue;
      const int n = e.matched++;
      if (n < e.rule.skip) continue;
      if (e.rule.times >= 0 && n - e.rule.skip >= e.rule.times) continue;
      ++e.hits;
      return e.rule;
    }
    return FaultRule{};
  }
  void Log(std::string line) {
    std::lock_guard<std::mutex> lock(mutex);
    log.push_back(std::move(line));
  }

  void Accept();
  void Serve(net::Socket client);
};

namespace {

// One side of a connection: buffered, bounded reads that give up on stop, EOF or idleness.
class Peer {
 public:
  Peer(net::Socket& fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

  bool Fill() {
    const auto deadline = std::chrono::steady_clock::now() + kIdleLimit;
    while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
      net::Watch w{fd_};
      const int ready = net::Wait(&w, 1, kSliceMs);
      if (ready < 0) return false;
      if (ready == 0) continue;
      char chunk[65536];
      const long n = net::Receive(fd_, chunk, sizeof chunk);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<size_t>(n));
      received_ += static_cast<size_t>(n);
      return true;
    }
    return false;
  }
  bool ReadHead(std::string& out) {
    for (;;) {
      const size_t end = buffer_.find("\r\n\r\n");
      if (end != std::string::npos) {
        out = buffer_.substr(0, end + 4);
        buffer_.erase(0, end + 4);
        return true;
      }
      if (buffer_.size() > kMaxHead || !Fill()) return false;
    }
  }
  bool ReadExact(size_t n, std::string& out) {
    while (buffer_.size() < n)
      if (out.size() + buffer_.size() > kMaxMessage || !Fill()) return false;
    out.append(buffer_, 0, n);
    buffer_.erase(0, n);
    return true;
  }
  bool ReadLine(std::string& out, std::string& line) {
    for (;;) {
      const size_t end = buffer_.find("\r\n");
      if (end != std::string::npos) {
        line = buffer_.substr(0, end);
        out.append(buffer_, 0, end + 2);
        buffer_.erase(0, end + 2);
        return true;
      }
      if (buffer_.size() > kMaxHead || !Fill()) return false;
    }
  }
  // The raw chunked body (sizes, data, trailer) appended to `out`.
  bool ReadChunked(std::string& out) {
    for (;;) {
      std::string line;
      if (!ReadLine(out, line)) return false;
      size_t size = 0;
      try {
        size = std::stoul(line, nullptr, 16);
      } catch (...) {
        return false;
      }
      if (size > kMaxMessage) return false;
      if (size == 0) {
        do {
          if (!ReadLine(out, line)) return false;
        } while (!line.empty());
        return true;
      }
      if (!ReadExact(size + 2, out)) return false;
    }
  }
  void ReadToEof(std::string& out) {
    while (out.size() + buffer_.size() <= kMaxMessage && Fill()) {
    }
    out += buffer_;
    buffer_.clear();
  }
  bool Write(std::string_view data) {
    while (!data.empty()) {
      const long n = net::Send(fd_, data.data(), data.size());
      if (n <= 0) return false;
      data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }
  size_t received() const { return received_; }

 private:
  net::Socket& fd_;
  const std::atomic<bool>& stopping_;
  std::string buffer_;
  size_t received_ = 0;
};

// Reads a message body framed as `head` says (request when `requestMethod` is empty).
enum class Framing { kNone, kChunked, kLength, kToEof };

Framing FramingOf(const Head& head, bool isResponse, const std::string& requestMethod, int status, size_t& length) {
  if (isResponse && (requestMethod == "HEAD" || status / 100 == 1 || status == 204 || status == 304))
    return Framing::kNone;
  if (head.HasToken("Transfer-Encoding", "chunked")) return Framing::kChunked;
  if (const std::string* v = head.Field("Content-Length")) {
    try {
      length = std::stoul(*v);
    } catch (...) {
      length = 0;
    }
    return Framing::kLength;
  }
  return isResponse ? Framing::kToEof : Framing::kNone;
}

bool ReadBody(Peer& peer, Framing framing, size_t length, std::string& body) {
  switch (framing) {
    case Framing::kNone: return true;
    case Framing::kChunked: return peer.ReadChunked(body);
    case Framing::kLength: return length <= kMaxMessage && peer.ReadExact(length, body);
    case Framing::kToEof: peer.ReadToEof(body); return true;
  }
  return false;
}

}  // namespace

void FaultProxy::Shared::Accept() {
  for (;;) {
    net::Watch watches[2] = {{wake->socket()}, {listener}};
    if (net::Wait(watches, 2, -1) < 0) continue;
    if (watches[0].readable || stopping) return;
    const net::Socket client = net::Accept(listener);
    if (client == net::kNoSocket) continue;
    Track(client);
    std::lock_guard<std::mutex> lock(mutex);
    workers.emplace_back([this, client] { Serve(client); });
  }
}

void FaultProxy::Shared::Serve(net::Socket clientFd) {
  net::Socket upstreamFd = net::kNoSocket;
  Peer client(clientFd, stopping);
  std::unique_ptr<Peer> upstream;
  for (bool keepAlive = true; keepAlive && !stopping;) {
    std::string headText;
    Head request;
    if (!client.ReadHead(headText) || !ParseHead(headText, request)) break;
    const size_t sp1 = request.startLine.find(' ');
    const size_t sp2 = request.startLine.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) break;
    const std::string method = request.startLine.substr(0, sp1);
    const std::string target = request.startLine.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string path = Decode(target.substr(0, target.find('?')));

    // The client may wait for a 100 before its body: give it at once, the server never sees Expect.
    if (request.HasToken("Expect", "100-continue")) {
      if (!client.Write("HTTP/1.1 100 Continue\r\n\r\n")) break;
      std::erase_if(request.fields, [](const auto& f) { return IEquals(f.first, "Expect"); });
    }
    size_t length = 0;
    std::string body;
    const Framing framing = FramingOf(request, false, "", 0, length);
    if (!ReadBody(client, framing, length, body)) break;
    if (request.HasToken("Connection", "close")) keepAlive = false;
    // The server sees itself named: a server that checks a MOVE or COPY Destination against
    // the Host header (lighttpd answers 502 otherwise) gets both rewritten.
    for (auto& [name, value] : request.fields) {
      if (IEquals(name, "Destination") && value.starts_with(proxyUrl)) value = serverUrl + value.substr(proxyUrl.size());
      if (IEquals(name, "Host")) {
        const size_t start = serverUrl.find("://") + 3;
        value = serverUrl.substr(start, serverUrl.find('/', start) - start);
      }
    }

    const FaultRule rule = Decide(method, path);
    const std::string what = method + " " + path + " -> ";
    if (rule.action == FaultRule::Action::kReset) {
      Log(what + "reset");
      Close(clientFd, true);
      break;
    }
    if (rule.action == FaultRule::Action::kRespond) {
      const std::string type = !rule.body.empty() && rule.body[0] == '<' ? "application/xml; charset=\"utf-8\"" : "text/plain";
      std::string reply = "HTTP/1.1 " + std::to_string(rule.status) + " " + Reason(rule.status) + "\r\n";
      reply += "Content-Length: " + std::to_string(rule.body.size()) + "\r\n";
      if (!rule.body.empty()) reply += "Content-Type: " + type + "\r\n";
      // A 401 carries its challenge, as every server's does.
      if (rule.status == 401) reply += "WWW-Authenticate: Basic realm=\"" + std::string(kFaultRealm) + "\"\r\n";
      reply += keepAlive ? "\r\n" : "Connection: close\r\n\r\n";
      Log(what + std::to_string(rule.status));
      if (!client.Write(reply + rule.body)) break;
      continue;
    }

    // Forward; a kept-alive server connection that was closed meanwhile is opened again once.
    Head response;
    std::string responseHead, responseBody;
    bool answered = false;
    for (int attempt = 0; attempt < 2 && !answered && !stopping; ++attempt) {
      const bool reused = upstream != nullptr;
      if (!upstream) {
        upstreamFd = net::Connect(serverPort);
        if (upstreamFd == net::kNoSocket) break;
        Track(upstreamFd);
        upstream = std::make_unique<Peer>(upstreamFd, stopping);
      }
      const size_t before = upstream->received();
      bool ok = upstream->Write(request.Text() + body);
      int status = 0;
      while (ok) {  // interim 1xx replies are dropped
        ok = upstream->ReadHead(responseHead) && ParseHead(responseHead, response);
        status = ok && response.startLine.size() > 12 ? std::atoi(response.startLine.c_str() + 9) : 0;
        if (!ok || status / 100 != 1) break;
      }
      if (ok) {
        size_t responseLength = 0;
        const Framing framing = FramingOf(response, true, method, status, responseLength);
        responseBody.clear();
        ok = ReadBody(*upstream, framing, responseLength, responseBody);
        if (framing == Framing::kToEof || response.HasToken("Connection", "close")) keepAlive = false;
        answered = ok;
      }
      if (!answered) {
        const bool retry = reused && upstream->received() == before;
        upstream.reset();
        Close(upstreamFd);
        if (!retry) break;
      }
    }
    if (!answered) {
      Log(what + "server failed");
      break;
    }
    const std::string statusText = response.startLine.size() > 12 ? response.startLine.substr(9, 3) : "?";

    switch (rule.action) {
      case FaultRule::Action::kResetAfterServer:
        // The status line goes first: a client that saw no byte of a reply on a kept-alive
        // connection may send the request again (libcurl does), and the server would act twice.
        Log(what + "reset after " + statusText);
        client.Write(response.startLine + "\r\n");
        Close(clientFd, true);
        keepAlive = false;
        break;
      case FaultRule::Action::kTruncate: {
        Log(what + "truncated " + statusText);
        client.Write(response.Text() + responseBody.substr(0, Kept(rule, responseBody)));
        keepAlive = false;
        break;
      }
      case FaultRule::Action::kTorn: {
        responseBody.resize(Kept(rule, responseBody));
        for (auto& [name, value] : response.fields) {
          if (IEquals(name, "ETag")) value = "\"torn\"";
          if (IEquals(name, "Content-Length")) value = std::to_string(responseBody.size());
        }
        Log(what + "torn " + statusText);
        if (!client.Write(response.Text() + responseBody)) keepAlive = false;
        break;
      }
      case FaultRule::Action::kWeakETags:
        for (auto& [name, value] : response.fields)
          if (IEquals(name, "ETag") && !value.starts_with("W/")) value = "W/" + value;
        [[fallthrough]];
      default:
        Log(what + statusText);
        if (!client.Write(response.Text() + responseBody)) keepAlive = false;
        break;
    }
  }
  upstream.reset();
  Close(upstreamFd);
  Close(clientFd);
}

FaultProxy::FaultProxy(std::string serverUrl) : shared_(std::make_shared<Shared>()) {
  Shared& s = *shared_;
  while (serverUrl.ends_with("/")) serverUrl.pop_back();
  s.serverUrl = serverUrl;
  const size_t colon = serverUrl.rfind(':');
  if (!serverUrl.starts_with("http://127.0.0.1:") || colon == std::string::npos)
    throw std::runtime_error("fault proxy: the server must be http://127.0.0.1:PORT, not " + serverUrl);
  s.serverPort = std::atoi(serverUrl.c_str() + colon + 1);
  s.listener = net::ListenLoopback(s.port);
  try {
    s.wake = std::make_unique<net::Waker>();
  } catch (...) {
    net::Close(s.listener);
    throw;
  }
  s.proxyUrl = "http://127.0.0.1:" + std::to_string(s.port);
  acceptor_ = std::thread([&s] { s.Accept(); });
}

FaultProxy::~FaultProxy() {
  Shared& s = *shared_;
  s.stopping = true;
  s.wake->Signal();
  acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    for (net::Socket fd : s.open) net::Shutdown(fd);
    workers.swap(s.workers);
  }
  for (std::thread& t : workers) t.join();
  net::Close(s.listener);
}

std::string FaultProxy::Url() const { return shared_->proxyUrl; }

std::string FaultProxy::Via(const std::string& serverSideUrl) const {
  if (!serverSideUrl.starts_with(shared_->serverUrl)) return serverSideUrl;
  return shared_->proxyUrl + serverSideUrl.substr(shared_->serverUrl.size());
}

size_t FaultProxy::Add(FaultRule rule) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->rules.push_back({std::move(rule), 0, 0});
  return shared_->hitsOfRemoved.size() + shared_->rules.size() - 1;
}

void FaultProxy::Clear() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  for (const auto& e : shared_->rules) shared_->hitsOfRemoved.push_back(e.hits);
  shared_->rules.clear();
}

int FaultProxy::Hits(size_t index) const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (index < shared_->hitsOfRemoved.size()) return shared_->hitsOfRemoved[index];
  index -= shared_->hitsOfRemoved.size();
  return index < shared_->rules.size() ? shared_->rules[index].hits : 0;
}

std::vector<std::string> FaultProxy::Requests() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->log;
}

int FaultProxy::Count(const std::string& method) const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return static_cast<int>(std::count_if(shared_->methods.begin(), shared_->methods.end(),
                                        [&](const std::string& m) { return method.empty() || m == method; }));
}

}  // namespace zan::test
