#include "dav/DavHTTPManager.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/ErrorContext.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "dav/Multistatus.h"
#include "platform/dom/document.h"
#include "platform/http/xml_http_request.h"
#include "platform/os/alert.h"

namespace {

constexpr const char* kClass = "CDavHTTPManager";
constexpr const char* kDav = "DAV:";
constexpr const char* kNoRoot = "1,noroot";
constexpr const char* kNoDeadProperties =
    "The server does not store WebDAV properties, so it cannot hold repository nodes";

// " (HTTP/1.1 401 Unauthorized)": the status line a failure's text names.
std::string Answered(const zan::http::XmlHttpRequest& request) { return " (" + request.statusLine() + ")"; }

// A new request object; a failed creation raises its status as an error object.
zan::http::XmlHttpRequestPtr CreateRequest(const char* method) {
  zan::http::XmlHttpRequestPtr request;
  const HRESULT hr = request.CreateInstance();
  if (FAILED(hr)) throw CGenException("Could not create the XML HTTP request object", hr, kClass, method);
  return request;
}

// Checks the names of one found response by the item tag rule (raising the item set's own
// error for a name that breaks it) and keeps its properties for the listing's item set.
void KeepFound(zan::dav::MultistatusResponse& r, std::vector<std::vector<std::pair<std::string, std::string>>>& found) {
  if (!r.found) return;
  for (const auto& [name, value] : r.props) {
    if (!XMLSet::isValidItemTag(name)) {  // raises the item set's own error for the name
      XMLSet check;
      check.addItem(name, value);
    }
  }
  found.push_back(std::move(r.props));
}

}  // namespace

bool CDavHTTPManager::setResourceProperties(const std::string& url, const std::string& xmlText) {
  const zan::dom::Document doc = zan::dom::Document::Create();
  if (!doc) throw CGenException("Could not create the request document", E_OUTOFMEMORY, kClass, "setResourceProperties");
  zan::http::XmlHttpRequestPtr request = CreateRequest("setResourceProperties");
  try {
    request->open("PROPPATCH", url, false, "", "");
    request->setRequestHeader("encoding", "utf-8");
    request->setRequestHeader("Content-Type", "text/xml; charset=\"UTF-8\"");
    // One <set> per property: RFC 4918 allows several in one <prop>, but some servers store
    // only the first of them.
    const zan::dom::Node update = doc.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "d:propertyupdate", kDav));
    XMLSet properties;
    properties.loadXml(xmlText);
    std::string name, value;
    for (properties.moveFirst(); !properties.isEOF(); properties.moveNext()) {
      properties.getItem(properties.getCursor(), name, value);
      const zan::dom::Node set = update.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "d:set", kDav));
      const zan::dom::Node prop = set.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "d:prop", kDav));
      const zan::dom::Node element = prop.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "O:" + name, kDav));
      element.appendChild(doc.createTextNode(value));
    }
    if (properties.getCount() == 0) {
      const zan::dom::Node set = update.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "d:set", kDav));
      set.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "d:prop", kDav));
    }
    if (request->send(doc.xml()) != S_OK) return false;
    const long status = request->status();
    // 200/204: the whole update was applied. 207: only when every propstat is 2xx.
    if (status == 200 || status == 204) return true;
    if (status == 405 || status == 500 || status == 501)
      throw CGenException(std::string(kNoDeadProperties) + " (" + request->statusLine() + " to PROPPATCH " +
                              zan::dav::NamedUrl(url) + ")",
                          zan::err::kUnknown, kClass, "setResourceProperties");
    if (status != 207)
      throw CGenException("Dav Unknown Error. " + zan::dav::NamedUrl(url) + Answered(*request), zan::err::kUnknown,
                          kClass, "setResourceProperties");
    const std::optional<std::vector<zan::dav::Refusal>> refused = zan::dav::RefusedProperties(request->responseText());
    if (!refused) {
      throw CGenException("The server's reply to PROPPATCH " + zan::dav::NamedUrl(url) + " (" + request->statusLine() +
                              ") does not say which properties were stored",
                          zan::err::kUnknown, kClass, "setResourceProperties");
    }
    if (!refused->empty()) {
      // Every property refused with 403: a server that keeps no dead properties ("cannot be set").
      // One refused property is a protected or invalid one; a node's properties come several at once.
      const bool everyForbidden =
          refused->size() >= 2 && refused->size() >= static_cast<size_t>(properties.getCount()) &&
          std::all_of(refused->begin(), refused->end(),
                      [](const zan::dav::Refusal& r) { return r.statusLine.find(" 403") != std::string::npos; });
      if (everyForbidden)
        throw CGenException(std::string(kNoDeadProperties) + " (" + request->statusLine() + " to PROPPATCH " +
                                zan::dav::NamedUrl(url) + ": " + zan::dav::DescribeRefusals(*refused) + ")",
                            zan::err::kUnknown, kClass, "setResourceProperties");
      throw CGenException("The server refused properties of " + zan::dav::NamedUrl(url) + ": " +
                              zan::dav::DescribeRefusals(*refused),
                          zan::err::kUnknown, kClass, "setResourceProperties");
    }
    return true;
  } catch (const _com_error& e) {
    zan::os::ShowErrorAlert(e.Description());
    throw;
  }
}

