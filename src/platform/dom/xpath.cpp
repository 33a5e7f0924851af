// XPath selection over pugixml, with the platform's failure contract.
#include <new>
#include <string>
#include <vector>

#include "platform/dom/node.h"
#include "platform/dom/node_list.h"
#include "platform/dom/tree.h"

namespace zan::dom {

namespace {

[[noreturn]] void InvalidXPath(const std::string& expression, const char* reason, ptrdiff_t offset) {
  detail::Fail(E_FAIL, std::string(reason) + " at offset " + std::to_string(offset) + " of the XPath expression \"" +
                           expression + "\"");
}

pugi::xpath_node_set Evaluate(const std::string& expression, pugi::xml_node context) {
  try {
    pugi::xpath_query query(expression.c_str());
#ifdef PUGIXML_NO_EXCEPTIONS
    if (!query) InvalidXPath(expression, query.result().description(), query.result().offset);
    if (query.return_type() != pugi::xpath_type_node_set)
      InvalidXPath(expression, "Expression does not evaluate to node set", 0);
#endif
    pugi::xpath_node_set set = query.evaluate_node_set(pugi::xpath_node(context));
    if (set.type() == pugi::xpath_node_set::type_unsorted) set.sort();
    return set;
#ifndef PUGIXML_NO_EXCEPTIONS
  } catch (const pugi::xpath_exception& e) {
    InvalidXPath(expression, e.result().description(), e.result().offset);
#endif
  } catch (const std::bad_alloc&) {
    detail::Fail(E_OUTOFMEMORY, "Not enough memory for the XPath expression \"" + expression + "\"");
  }
}

}  // namespace

NodeList Node::selectNodes(std::string_view xpath) const {
  check();
  pugi::xml_node context = detail::Wrap(node_);
  const pugi::xpath_node_set set = Evaluate(std::string(xpath), context);
  // Detached nodes are not part of the document as seen from an attached context.
  const bool skipDetached = tree_->orphanage && tree_->orphanage.first_child() && !tree_->inOrphanage(context);
  std::vector<detail::NodeRef*> nodes;
  nodes.reserve(set.size());
  for (const pugi::xpath_node& x : set) {
    pugi::xml_node n = x.node();
    if (!n || x.attribute() || tree_->isOrphanage(n)) continue;
    if (skipDetached && tree_->inOrphanage(n)) continue;
    nodes.push_back(detail::Unwrap(n));
  }
  return Access::snapshot(tree_, std::move(nodes));
}

Node Node::selectSingleNode(std::string_view xpath) const { return selectNodes(xpath).item(0); }

}  // namespace zan::dom
