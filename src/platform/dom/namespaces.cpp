// Namespace declarations for elements created with a namespace URI.
#include <string>

#include "platform/dom/tree.h"

namespace zan::dom::detail {

namespace {

constexpr char kXmlNamespace[] = "http://www.w3.org/XML/1998/namespace";
constexpr char kXmlnsNamespace[] = "http://www.w3.org/2000/xmlns/";

std::string DeclarationName(std::string_view prefix) {
  return prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix);
}

// Pre-order successor of cur within the subtree at root; empty at the end.
pugi::xml_node NextInSubtree(pugi::xml_node cur, pugi::xml_node root) {
  if (cur.first_child()) return cur.first_child();
  while (cur != root && !cur.next_sibling()) cur = cur.parent();
  if (cur == root) return {};
  return cur.next_sibling();
}

}  // namespace

std::string LookupNamespace(const Tree& tree, pugi::xml_node n, std::string_view prefix, bool* found) {
  if (found) *found = true;
  if (prefix == "xml") return kXmlNamespace;
  if (prefix == "xmlns") return kXmlnsNamespace;
  const std::string name = DeclarationName(prefix);
  for (; n && n.type() == pugi::node_element && !tree.isOrphanage(n); n = n.parent()) {
    if (pugi::xml_attribute a = n.attribute(name.c_str())) return a.value();
  }
  if (found) *found = false;
  return {};
}

void FixNamespaces(Tree& tree, pugi::xml_node root) {
  if (tree.generated.empty()) return;
  for (pugi::xml_node cur = root; cur; cur = NextInSubtree(cur, root)) {
    if (cur.type() != pugi::node_element) continue;
    auto it = tree.generated.find(cur.internal_object());
    if (it == tree.generated.end()) continue;
    const NsBinding& b = it->second;
    if (!b.prefix.empty() && b.uri.empty()) continue;  // a prefixed name without namespace
    bool found = false;
    const std::string inherited = LookupNamespace(tree, tree.parentOf(cur), b.prefix, &found);
    const bool inheritedMatches = b.prefix.empty() ? inherited == b.uri : (found && inherited == b.uri);
    const std::string name = DeclarationName(b.prefix);
    pugi::xml_attribute own = cur.attribute(name.c_str());
    if (inheritedMatches) {
      if (own && b.uri == own.value()) cur.remove_attribute(own);
    } else if (!own) {
      Checked(cur);
      pugi::xml_attribute a = cur.prepend_attribute(name.c_str());
      if (!a || !a.set_value(b.uri.c_str())) Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
    } else if (b.uri != own.value()) {
      own.set_value(b.uri.c_str());
    }
  }
}

void CopyBindings(const Tree& source, pugi::xml_node from, Tree& target, pugi::xml_node copy) {
  if (source.generated.empty()) return;
  pugi::xml_node a = from;
  pugi::xml_node b = copy;
  while (a && b) {
    auto it = source.generated.find(a.internal_object());
    if (it != source.generated.end()) target.generated[b.internal_object()] = it->second;
    a = NextInSubtree(a, from);
    b = NextInSubtree(b, copy);
  }
}

}  // namespace zan::dom::detail
