#include "xml/ZANDataEntity.h"

#include "base/GenException.h"
#include "base/QKTime.h"
#include "platform/com/com_error.h"
#include "platform/dom/node_view.h"
#include "xml/MergeIndex.h"

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
  const std::string name(attribute);
  std::string key;
  m_parser.getRoot().forEachElement([&](zan::dom::NodeView element) {
    key = MergeIndex::PkidOrTag(element.attribute("pkid"), element.name());
    element.setAttribute(name.c_str(), key);
  });
}

bool CZANDataEntity::mergeFrom(const CZANDataEntity& changed, std::string_view markerAttribute,
                               std::string_view markerValue, int flags) {
  if (markerAttribute == "pkid" || markerAttribute == kMergeKey) {
    // The marker would change keys during the merge: both documents are stamped, the changed
    // one in a clone of its own.
    CZANDataEntity source(changed);
    source.stampKeys(kMergeKey);
    stampKeys(kMergeKey);
    const bool merged = m_parser.mergeByAttribute(source.m_parser, markerAttribute, markerValue, flags, kMergeKey);
    removeAttributeEverywhere(kMergeKey);
    return merged;
  }
  // The keys of both documents are computed as stamping would write them, so neither is
  // stamped (and this one unstamped again); a failure leaves this one stamped, as the
  // stamping merge would.
  if (!changed.m_parser.getRoot()) throw _com_error(E_POINTER);  // as stamping an empty document
  if (!m_parser.getRoot()) throw _com_error(E_POINTER);
  try {
    const bool merged = m_parser.mergeByMergeKey(changed.m_parser, markerAttribute, markerValue, flags, kMergeKey);
    if (!merged) removeAttributeEverywhere(kMergeKey);
    return merged;
  } catch (...) {
    stampKeys(kMergeKey);
    throw;
  }
}

std::string GetTimeStamp() { return QKTime::CurrentTime().Format("%Y-%m-%d %H:%M:%S"); }
