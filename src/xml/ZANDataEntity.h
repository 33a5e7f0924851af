// CZANDataEntity: one XML document of the repository (the MBP document of a business
// process or the project-information document of a project) behind named operations, and
// the merge that folds a client's changed copy into the stored document. Base of CMBPEntity
// and CProjectInfoEntity.
//
// Copying clones the document (a deep copy that shares nothing); moving moves it. Failures: a missing
// element raises CGenException code 0 "Xml path not found" + " " + path (class
// "CZANDataEntity", method "getNodeByPath"); platform errors (invalid XPath, type
// mismatch) pass unchanged; nothing is caught. Thread: one thread at a time.
#ifndef ZAN_XML_ZANDATAENTITY_H_
#define ZAN_XML_ZANDATAENTITY_H_

#include <string>
#include <string_view>

#include "platform/dom/element.h"
#include "xml/XmlBasicQKParser.h"

class CZANDataEntity {
 public:
  // A document of the prologue and an empty element "ZANDataEntity".
  CZANDataEntity();
  // A document with root "MPB", replaced by the parsed text.
  explicit CZANDataEntity(std::string_view xml);
  explicit CZANDataEntity(std::u16string_view xml);
  virtual ~CZANDataEntity() = default;
  CZANDataEntity(const CZANDataEntity& other) : m_parser(other.m_parser.clone()) {}
  CZANDataEntity& operator=(const CZANDataEntity& other) {
    m_parser = other.m_parser.clone();
    return *this;
  }
  CZANDataEntity(CZANDataEntity&&) noexcept = default;
  CZANDataEntity& operator=(CZANDataEntity&&) noexcept = default;

  // The document is replaced by the parsed text (malformed text leaves it empty).
  void loadXml(std::string_view xml) { m_parser.loadXml(xml); }
  void loadXml(std::u16string_view xml) { m_parser.loadXml(xml); }
  std::string getXml() const { return m_parser.getXml(); }
  std::u16string getXmlW() const { return m_parser.getXmlW(); }

  // The element the XPath selects first (root as context); raises code 0 when none.
  zan::dom::Element getNodeByPath(std::string_view xpath);
  bool removeAttributeEverywhere(std::string_view name) { return m_parser.removeAttributeEverywhere(name); }
  CXmlBasicQKParser& getParser() { return m_parser; }
  const CXmlBasicQKParser& getParser() const { return m_parser; }

 protected:
  // Gives every element of the document the attribute with its merge key: its pkid when it
  // has a non-empty one, else its tag name.
  void stampKeys(std::string_view attribute);
  // The merge of a changed document into this document by merge keys; changed is not
  // modified.
  bool mergeFrom(const CZANDataEntity& changed, std::string_view markerAttribute, std::string_view markerValue,
                 int flags);

  CXmlBasicQKParser m_parser;
};

// The current local time as "%Y-%m-%d %H:%M:%S", e.g. 2004-03-01 17:05:09.
std::string GetTimeStamp();

#endif
