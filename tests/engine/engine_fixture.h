// The fixture of the engine's integration tests: a fresh repository root R on the test
// executable's Apache, an engine connected to it, and helpers that return strings so that
// each check is one line.
#ifndef ZAN_TESTS_ENGINE_ENGINE_FIXTURE_H_
#define ZAN_TESTS_ENGINE_ENGINE_FIXTURE_H_

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "engine/ZanDavEngine.h"
#include "support/dav_server.h"
#include "xml/XMLSet.h"

namespace zan::test {

// "code description (class::method)" of the CGenException that f throws, "com <status>
// <description>" for a _com_error, "no error" when it returns.
std::string ErrorOf(const std::function<void()>& f);

// An item set holding the given items in order.
XMLSet Items(std::initializer_list<std::pair<const char*, const char*>> items);

// The items of a set as "name=value" joined by ", "; inner sets in brackets.
std::string Describe(const XMLSet& set);

// The value of the attribute of the first element that the XPath selects in the document
// text; "<no element>" when none.
std::string AttributeOf(const std::string& xml, const std::string& xpath, const std::string& attribute);
// The text of that element; "<no element>" when none.
std::string TextOf(const std::string& xml, const std::string& xpath);

class EngineTest : public DavTest {
 protected:
  void SetUp() override;

  // The engine's listing of a node: one "name kind has-children" per child, sorted, joined
  // by ", ".
  std::string Children(const std::string& id);
  // The value of a node property of R + "/" + id, read with its own request; "<none>" when
  // the server does not have it.
  std::string Prop(const std::string& id, const std::string& name);
  // R/Alpha (Designs (Billing: BP, Archive: folder), Ledger: BP), R/Beta, built with the engine.
  void BuildTree();

  CZanDavEngine engine_;
};

}  // namespace zan::test

#endif
