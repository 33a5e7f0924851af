#include "xml/MBPEntity.h"

#include "base/AsciiCase.h"
#include "base/GenException.h"
#include "platform/com/com_error.h"
#include "platform/dom/node_list.h"

CMBPEntity::CMBPEntity() { m_parser.newDocument("MPB"); }

CMBPEntity::CMBPEntity(std::string_view xml) : CMBPEntity() { loadXml(xml); }

CMBPEntity::CMBPEntity(std::u16string_view xml) : CMBPEntity() { loadXml(xml); }

void CMBPEntity::setBPId(std::string_view itemId) { getNodeByPath("/mbp/bp").setAttribute("id", itemId); }

void CMBPEntity::setLastModified(std::string_view time) { getNodeByPath("/mbp").setAttribute("lastmodified", time); }

std::string CMBPEntity::fileNameOf(std::string_view defaultsPath, std::string_view environment,
                                   std::string_view extension) {
  // The environment is compared as a value, never placed into the selection: any name,
  // quotes and brackets included, finds only the default that carries exactly that pkid.
  const std::string path = std::string(defaultsPath) + "/default[@pkid='" + std::string(environment) + "']";
  zan::dom::Element element;
  const zan::dom::NodeList parents = m_parser.getRoot().selectNodes(defaultsPath);
  for (long i = 0; i < parents.length() && !element; ++i) {
    for (zan::dom::Node c = parents.item(i).firstChild(); c && !element; c = c.nextSibling()) {
      if (c.nodeType() != zan::dom::NODE_ELEMENT || c.nodeName() != "default") continue;
      const zan::dom::Element candidate(c);
      const std::optional<std::string> pkid = candidate.getAttribute("pkid");
      if (pkid && *pkid == environment) element = candidate;
    }
  }
  if (!element)
    throw CGenException("Xml path not found " + path, zan::err::kLocalFailure, "CZANDataEntity", "getNodeByPath");
  const std::optional<std::string> refid = element.getAttribute("refid");
  if (!refid) throw _com_error(DISP_E_TYPEMISMATCH, "Type mismatch.");  // a missing attribute has no text
  std::string name = *refid + "." + std::string(extension);
  if (zan::EqualsIgnoringAsciiCase(name, "0." + std::string(extension))) name.clear();  // refid 0: no file
  return name;
}

std::string CMBPEntity::getParameterFileName(std::string_view environment) {
  return fileNameOf("/mbp/bp/datasets/defaults", environment, "prm");
}

std::string CMBPEntity::getConfigFileName(std::string_view environment) {
  return fileNameOf("/mbp/bp/profiles/defaults", environment, "cfg");
}
