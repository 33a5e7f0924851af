#include "xml/XmlBasicQKParser.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "base/ErrorContext.h"
#include "base/GenException.h"
#include "platform/com/com_error.h"
#include "platform/dom/node_list.h"
#include "platform/dom/node_view.h"
#include "platform/dom/variant_text.h"
#include "platform/os/codepage.h"
#include "platform/os/file_io.h"
#include "platform/os/file_system.h"
#include "platform/os/language.h"
#include "xml/MergeIndex.h"
#include "xml/XPathNames.h"

using zan::dom::Element;
using zan::dom::Node;
using zan::dom::NodeList;
using zan::dom::NodeView;

namespace {

constexpr char kClass[] = "CXmlBasicQKParser";
constexpr char kMerge[] = "mergeByAttribute";
constexpr char kSourceTag[] = " Error in source Tag: ";
// The namespace name the XSLT 1.0 recommendation binds to the xsl prefix.
constexpr char kXslNamespace[] = "http://www.w3.org/1999/XSL/Transform";

void CheckTag(std::string_view tag) {
  if (!CXmlBasicQKParser::isValidTag(tag)) throw CGenException(zan::err::kBadTag, "No space allowed in Tag");
}

// No child nodes, or exactly one that is not an element.
bool IsLeaf(NodeView e) {
  const NodeView first = e.firstChild();
  if (!first) return true;
  if (first.nextSibling()) return false;
  return !first.isElement();
}

// The context one level of source elements with the given tag adds to a merge failure.
zan::err::Context MergeLevel(std::string_view tag) {
  return {.className = kClass,
          .method = kMerge,
          .platform = zan::err::Context::Platform::kAdoptAndStep,
          .other = zan::err::Context::Other::kUnknown,
          .suffix = kSourceTag + std::string(tag),
          .unknownCode = zan::err::kLocalFailure};
}

}  // namespace

CXmlBasicQKParser CXmlBasicQKParser::clone() const {
  CXmlBasicQKParser copy;
  if (!m_document) return copy;
  copy.m_document = m_document.clone();
  // The root's place among the top-level nodes names its copy.
  for (Node n = m_document.firstChild(), c = copy.m_document.firstChild(); n && c;
       n = n.nextSibling(), c = c.nextSibling()) {
    if (n == m_root) {
      copy.m_root = Element(c);
      break;
    }
  }
  return copy;
}

bool CXmlBasicQKParser::isValidTag(std::string_view tag) { return !tag.empty() && tag.find(' ') == std::string_view::npos; }

void CXmlBasicQKParser::newDocument(std::string_view tag) {
  CheckTag(tag);
  createDocument();
  createRoot(tag);
}

bool CXmlBasicQKParser::createDocument() {
  m_document = zan::dom::Document::Create();
  auto append = [this](std::string_view target, std::string_view data) {
    const Node pi = m_document.createProcessingInstruction(target, data);
    if (pi) m_document.appendChild(pi);
  };
  append("xml", "version=\"1.0\"");
  append("xml:stylesheet", std::string("type=\"text/xsl\" version=\"1.0\" xmlns:xsl=\"") + kXslNamespace + "\"");
  append("xml:output", "method=\"html\" encoding=\"UTF-16\"");
  return true;
}

Element CXmlBasicQKParser::createRoot(std::string_view tag) {
  if (m_root) return Element();
  CheckTag(tag);
  Element root = m_document.createElement(tag);
  m_root = root;
  if (root) m_document.appendChild(root);
  return m_root;
}

Element CXmlBasicQKParser::createChildElement(const Element& parent, std::string_view name) {
  CheckTag(name);
  const Element child = m_document.createElement(name);
  if (!child) return child;
  return Element(parent.appendChild(child));
}

Element CXmlBasicQKParser::appendCopy(const Element& parent, const Node& source) {
  if (!parent || !source) return Element();
  if (source.nodeType() != zan::dom::NODE_ELEMENT) return Element();
  // A node of another document is copied by the append itself (the source stays as it was);
  // within one document the copy is made first and then moved into place.
  const Node copy = source.sameTree(parent) ? source.cloneNode(true) : source;
  return Element(parent.appendChild(copy));
}

