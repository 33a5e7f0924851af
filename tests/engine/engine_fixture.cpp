#include "engine_fixture.h"

#include <algorithm>
#include <vector>

#include "base/GenException.h"
#include "dav/DavADOManager.h"
#include "platform/com/com_error.h"
#include "xml/XmlBasicQKParser.h"

namespace zan::test {

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
    return "no error";
  } catch (const CGenException& e) {
    return std::to_string(e.GetErrorCode()) + " " + e.GetErrorDescription() + " [" + e.GetClassName() +
           "::" + e.GetMethodName() + "]";
  } catch (const _com_error& e) {
    return "com " + std::to_string(e.Error()) + " " + e.Description();
  }
}

XMLSet Items(std::initializer_list<std::pair<const char*, const char*>> items) {
  XMLSet set;
  for (const auto& [name, value] : items) set.addItem(name, value);
  return set;
}

std::string Describe(const XMLSet& source) {
  XMLSet set(source);
  std::string out;
  for (long i = 0; i < set.getCount(); ++i) {
    if (!out.empty()) out += ", ";
    if (set.hasInnerSet(i)) {
      XMLSet inner;
      set.getInnerSet(i, inner);
      out += "[" + Describe(inner) + "]";
    } else {
      std::string name, value;
      set.getItem(i, name, value);
      out += name + "=" + value;
    }
  }
  return out;
}

std::string AttributeOf(const std::string& xml, const std::string& xpath, const std::string& attribute) {
  CXmlBasicQKParser parser;
  parser.createDocument();
  parser.loadXml(xml);
  const zan::dom::Element element = parser.selectElement(xpath);
  if (!element) return "<no element>";
  return parser.getAttribute(element, attribute);
}

std::string TextOf(const std::string& xml, const std::string& xpath) {
  CXmlBasicQKParser parser;
  parser.createDocument();
  parser.loadXml(xml);
  const zan::dom::Element element = parser.selectElement(xpath);
  if (!element) return "<no element>";
  return element.text();
}

void EngineTest::SetUp() {
  DavTest::SetUp();
  XMLSet scratch;
  ASSERT_TRUE(engine_.InitToZanServer(R(), scratch));
}

std::string EngineTest::Children(const std::string& id) {
  XMLSet response;
  engine_.GetChildren(id, response);
  std::vector<std::string> children;
  for (long i = 0; i < response.getCount(); ++i) {
    XMLSet inner;
    response.getInnerSet(i, inner);
    std::string name, kind, hasChildren;
    inner.getItemValue("ZAN_NAME", name);
    inner.getItemValue("ZAN_NODE_TYPE", kind);
    inner.getItemValue("ZAN_HAS_CHILDREN", hasChildren);
    children.push_back(name + " " + kind + " " + hasChildren);
  }
  std::sort(children.begin(), children.end());
  std::string out;
  for (const auto& child : children) out += (out.empty() ? "" : ", ") + child;
  return out;
}

std::string EngineTest::Prop(const std::string& id, const std::string& name) {
  CDavADOManager dav;
  XMLSet request = Items({{name.c_str(), ""}});
  XMLSet result;
  dav.findResourceProperties(R() + "/" + id, request.getXml(), "0",
                             result);
  if (result.getCount() == 0) return "<none>";
  XMLSet inner;
  result.getInnerSet(0, inner);
  std::string value = "<none>";
  inner.getItemValue(name, value);
  return value;
}

void EngineTest::BuildTree() {
  XMLSet none;
  XMLSet response;
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none, response));
  ASSERT_TRUE(engine_.CreateProject(Server(), "Beta", none, response));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none, response));
  ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha/Designs", "Billing", none, response));
  ASSERT_TRUE(engine_.CreateFolder("Alpha/Designs", "Archive", none, response));
  ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha", "Ledger", none, response));
}

}  // namespace zan::test
