// Document: a handle to one DOM document (the platform's DOMDocument) over pugixml: node
// creation, the top-level child list, serialisation, parsing from text and from a file URL,
// and XPath. Copies of a handle share one document: a load through one copy is seen by all.
// A default-constructed handle is the empty reference; Document::Create() makes a document.
//
// Inside, text is UTF-8 (the process code page); the *W forms take and give UTF-16.
// Parsing never fetches anything: document types and external entities are kept as text.
// Failure and thread rules as for Node.
#ifndef ZAN_PLATFORM_DOM_DOCUMENT_H_
#define ZAN_PLATFORM_DOM_DOCUMENT_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/dom/element.h"
#include "platform/dom/node.h"
#include "platform/dom/node_list.h"

namespace zan::dom {

class Document {
 public:
  Document() = default;
  // A new, empty document.
  static Document Create();
  // A new document holding a deep copy of this one's top-level nodes (and its last parse
  // error): the copy shares nothing with this document. Detached nodes are not copied.
  Document clone() const;

  explicit operator bool() const { return core_ != nullptr; }
  friend bool operator==(const Document& a, const Document& b) { return a.core_ == b.core_; }

  // Detached nodes of this document, to be placed with appendChild and the like. Names must
  // be XML names (E_FAIL otherwise). A processing instruction with target "xml" is the XML
  // declaration: it serialises as <?xml data?>.
  Node createProcessingInstruction(std::string_view target, std::string_view data) const;
  Element createElement(std::string_view tagName) const;
  Node createTextNode(std::string_view text) const;
  Node createComment(std::string_view text) const;
  // Node type 1 (element), or an empty 3 (text), 4 (CDATA) or 8 (comment); E_INVALIDARG
  // for other types.
  // An element named "p:local" with a namespace URI is in that namespace: the document
  // declares xmlns:p (xmlns for an unprefixed name) on the element itself unless the
  // element's ancestors already bind the prefix to that URI, and keeps it so whenever the
  // element moves. An empty URI declares nothing for a prefixed name and undeclares an
  // inherited default namespace (xmlns="") for an unprefixed one.
  Node createNode(int type, std::string_view name, std::string_view namespaceURI) const;

  // The document node and the document element (empty when there is none).
  Node asNode() const;
  Element documentElement() const;

  // The top level, as Node offers it for any node.
  NodeList childNodes() const;
  Node firstChild() const;
  Node lastChild() const;
  Node appendChild(const Node& newChild) const;
  Node insertBefore(const Node& newChild, const Node& refChild) const;
  Node replaceChild(const Node& newChild, const Node& oldChild, Node* inserted = nullptr) const;
  Node removeChild(const Node& oldChild) const;

  // The serialised document: its top-level nodes in order, raw (no whitespace between or
  // inside), markup escaped. An XML declaration is written without an encoding.
  std::string xml() const;
  std::u16string xmlW() const;
  std::string text() const;

  // Parses text (already decoded: an encoding in its declaration is ignored) and replaces
  // the whole document with it. On failure the document is empty and false is returned.
  // Well-formedness includes: one document element, no text at the top level, a declaration
  // only first, no attribute twice on one element.
  bool loadXML(std::string_view text) const;
  bool loadXML(std::u16string_view text) const;
  // As loadXML from a file: a "file://" URL followed by a local path (or a plain path).
  // The file's bytes are decoded by its byte-order mark or declaration (UTF-8 by default).
  // An unreadable file leaves the document empty and gives false.
  bool load(std::string_view url) const;
  // Why the last load failed; "" after a successful one.
  std::string parseErrorReason() const;

  NodeList selectNodes(std::string_view xpath) const;
  Node selectSingleNode(std::string_view xpath) const;
  NodeList selectAllElements() const;

 private:
  struct Core;
  explicit Document(std::shared_ptr<Core> core) : core_(std::move(core)) {}
  Core& core() const;

  std::shared_ptr<Core> core_;
};

}  // namespace zan::dom

#endif