std::string CXmlBasicQKParser::getAttribute(const Element& element, std::string_view name) {
  CheckTag(name);
  return element.getAttribute(name).value_or(std::string());
}

std::u16string CXmlBasicQKParser::getAttributeW(const Element& element, std::string_view name) {
  return zan::os::MultiByteToWide(getAttribute(element, name));
}

bool CXmlBasicQKParser::setAttribute(const Element& element, std::string_view name, const VARIANT& value) {
  CheckTag(name);
  element.setAttribute(name, zan::dom::VariantToText(value));
  return true;
}

bool CXmlBasicQKParser::setAttribute(const Element& element, std::string_view name, std::string_view value) {
  CheckTag(name);
  element.setAttribute(name, value);
  return true;
}

Element CXmlBasicQKParser::findChildByTag(const Node& node, std::string_view tag) {
  for (Node c = node.firstChild(); c; c = c.nextSibling()) {
    const Element e(c);
    if (e.tagName() == tag) return e;  // a node that is not an element raises E_POINTER here
  }
  return Element();
}

Element CXmlBasicQKParser::selectElement(std::string_view xpath) { return Element(m_root.selectSingleNode(xpath)); }

std::string CXmlBasicQKParser::getXml() const {
  if (!m_document) return {};
  try {
    return m_document.xml();
  } catch (const _com_error&) {
    return {};
  }
}

std::u16string CXmlBasicQKParser::getXmlW() const { return zan::os::MultiByteToWide(getXml()); }

void CXmlBasicQKParser::takeRootFromDocument() { m_root = Element(m_document.lastChild()); }

void CXmlBasicQKParser::loadXml(std::string_view xml) {
  m_document.loadXML(xml);
  takeRootFromDocument();
}

void CXmlBasicQKParser::loadXml(std::u16string_view xml) {
  m_document.loadXML(xml);
  takeRootFromDocument();
}

void CXmlBasicQKParser::toFile(std::string_view baseName) {
  const std::string fileName = std::string(baseName) + ".xml";
  bool written = false;
  try {
    written = zan::os::WriteWholeFile(fileName, getXml());
  } catch (...) {
  }
  if (!written) throw CGenException("Could not write to file" + fileName, zan::err::kUnknown, kClass, "toFile");
}

void CXmlBasicQKParser::fromFile(std::string_view path) {
  bool loaded = false;
  try {
    std::string dir = zan::os::DirectoryOf(path);
    if (dir.empty()) dir = ".";
    // The first file that matches, in name order (directories are not documents).
    std::optional<std::string> first;
    zan::os::DirectorySearch search(path);
    zan::os::FindData found;
    while (search.Next(found)) {
      if (!found.isDirectory && (!first || found.name < *first)) first = found.name;
    }
    // No file, or one that cannot be read or parsed, loads nothing: that is a failure, never
    // an empty document.
    if (!path.empty() && first && m_document.load(zan::os::FullPath(dir + "/" + *first))) {
      takeRootFromDocument();
      loaded = true;
    }
  } catch (...) {
  }
  if (!loaded) throw CGenException("Could not read file" + std::string(path), zan::err::kUnknown, kClass, "fromFile");
}

bool CXmlBasicQKParser::removeAttributeEverywhere(std::string_view name) {
  if (!m_root) throw _com_error(E_POINTER);
  // "//*[@name]": a plain name by one walk of the document, any other through the selection
  // itself (which also rejects the invalid ones).
  if (zan::xml::IsPlainXPathName(name)) {
    const std::string attribute(name);
    m_root.removeAttributesEverywhere({attribute.c_str()});
    return true;
  }
  const NodeList elements = m_root.selectNodes("//*[@" + std::string(name) + "]");
  const long count = elements.length();
  for (long i = 0; i < count; ++i) Element(elements.item(i)).removeAttribute(name);
  return true;
}

bool CXmlBasicQKParser::removeAttributesEverywhere(std::string_view first, std::string_view second) {
  if (!m_root) throw _com_error(E_POINTER);
  if (!zan::xml::IsPlainXPathName(first) || !zan::xml::IsPlainXPathName(second)) {
    return removeAttributeEverywhere(first) && removeAttributeEverywhere(second);
  }
  const std::string a(first);
  const std::string b(second);
  m_root.removeAttributesEverywhere({a.c_str(), b.c_str()});
  return true;
}

