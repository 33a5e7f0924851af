#include "platform/dom/tree.h"

#include <utility>

namespace zan::dom::detail {

namespace {
// A name no XPath name test and no parsed document can produce.
constexpr char kOrphanageName[] = "#orphanage";
}  // namespace

pugi::xml_node Tree::orphans() {
  if (!orphanage) {
    orphanage = Checked(doc.append_child(pugi::node_element));
    orphanage.set_name(kOrphanageName);
  }
  return orphanage;
}

bool Tree::inOrphanage(pugi::xml_node n) const {
  if (!orphanage) return false;
  for (; n; n = n.parent()) {
    if (n == orphanage) return true;
  }
  return false;
}

pugi::xml_node Tree::firstTop() const {
  pugi::xml_node c = doc.first_child();
  return isOrphanage(c) ? pugi::xml_node() : c;
}

pugi::xml_node Tree::lastTop() const {
  pugi::xml_node c = doc.last_child();
  return isOrphanage(c) ? c.previous_sibling() : c;
}

pugi::xml_node Tree::parentOf(pugi::xml_node n) const {
  pugi::xml_node p = n.parent();
  return isOrphanage(p) ? pugi::xml_node() : p;
}

pugi::xml_node Tree::nextOf(pugi::xml_node n) const {
  pugi::xml_node s = n.next_sibling();
  if (!orphanage || !s) return s;
  // The orphanage follows the top-level nodes; detached nodes have no siblings.
  if (s == orphanage || n.parent() == orphanage) return {};
  return s;
}

void Fail(HRESULT hr, std::string description) { throw _com_error(hr, std::move(description)); }

void FailNull() { throw _com_error(E_POINTER); }

pugi::xml_node Checked(pugi::xml_node n) {
  if (!n) Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
  return n;
}

bool IsXmlName(std::string_view name) {
  if (name.empty()) return false;
  auto start = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
  };
  auto rest = [&](unsigned char c) { return start(c) || (c >= '0' && c <= '9') || c == '.' || c == '-'; };
  if (!start(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name.substr(1)) {
    if (!rest(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace zan::dom::detail
