#include "dav/DavHTTPManager.h"

#include <utility>

#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "dav/Multistatus.h"
#include "platform/dom/document.h"
#include "platform/http/url_encoding.h"
#include "platform/http/xml_http_request.h"
#include "platform/os/alert.h"
#include "platform/os/codepage.h"

namespace {

constexpr const char* kClass = "CDavHTTPManager";
constexpr const char* kDav = "DAV:";
constexpr const char* kOk = "HTTP/1.1 200 OK";
constexpr const char* kNoRoot = "1,noroot";
constexpr const char* kNoDeadProperties =
    "The server does not store WebDAV properties, so it cannot hold repository nodes";

// A new request object; a failed creation raises its status as an error object.
zan::http::XmlHttpRequestPtr CreateRequest(const char* method) {
  zan::http::XmlHttpRequestPtr request;
  const HRESULT hr = request.CreateInstance();
  if (FAILED(hr)) throw CGenException("Could not create the XML HTTP request object", hr, kClass, method);
  return request;
}

// Whether a PROPPATCH multistatus refuses every property with 403: a server that keeps no
// dead properties (RFC 4918 9.2.1: "cannot be set").
bool EveryPropertyForbidden(const std::string& replyText) {
  const std::string canonical = zan::dav::CanonicalMultistatus(replyText);
  if (canonical.empty()) return false;
  XMLSet reply(std::string_view(canonical), XMLSet::kDefaultTag);
  long propstats = 0;
  std::string name, status;
  for (long i = 0; i < reply.getCount(); ++i) {
    XMLSet response;
    reply.getInnerSet(i, response);
    for (long j = 0; j < response.getCount(); ++j) {
      response.getItem(j, name, status);
      if (name != "a:propstat") continue;
      XMLSet propstat;
      response.getInnerSet(j, propstat);
      if (!propstat.findItem("a:status", status) || status.find(" 403") == std::string::npos) return false;
      ++propstats;
    }
  }
  return propstats > 0;
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
    // 200/204: the whole update was applied.
    if (status == 200 || status == 204) return true;
    const std::string statusLine = "HTTP/1.1 " + std::to_string(status) + " " + request->statusText();
    if (status == 405 || status == 500 || status == 501 ||
        (status == 207 && EveryPropertyForbidden(request->responseText())))
      throw CGenException(std::string(kNoDeadProperties) + " (" + statusLine + " to PROPPATCH " + url + ")",
                          zan::err::kUnknown, kClass, "setResourceProperties");
    if (status != 207)
      throw CGenException("Dav Unknown Error. " + zan::dav::NamedUrl(url), zan::err::kUnknown, kClass,
                          "setResourceProperties");
    return true;
  } catch (const _com_error& e) {
    zan::os::ShowErrorAlert(e.Description());
    throw;
  }
}

XMLSet CDavHTTPManager::propfind(const std::string& url, const std::string& requestXml, const std::string& depth,
                                 bool askResourceType) {
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
  const std::string target = noRoot ? zan::dav::CollectionUrl(url) : url;
  request->open("PROPFIND", target, false, "", "");
  request->setRequestHeader("Brief", "t");
  request->setRequestHeader("encoding", "utf-8");
  request->setRequestHeader("Content-Type", "text/xml; charset=UTF-8");
  request->setRequestHeader("Depth", noRoot ? std::string("1") : depth);
  request->send(body);
  const long status = request->status();
  if (status == 404)
    throw CGenException("The item you requested was not found. " + zan::dav::NamedUrl(url), zan::err::kDavNotFound,
                        kClass, "findResourceProperties");
  if (status != 207) throw CGenException("Dav Unknown Error. ", zan::err::kUnknown, kClass, "findResourceProperties");

  const std::string canonical = zan::dav::CanonicalMultistatus(request->responseText());
  XMLSet reply(std::string_view(canonical), XMLSet::kDefaultTag);
  if (noRoot) {
    const std::string self = zan::dav::ComparablePath(url);
    std::string href;
    for (long i = 0; i < reply.getCount(); ++i) {
      XMLSet response;
      reply.getInnerSet(i, response);
      if (response.getItemValue("a:href", href) && zan::dav::ComparablePath(href) == self) {
        reply.getRoot().removeChild(reply.getRoot().childNodes().item(i));
        break;
      }
    }
  }
  return reply;
}

