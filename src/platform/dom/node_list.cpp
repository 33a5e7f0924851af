#include "platform/dom/node_list.h"

#include "platform/dom/tree.h"

namespace zan::dom {

void NodeList::refresh() const {
  if (!tree_) detail::FailNull();
  if (snapshot_ || version_ == tree_->version) return;
  nodes_.clear();
  pugi::xml_node parent = detail::Wrap(parent_);
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (!tree_->isOrphanage(c)) nodes_.push_back(detail::Unwrap(c));
  }
  version_ = tree_->version;
}

long NodeList::length() const {
  refresh();
  return static_cast<long>(nodes_.size());
}

Node NodeList::item(long index) const {
  refresh();
  if (index < 0 || index >= static_cast<long>(nodes_.size())) return Node();
  return Access::make(tree_, detail::Wrap(nodes_[static_cast<size_t>(index)]));
}

}  // namespace zan::dom
