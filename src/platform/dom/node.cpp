#include "platform/dom/node.h"

#include <cstring>
#include <vector>

#include "platform/dom/element.h"
#include "platform/dom/node_list.h"
#include "platform/dom/node_view.h"
#include "platform/dom/tree.h"
#include "platform/os/codepage.h"

namespace zan::dom {

using detail::Fail;
using detail::Tree;

namespace {

bool IsContainer(pugi::xml_node n) {
  return n.type() == pugi::node_element || n.type() == pugi::node_document;
}

pugi::xml_node TopElement(const Tree& tree) {
  for (pugi::xml_node c = tree.firstTop(); c; c = tree.nextOf(c)) {
    if (c.type() == pugi::node_element) return c;
  }
  return {};
}

// True when n is ancestor (or n itself), within one tree.
bool IsAncestorOrSelf(pugi::xml_node ancestor, pugi::xml_node n) {
  for (; n; n = n.parent()) {
    if (n == ancestor) return true;
  }
  return false;
}

// The checks of the DOM's hierarchy rules for putting child under parent; replacing is the
// node that child is to replace (empty for an insertion).
void CheckPlacement(const Tree& tree, pugi::xml_node parent, const Node& childHandle, pugi::xml_node child,
                    pugi::xml_node replacing) {
  if (!IsContainer(parent)) Fail(E_FAIL, "This node type cannot have children");
  const pugi::xml_node_type t = child.type();
  if (t == pugi::node_document) Fail(E_INVALIDARG, "A document node cannot be inserted");
  const bool sameTree = Access::tree(childHandle).get() == &tree;
  if (sameTree && IsAncestorOrSelf(child, parent)) Fail(E_FAIL, "The new child is an ancestor of the parent");
  if (parent.type() == pugi::node_document) {
    if (t == pugi::node_pcdata || t == pugi::node_cdata) Fail(E_FAIL, "Text is not allowed at the top level of a document");
    if (t == pugi::node_element) {
      pugi::xml_node top = TopElement(tree);
      if (top && top != replacing && !(sameTree && top == child))
        Fail(E_FAIL, "Only one top level element is allowed in an XML document");
    }
  } else if (t == pugi::node_declaration || t == pugi::node_doctype) {
    Fail(E_FAIL, "This node type is allowed only at the top level of a document");
  }
}

// Puts child before ref under parent (ref empty: last; before the orphanage at the top
// level) by moving it within the tree or copying it from another; returns the placed node.
pugi::xml_node Place(Tree& tree, pugi::xml_node parent, const Node& childHandle, pugi::xml_node ref) {
  pugi::xml_node child = Access::raw(childHandle);
  if (!ref && parent.type() == pugi::node_document && tree.orphanage) ref = tree.orphanage;
  const Tree* source = Access::tree(childHandle).get();
  pugi::xml_node placed;
  if (source == &tree) {
    if (child == ref) return child;
    placed = ref ? parent.insert_move_before(child, ref) : parent.append_move(child);
    if (!placed) Fail(E_FAIL, "The node cannot be inserted here");
  } else {
    placed = detail::Checked(ref ? parent.insert_copy_before(child, ref) : parent.append_copy(child));
    detail::CopyBindings(*source, child, tree, placed);
  }
  tree.touch();
  detail::FixNamespaces(tree, placed);
  return placed;
}

// The child of parent that handle names; E_INVALIDARG when it is not one.
pugi::xml_node ChildOf(const Tree& tree, pugi::xml_node parent, const Node& handle) {
  pugi::xml_node n = Access::raw(handle);
  if (!n || Access::tree(handle).get() != &tree || tree.parentOf(n) != parent)
    Fail(E_INVALIDARG, "The node is not a child of this node");
  return n;
}

}  // namespace

void Node::check() const {
  if (!node_) detail::FailNull();
}

NodeType Node::nodeType() const {
  check();
  switch (detail::Wrap(node_).type()) {
    case pugi::node_document: return NODE_DOCUMENT;
    case pugi::node_element: return NODE_ELEMENT;
    case pugi::node_pcdata: return NODE_TEXT;
    case pugi::node_cdata: return NODE_CDATA_SECTION;
    case pugi::node_comment: return NODE_COMMENT;
    case pugi::node_pi:
    case pugi::node_declaration: return NODE_PROCESSING_INSTRUCTION;
    case pugi::node_doctype: return NODE_DOCUMENT_TYPE;
    default: return NODE_INVALID;
  }
}

std::string Node::nodeTypeString() const {
  switch (nodeType()) {
    case NODE_ELEMENT: return "element";
    case NODE_TEXT: return "text";
    case NODE_CDATA_SECTION: return "cdatasection";
    case NODE_PROCESSING_INSTRUCTION: return "processinginstruction";
    case NODE_COMMENT: return "comment";
    case NODE_DOCUMENT: return "document";
    case NODE_DOCUMENT_TYPE: return "documenttype";
    default: return "";
  }
}

std::string Node::nodeName() const {
  check();
  pugi::xml_node n = detail::Wrap(node_);
  switch (n.type()) {
    case pugi::node_element:
    case pugi::node_pi:
    case pugi::node_declaration: return n.name();
    case pugi::node_pcdata: return "#text";
    case pugi::node_cdata: return "#cdata-section";
    case pugi::node_comment: return "#comment";
    case pugi::node_document: return "#document";
    case pugi::node_doctype: {
      std::string v = n.value();
      return v.substr(0, v.find_first_of(" \t\r\n["));
    }
    default: return "";
  }
}

std::string Node::baseName() const {
  if (nodeType() != NODE_ELEMENT) return nodeType() == NODE_PROCESSING_INSTRUCTION ? nodeName() : std::string();
  std::string name = nodeName();
  const size_t colon = name.find(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

std::string Node::prefix() const {
  if (nodeType() != NODE_ELEMENT) return {};
  std::string name = nodeName();
  const size_t colon = name.find(':');
  return colon == std::string::npos ? std::string() : name.substr(0, colon);
}

std::string Node::namespaceURI() const {
  if (nodeType() != NODE_ELEMENT) return {};
  return detail::LookupNamespace(*tree_, detail::Wrap(node_), prefix());
}

std::string Node::nodeValue() const {
  check();
  pugi::xml_node n = detail::Wrap(node_);
  switch (n.type()) {
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi: return n.value();
    case pugi::node_declaration: return detail::TextOf(*tree_, n);
    default: return {};
  }
}

std::string Node::text() const {
  check();
  return detail::TextOf(*tree_, detail::Wrap(node_));
}

std::u16string Node::textW() const { return zan::os::MultiByteToWide(text()); }

void Node::setText(std::string_view text) const {
  check();
  pugi::xml_node n = detail::Wrap(node_);
  const std::string value(text);
  switch (n.type()) {
    case pugi::node_element: {
      pugi::xml_node orphans = tree_->orphans();
      while (pugi::xml_node c = n.first_child()) {
        if (!orphans.append_move(c)) Fail(E_FAIL, "The content cannot be replaced");
        detail::FixNamespaces(*tree_, c);
      }
      if (!value.empty()) {
        pugi::xml_node t = detail::Checked(n.append_child(pugi::node_pcdata));
        if (!t.set_value(value.c_str())) Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
      }
      tree_->touch();
      return;
    }
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi:
      if (!n.set_value(value.c_str())) Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
      return;
    default:
      Fail(E_FAIL, "The text of this node cannot be set");
  }
}

void Node::setText(std::u16string_view text) const { setText(zan::os::WideToMultiByte(text)); }

std::string Node::xml() const {
  check();
  return detail::Serialise(*tree_, detail::Wrap(node_));
}

std::u16string Node::xmlW() const { return zan::os::MultiByteToWide(xml()); }

Node Node::parentNode() const {
  check();
  return Access::make(tree_, tree_->parentOf(detail::Wrap(node_)));
}

Node Node::firstChild() const {
  check();
  pugi::xml_node n = detail::Wrap(node_);
  return Access::make(tree_, n.type() == pugi::node_document ? tree_->firstTop() : n.first_child());
}

Node Node::lastChild() const {
  check();
  pugi::xml_node n = detail::Wrap(node_);
  return Access::make(tree_, n.type() == pugi::node_document ? tree_->lastTop() : n.last_child());
}

Node Node::nextSibling() const {
  check();
  return Access::make(tree_, tree_->nextOf(detail::Wrap(node_)));
}

bool Node::hasChildNodes() const { return !firstChild().isNull(); }

NodeList Node::childNodes() const {
  check();
  return Access::live(tree_, detail::Wrap(node_));
}

Node Node::appendChild(const Node& newChild) const { return insertBefore(newChild, Node()); }

Node Node::insertBefore(const Node& newChild, const Node& refChild) const {
  check();
  if (!newChild) Fail(E_INVALIDARG, "The node to insert is empty");
  pugi::xml_node parent = detail::Wrap(node_);
  pugi::xml_node ref = refChild ? ChildOf(*tree_, parent, refChild) : pugi::xml_node();
  CheckPlacement(*tree_, parent, newChild, Access::raw(newChild), pugi::xml_node());
  return Access::make(tree_, Place(*tree_, parent, newChild, ref));
}

Node Node::replaceChild(const Node& newChild, const Node& oldChild, Node* inserted) const {
  check();
  if (!newChild) Fail(E_INVALIDARG, "The new node is empty");
  pugi::xml_node parent = detail::Wrap(node_);
  pugi::xml_node old = ChildOf(*tree_, parent, oldChild);
  if (newChild == oldChild) {
    if (inserted) *inserted = oldChild;
    return oldChild;
  }
  CheckPlacement(*tree_, parent, newChild, Access::raw(newChild), old);
  pugi::xml_node placed = Place(*tree_, parent, newChild, old);
  if (!tree_->orphans().append_move(old)) Fail(E_FAIL, "The old node cannot be removed");
  tree_->touch();
  detail::FixNamespaces(*tree_, old);
  if (inserted) *inserted = Access::make(tree_, placed);
  return oldChild;
}

Node Node::removeChild(const Node& oldChild) const {
  check();
  pugi::xml_node old = ChildOf(*tree_, detail::Wrap(node_), oldChild);
  if (!tree_->orphans().append_move(old)) Fail(E_FAIL, "The node cannot be removed");
  tree_->touch();
  detail::FixNamespaces(*tree_, old);
  return oldChild;
}

Node Node::cloneNode(bool deep) const {
  check();
  pugi::xml_node n = detail::Wrap(node_);
  const pugi::xml_node_type t = n.type();
  if (t == pugi::node_document || t == pugi::node_declaration || t == pugi::node_doctype)
    Fail(E_NOTIMPL, "This node type cannot be cloned");
  pugi::xml_node orphans = tree_->orphans();
  pugi::xml_node copy;
  if (deep) {
    copy = detail::Checked(orphans.append_copy(n));
    detail::CopyBindings(*tree_, n, *tree_, copy);
  } else {
    copy = detail::Checked(orphans.append_child(t));
    bool ok = (!*n.name() || copy.set_name(n.name())) && (!*n.value() || copy.set_value(n.value()));
    for (pugi::xml_attribute a : n.attributes()) ok = ok && copy.append_attribute(a.name()).set_value(a.value());
    if (!ok) Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
    auto it = tree_->generated.find(detail::Wrap(node_).internal_object());
    if (it != tree_->generated.end()) tree_->generated[copy.internal_object()] = it->second;
  }
  detail::FixNamespaces(*tree_, copy);
  return Access::make(tree_, copy);
}

namespace {

// Calls visit for every element of the tree's document (orphanage left out), in document
// order, with pugixml's own traversal of each top-level subtree.
template <class Visit>
void WalkElements(const Tree& tree, Visit visit) {
  struct Walker : pugi::xml_tree_walker {
    explicit Walker(Visit& v) : visit(v) {}
    bool for_each(pugi::xml_node& n) override {
      if (n.type() == pugi::node_element) visit(n);
      return true;
    }
    Visit& visit;
  } walker(visit);
  for (pugi::xml_node top = tree.firstTop(); top; top = tree.nextOf(top)) {
    if (top.type() != pugi::node_element) continue;
    visit(top);
    top.traverse(walker);
  }
}

}  // namespace

NodeList Node::selectAllElements() const {
  check();
  std::vector<detail::NodeRef*> out;
  WalkElements(*tree_, [&](pugi::xml_node n) { out.push_back(detail::Unwrap(n)); });
  return Access::snapshot(tree_, std::move(out));
}

void Node::forEachElement(const std::function<void(NodeView)>& visit) const {
  check();
  Tree* tree = tree_.get();
  WalkElements(*tree_, [&](pugi::xml_node n) { visit(NodeView(tree, detail::Unwrap(n))); });
}

void Node::removeAttributesEverywhere(std::initializer_list<const char*> names) const {
  check();
  auto named = [&names](const char* name) {
    for (const char* wanted : names) {
      if (detail::SameName(name, wanted)) return true;
    }
    return false;
  };
  WalkElements(*tree_, [&](pugi::xml_node n) {
    for (pugi::xml_attribute a = n.first_attribute(); a;) {
      const pugi::xml_attribute next = a.next_attribute();
      if (named(a.name())) n.remove_attribute(a);
      a = next;
    }
  });
}

}  // namespace zan::dom
