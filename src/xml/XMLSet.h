// XMLSet: the item set, the structured value that travels between the layers (request
// properties, responses, WebDAV property lists, parsed server replies). An XML document seen
// as an ordered list of named text items: the items are the child nodes of the root element,
// an item's name is its tag and its value its text; an item with element children is an
// inner set. Names may repeat; lookups take the first in document order and compare the
// full tag, prefix included, exactly.
//
// A new set holds the prologue of three processing instructions and an empty root element,
// "QKXItem" by default; it serialises without added whitespace, e.g.
//   <?xml version="1.0"?><?xml:stylesheet type="text/xsl" version="1.0"
//   xmlns:xsl="http://www.w3.org/1999/XSL/Transform"?><?xml:output method="html"
//   encoding="UTF-16"?><QKXItem><ZAN_NAME>A</ZAN_NAME></QKXItem>
// (one line; an empty root serialises as <QKXItem/>).
//
// A set owns its document: copying clones the document (a deep copy, not the cursor);
// moving moves the document. The literal "DefaultQKXMLSETItem" in a root tag or item name stands
// for "QKXItem", which may not be given directly.
// Failure: CGenException with empty class and method: 1001 "No space allowed in Tag" (tag
// rules), 1002 "XMLSet Child Count Error" (index outside the items), 1003 "XMLSet passed
// Xml not valid" (empty text). Malformed text is not reported: the set is left without a
// root and the next use of the root raises _com_error(E_POINTER). An item that is not an
// element (possible only in loaded text) raises E_POINTER where it is read.
// Thread: one thread at a time.
#ifndef ZAN_XML_XMLSET_H_
#define ZAN_XML_XMLSET_H_

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dom/node_list.h"
#include "xml/XmlBasicQKParser.h"
#include "zanclient/com.h"

class XMLSet : public CXmlBasicQKParser {
 public:
  // The default root tag's stand-in, and the tag it stands for.
  static constexpr std::string_view kDefaultTag = "DefaultQKXMLSETItem";
  static constexpr std::string_view kItemTag = "QKXItem";

  XMLSet();
  explicit XMLSet(std::string_view rootTag);
  // An empty text raises 1003 before anything else; then initRoot(rootTag) and loadXml.
  XMLSet(std::u16string_view xml, std::string_view rootTag);
  XMLSet(std::string_view xml, std::string_view rootTag);
  XMLSet(const XMLSet& other);
  XMLSet& operator=(const XMLSet& other);
  XMLSet(XMLSet&& other) noexcept;
  XMLSet& operator=(XMLSet&& other) noexcept;
  ~XMLSet() override;

  // Takes over holder's document and root as this set's (no copy, no parse); holder is left
  // without them and the cursor stays where it was.
  void adoptDocument(CXmlBasicQKParser&& holder);
  // Appends one inner set: a "QKXItem" holding one item per (name, value) in order, each
  // checked by the item tag rule (1001, before anything is added). Always true.
  bool addInnerSet(const std::vector<std::pair<std::string, std::string>>& items);

  // The item tag rule: the naming rule, and no "QKXItem" anywhere in the name.
  static bool isValidItemTag(std::string_view tag);
  // Item tag rule (1001), then a new document with the root element of that tag.
  void initRoot(std::string_view rootTag);

  // Appends an item (item tag rule, 1001). The VARIANT form stores the value's text form
  // (raising DISP_E_TYPEMISMATCH for a value without one, before anything is added).
  bool addItem(std::string_view name, std::string_view value);
  bool addItem(std::string_view name, const VARIANT& value);
  // Appends a copy of inner's root element (an inner set) as the last item; nothing when
  // either set has no root. Always true.
  bool addInnerSet(const XMLSet& inner);

  bool getItem(long index, std::string& name, std::string& value);
  // Whether the item holds an inner set: false without children; with one child, whether it
  // is an element; true with more.
  bool hasInnerSet(long index);
  // Appends copies of the item's element children to target's root (after its own items).
  bool getInnerSet(long index, XMLSet& target);
  // getInnerSet of the first item named name; false when there is none.
  bool getInnerSetByTag(std::string_view name, XMLSet& target);
  // The text of the first item named name; false (value untouched) when there is none.
  bool findItem(std::string_view name, std::string& value);
  bool findItem(std::string_view name, std::u16string& value);
  bool getItemValue(std::string_view name, std::string& value);
  bool hasItem(std::string_view name);
  // The number of child nodes of the root.
  long getCount();
  bool isEmpty();
  bool isValidIndex(long index);

  // Iteration: moveFirst; while !isEOF(): getItem(getCursor(), ...); moveNext. isEOF is
  // equality with getCount, so a cursor moved past the end is never at EOF.
  void moveFirst() { m_cursor = 0; }
  void moveNext() { ++m_cursor; }
  bool isEOF() { return m_cursor == getCount(); }
  long getCursor() const { return m_cursor; }

  using CXmlBasicQKParser::getXml;
  void getXml(std::string& xml) const { xml = getXml(); }
  void getXml(std::u16string& xml) const { xml = getXmlW(); }
  // toFile / fromFile.
  void saveToFile(std::string_view baseName) { toFile(baseName); }
  void loadFromFile(std::string_view path) { fromFile(path); }
  // Diagnostic listing: "Root :" + root tag, then per item "[Item ] " + name + " ,Value: " +
  // value, each followed by "\n\r"; an inner set is saved as "inner.xml" in the current
  // directory and listed recursively. Every string is written and flushed on its own.
  void dump(FILE* stream);

 private:
  // The live child list of the root (E_POINTER without a root).
  const zan::dom::NodeList& items();

  long m_cursor = 0;
  zan::dom::NodeList m_items;  // of m_itemsRoot
  zan::dom::Node m_itemsRoot;
};

#endif
