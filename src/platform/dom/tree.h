// Internal to the dom: one parsed or built pugixml tree with what the DOM needs beside it.
// Not to be included outside src/platform/dom.
//
// Nodes that are created, cloned, removed or replaced stay in the tree, in a hidden
// "orphanage" element kept as the document node's last child, so that every handle stays
// valid for as long as it keeps the tree alive. The DOM views never show the orphanage.
#ifndef ZAN_PLATFORM_DOM_TREE_H_
#define ZAN_PLATFORM_DOM_TREE_H_

#include <pugixml.hpp>

#include <bit>
#include <cstdint>
#include <type_traits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/com/com_error.h"
#include "platform/dom/node.h"
#include "platform/dom/node_list.h"

namespace zan::dom::detail {

// A namespace binding that the DOM declared itself for an element created with a URI.
struct NsBinding {
  std::string prefix;  // "" for the default namespace
  std::string uri;
};

// The handles' node reference is the address of pugixml's node, never dereferenced as a
// NodeRef (alignment 1, so the round trip through it keeps the address).
struct NodeRef {};

// pugixml's node handle is one pointer: these convert without a call into the library.
static_assert(sizeof(pugi::xml_node) == sizeof(pugi::xml_node_struct*) &&
              std::is_trivially_copyable_v<pugi::xml_node>);
inline pugi::xml_node Wrap(NodeRef* p) {
  return std::bit_cast<pugi::xml_node>(reinterpret_cast<pugi::xml_node_struct*>(p));
}
inline NodeRef* Unwrap(pugi::xml_node n) {
  return reinterpret_cast<NodeRef*>(std::bit_cast<pugi::xml_node_struct*>(n));
}

// Two C-string names compared in place (a walk that reads each name once for several wanted
// names): most names differ early.
inline bool SameName(const char* p, const char* q) {
  while (*p && *p == *q) ++p, ++q;
  return *p == *q;
}

// The attribute of that name (names are unique on an element): pugixml's own search, one call
// for the whole list.
inline pugi::xml_attribute FindAttribute(pugi::xml_node n, const char* name) { return n.attribute(name); }

struct Tree : std::enable_shared_from_this<Tree> {
  pugi::xml_document doc;
  pugi::xml_node orphanage;  // lazily made; always the document node's last child
  uint64_t version = 0;      // bumped by every change of a child list
  size_t parsedSize = 0;     // the size of the text the tree was parsed from (0: built)
  // Elements created with a namespace URI, and the binding each must see in scope.
  std::unordered_map<pugi::xml_node_struct*, NsBinding> generated;

  // The orphanage, made on first use.
  pugi::xml_node orphans();
  bool isOrphanage(pugi::xml_node n) const { return orphanage && n == orphanage; }
  // True when n is the orphanage or lies inside it.
  bool inOrphanage(pugi::xml_node n) const;
  // The document node's first / last child other than the orphanage.
  pugi::xml_node firstTop() const;
  pugi::xml_node lastTop() const;
  // The parent as the DOM shows it: empty for the document node and for detached nodes.
  pugi::xml_node parentOf(pugi::xml_node n) const;
  pugi::xml_node nextOf(pugi::xml_node n) const;
  void touch() { ++version; }
};

using TreePtr = std::shared_ptr<Tree>;

// Raises the failure status with a description.
[[noreturn]] void Fail(HRESULT hr, std::string description);
// Raises the null-pointer status (no description, as a call through an empty reference).
[[noreturn]] void FailNull();
// A failed allocation inside pugixml (it reports an empty node) raises E_OUTOFMEMORY.
pugi::xml_node Checked(pugi::xml_node n);

// XML names (elements, attributes, processing-instruction targets): true when usable.
bool IsXmlName(std::string_view name);

// Keeps the namespace declarations of generated elements in the subtree at root right
// after it moved: a declaration where the binding is not inherited, none where it is.
void FixNamespaces(Tree& tree, pugi::xml_node root);
// Registers the generated bindings of source's subtree for copy's (same shape) in target.
void CopyBindings(const Tree& source, pugi::xml_node from, Tree& target, pugi::xml_node copy);
// The namespace URI bound to prefix at n (searching n and its ancestors); empty when unbound.
std::string LookupNamespace(const Tree& tree, pugi::xml_node n, std::string_view prefix, bool* found = nullptr);

// Serialisation of any node (the document node: its top-level nodes, orphanage left out);
// raw, with markup escaped; an XML declaration is written without its encoding.
std::string Serialise(const Tree& tree, pugi::xml_node n);
// The concatenated text of n's descendants (its own value for a leaf node).
std::string TextOf(const Tree& tree, pugi::xml_node n);

// Parses data into tree (which must be empty) with the DOM's options and checks; on
// failure the tree is left empty and reason says why.
bool Parse(Tree& tree, const void* data, size_t size, pugi::xml_encoding encoding, std::string& reason);

}  // namespace zan::dom::detail

namespace zan::dom {

// The dom's own access to the insides of its handles.
struct Access {
  static Node make(const detail::TreePtr& tree, pugi::xml_node n) {
    return n ? Node(tree, detail::Unwrap(n)) : Node();
  }
  static pugi::xml_node raw(const Node& n) { return detail::Wrap(n.node_); }
  static const detail::TreePtr& tree(const Node& n) { return n.tree_; }
  static NodeList live(const detail::TreePtr& tree, pugi::xml_node parent) {
    return NodeList(tree, detail::Unwrap(parent));
  }
  static NodeList snapshot(const detail::TreePtr& tree, std::vector<detail::NodeRef*> nodes) {
    return NodeList(tree, std::move(nodes));
  }
};

}  // namespace zan::dom

#endif
