// Element: a node handle that is known to be an element, with the element's attribute
// operations. Converting a node that is not an element gives the empty reference (as asking
// the platform for the element interface of another node does), not an error.
// Failure and thread rules as for Node.
#ifndef ZAN_PLATFORM_DOM_ELEMENT_H_
#define ZAN_PLATFORM_DOM_ELEMENT_H_

#include <optional>
#include <string>
#include <string_view>

#include "platform/dom/node.h"

namespace zan::dom {

class Element : public Node {
 public:
  Element() = default;
  // The element, or the empty reference when node is empty or not an element.
  explicit Element(const Node& node);

  // The qualified name, prefix included.
  std::string tagName() const;
  // The attribute's value; nullopt when the element has no attribute of that name.
  std::optional<std::string> getAttribute(std::string_view name) const;
  // Sets (or adds) the attribute. E_FAIL for a name that is not an XML name.
  void setAttribute(std::string_view name, std::string_view value) const;
  // Removes the attribute; nothing happens when it is absent.
  void removeAttribute(std::string_view name) const;
};

}  // namespace zan::dom

#endif
