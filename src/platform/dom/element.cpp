#include "platform/dom/element.h"

#include <string>

#include "platform/dom/tree.h"

namespace zan::dom {

Element::Element(const Node& node) {
  if (node && pugi::xml_node(Access::raw(node)).type() == pugi::node_element) {
    tree_ = Access::tree(node);
    node_ = detail::Unwrap(Access::raw(node));
  }
}

std::string Element::tagName() const {
  check();
  return detail::Wrap(node_).name();
}

std::optional<std::string> Element::getAttribute(std::string_view name) const {
  check();
  const std::string key(name);
  pugi::xml_attribute a = detail::FindAttribute(detail::Wrap(node_), key.c_str());
  if (!a) return std::nullopt;
  return std::string(a.value());
}

void Element::setAttribute(std::string_view name, std::string_view value) const {
  check();
  if (!detail::IsXmlName(name)) detail::Fail(E_FAIL, "Invalid attribute name: \"" + std::string(name) + "\"");
  const std::string key(name);
  const std::string text(value);
  pugi::xml_node n = detail::Wrap(node_);
  pugi::xml_attribute a = detail::FindAttribute(n, key.c_str());
  if (!a) a = n.append_attribute(key.c_str());
  if (!a || !a.set_value(text.c_str())) detail::Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
}

void Element::removeAttribute(std::string_view name) const {
  check();
  const std::string key(name);
  // Names are unique on an element: parsing rejects repeats and setting never adds one.
  pugi::xml_node n = detail::Wrap(node_);
  if (const pugi::xml_attribute a = detail::FindAttribute(n, key.c_str())) n.remove_attribute(a);
}

}  // namespace zan::dom
