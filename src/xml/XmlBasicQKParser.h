// CXmlBasicQKParser: one XML document with a designated root element, and the system's
// vocabulary over it: documents with the fixed prologue, elements and attributes under the
// naming rule, text and file round trips, XPath selection and the merge of a second
// document by a key attribute. Base of the item set (XMLSet) and the document holder of the
// document entities.
//
// Copying copies the two references, not the document: copies share one document and see
// each other's changes; clone() makes a copy that shares nothing. Text is 8-bit in the
// process code page (UTF-8) unless a *W form says UTF-16.
// Failure: the naming rule raises CGenException 1001 "No space allowed in Tag"; file and
// merge failures raise CGenException as documented per operation; platform (DOM) failures
// raise _com_error unchanged, E_POINTER for an object without document or root.
// Thread: an object is used on one thread at a time.
#ifndef ZAN_XML_XMLBASICQKPARSER_H_
#define ZAN_XML_XMLBASICQKPARSER_H_

#include <string>
#include <string_view>

#include "platform/dom/document.h"
#include "platform/dom/element.h"
#include "platform/dom/node.h"
#include "xml/MergeIndex.h"
#include "zanclient/com.h"


class CXmlBasicQKParser {
 public:
  // Merge flags; a flag is present when all of its bits are set.
  static constexpr int MERGE_REPLACE = 1;  // a matched source element replaces, marker or not
  static constexpr int MERGE_ADD = 2;      // an unmatched source element is appended

  CXmlBasicQKParser() = default;
  virtual ~CXmlBasicQKParser() = default;
  CXmlBasicQKParser(const CXmlBasicQKParser&) = default;
  CXmlBasicQKParser& operator=(const CXmlBasicQKParser&) = default;
  CXmlBasicQKParser(CXmlBasicQKParser&&) = default;
  CXmlBasicQKParser& operator=(CXmlBasicQKParser&&) = default;

  // A deep copy of the document (no serialisation): a new document whose root is the copy
  // of this root (empty when this root is not a top-level node). Without a document, a holder
  // without document or root.
  CXmlBasicQKParser clone() const;

  // The naming rule: not empty and no space character.
  static bool isValidTag(std::string_view tag);

  // Naming rule (1001), then createDocument and createRoot with the tag.
  void newDocument(std::string_view tag);
  // A new document holding the three processing instructions of the prologue (targets
  // "xml", "xml:stylesheet", "xml:output"); the root reference is left as it was.
  bool createDocument();
  // Once only: with a root already set, returns the empty reference and changes nothing.
  // Otherwise naming rule (1001), a new element as root, appended to the document.
  zan::dom::Element createRoot(std::string_view tag);
  // Naming rule (1001); a new element appended as parent's last child (an empty parent
  // raises E_POINTER).
  zan::dom::Element createChildElement(const zan::dom::Element& parent, std::string_view name);
  // A deep copy of source (from any document) appended as parent's last child; empty when
  // parent or source is empty or source is not an element.
  zan::dom::Element appendCopy(const zan::dom::Element& parent, const zan::dom::Node& source);

  // Naming rule (1001); the value, or "" when the attribute is absent.
  std::string getAttribute(const zan::dom::Element& element, std::string_view name);
  std::u16string getAttributeW(const zan::dom::Element& element, std::string_view name);
  // Naming rule (1001); sets the attribute to the value's text form. True when done.
  bool setAttribute(const zan::dom::Element& element, std::string_view name, const VARIANT& value);
  bool setAttribute(const zan::dom::Element& element, std::string_view name, std::string_view value);

  // The first child of node whose tag equals tag exactly; empty when none. Reaching a child
  // that is not an element raises E_POINTER.
  zan::dom::Element findChildByTag(const zan::dom::Node& node, std::string_view tag);
  // The first node the XPath selects with the root as context, if it is an element.
  zan::dom::Element selectElement(std::string_view xpath);

  const zan::dom::Element& getRoot() const { return m_root; }
  const zan::dom::Document& getDocument() const { return m_document; }

