#include "platform/ado/record.h"

#include <initializer_list>
#include <optional>
#include <vector>

#include "platform/ado/ado_errors.h"
#include "platform/ado/local_file.h"
#include "platform/ado/resource_url.h"
#include "platform/com/com_error.h"
#include "platform/dom/document.h"
#include "platform/dom/element.h"
#include "platform/http/user_info.h"
#include "platform/http/transport.h"
#include "platform/http/url_encoding.h"
#include "platform/os/file_system.h"

namespace zan::ado {
namespace {

using internal::UrlKind;

constexpr char kPropfindResourceType[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<D:propfind xmlns:D=\"DAV:\"><D:prop><D:resourcetype/></D:prop></D:propfind>";

struct Credentials {
  std::string_view user;
  std::string_view password;
};

http::Response Send(const char* method, std::string_view url, const Credentials& who,
                    std::vector<http::Header> headers = {}, std::optional<std::string_view> body = std::nullopt) {
  http::Request request;
  request.method = method;
  request.url.assign(url);
  request.headers = std::move(headers);
  request.user.assign(who.user);
  request.password.assign(who.password);
  request.body = body;
  return http::Perform(request);
}

bool Is(const http::Response& reply, std::initializer_list<long> accepted) {
  for (long status : accepted)
    if (reply.status == status) return true;
  return false;
}

bool Is2xx(const http::Response& reply) { return reply.status >= 200 && reply.status < 300; }

// Whether the server resource exists: PROPFIND Depth 0, 207 or 404; anything else throws.
bool ServerHas(std::string_view url, const Credentials& who) {
  const http::Response reply = Send("PROPFIND", url, who, {{"Depth", "0"}, {"Content-Type", "text/xml; charset=utf-8"}},
                                    std::string_view(kPropfindResourceType));
  if (reply.status == 207) return true;
  if (reply.status == 404) return false;
  ThrowForReply(reply, "PROPFIND", url);
}

void RequireExists(std::string_view url, const Credentials& who) {
  if (internal::IsKnownToExist(url)) return;
  const http::Response reply = Send("PROPFIND", url, who, {{"Depth", "0"}, {"Content-Type", "text/xml; charset=utf-8"}},
                                    std::string_view(kPropfindResourceType));
  if (reply.status != 207) ThrowForReply(reply, "PROPFIND", url);
  internal::RememberExists(url);
}

// The members a DELETE's 207 reply names with a non-2xx status: "href (status line)",
// joined by ", "; "" when the reply names none or is not readable.
std::string UndeletedMembers(std::string_view body) {
  const dom::Document doc = dom::Document::Create();
  if (!doc.loadXML(body)) return {};
  const auto isDav = [](const dom::Node& n, std::string_view name) {
    return n.nodeType() == dom::NODE_ELEMENT && n.namespaceURI() == "DAV:" && n.baseName() == name;
  };
  const auto childText = [&](const dom::Node& n, std::string_view name) {
    for (dom::Node c = n.firstChild(); c; c = c.nextSibling())
      if (isDav(c, name)) return c.text();
    return std::string();
  };
  std::string members;
  const dom::Element root = doc.documentElement();
  for (dom::Node r = root ? root.firstChild() : dom::Node(); r; r = r.nextSibling()) {
    if (!isDav(r, "response")) continue;
    const std::string status = childText(r, "status");
    const size_t blank = status.find(' ');
    if (blank != std::string::npos && blank + 1 < status.size() && status[blank + 1] == '2') continue;  // 2xx
    if (!members.empty()) members += ", ";
    members += childText(r, "href") + " (" + status + ")";
  }
  return members;
}

// A DELETE did what it says only with 200 or 204; a 207 names what was not deleted.
void RequireDeleted(const http::Response& reply, std::string_view url) {
  if (reply.status == 200 || reply.status == 204) return;
  if (reply.status == 207) {
    const std::string members = UndeletedMembers(reply.body);
    throw _com_error(E_FAIL, "Not everything was deleted: " + reply.statusLine + " (DELETE " + std::string(url) +
                                 ")" + (members.empty() ? std::string() : "; not deleted: " + members));
  }
  ThrowForReply(reply, "DELETE", url);
}

void DeleteIfPresent(std::string_view url, const Credentials& who) {
  const http::Response reply = Send("DELETE", url, who);
  if (reply.status != 404) RequireDeleted(reply, url);
  internal::ForgetTree(url);
}

// server -> file://: the body goes into a temporary file that becomes the destination only
// when the whole reply has arrived with a success status.
void Download(std::string_view source, std::string_view fileUrl, bool overwrite, const Credentials& who) {
  const std::string path = internal::LocalPathOf(fileUrl);
  if (!overwrite && os::PathExists(path))
    throw _com_error(kAdErrResourceExists, "The destination already exists: " + path);
  internal::ReplacingFile file(path);
  http::Request request;
  request.method = "GET";
  request.url.assign(source);
  request.user.assign(who.user);
  request.password.assign(who.password);
  request.sink = [&file](std::string_view chunk) { file.Write(chunk); };
  const http::Response reply = http::Perform(request);
  if (!Is2xx(reply)) ThrowForReply(reply, "GET", source);
  file.Commit(overwrite);
}

// file:// -> server: the file is streamed as the body of a PUT.
void Upload(std::string_view fileUrl, std::string_view destination, bool overwrite, const Credentials& who) {
  const std::string path = internal::LocalPathOf(fileUrl);
  os::File file = internal::OpenLocalFile(path);
  http::Request request;
  request.method = "PUT";
  request.url.assign(destination);
  request.user.assign(who.user);
  request.password.assign(who.password);
  if (!overwrite) request.headers.push_back({"If-None-Match", "*"});
  request.bodyFile = &file;
  const http::Response reply = http::Perform(request);
  if (!Is2xx(reply)) ThrowForReply(reply, "PUT", destination);
}

// file:// -> file://, through a temporary file like a download.
void CopyLocal(std::string_view sourceUrl, std::string_view destinationUrl, bool overwrite) {
  const std::string from = internal::LocalPathOf(sourceUrl);
  const std::string to = internal::LocalPathOf(destinationUrl);
  os::File in = internal::OpenLocalFile(from);
  if (!overwrite && os::PathExists(to)) throw _com_error(kAdErrResourceExists, "The destination already exists: " + to);
  internal::ReplacingFile out(to);
  char buffer[64 * 1024];
  while (const size_t n = internal::ReadLocalFile(in, buffer, sizeof buffer, from)) out.Write(std::string_view(buffer, n));
  out.Commit(overwrite);
}

}  // namespace

HRESULT Record::Open(std::string_view source, Missing, long mode, long createOptions, long, std::string_view user,
                     std::string_view password) {
  if (open_) throw _com_error(kAdErrObjectOpen, "Operation is not allowed when the object is open.");
  if (internal::KindOf(source) != UrlKind::kHttp)
    throw _com_error(kAdErrInvalidArgument, "A record opens an http or https URL, not: " + http::MaskPasswords(source));
  const Credentials who{user, password};
  if (createOptions == adFailIfNotExists) {
    RequireExists(source, who);
  } else {
    const long known = adCreateCollection | adCreateOverwrite | adOpenIfExists;
    const bool overwrite = createOptions & adCreateOverwrite;
    const bool openIfExists = createOptions & adOpenIfExists;
    if ((createOptions & ~known) != 0 || (overwrite && openIfExists))
      throw _com_error(kAdErrInvalidArgument, "Unsupported record create options " + std::to_string(createOptions));
    const bool present = openIfExists && (internal::IsKnownToExist(source) || ServerHas(source, who));
    if (!present) {
      if (createOptions & adCreateCollection) {
        // With overwrite, MKCOL first: only a resource already there (405) is deleted and
        // made again, so a new collection costs one request.
        http::Response reply = Send("MKCOL", source, who);
        if (overwrite && reply.status == 405) {
          DeleteIfPresent(source, who);
          reply = Send("MKCOL", source, who);
        }
        if (reply.status != 201) ThrowForReply(reply, "MKCOL", source);
      } else {
        if (overwrite) DeleteIfPresent(source, who);
        const http::Response reply = Send("PUT", source, who, {{"If-None-Match", "*"}}, std::string_view());
        // A server may refuse a PUT onto a collection with 409, as for a missing parent.
        if (reply.status == 409 && ServerHas(source, who))
          throw _com_error(kAdErrResourceExists,
                           "The resource already exists: " + reply.statusLine + " (PUT " + http::MaskPasswords(source) + ")");
        if (!Is2xx(reply)) ThrowForReply(reply, "PUT", source);
      }
    }
    internal::RememberExists(source);
  }
  open_ = true;
  url_.assign(source);
  mode_ = mode;
  user_.assign(user);
  password_.assign(password);
  return S_OK;
}

HRESULT Record::CopyRecord(std::string_view source, std::string_view destination, std::string_view user,
                           std::string_view password, long options, bool async, std::string* newUrl) {
  RequireOpen("CopyRecord");
  if (async) throw _com_error(kAdErrInvalidArgument, "Asynchronous copies are not supported");
  const std::string_view from = source.empty() ? std::string_view(url_) : source;
  const Credentials who = user.empty() ? Credentials{user_, password_} : Credentials{user, password};
  const bool overwrite = options != adCopyUnspecified && (options & adCopyOverWrite);
  const bool nonRecursive = options != adCopyUnspecified && (options & adCopyNonRecursive);
  const UrlKind fromKind = internal::KindOf(from);
  const UrlKind toKind = internal::KindOf(destination);
  if (fromKind == UrlKind::kOther || toKind == UrlKind::kOther || destination.empty())
    throw _com_error(kAdErrInvalidArgument, "Cannot copy from '" + http::MaskPasswords(from) + "' to '" +
                                                http::MaskPasswords(destination) + "': not http, https or file URLs");
  if (fromKind == UrlKind::kHttp && toKind == UrlKind::kHttp) {
    if (http::HasDotSegment(destination))
      throw _com_error(kAdErrInvalidArgument, "The destination holds a '.' or '..' segment: " + std::string(destination));
    std::vector<http::Header> headers = {{"Destination", http::EncodeUrl(destination)},
                                         {"Overwrite", overwrite ? "T" : "F"}};
    if (nonRecursive) headers.push_back({"Depth", "0"});
    const http::Response reply = Send("COPY", from, who, std::move(headers));
    if (!Is(reply, {200, 201, 204})) ThrowForReply(reply, "COPY", std::string(from) + " to " + std::string(destination));
  } else if (fromKind == UrlKind::kHttp) {
    Download(from, destination, overwrite, who);
  } else if (toKind == UrlKind::kHttp) {
    Upload(from, destination, overwrite, who);
  } else {
    CopyLocal(from, destination, overwrite);
  }
  if (newUrl) newUrl->assign(destination);
  return S_OK;
}

HRESULT Record::MoveRecord(std::string_view source, std::string_view destination, std::string_view user,
                           std::string_view password, long options, bool async) {
  RequireOpen("MoveRecord");
  if (async) throw _com_error(kAdErrInvalidArgument, "Asynchronous moves are not supported");
  const std::string_view from = source.empty() ? std::string_view(url_) : source;
  if (internal::KindOf(from) != UrlKind::kHttp || internal::KindOf(destination) != UrlKind::kHttp)
    throw _com_error(kAdErrInvalidArgument, "Cannot move from '" + std::string(from) + "' to '" +
                                                std::string(destination) + "': a move needs two http or https URLs");
  const Credentials who = user.empty() ? Credentials{user_, password_} : Credentials{user, password};
  const bool overwrite = options != adMoveUnspecified && (options & adMoveOverWrite);
  const http::Response reply =
      Send("MOVE", from, who, {{"Destination", http::EncodeUrl(destination)}, {"Overwrite", overwrite ? "T" : "F"}});
  internal::ForgetTree(from);
  internal::ForgetTree(destination);
  // 200 too: lighttpd answers a MOVE (or COPY) of a collection with 200 and no body.
  if (!Is(reply, {200, 201, 204})) ThrowForReply(reply, "MOVE", std::string(from) + " to " + std::string(destination));
  return S_OK;
}

HRESULT Record::DeleteRecord(std::string_view source, bool async) {
  RequireOpen("DeleteRecord");
  if (async) throw _com_error(kAdErrInvalidArgument, "Asynchronous deletes are not supported");
  std::string target(source);
  if (source.empty()) {
    target = url_;
  } else if (internal::KindOf(source) != UrlKind::kHttp) {
    target = url_ + (url_.ends_with('/') ? "" : "/") + std::string(source);
  }
  const http::Response reply = Send("DELETE", target, Credentials{user_, password_});
  RequireDeleted(reply, target);
  internal::ForgetTree(target);
  return S_OK;
}

HRESULT Record::Close() {
  RequireOpen("Close");
  open_ = false;
  return S_OK;
}

void Record::RequireOpen(const char* operation) const {
  if (!open_)
    throw _com_error(kAdErrObjectClosed,
                     std::string(operation) + ": Operation is not allowed when the object is closed.");
}

void ForgetKnownUrls() { internal::ForgetAll(); }

}  // namespace zan::ado