void CDavHTTPManager::propfind(const std::string& url, const std::string& requestXml, const std::string& depth,
                               bool askResourceType, const zan::dav::MultistatusReader::ResponseHandler& onResponse) {
  zan::http::XmlHttpRequestPtr request = CreateRequest("findResourceProperties");
  const zan::dom::Document doc = zan::dom::Document::Create();
  const zan::dom::Node propfind = doc.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "d:propfind", kDav));
  XMLSet wanted;
  wanted.loadXml(requestXml);
  std::string name, value;
  wanted.getItem(0, name, value);
  if (name == "ALL_PROPERTIES") {
    // allprop belongs to the DAV: namespace; a server rejects it in none (Apache: 400).
    propfind.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "d:allprop", kDav));
  } else {
    const zan::dom::Node prop = propfind.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "d:prop", kDav));
    for (wanted.moveFirst(); !wanted.isEOF(); wanted.moveNext()) {
      wanted.getItem(wanted.getCursor(), name, value);
      const zan::dom::Node element = prop.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "O:" + name, kDav));
      if (!value.empty()) element.appendChild(doc.createTextNode(value));
    }
    if (askResourceType) prop.appendChild(doc.createNode(zan::dom::NODE_ELEMENT, "O:resourcetype", kDav));
  }
  const std::string body = doc.xml();

  // "1,noroot" is no standard depth (servers answer 400, 403, or the collection itself): the
  // members are asked with Depth 1 and the collection's own response is dropped below.
  const bool noRoot = depth == kNoRoot;
  // The reply is read as it arrives; only a 2xx body reaches the reader.
  std::unique_ptr<zan::dav::MultistatusReader> reader;
  const std::string self = zan::dav::ComparablePath(url);
  bool selfDropped = !noRoot;
  const auto each = [&](zan::dav::MultistatusResponse& r) {
    if (!selfDropped && zan::dav::ComparablePath(r.href) == self) {
      selfDropped = true;
      return;
    }
    onResponse(r);
  };
  reader = std::make_unique<zan::dav::MultistatusReader>(each);
  request->open("PROPFIND", noRoot ? zan::dav::CollectionUrl(url) : url, false, "", "");
  request->setResponseSink([&reader](std::string_view chunk) { reader->Feed(chunk); });
  request->setRequestHeader("Brief", "t");
  request->setRequestHeader("encoding", "utf-8");
  request->setRequestHeader("Content-Type", "text/xml; charset=UTF-8");
  request->setRequestHeader("Depth", noRoot ? std::string("1") : depth);
  request->send(body);
  const long status = request->status();
  if (status == 404)
    throw CGenException("The item you requested was not found. " + zan::dav::NamedUrl(url) + Answered(*request), zan::err::kDavNotFound,
                        kClass, "findResourceProperties");
  if (status != 207)
    throw CGenException("Dav Unknown Error. " + zan::dav::NamedUrl(url) + Answered(*request), zan::err::kUnknown, kClass,
                        "findResourceProperties");
  if (!reader->Finish())
    throw CGenException("The server's reply is not a well-formed multistatus: " + reader->error() + " (PROPFIND " + zan::dav::NamedUrl(url) +
                            ", " + request->statusLine() + ")",
                        zan::err::kUnknown, kClass, "findResourceProperties");
}

bool CDavHTTPManager::findResourceProperties(const std::string& url, const std::string& xmlText,
                                             const std::string& depth, XMLSet& result) {
  try {
    // The reply is read once, as it arrives; the item set is built from what it found, only
    // once the whole reply has been read.
    std::vector<std::vector<std::pair<std::string, std::string>>> found;
    propfind(url, xmlText, depth, false, [&found](zan::dav::MultistatusResponse& r) { KeepFound(r, found); });
    for (const auto& props : found) result.addInnerSet(props);
    return true;
  } catch (...) {
    zan::err::RethrowWithContext({kClass, "findResourceProperties"});
  }
}

long CDavHTTPManager::countMembers(const std::string& url, const std::string& requestXml) {
  try {
    const std::string self = zan::dav::ComparablePath(url);
    bool sawSelf = false;
    long found = 0;
    propfind(zan::dav::CollectionUrl(url), requestXml, "1", false, [&](const zan::dav::MultistatusResponse& r) {
      if (zan::dav::ComparablePath(r.href) == self) {
        sawSelf = true;
        return;
      }
      if (r.found) ++found;
    });
    return sawSelf ? found : -1;
  } catch (...) {
    zan::err::RethrowWithContext({kClass, "countMembers"});
  }
}

std::vector<CDavHTTPManager::Member> CDavHTTPManager::listMembers(const std::string& url,
                                                                  const std::string& requestXml) {
  try {
    std::vector<Member> members;
    propfind(url, requestXml, kNoRoot, true,
             [&members](zan::dav::MultistatusResponse& r) { members.push_back(std::move(r)); });
    return members;
  } catch (...) {
    zan::err::RethrowWithContext({kClass, "findResourceProperties"});
  }
}
