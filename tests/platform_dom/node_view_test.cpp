#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dom_fixture.h"
#include "platform/dom/document.h"
#include "platform/dom/node_view.h"

namespace zan::dom::test {
namespace {

TEST(NodeViewTest, WalksAndReadsWithoutHandles) {
  Document d = Parse("<r a=\"1\"><x pkid=\"5\">t</x><!--c--><y/></r>");
  NodeView r(d.documentElement());
  EXPECT_TRUE(r.isElement());
  EXPECT_EQ(r.name(), "r");
  EXPECT_EQ(r.attribute("a"), "1");
  EXPECT_FALSE(r.attribute("b"));
  NodeView x = r.firstChild();
  EXPECT_EQ(x.name(), "x");
  EXPECT_EQ(x.attribute("pkid"), "5");
  EXPECT_EQ(x.parentNode(), r);
  NodeView comment = x.nextSibling();
  EXPECT_FALSE(comment.isElement());
  EXPECT_EQ(comment.name(), "");
  EXPECT_EQ(comment.nextSibling().name(), "y");
  EXPECT_FALSE(comment.nextSibling().nextSibling());
  EXPECT_EQ(x.id(), d.documentElement().firstChild().id());
  EXPECT_EQ(x.node().xml(), "<x pkid=\"5\">t</x>");
  EXPECT_TRUE(x.inTreeOf(d.documentElement()));
  EXPECT_FALSE(x.inTreeOf(Parse("<o/>").documentElement()));
  EXPECT_EQ(NodeView(d.asNode()).firstChild(), r);
}

TEST(NodeViewTest, ChangesAttributes) {
  Document d = Parse("<r a=\"1\"/>");
  NodeView r(d.documentElement());
  r.setAttribute("a", "2");
  r.setAttribute("b", std::string_view("3and more", 1));
  EXPECT_EQ(d.xml(), "<r a=\"2\" b=\"3\"/>");
  EXPECT_EQ(Status([&] { r.setAttribute("a b", "x"); }), Hex(E_FAIL));
  EXPECT_EQ(Status([&] { r.firstChild(); NodeView().name(); }), Hex(E_POINTER));
  EXPECT_EQ(Status([&] { NodeView().attribute("a"); }), Hex(E_POINTER));
}

TEST(NodeViewTest, DetachedNodesStayReadable) {
  Document d = Parse("<r><a k=\"1\"/><b/></r>");
  NodeView a = NodeView(d.documentElement()).firstChild();
  d.documentElement().removeChild(a.node());
  EXPECT_EQ(a.attribute("k"), "1");
  EXPECT_FALSE(a.parentNode());
  EXPECT_FALSE(a.nextSibling()) << "a detached node has no siblings";
}

TEST(NodeViewTest, ForEachElementVisitsWhatSlashSlashStarSelects) {
  Document d = Parse("<?pi x?><r><a><b/>text<c><d/></c></a><e/></r><!--after-->");
  d.documentElement().appendChild(d.createElement("f"));
  d.documentElement().removeChild(d.documentElement().firstChild().nextSibling());  // e, detached
  std::string visited;
  d.asNode().forEachElement([&](NodeView e) { visited += std::string(e.name()) + ","; });
  EXPECT_EQ(visited, "r,a,b,c,d,f,");
  std::string selected;
  const NodeList all = d.asNode().selectNodes("//*");
  for (long i = 0; i < all.length(); ++i) selected += Element(all.item(i)).tagName() + ",";
  EXPECT_EQ(visited, selected);
  // The visitor may change attributes as it goes.
  d.asNode().forEachElement([](NodeView e) { e.setAttribute("seen", e.name()); });
  EXPECT_EQ(d.documentElement().xml(),
            "<r seen=\"r\"><a seen=\"a\"><b seen=\"b\"/>text<c seen=\"c\"><d seen=\"d\"/></c></a><f seen=\"f\"/></r>");
}

TEST(NodeViewTest, ReadsTwoAttributesInOnePass) {
  Document d = Parse("<r pkid=\"7\" dirty=\"1\" other=\"\"/>");
  NodeView r(d.documentElement());
  using Pair = std::pair<std::optional<std::string_view>, std::optional<std::string_view>>;
  EXPECT_EQ(r.attributes("pkid", "dirty"), (Pair{"7", "1"}));
  EXPECT_EQ(r.attributes("dirty", "pkid"), (Pair{"1", "7"}));
  EXPECT_EQ(r.attributes("pkid", "absent"), (Pair{"7", std::nullopt}));
  EXPECT_EQ(r.attributes("absent", "other"), (Pair{std::nullopt, ""}));
  EXPECT_EQ(r.attributes("pkid", "pkid"), (Pair{"7", "7"}));
  EXPECT_EQ(r.attributes("pki", "dirtyx"), (Pair{}));  // names compare whole
  EXPECT_EQ(Status([&] { NodeView().attributes("a", "b"); }), Hex(E_POINTER));
}

TEST(NodeViewTest, RemovesAttributesFromTheElementsForEachElementVisits) {
  Document d = Parse("<?pi dirty=\"1\"?><r dirty=\"1\" k=\"a\"><a _pkid=\"x\" dirty=\"0\" dirtyx=\"y\"><b _pkid=\"y\"/>"
                     "text</a><c keep=\"1\"/></r>");
  const Node detached = d.documentElement().removeChild(d.documentElement().lastChild());
  Element(detached).setAttribute("dirty", "1");
  d.documentElement().removeAttributesEverywhere({"dirty", "_pkid"});
  EXPECT_EQ(d.xml(), "<?pi dirty=\"1\"?><r k=\"a\"><a dirtyx=\"y\"><b/>text</a></r>");
  EXPECT_EQ(detached.xml(), "<c keep=\"1\" dirty=\"1\"/>") << "a detached element is not in the document";
  d.documentElement().removeAttributesEverywhere({});
  EXPECT_EQ(d.xml(), "<?pi dirty=\"1\"?><r k=\"a\"><a dirtyx=\"y\"><b/>text</a></r>");
}

}  // namespace
}  // namespace zan::dom::test
