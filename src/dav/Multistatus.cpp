#include "dav/Multistatus.h"

#include <mutex>
#include <set>

#include "platform/dom/document.h"
#include "platform/dom/element.h"
#include "platform/dom/node_list.h"
#include "platform/http/url_encoding.h"

namespace zan::dav {

namespace {

constexpr std::string_view kDavNamespace = "DAV:";

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// Copies source's children below target (in target's document), renaming DAV: elements.
void CopyChildren(const dom::Node& source, const dom::Node& target, const dom::Document& doc) {
  const dom::NodeList children = source.childNodes();
  const long count = children.length();
  bool hasElement = false;
  for (long i = 0; i < count && !hasElement; ++i) hasElement = children.item(i).nodeType() == dom::NODE_ELEMENT;
  for (long i = 0; i < count; ++i) {
    const dom::Node child = children.item(i);
    switch (child.nodeType()) {
      case dom::NODE_ELEMENT: {
        const std::string ns = child.namespaceURI();
        const std::string name = ns == kDavNamespace ? "a:" + child.baseName() : child.nodeName();
        const dom::Node copy = target.appendChild(doc.createNode(dom::NODE_ELEMENT, name, ns));
        CopyChildren(child, copy, doc);
        break;
      }
      case dom::NODE_TEXT:
      case dom::NODE_CDATA_SECTION:
        // Formatting between elements goes; a value's text stays, blanks included.
        if (!(hasElement && IsBlank(child.nodeValue()))) target.appendChild(doc.createTextNode(child.nodeValue()));
        break;
      default:
        break;
    }
  }
}

// The status code of a status line ("HTTP/1.1 424 Failed Dependency" -> 424); 0 when none.
int StatusCodeOf(std::string_view line) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return 0;
  int code = 0;
  size_t i = blank + 1;
  for (int digits = 0; digits < 3; ++digits, ++i) {
    if (i >= line.size() || line[i] < '0' || line[i] > '9') return 0;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

bool IsDav(const dom::Node& node, std::string_view localName) {
  return node.nodeType() == dom::NODE_ELEMENT && node.namespaceURI() == kDavNamespace && node.baseName() == localName;
}

// The first DAV: child element of node with that local name (empty when none).
dom::Node DavChild(const dom::Node& node, std::string_view localName) {
  for (dom::Node c = node.firstChild(); c; c = c.nextSibling())
    if (IsDav(c, localName)) return c;
  return dom::Node();
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The multistatus root of the reply, or empty when the reply is not one.
dom::Element MultistatusRoot(const dom::Document& doc, std::string_view reply) {
  if (!doc.loadXML(reply)) return dom::Element();
  const dom::Element root = doc.documentElement();
  return root && IsDav(root, "multistatus") ? root : dom::Element();
}

std::string Origin(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  const size_t path = url.find('/', scheme + 3);
  return std::string(url.substr(0, path));
}

std::mutex g_refusingMutex;
std::set<std::string>& RefusingOrigins() {
  static std::set<std::string> origins;
  return origins;
}

}  // namespace

std::string CanonicalMultistatus(std::string_view reply) {
  const dom::Document source = dom::Document::Create();
  if (!source.loadXML(reply)) return {};
  const dom::Element root = source.documentElement();
  if (!root) return {};
  const dom::Document doc = dom::Document::Create();
  const std::string ns = root.namespaceURI();
  const dom::Node copy =
      doc.appendChild(doc.createNode(dom::NODE_ELEMENT, ns == kDavNamespace ? "a:" + root.baseName() : root.nodeName(), ns));
  CopyChildren(root, copy, doc);
  return doc.xml();
}

std::optional<std::vector<Refusal>> RefusedProperties(std::string_view reply) {
  const dom::Document doc = dom::Document::Create();
  const dom::Element root = MultistatusRoot(doc, reply);
  if (!root) return std::nullopt;
  std::vector<Refusal> refused;
  bool anyPropstat = false;
  for (dom::Node response = root.firstChild(); response; response = response.nextSibling()) {
    if (!IsDav(response, "response")) continue;
    for (dom::Node propstat = response.firstChild(); propstat; propstat = propstat.nextSibling()) {
      if (!IsDav(propstat, "propstat")) continue;
      anyPropstat = true;
      const dom::Node status = DavChild(propstat, "status");
      const std::string line = status ? Trimmed(status.text()) : std::string();
      const int code = StatusCodeOf(line);
      if (code >= 200 && code <= 299) continue;
      const dom::Node prop = DavChild(propstat, "prop");
      bool named = false;
      for (dom::Node p = prop ? prop.firstChild() : dom::Node(); p; p = p.nextSibling()) {
        if (p.nodeType() != dom::NODE_ELEMENT) continue;
        refused.push_back({p.baseName(), line});
        named = true;
      }
      if (!named) refused.push_back({"(unnamed property)", line});
    }
    // A response without propstat reports its status for the whole resource.
    const dom::Node status = DavChild(response, "status");
    if (status) {
      const std::string line = Trimmed(status.text());
      const int code = StatusCodeOf(line);
      anyPropstat = true;
      if (code < 200 || code > 299) {
        const dom::Node href = DavChild(response, "href");
        refused.push_back({href ? Trimmed(href.text()) : std::string(), line});
      }
    }
  }
  if (!anyPropstat) return std::nullopt;  // nothing says what was applied
  return refused;
}

std::string DescribeRefusals(const std::vector<Refusal>& refusals) {
  std::string text;
  for (const Refusal& r : refusals) {
    if (!text.empty()) text += ", ";
    text += r.name + " (" + (r.statusLine.empty() ? std::string("no status") : r.statusLine) + ")";
  }
  return text;
}

std::string ComparablePath(std::string_view urlOrHref) {
  std::string_view path = urlOrHref;
  const size_t scheme = path.find("://");
  if (scheme != std::string_view::npos) {
    const size_t slash = path.find('/', scheme + 3);
    path = slash == std::string_view::npos ? std::string_view("/") : path.substr(slash);
  }
  const std::string decoded = http::DecodeUrl(path);
  std::string folded;
  for (char c : decoded)
    if (!(c == '/' && !folded.empty() && folded.back() == '/')) folded.push_back(c);
  if (folded.size() > 1 && folded.back() == '/') folded.pop_back();
  return folded;
}

std::string LastSegment(std::string_view href) {
  // Split before decoding, so an encoded '/' inside a name stays in the name.
  std::string_view path = href;
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return http::DecodeUrl(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool RefusesNoRoot(std::string_view url) {
  std::lock_guard<std::mutex> lock(g_refusingMutex);
  return RefusingOrigins().count(Origin(url)) != 0;
}

void RememberRefusesNoRoot(std::string_view url) {
  std::lock_guard<std::mutex> lock(g_refusingMutex);
  RefusingOrigins().insert(Origin(url));
}

}  // namespace zan::dav