bool CDavHTTPManager::findResourceProperties(const std::u16string& url, const std::u16string& xmlText,
                                             const std::u16string& depth, XMLSet& result) {
  const std::string url8 = zan::os::WideToMultiByte(url);
  try {
    XMLSet reply = propfind(url8, zan::os::WideToMultiByte(xmlText), zan::os::WideToMultiByte(depth), false);
    const long count = reply.getCount();
    for (long i = 0; i < count; ++i) {
      XMLSet response;
      reply.getInnerSet(i, response);
      XMLSet props;
      if (readResponseProperties(response, props)) result.addInnerSet(props);
    }
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "findResourceProperties");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "findResourceProperties");
  }
}

std::vector<CDavHTTPManager::Member> CDavHTTPManager::listMembers(const std::string& url,
                                                                  const std::string& requestXml) {
  try {
    XMLSet reply = propfind(url, requestXml, kNoRoot, true);
    std::vector<Member> members;
    const long count = reply.getCount();
    for (long i = 0; i < count; ++i) {
      XMLSet response;
      reply.getInnerSet(i, response);
      Member member;
      response.getItemValue("a:href", member.href);
      member.found = readResponseProperties(response, member.props);
      // resourcetype holds an element (a:collection) only for a collection: its item then
      // holds an inner set.
      XMLSet found;
      for (response.moveFirst(); !response.isEOF(); response.moveNext()) {
        std::string name, status;
        response.getItem(response.getCursor(), name, status);
        if (name != "a:propstat") continue;
        XMLSet propstat, prop, type;
        response.getInnerSet(response.getCursor(), propstat);
        if (!propstat.findItem("a:status", status) || status != kOk) continue;
        propstat.getInnerSetByTag("a:prop", prop);
        if (prop.getInnerSetByTag("a:resourcetype", type)) member.collection = type.hasItem("a:collection");
      }
      members.push_back(std::move(member));
    }
    return members;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "findResourceProperties");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "findResourceProperties");
  }
}

bool CDavHTTPManager::readResponseProperties(XMLSet& response, XMLSet& props) {
  // The found properties are those of the propstat whose status is "HTTP/1.1 200 OK",
  // wherever it stands among the response's propstat blocks.
  std::string name, status;
  for (long i = 0; i < response.getCount(); ++i) {
    response.getItem(i, name, status);
    if (name != "a:propstat") continue;
    XMLSet propstat;
    response.getInnerSet(i, propstat);
    if (!propstat.findItem("a:status", status) || status != kOk) continue;
    XMLSet prop;
    propstat.getInnerSetByTag("a:prop", prop);
    std::string value;
    for (prop.moveFirst(); !prop.isEOF(); prop.moveNext()) {
      prop.getItem(prop.getCursor(), name, value);
      props.addItem(removeNamespacePrefix(name), value);
    }
    return true;
  }
  return false;
}

std::string CDavHTTPManager::removeNamespacePrefix(const std::string& name) {
  const size_t colon = name.rfind(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

bool CDavHTTPManager::Copy(const std::string& sourceUrl, const std::string& destinationUrl) {
  zan::http::XmlHttpRequestPtr request = CreateRequest("Copy");
  try {
    request->open("COPY", sourceUrl, false, "", "");
    request->setRequestHeader("Destination", zan::http::EncodeUrl(destinationUrl));
    request->send();
    zan::os::ShowErrorAlert(request->responseText());
    zan::os::ShowErrorAlert(request->statusText());
    // A successful COPY has no XML body: its status tells the outcome.
    const long status = request->status();
    if (status < 200 || status > 299)
      throw CGenException("Dav Unknown Error. " + sourceUrl, zan::err::kUnknown, kClass, "Copy");
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "Copy");
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, "Copy");
  }
}
