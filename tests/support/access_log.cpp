#include "support/access_log.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <utility>

#include "platform/http/transport.h"
#include "support/dav_server.h"

namespace zan::test {
namespace {

constexpr char kMarker[] = "/zan-access-log-marker-";

// The text between the n-th pair of double quotes of a log line; "" when missing or "-".
std::string Quoted(const std::string& line, int n) {
  size_t open = std::string::npos, at = 0;
  for (int i = 0; i <= n; ++i) {
    open = line.find('"', at);
    if (open == std::string::npos) return {};
    const size_t close = line.find('"', open + 1);
    if (close == std::string::npos) return {};
    if (i == n) {
      const std::string text = line.substr(open + 1, close - open - 1);
      return text == "-" ? std::string() : text;
    }
    at = close + 1;
  }
  return {};
}

bool Parse(const std::string& line, LoggedRequest& out) {
  const std::string request = Quoted(line, 0);  // "METHOD PATH HTTP/1.1"
  const size_t space = request.find(' ');
  const size_t last = request.rfind(' ');
  if (space == std::string::npos || last <= space) return false;
  out.method = request.substr(0, space);
  out.path = request.substr(space + 1, last - space - 1);
  const size_t close = line.find('"', line.find('"') + 1);
  std::istringstream rest(line.substr(close + 1));
  rest >> out.status;
  out.depth = Quoted(line, 1);
  out.ifHeader = Quoted(line, 2);
  return true;
}

}  // namespace

AccessLog::AccessLog(std::string serverUrl, std::string dir)
    : serverUrl_(std::move(serverUrl)), file_(std::move(dir) + "/logs/access.log") {
  Mark();
}

AccessLog::AccessLog() : AccessLog(DavServer::Url(), DavServer::Dir()) {}

void AccessLog::Mark() {
  Settle();
  std::ifstream log(file_, std::ios::binary | std::ios::ate);
  start_ = log ? static_cast<size_t>(log.tellg()) : 0;
}

std::string AccessLog::ReadFrom(size_t offset) const {
  std::ifstream log(file_, std::ios::binary);
  log.seekg(static_cast<std::streamoff>(offset));
  return std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
}

std::string AccessLog::Settle() {
  static int counter = 0;
  const std::string marker = kMarker + std::to_string(++counter);
  http::Request request;
  request.method = "GET";
  request.url = serverUrl_ + marker;
  http::Perform(request);
  // A server logs a request once it has answered it: wait for the marker's line.
  std::string text;
  for (int tries = 0; tries < 200; ++tries) {
    text = ReadFrom(start_);
    if (text.find(marker + " ") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return text;
}

std::vector<LoggedRequest> AccessLog::Since(std::string_view pathPart) {
  const std::string text = Settle();
  std::vector<LoggedRequest> out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    LoggedRequest entry;
    if (!Parse(line, entry) || entry.path.starts_with(kMarker)) continue;
    if (entry.path.find(pathPart) != std::string::npos) out.push_back(std::move(entry));
  }
  return out;
}

std::string AccessLog::Lines(std::string_view pathPart) {
  std::string out;
  for (const LoggedRequest& r : Since(pathPart)) {
    out += (out.empty() ? "" : "\n") + r.method + " " + r.path;
    if (!r.depth.empty()) out += " Depth=" + r.depth;
    if (!r.ifHeader.empty()) out += " If=" + r.ifHeader;
  }
  return out;
}

}  // namespace zan::test
