#include "xml/ZANDataEntity.h"

#include "base/GenException.h"
#include "base/QKTime.h"
#include "platform/dom/node_list.h"

namespace {
// The attribute that carries the merge keys for the duration of a merge.
constexpr char kMergeKey[] = "_pkid";
}  // namespace

CZANDataEntity::CZANDataEntity() { m_parser.newDocument("ZANDataEntity"); }

CZANDataEntity::CZANDataEntity(std::string_view xml) {
  m_parser.newDocument("MPB");
  m_parser.loadXml(xml);
}

CZANDataEntity::CZANDataEntity(std::u16string_view xml) {
  m_parser.newDocument("MPB");
  m_parser.loadXml(xml);
}

zan::dom::Element CZANDataEntity::getNodeByPath(std::string_view xpath) {
  zan::dom::Element element = m_parser.selectElement(xpath);
  if (!element)
    throw CGenException("Xml path not found " + std::string(xpath), zan::err::kLocalFailure, "CZANDataEntity",
                        "getNodeByPath");
  return element;
}

void CZANDataEntity::stampKeys(std::string_view attribute) {
  // Every element of the document ("//*" from the root), by one walk.
  const zan::dom::NodeList elements = m_parser.getRoot().selectAllElements();
  const long count = elements.length();
  for (long i = 0; i < count; ++i) {
    const zan::dom::Element element(elements.item(i));
    std::string key = element.getAttribute("pkid").value_or(std::string());
    if (key.empty()) key = element.tagName();
    element.setAttribute(attribute, key);
  }
}

bool CZANDataEntity::mergeFrom(const CZANDataEntity& changed, std::string_view markerAttribute,
                               std::string_view markerValue, int flags) {
  CZANDataEntity source(changed);  // shares the changed document, which keeps its stamps
  source.stampKeys(kMergeKey);
  stampKeys(kMergeKey);
  const bool merged = m_parser.mergeByAttribute(source.m_parser, markerAttribute, markerValue, flags, kMergeKey);
  removeAttributeEverywhere(kMergeKey);
  return merged;
}

std::string GetTimeStamp() { return QKTime::CurrentTime().Format("%Y-%m-%d %H:%M:%S"); }
