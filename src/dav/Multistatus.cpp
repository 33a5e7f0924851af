#include "dav/Multistatus.h"

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

}  // namespace zan::dav