bool CXmlBasicQKParser::mergeByAttribute(const CXmlBasicQKParser& source, std::string_view markerAttribute,
                                         std::string_view markerValue, int flags, std::string_view keyAttribute) {
  return mergeWith(source, markerAttribute, markerValue, flags, keyAttribute, MergeIndex::Keys::kAttribute);
}

bool CXmlBasicQKParser::mergeByMergeKey(const CXmlBasicQKParser& source, std::string_view markerAttribute,
                                        std::string_view markerValue, int flags, std::string_view keyAttribute) {
  return mergeWith(source, markerAttribute, markerValue, flags, keyAttribute, MergeIndex::Keys::kPkidOrTag);
}

bool CXmlBasicQKParser::mergeWith(const CXmlBasicQKParser& source, std::string_view markerAttribute,
                                  std::string_view markerValue, int flags, std::string_view keyAttribute,
                                  MergeIndex::Keys keys) {
  try {
    const std::string marker(markerAttribute);
    const std::string value(markerValue);
    const std::string key(keyAttribute);
    MergeIndex index(key, keys);
    const NodeList children = source.m_root.childNodes();
    for (long i = 0; i < children.length(); ++i) {
      if (!mergeNode(children.item(i), m_root, marker, value, flags, key, keys, index)) return false;
    }
    return keys == MergeIndex::Keys::kAttribute ? removeAttributeEverywhere(marker)
                                                : removeAttributesEverywhere(marker, key);
  } catch (...) {
    zan::err::RethrowWithContext({.className = kClass, .method = kMerge, .other = zan::err::Context::Other::kUnknown,
                                  .unknownCode = zan::err::kLocalFailure});
  }
}

bool CXmlBasicQKParser::mergeNode(const Node& source, const Element& destParent, const std::string& marker,
                                  const std::string& markerValue, int flags, const std::string& key,
                                  MergeIndex::Keys keys, MergeIndex& index) {
  // Depth first without recursion (documents may be deep), over borrowed views (the two
  // parsers keep the documents alive). Each level is one source element whose children are
  // being merged into its counterpart; a failure is decorated as if each level were a call
  // of its own, innermost first. A source sharing the destination's document is walked
  // through live child lists, so that it sees the merge's own changes as it goes.
  struct Level {
    NodeView element;  // the source element (its tag names the level in errors)
    NodeView dest;     // its counterpart, receiving the children
    NodeView next;     // the source child to look at next
    NodeList list;     // or, in a shared document, the live child list and a position in it
    long at = 0;
    long count = 0;
  };
  const bool shared = source && source.sameTree(destParent);
  // The names are checked once; a bad one fails where each element is read (the failure
  // names its level), the key's first.
  const bool namesOk = isValidTag(key) && isValidTag(marker);
  const char* const keyName = keys == MergeIndex::Keys::kAttribute ? key.c_str() : "pkid";
  std::vector<Level> levels;
  NodeView node(source);
  NodeView parent(destParent);
  bool inNode = true;  // the failure belongs to node itself, not to a level's walk
  try {
    for (;;) {
      inNode = true;
      if (!node.isElement()) throw _com_error(E_POINTER);  // the tag read through an empty element
      if (!namesOk) {
        CheckTag(key);
        CheckTag(marker);
      }
      // The key (the key attribute, or pkid when not empty, else the tag) and the marker.
      const auto [keyAttribute, markerAttribute] = node.attributes(keyName, marker.c_str());
      const std::string_view keyValue = keys == MergeIndex::Keys::kAttribute
                                            ? keyAttribute.value_or(std::string_view())
                                            : MergeIndex::PkidOrTag(keyAttribute, node.name());
      const bool marked = markerAttribute.value_or(std::string_view()) == markerValue;
      const MergeIndex::Match match = index.find(parent, keyValue);
      if (match.count > 1) throw CGenException("Merge found more then one node match", zan::err::kUnknown, kClass, kMerge);
      if (!match.first) {
        if ((flags & MERGE_ADD) == MERGE_ADD) {
          const Element copy = appendCopy(Element(parent.node()), node.node());
          if (!copy) return false;
          index.added(parent, NodeView(copy));
        }
      } else if ((flags & MERGE_REPLACE) == MERGE_REPLACE || marked) {
        const Element destination(parent.node());
        const Element element(node.node());
        Node inserted;
        if (shared) {
          const Element copy(element.cloneNode(true));
          if (!copy) return false;
          copy.removeAttribute(marker);
          destination.replaceChild(copy, match.first.node(), &inserted);
        } else {
          // The replacement copies the element into this document; the source stays as it was.
          destination.replaceChild(element, match.first.node(), &inserted);
          Element(inserted).removeAttribute(marker);
        }
        index.replaced(parent, match.first, NodeView(inserted));
      } else if (!IsLeaf(node)) {
        Level level;
        level.element = node;
        level.dest = match.first;
        if (shared) {
          level.list = node.node().childNodes();
          level.count = level.list.length();
        } else {
          level.next = node.firstChild();
        }
        levels.push_back(std::move(level));
      }

      inNode = false;
      node = NodeView();
      while (!node && !levels.empty()) {
        Level& level = levels.back();
        if (shared) {
          while (!node && level.at < level.count) {
            const Node child = level.list.item(level.at++);
            if (child.nodeType() == zan::dom::NODE_ELEMENT) node = NodeView(child);
          }
        } else {
          while (!node && level.next) {
            const NodeView child = level.next;
            level.next = child.nextSibling();
            if (child.isElement()) node = child;
          }
        }
        if (node) {
          parent = level.dest;
        } else {
          levels.pop_back();
        }
      }
      if (!node) return true;
    }
  } catch (...) {
    // The tags, innermost first; a node that is not an element has no tag to tell.
    std::vector<std::string> tags;
    if (inNode || levels.empty()) tags.emplace_back(node && node.isElement() ? node.name() : std::string_view());
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) tags.emplace_back(it->element.name());
    std::exception_ptr failure = std::current_exception();
    for (const std::string& tag : tags) failure = zan::err::WithContext(failure, MergeLevel(tag));
    std::rethrow_exception(failure);
  }
}