  // The serialised document; "" without a document.
  std::string getXml() const;
  std::u16string getXmlW() const;
  // Replaces the whole document by the parsed text (the outcome is not tested: malformed
  // text leaves it empty); the root becomes the last top-level node if it is an element.
  void loadXml(std::string_view xml);
  void loadXml(std::u16string_view xml);

  // Writes getXml() to baseName + ".xml"; failure: code 1 "Could not write to file" + file
  // name, class "CXmlBasicQKParser", method "toFile".
  void toFile(std::string_view baseName);
  // Loads the first file (by name) that the search pattern matches. Failure (an empty
  // pattern, no match, a file that cannot be read or parsed): code 1 "Could not read file" +
  // path, "CXmlBasicQKParser", "fromFile"; without a match the document is left as it was.
  void fromFile(std::string_view path);

  // Removes the attribute from every element of the root's document. True when done.
  bool removeAttributeEverywhere(std::string_view name);
  // The same for two attributes, in one walk where both are plain names.
  bool removeAttributesEverywhere(std::string_view first, std::string_view second);

  // Merges the top-level elements of source's root into this root: source elements
  // correspond to destination children whose key attribute has the same value (the
  // selection "*[@key='value']"); a match is replaced by a copy of the source element
  // (without the marker attribute) when the flags hold MERGE_REPLACE or the element's
  // marker attribute equals markerValue, else merged child by child (leaves keep the
  // destination's content); an unmatched element is appended under MERGE_ADD. Nothing is
  // ever deleted. At the end the marker attribute is removed everywhere. Cost is linear in
  // the two documents.
  // Failure (CGenException, class "CXmlBasicQKParser", method "mergeByAttribute"): two
  // destination children with one key: code 1 "Merge found more then one node match";
  // every failure gains " Error in source Tag: " + tag per source element level it passed.
  bool mergeByAttribute(const CXmlBasicQKParser& source, std::string_view markerAttribute,
                        std::string_view markerValue, int flags, std::string_view keyAttribute);
  // The merge by merge keys (pkid when not empty, else the tag name; see CZANDataEntity; the
  // marker may not be pkid or the key attribute, which would change keys as the merge goes):
  // as mergeByAttribute with keyAttribute, but the keys of the elements of both documents are
  // computed by that rule instead of read (neither is stamped; the source is not modified),
  // and at the end keyAttribute is removed everywhere with the marker (when the merge stops
  // early with false, neither is removed).
  bool mergeByMergeKey(const CXmlBasicQKParser& source, std::string_view markerAttribute,
                       std::string_view markerValue, int flags, std::string_view keyAttribute);
  // mergeByAttribute with a temporary object holding the parsed text as source.
  bool mergeXml(std::string_view xml, std::string_view markerAttribute, std::string_view markerValue, int flags,
                std::string_view keyAttribute);

  // "text/html; CHARSET=" + the charset of the user's default language.
  static std::string getCharsetContentType();
  // text converted to UTF-16 from the code page (0: the process code page, 65001, or the
  // process code page's number) into wide; returns the count with the terminator, or -1
  // (wide empty) on failure.
  static int toWide(std::string_view text, unsigned codePage, std::u16string& wide);

 protected:
  // Sets the root from the document after a load: its last top-level node, if an element.
  void takeRootFromDocument();
  // The two merges: destination keys read (kAttribute) or computed (kPkidOrTag).
  bool mergeWith(const CXmlBasicQKParser& source, std::string_view markerAttribute, std::string_view markerValue,
                 int flags, std::string_view keyAttribute, MergeIndex::Keys keys);
  // One source element (and, by descending, its subtree) merged under destParent.
  bool mergeNode(const zan::dom::Node& source, const zan::dom::Element& destParent, const std::string& marker,
                 const std::string& markerValue, int flags, const std::string& key, MergeIndex::Keys keys,
                 MergeIndex& index);

  zan::dom::Document m_document;
  zan::dom::Element m_root;
};

#endif
