// NodeView: a borrowed reference to a node for fast walks over large documents (the merge,
// document-wide attribute passes). Unlike Node it does not keep the document alive (a Node
// handle of the same document must, for as long as the view is used) and it gives texts as
// views into the document, valid until that node or attribute changes. Nodes are never freed
// while their document lives (detached ones included), so a view stays valid across
// changes of the tree. Copying is free.
// Failure: a call through an empty view raises _com_error(E_POINTER); a failing change
// raises _com_error as Element does. Thread rules as for Node.
#ifndef ZAN_PLATFORM_DOM_NODE_VIEW_H_
#define ZAN_PLATFORM_DOM_NODE_VIEW_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/dom/node.h"

namespace zan::dom {

namespace detail {
[[noreturn]] void FailNull();
}

class NodeView {
 public:
  NodeView() = default;
  explicit NodeView(const Node& node);

  explicit operator bool() const { return node_ != nullptr; }
  friend bool operator==(NodeView a, NodeView b) { return a.node_ == b.node_; }
  // The same identity as Node::id() of the node.
  std::uintptr_t id() const { return reinterpret_cast<std::uintptr_t>(node_); }
  // True when the view belongs to the document tree of node.
  bool inTreeOf(const Node& node) const;

  NodeType nodeType() const;
  bool isElement() const;
  // An element's qualified name or a processing instruction's target; "" for other nodes.
  std::string_view name() const;
  // Navigation as Node offers it (detached nodes have no parent and no siblings).
  NodeView parentNode() const;
  NodeView firstChild() const;
  NodeView nextSibling() const;

  // An attribute's value; nullopt when absent. The name is a C string.
  std::optional<std::string_view> attribute(const char* name) const;
  // The values of two attributes (the same name twice gives its value twice), found in one
  // pass over the element's attributes.
  std::pair<std::optional<std::string_view>, std::optional<std::string_view>> attributes(const char* first,
                                                                                         const char* second) const;
  // As Element::setAttribute.
  void setAttribute(const char* name, std::string_view value) const;

  // A handle to the node (it keeps the document alive).
  Node node() const;

 private:
  friend class Node;
  NodeView(detail::Tree* tree, detail::NodeRef* node) : tree_(tree), node_(node) {}
  void check() const {
    if (!node_) detail::FailNull();
  }

  detail::Tree* tree_ = nullptr;
  detail::NodeRef* node_ = nullptr;
};

}  // namespace zan::dom

#endif
