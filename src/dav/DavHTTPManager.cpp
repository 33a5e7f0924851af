#include "dav/DavHTTPManager.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "dav/Multistatus.h"
#include "platform/dom/escape.h"
#include "platform/dom/document.h"
#include "platform/http/xml_http_request.h"
#include "platform/os/alert.h"
#include "platform/os/codepage.h"

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

// The text of one found response as an inner set of the listing's item set.
void AppendInnerSet(const zan::dav::MultistatusResponse& r, std::string& items) {
  if (!r.found) return;
  items += "<QKXItem>";
  for (const auto& [name, value] : r.props) {
    if (!XMLSet::isValidItemTag(name)) {  // raises the item set's own error for the name
      XMLSet check;
      check.addItem(name, value);
    }
    items += '<' + name + '>';
    zan::dom::AppendEscapedText(items, value);
    items += "</" + name + '>';
  }
  items += "</QKXItem>";
}

// Appends the inner sets (as text) to result as its last items, loading the whole batch
// once (one parse for any number of members).
void AppendInnerSets(std::string& items, XMLSet& result) {
  if (items.empty()) return;
  std::string xml = result.getXml();
  if (xml.size() >= 2 && xml.compare(xml.size() - 2, 2, "/>") == 0) {
    const size_t open = xml.rfind('<');
    size_t nameEnd = open + 1;
    while (nameEnd < xml.size() && xml[nameEnd] != ' ' && xml[nameEnd] != '/' && xml[nameEnd] != '>') ++nameEnd;
    const std::string root = xml.substr(open + 1, nameEnd - open - 1);
    xml.replace(xml.size() - 2, 2, ">");
    xml += items;
    xml += "</" + root + ">";
  } else {
    xml.insert(xml.rfind("</"), items);
  }
  std::string().swap(items);
  result.loadXml(xml);
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

bool CDavHTTPManager::findResourceProperties(const std::u16string& url, const std::u16string& xmlText,
                                             const std::u16string& depth, XMLSet& result) {
  const std::string url8 = zan::os::WideToMultiByte(url);
  try {
    std::string items;
    propfind(url8, zan::os::WideToMultiByte(xmlText), zan::os::WideToMultiByte(depth), false,
             [&items](const zan::dav::MultistatusResponse& r) { AppendInnerSet(r, items); });
    AppendInnerSets(items, result);
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "findResourceProperties");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "findResourceProperties");
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
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "countMembers");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "countMembers");
  }
}

std::vector<CDavHTTPManager::Member> CDavHTTPManager::listMembers(const std::string& url,
                                                                  const std::string& requestXml) {
  try {
    std::vector<Member> members;
    propfind(url, requestXml, kNoRoot, true,
             [&members](zan::dav::MultistatusResponse& r) { members.push_back(std::move(r)); });
    return members;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "findResourceProperties");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "findResourceProperties");
  }
}