bool CXmlBasicQKParser::mergeXml(std::string_view xml, std::string_view markerAttribute, std::string_view markerValue,
                                 int flags, std::string_view keyAttribute) {
  CXmlBasicQKParser source;
  source.createDocument();
  source.createRoot("NEW");
  source.loadXml(xml);
  return mergeByAttribute(source, markerAttribute, markerValue, flags, keyAttribute);
}

std::string CXmlBasicQKParser::getCharsetContentType() {
  const char* charset;
  switch (zan::os::GetUserDefaultLangID()) {
    case 0x0404: charset = "big5"; break;
    case 0x0407: charset = "x-IA5-German"; break;
    case 0x040C: charset = "x-ebcdic-france-euro"; break;
    case 0x040D: charset = "iso-8859-8"; break;
    case 0x0411: charset = "shift_jis"; break;
    case 0x0412: charset = "ks_c_5601-1987"; break;
    case 0x0419: charset = "x-EBCDIC-CyrillicRussian"; break;
    case 0x041D: charset = "iso-2022-jp"; break;
    case 0x042A: charset = "windows-1258"; break;
    case 0x0804: charset = "GB2312"; break;
    case 0x0812: charset = "Johab"; break;
    case 0x0C04: charset = "big5"; break;
    case 0x1004: charset = "EUC-CN"; break;
    default: charset = "windows-1252"; break;
  }
  return std::string("text/html; CHARSET=") + charset;
}

int CXmlBasicQKParser::toWide(std::string_view text, unsigned codePage, std::u16string& wide) {
  wide.clear();
  constexpr unsigned kProcessCodePage = 0;  // CP_ACP
  if (codePage != kProcessCodePage && codePage != zan::os::kCodePageUtf8 && codePage != zan::os::GetACP()) return -1;
  try {
    wide = zan::os::MultiByteToWide(text);
  } catch (...) {
    wide.clear();
    return -1;
  }
  return static_cast<int>(wide.size()) + 1;
}
