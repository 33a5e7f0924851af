#include "cli/listing.h"

#include "cli/xml_text.h"

namespace zancli {

std::string ChildId(const std::string& parentId, const std::string& name) {
  std::string parent = parentId;
  if (!parent.empty() && (parent.back() == '/' || parent.back() == '\\')) parent.pop_back();
  return parent.empty() ? name : parent + "/" + name;
}

bool IsPathSegment(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool ReadListing(const std::string& xml, const std::string& parentId, std::vector<Node>* nodes, std::string* error) {
  std::vector<Item> items;
  if (!ParseItemSet(xml, &items, error)) return false;
  nodes->clear();
  for (const Item& item : items) {
    if (!item.isSet) continue;
    Node n;
    n.name = ValueOf(item.items, "ZAN_NAME");
    n.type = ValueOf(item.items, "ZAN_NODE_TYPE");
    n.hasChildren = ValueOf(item.items, "ZAN_HAS_CHILDREN") == "TRUE";
    n.id = ChildId(parentId, n.name);
    nodes->push_back(std::move(n));
  }
  return true;
}

bool ReadProperties(const std::string& xml, std::vector<std::pair<std::string, std::string>>* props,
                    std::string* error) {
  std::vector<Item> items;
  if (!ParseItemSet(xml, &items, error)) return false;
  props->clear();
  for (const Item& item : items) {
    if (!item.isSet) continue;
    for (const Item& p : item.items) props->emplace_back(p.name, p.value);
    break;
  }
  return true;
}

}  // namespace zancli
