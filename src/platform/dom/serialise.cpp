// Serialisation and text content.
#include <cstring>
#include <string>

#include "platform/dom/tree.h"

namespace zan::dom::detail {

namespace {

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override { out_.append(static_cast<const char*>(data), size); }

 private:
  std::string& out_;
};

void AppendEscapedAttribute(std::string& out, const char* value) {
  for (const char* p = value; *p; ++p) {
    switch (*p) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '"': out += "&quot;"; break;
      default: out += *p;
    }
  }
}

// <?xml version="1.0"?>: the text is decoded, so an encoding no longer holds and is left out.
void AppendDeclaration(std::string& out, pugi::xml_node n) {
  out += "<?";
  out += n.name();
  for (pugi::xml_attribute a : n.attributes()) {
    if (std::strcmp(a.name(), "encoding") == 0) continue;
    out += ' ';
    out += a.name();
    out += "=\"";
    AppendEscapedAttribute(out, a.value());
    out += '"';
  }
  out += "?>";
}

void AppendNode(std::string& out, pugi::xml_node n) {
  if (n.type() == pugi::node_declaration) {
    AppendDeclaration(out, n);
    return;
  }
  StringWriter writer(out);
  n.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
}

}  // namespace

std::string Serialise(const Tree& tree, pugi::xml_node n) {
  std::string out;
  if (tree.isOrphanage(n)) return out;
  if (n.type() == pugi::node_document) {
    // About the size it was parsed from: one allocation instead of a doubling series.
    out.reserve(tree.parsedSize + tree.parsedSize / 8);
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
      if (!tree.isOrphanage(c)) AppendNode(out, c);
    }
    return out;
  }
  AppendNode(out, n);
  return out;
}

std::string TextOf(const Tree& tree, pugi::xml_node n) {
  switch (n.type()) {
    case pugi::node_element:
    case pugi::node_document:
      break;
    case pugi::node_declaration: {
      std::string data;
      for (pugi::xml_attribute a : n.attributes()) {
        if (!data.empty()) data += ' ';
        data += a.name();
        data += "=\"";
        data += a.value();
        data += '"';
      }
      return data;
    }
    default:
      return n.value();
  }
  std::string out;
  pugi::xml_node cur = n.first_child();
  while (cur) {
    if (tree.isOrphanage(cur)) break;  // the orphanage is the document's last child
    const pugi::xml_node_type t = cur.type();
    if (t == pugi::node_pcdata || t == pugi::node_cdata) out += cur.value();
    if (cur.first_child()) {
      cur = cur.first_child();
      continue;
    }
    while (cur != n && !cur.next_sibling()) cur = cur.parent();
    if (cur == n) break;
    cur = cur.next_sibling();
  }
  return out;
}

}  // namespace zan::dom::detail
