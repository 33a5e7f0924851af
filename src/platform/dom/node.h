// Node: a handle to one node of a DOM document (element, text, CDATA section, comment,
// processing instruction, document type, or the document node itself), with the operations
// of the platform's XML DOM node. A handle is a small value: copies refer to the same node
// and keep its document's tree alive, so a node stays usable after the document is reloaded
// or dropped. A default-constructed handle is the empty reference.
//
// Failure: a failing call raises _com_error (status and description); any call through an
// empty reference raises E_POINTER (no description). Empty results (no child, no match) are
// empty handles, not failures. Text is UTF-8; the *W forms are UTF-16.
// Thread: a document and its nodes are used on one thread at a time.
#ifndef ZAN_PLATFORM_DOM_NODE_H_
#define ZAN_PLATFORM_DOM_NODE_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace zan::dom {

namespace detail {
struct Tree;
// One node of the tree as the dom's handles hold it: an opaque, pointer-sized reference,
// only ever interpreted inside the dom.
struct NodeRef;
}

// The node types, numbered as the platform's DOM numbers them.
enum NodeType : int {
  NODE_INVALID = 0,
  NODE_ELEMENT = 1,
  NODE_ATTRIBUTE = 2,
  NODE_TEXT = 3,
  NODE_CDATA_SECTION = 4,
  NODE_PROCESSING_INSTRUCTION = 7,
  NODE_COMMENT = 8,
  NODE_DOCUMENT = 9,
  NODE_DOCUMENT_TYPE = 10,
};

class NodeList;
class NodeView;

class Node {
 public:
  Node() = default;

  bool isNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }
  // The same node (two empty handles are equal).
  friend bool operator==(const Node& a, const Node& b) { return a.node_ == b.node_; }
  // An opaque identity, equal for handles to the same node; for hashing.
  std::uintptr_t id() const { return reinterpret_cast<std::uintptr_t>(node_); }
  // True when both nodes belong to the same tree (the same document, same load).
  bool sameTree(const Node& other) const { return tree_ == other.tree_; }

  NodeType nodeType() const;
  // "element", "text", "cdatasection", "processinginstruction", "comment", "document",
  // "documenttype".
  std::string nodeTypeString() const;
  // The qualified name of an element, the target of a processing instruction, "#text",
  // "#cdata-section", "#comment", "#document", or the document type's name.
  std::string nodeName() const;
  // The name without its prefix, and the prefix ("" when none).
  std::string baseName() const;
  std::string prefix() const;
  // The namespace URI bound to the node's prefix (or the default namespace) where the
  // node stands; "" when none. For elements; "" for other nodes.
  std::string namespaceURI() const;
  // The data of a text, CDATA, comment or processing-instruction node; "" for others.
  std::string nodeValue() const;

  // Read: the concatenated text of all descendants (a leaf node: its own data).
  std::string text() const;
  std::u16string textW() const;
  // Write: an element's content becomes this one text (no node for ""); the data of a
  // text, CDATA, comment or processing-instruction node is replaced. E_FAIL for the
  // document node.
  void setText(std::string_view text) const;
  void setText(std::u16string_view text) const;

  // The serialised node: raw (no whitespace added), markup escaped, processing
  // instructions included; the document node gives its top-level nodes in order.
  std::string xml() const;
  std::u16string xmlW() const;

  Node parentNode() const;
  Node firstChild() const;
  Node lastChild() const;
  Node nextSibling() const;
  bool hasChildNodes() const;
  // The children in document order; a live list that follows later changes.
  NodeList childNodes() const;

  // Appends newChild as the last child and returns the appended node. A node of the same
  // document moves (from wherever it stands); a node of another document is copied with
  // its subtree (the source stays as it was) and the copy is returned. E_FAIL when the
  // result would not be a document (a cycle, a second document element, text at the top
  // level, a document type inside an element); E_INVALIDARG for a document node.
  Node appendChild(const Node& newChild) const;
  // As appendChild, placed before refChild (an empty refChild appends). E_INVALIDARG when
  // refChild is not a child of this node.
  Node insertBefore(const Node& newChild, const Node& refChild) const;
  // newChild takes oldChild's place; returns oldChild, now detached. *inserted (when given)
  // receives the node that was put in place (the copy, for a node of another document).
  Node replaceChild(const Node& newChild, const Node& oldChild, Node* inserted = nullptr) const;
  // Detaches a child and returns it.
  Node removeChild(const Node& oldChild) const;
  // A detached copy in this node's document; deep copies the subtree too.
  Node cloneNode(bool deep) const;

  // XPath 1.0 with this node as context node. The result is a snapshot of the selected
  // nodes (attribute results are left out), in document order. An invalid expression or
  // one that does not give a node set raises E_FAIL with the reason.
  NodeList selectNodes(std::string_view xpath) const;
  Node selectSingleNode(std::string_view xpath) const;
  // What "//*" selects from this node, without XPath: every element of the node's document
  // (the document element included), in document order.
  NodeList selectAllElements() const;
  // Visits the same elements in the same order with borrowed views. The visitor may change
  // attributes but not the tree's structure.
  void forEachElement(const std::function<void(NodeView)>& visit) const;
  // Removes the attributes with these names from the same elements, in one walk that looks
  // at each element's attributes once. The names are plain C strings.
  void removeAttributesEverywhere(std::initializer_list<const char*> names) const;

 protected:
  Node(std::shared_ptr<detail::Tree> tree, detail::NodeRef* node) : tree_(std::move(tree)), node_(node) {}
  // Raises E_POINTER for the empty reference.
  void check() const;

  std::shared_ptr<detail::Tree> tree_;
  detail::NodeRef* node_ = nullptr;

  friend class Document;
  friend class Element;
  friend class NodeList;
  friend class NodeView;
  friend struct Access;
};

}  // namespace zan::dom

#endif
