#include "xml/XMLSet.h"

#include <utility>

#include "base/GenException.h"
#include "platform/dom/variant_text.h"
#include "platform/os/codepage.h"

using zan::dom::Element;
using zan::dom::Node;

namespace {

void CheckItemTag(std::string_view tag) {
  if (!XMLSet::isValidItemTag(tag)) throw CGenException(zan::err::kBadTag, "No space allowed in Tag");
}

// Every "DefaultQKXMLSETItem" in tag replaced by "QKXItem".
std::string ExpandDefaultTag(std::string_view tag) {
  std::string out(tag);
  for (size_t at = out.find(XMLSet::kDefaultTag); at != std::string::npos;
       at = out.find(XMLSet::kDefaultTag, at + XMLSet::kItemTag.size())) {
    out.replace(at, XMLSet::kDefaultTag.size(), XMLSet::kItemTag);
  }
  return out;
}

[[noreturn]] void BadIndex() { throw CGenException(zan::err::kChildCount, "XMLSet Child Count Error"); }

}  // namespace

XMLSet::XMLSet() { initRoot(kDefaultTag); }

XMLSet::XMLSet(std::string_view rootTag) { initRoot(rootTag); }

XMLSet::XMLSet(std::u16string_view xml, std::string_view rootTag) {
  if (xml.empty()) throw CGenException(zan::err::kXmlNotValid, "XMLSet passed Xml not valid");
  initRoot(rootTag);
  loadXml(xml);
}

XMLSet::XMLSet(std::string_view xml, std::string_view rootTag) {
  if (xml.empty()) throw CGenException(zan::err::kXmlNotValid, "XMLSet passed Xml not valid");
  initRoot(rootTag);
  loadXml(xml);
}

XMLSet::XMLSet(const XMLSet& other) : CXmlBasicQKParser(other.clone()) {
  if (!m_document) m_document = zan::dom::Document::Create();  // a moved-from set's copy: empty
}

XMLSet& XMLSet::operator=(const XMLSet& other) {
  CXmlBasicQKParser::operator=(other.clone());
  if (!m_document) m_document = zan::dom::Document::Create();
  return *this;
}

void XMLSet::adoptDocument(CXmlBasicQKParser&& holder) {
  CXmlBasicQKParser::operator=(std::move(holder));
  if (!m_document) m_document = zan::dom::Document::Create();
}

XMLSet::XMLSet(XMLSet&& other) noexcept
    : CXmlBasicQKParser(std::move(other)), m_cursor(other.m_cursor), m_items(std::move(other.m_items)),
      m_itemsRoot(std::move(other.m_itemsRoot)) {}

XMLSet& XMLSet::operator=(XMLSet&& other) noexcept {
  CXmlBasicQKParser::operator=(std::move(other));
  m_cursor = other.m_cursor;
  m_items = std::move(other.m_items);
  m_itemsRoot = std::move(other.m_itemsRoot);
  return *this;
}

XMLSet::~XMLSet() = default;

bool XMLSet::isValidItemTag(std::string_view tag) {
  return isValidTag(tag) && tag.find(kItemTag) == std::string_view::npos;
}

void XMLSet::initRoot(std::string_view rootTag) {
  CheckItemTag(rootTag);
  const std::string tag = ExpandDefaultTag(rootTag);
  createDocument();
  createRoot(tag);
}

const zan::dom::NodeList& XMLSet::items() {
  if (!m_items || !(m_itemsRoot == m_root) || !m_itemsRoot.sameTree(m_root)) {
    m_items = m_root.childNodes();  // E_POINTER without a root
    m_itemsRoot = m_root;
  }
  return m_items;
}

bool XMLSet::addItem(std::string_view name, std::string_view value) {
  CheckItemTag(name);
  const Element item = createChildElement(m_root, ExpandDefaultTag(name));
  if (!item) return false;
  item.setText(value);
  return true;
}

bool XMLSet::addItem(std::string_view name, const VARIANT& value) {
  CheckItemTag(name);
  return addItem(name, zan::dom::VariantToText(value));
}

bool XMLSet::addInnerSet(const XMLSet& inner) {
  if (m_root && inner.m_root) appendCopy(m_root, inner.m_root);
  return true;
}

bool XMLSet::addInnerSet(const std::vector<std::pair<std::string, std::string>>& items) {
  for (const auto& [name, value] : items) CheckItemTag(name);
  const Element inner = createChildElement(m_root, kItemTag);
  for (const auto& [name, value] : items) {
    const Element item = createChildElement(inner, name);
    item.setText(value);
  }
  return true;
}

bool XMLSet::getItem(long index, std::string& name, std::string& value) {
  if (!isValidIndex(index)) BadIndex();
  const Element item(items().item(index));
  name = item.tagName();
  value = item.text();
  return true;
}

bool XMLSet::hasInnerSet(long index) {
  if (!isValidIndex(index)) BadIndex();
  const Element item(items().item(index));
  const Node first = item.firstChild();
  if (!first) return false;
  if (first.nextSibling()) return true;
  return first.nodeType() == zan::dom::NODE_ELEMENT;
}

bool XMLSet::getInnerSet(long index, XMLSet& target) {
  if (!isValidIndex(index)) BadIndex();
  const Element item(items().item(index));
  for (Node child = item.firstChild(); child; child = child.nextSibling()) {
    if (child.nodeType() == zan::dom::NODE_ELEMENT) target.appendCopy(target.m_root, child);
  }
  return true;
}

bool XMLSet::getInnerSetByTag(std::string_view name, XMLSet& target) {
  const long count = getCount();
  std::string itemName;
  std::string itemValue;
  for (long i = 0; i < count; ++i) {
    getItem(i, itemName, itemValue);
    if (itemName == name) return getInnerSet(i, target);
  }
  return false;
}

bool XMLSet::findItem(std::string_view name, std::string& value) {
  const Element item = findChildByTag(m_root, name);
  if (!item) return false;
  value = item.text();
  return true;
}

bool XMLSet::findItem(std::string_view name, std::u16string& value) {
  std::string text;
  if (!findItem(name, text)) return false;
  value = zan::os::MultiByteToWide(text);
  return true;
}

bool XMLSet::getItemValue(std::string_view name, std::string& value) { return findItem(name, value); }

bool XMLSet::hasItem(std::string_view name) {
  std::string value;
  return findItem(name, value);
}

long XMLSet::getCount() { return items().length(); }

bool XMLSet::isEmpty() { return getCount() == 0; }

bool XMLSet::isValidIndex(long index) { return index >= 0 && index <= getCount() - 1; }

void XMLSet::dump(FILE* stream) {
  auto put = [stream](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
  };
  if (isEmpty()) return;
  put("Root :" + m_root.tagName());
  put("\n\r");
  std::string name;
  std::string value;
  for (moveFirst(); !isEOF(); moveNext()) {
    getItem(getCursor(), name, value);
    if (hasInnerSet(getCursor())) {
      XMLSet inner;
      getInnerSet(getCursor(), inner);
      inner.saveToFile("inner");
      inner.dump(stream);
    } else {
      put("[Item ] " + name + " ,Value: " + value);
      put("\n\r");
    }
  }
}
