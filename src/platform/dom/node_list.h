// NodeList: an indexed list of nodes. A child list (Node::childNodes) is live: it follows
// later changes of the children; a selection (Node::selectNodes) is a snapshot. Reading is
// O(1) per item while the document does not change. A default-constructed list is the empty
// reference (E_POINTER on use). Thread rules as for Node.
#ifndef ZAN_PLATFORM_DOM_NODE_LIST_H_
#define ZAN_PLATFORM_DOM_NODE_LIST_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dom/node.h"

namespace zan::dom {

class NodeList {
 public:
  NodeList() = default;

  explicit operator bool() const { return tree_ != nullptr; }
  long length() const;
  // The node at a 0-based index; the empty reference outside 0 .. length() - 1.
  Node item(long index) const;

 private:
  friend class Node;
  friend struct Access;
  NodeList(std::shared_ptr<detail::Tree> tree, detail::NodeRef* parent) : tree_(std::move(tree)), parent_(parent) {}
  NodeList(std::shared_ptr<detail::Tree> tree, std::vector<detail::NodeRef*> nodes)
      : tree_(std::move(tree)), nodes_(std::move(nodes)), snapshot_(true) {}
  void refresh() const;

  std::shared_ptr<detail::Tree> tree_;
  detail::NodeRef* parent_ = nullptr;  // live child list
  mutable std::vector<detail::NodeRef*> nodes_;
  mutable uint64_t version_ = UINT64_MAX;
  bool snapshot_ = false;
};

}  // namespace zan::dom

#endif
