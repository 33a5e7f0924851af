#include "platform/dom/node_view.h"

#include <string>

#include "platform/dom/tree.h"

namespace zan::dom {

using detail::Unwrap;
using detail::Wrap;

NodeView::NodeView(const Node& node) : tree_(node.tree_.get()), node_(node.node_) {}

bool NodeView::inTreeOf(const Node& node) const { return node_ && tree_ == node.tree_.get(); }

NodeType NodeView::nodeType() const { return node().nodeType(); }

bool NodeView::isElement() const {
  check();
  return Wrap(node_).type() == pugi::node_element;
}

std::string_view NodeView::name() const {
  check();
  const pugi::xml_node n = Wrap(node_);
  const pugi::xml_node_type t = n.type();
  return t == pugi::node_element || t == pugi::node_pi ? std::string_view(n.name()) : std::string_view();
}

NodeView NodeView::parentNode() const {
  check();
  return NodeView(tree_, Unwrap(tree_->parentOf(Wrap(node_))));
}

NodeView NodeView::firstChild() const {
  check();
  const pugi::xml_node n = Wrap(node_);
  return NodeView(tree_, Unwrap(n.type() == pugi::node_document ? tree_->firstTop() : n.first_child()));
}

NodeView NodeView::nextSibling() const {
  check();
  return NodeView(tree_, Unwrap(tree_->nextOf(Wrap(node_))));
}

std::optional<std::string_view> NodeView::attribute(const char* name) const {
  check();
  const pugi::xml_attribute a = detail::FindAttribute(Wrap(node_), name);
  if (!a) return std::nullopt;
  return std::string_view(a.value());
}

std::pair<std::optional<std::string_view>, std::optional<std::string_view>> NodeView::attributes(
    const char* first, const char* second) const {
  check();
  std::pair<std::optional<std::string_view>, std::optional<std::string_view>> found;
  for (pugi::xml_attribute a = Wrap(node_).first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    const bool isFirst = detail::SameName(name, first);
    const bool isSecond = detail::SameName(name, second);
    if (!isFirst && !isSecond) continue;
    const std::string_view value(a.value());
    if (isFirst) found.first = value;
    if (isSecond) found.second = value;
    if (found.first && found.second) break;
  }
  return found;
}

void NodeView::setAttribute(const char* name, std::string_view value) const {
  check();
  if (!isElement()) detail::Fail(E_FAIL, "Only elements have attributes");
  if (!detail::IsXmlName(name)) detail::Fail(E_FAIL, "Invalid attribute name: \"" + std::string(name) + "\"");
  pugi::xml_node n = Wrap(node_);
  pugi::xml_attribute a = detail::FindAttribute(n, name);
  if (!a) a = n.append_attribute(name);
  if (!a || !a.set_value(value.data(), value.size()))
    detail::Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
}

Node NodeView::node() const {
  check();
  return Node(tree_->shared_from_this(), node_);
}

}  // namespace zan::dom
