#include "cli/xml_text.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace zancli {

namespace {

constexpr unsigned kParseAll = pugi::parse_default | pugi::parse_pi | pugi::parse_comments |
                               pugi::parse_declaration | pugi::parse_doctype;

bool Load(pugi::xml_document& doc, const std::string& xml, std::string* error, unsigned options = kParseAll) {
  pugi::xml_parse_result r = doc.load_buffer(xml.data(), xml.size(), options, pugi::encoding_utf8);
  if (!r) {
    *error = std::string("not well-formed XML: ") + r.description() + " at offset " + std::to_string(r.offset);
    return false;
  }
  if (!doc.document_element()) {
    *error = "the XML text has no root element";
    return false;
  }
  return true;
}

bool HasElementChild(pugi::xml_node node) {
  for (pugi::xml_node c : node.children())
    if (c.type() == pugi::node_element) return true;
  return false;
}

// Item sets nest one or two levels; deeper elements are read as plain items (their text),
// so a hostile text cannot recurse the host's stack.
constexpr int kMaxItemDepth = 32;

void ReadItems(pugi::xml_node parent, std::vector<Item>* items, int depth = 0) {
  for (pugi::xml_node c : parent.children()) {
    if (c.type() != pugi::node_element) continue;
    Item item;
    item.name = c.name();
    if (HasElementChild(c) && depth < kMaxItemDepth) {
      item.isSet = true;
      ReadItems(c, &item.items, depth + 1);
    } else if (HasElementChild(c)) {
      item.value = c.child_value();
    } else {
      item.value = c.text().get();
    }
    items->push_back(std::move(item));
  }
}

bool IsNameStart(unsigned char ch) { return std::isalpha(ch) || ch == '_' || ch >= 0x80; }
bool IsNameChar(unsigned char ch) { return IsNameStart(ch) || std::isdigit(ch) || ch == '-' || ch == '.'; }

}  // namespace

bool ParseItemSet(const std::string& xml, std::vector<Item>* items, std::string* error) {
  pugi::xml_document doc;
  if (!Load(doc, xml, error)) return false;
  items->clear();
  ReadItems(doc.document_element(), items);
  return true;
}

std::string ValueOf(const std::vector<Item>& items, const std::string& name) {
  for (const Item& i : items)
    if (!i.isSet && i.name == name) return i.value;
  return "";
}

bool CheckPropertyName(const std::string& name, std::string* why) {
  if (name.empty()) {
    *why = "a property name is empty";
    return false;
  }
  bool ok = IsNameStart(static_cast<unsigned char>(name[0]));
  for (unsigned char ch : name) ok = ok && IsNameChar(ch);
  if (!ok) {
    *why = "'" + name + "' is not a property name (letters, digits, '_', '-', '.'; no spaces or ':')";
    return false;
  }
  if (name.find("QKXItem") != std::string::npos) {
    *why = "'" + name + "' is not a property name (it contains QKXItem, the item-set tag)";
    return false;
  }
  return true;
}

bool ParsePropertyArg(const std::string& arg, std::pair<std::string, std::string>* prop, std::string* error) {
  size_t eq = arg.find('=');
  if (eq == std::string::npos) {
    *error = "'" + arg + "' is not NAME=VALUE";
    return false;
  }
  prop->first = arg.substr(0, eq);
  prop->second = arg.substr(eq + 1);
  return CheckPropertyName(prop->first, error);
}

std::string BuildProperties(const std::vector<std::pair<std::string, std::string>>& props) {
  if (props.empty()) return "";
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("QKXItem");
  for (const auto& [name, value] : props) root.append_child(name.c_str()).text().set(value.c_str());
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

bool ParseProperties(const std::string& xml, std::vector<std::pair<std::string, std::string>>* props,
                     std::string* error) {
  pugi::xml_document doc;
  if (!Load(doc, xml, error)) return false;
  props->clear();
  for (pugi::xml_node c : doc.document_element().children()) {
    if (c.type() == pugi::node_comment) continue;
    if (c.type() != pugi::node_element) {
      *error = "properties hold text outside an item; each property is an element <NAME>VALUE</NAME>";
      return false;
    }
    if (!CheckPropertyName(c.name(), error)) return false;
    if (HasElementChild(c)) {
      *error = std::string("property '") + c.name() + "' holds elements; a property's value is text";
      return false;
    }
    props->emplace_back(c.name(), c.text().get());
  }
  return true;
}

bool CheckDocument(const std::string& xml, const std::string& expectedRoot, std::string* error) {
  pugi::xml_document doc;
  if (!Load(doc, xml, error)) return false;
  std::string root = doc.document_element().name();
  if (root != expectedRoot) {
    *error = "the document's root element is <" + root + ">, expected <" + expectedRoot + ">";
    return false;
  }
  return true;
}

std::string Indented(const std::string& xml) {
  pugi::xml_document doc;
  std::string error;
  if (!Load(doc, xml, &error)) return xml;
  // Indentation grows with the square of the depth: a document nested deeper than people
  // read is printed as it is, in time linear in its size.
  constexpr int kMaxIndentedDepth = 100;
  int depth = 0, deepest = 0;
  for (pugi::xml_node cur = doc.first_child(); cur && deepest <= kMaxIndentedDepth;) {
    if (cur.first_child()) {
      cur = cur.first_child();
      deepest = std::max(deepest, ++depth);
      continue;
    }
    while (cur && !cur.next_sibling()) {
      cur = cur.parent();
      --depth;
    }
    if (cur) cur = cur.next_sibling();
  }
  if (deepest > kMaxIndentedDepth) return xml + "\n";
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

}  // namespace zancli
