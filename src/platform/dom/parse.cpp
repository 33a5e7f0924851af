// Parsing with the DOM's options and well-formedness checks beyond pugixml's own.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dom/tree.h"
#include "platform/os/limits.h"

namespace zan::dom::detail {

namespace {

// Declarations, processing instructions, comments and the document type are kept; nothing
// is fetched or expanded beyond the predefined and character entities. Fragment mode lets
// the checks below see text at the top level instead of pugixml dropping it.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_pi |
                                   pugi::parse_comments | pugi::parse_doctype | pugi::parse_fragment;

const char* CheckTopLevel(const pugi::xml_document& doc) {
  int elements = 0;
  bool first = true;
  for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling(), first = false) {
    switch (c.type()) {
      case pugi::node_element:
        ++elements;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata:
        return "Text is not allowed at the top level of a document";
      case pugi::node_declaration:
        if (!first) return "The XML declaration must come first in the document";
        break;
      case pugi::node_doctype:
        if (elements) return "The document type must come before the document element";
        break;
      default:
        break;
    }
  }
  if (elements == 0) return "No document element found";
  if (elements > 1) return "Only one top level element is allowed in an XML document";
  return nullptr;
}

bool HasDuplicateAttribute(pugi::xml_node element, std::vector<const char*>& names) {
  pugi::xml_attribute first = element.first_attribute();
  if (!first || !first.next_attribute()) return false;
  names.clear();
  for (pugi::xml_attribute a = first; a; a = a.next_attribute()) names.push_back(a.name());
  if (names.size() <= 8) {
    for (size_t i = 0; i < names.size(); ++i)
      for (size_t j = i + 1; j < names.size(); ++j)
        if (std::strcmp(names[i], names[j]) == 0) return true;
    return false;
  }
  std::sort(names.begin(), names.end(), [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
  return std::adjacent_find(names.begin(), names.end(),
                            [](const char* a, const char* b) { return std::strcmp(a, b) == 0; }) != names.end();
}

// One walk without recursion: duplicate attributes, and the nesting depth against maxDepth.
const char* CheckTree(const pugi::xml_document& doc, uint64_t maxDepth, bool& tooDeep) {
  std::vector<const char*> names;
  pugi::xml_node cur = doc.first_child();
  uint64_t depth = 1;
  while (cur) {
    if (cur.type() == pugi::node_element && HasDuplicateAttribute(cur, names))
      return "An attribute appears twice on one element";
    if (cur.first_child()) {
      cur = cur.first_child();
      if (++depth > maxDepth) {
        tooDeep = true;
        return "too deep";
      }
      continue;
    }
    while (cur && !cur.next_sibling()) {
      cur = cur.parent();
      --depth;
    }
    if (cur) cur = cur.next_sibling();
  }
  return nullptr;
}

}  // namespace

bool Parse(Tree& tree, const void* data, size_t size, pugi::xml_encoding encoding, std::string& reason) {
  reason.clear();
  if (size > zan::os::MaxXmlSize()) {
    reason = "The document is larger than " + zan::os::XmlSizeCapText();
    tree.doc.reset();
    return false;
  }
  pugi::xml_parse_result r = tree.doc.load_buffer(data, size, kParseOptions, encoding);
  const char* problem = nullptr;
  bool tooDeep = false;
  if (!r) {
    reason = std::string(r.description()) + " at offset " + std::to_string(r.offset);
  } else if ((problem = CheckTopLevel(tree.doc)) || (problem = CheckTree(tree.doc, zan::os::MaxXmlDepth(), tooDeep))) {
    reason = tooDeep ? "The document nests elements deeper than " + zan::os::XmlDepthCapText() : problem;
  } else {
    tree.parsedSize = size;
    return true;
  }
  tree.doc.reset();
  return false;
}

}  // namespace zan::dom::detail
