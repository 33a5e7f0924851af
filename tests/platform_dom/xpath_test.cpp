#include <string>

#include "dom_fixture.h"
#include "platform/dom/document.h"

namespace zan::dom::test {
namespace {

// The selected nodes as "tag[@pkid]" joined with commas.
std::string Names(const NodeList& list) {
  std::string out;
  for (long i = 0; i < list.length(); ++i) {
    Element e(list.item(i));
    out += (i ? "," : "") + e.tagName();
    if (auto pkid = e.getAttribute("pkid")) out += "[" + *pkid + "]";
  }
  return out;
}

const char kMbp[] =
    "<mbp><bp id=\"x\"><datasets><defaults>"
    "<default pkid=\"DEV\" refid=\"3\"/><default pkid=\"\" refid=\"4\"/><default refid=\"5\"/>"
    "<default pkid=\"TEST\" refid=\"6\"/></defaults></datasets></bp></mbp>";

TEST(XPathTest, TheFourShapes) {
  Document d = Parse(kMbp);
  Node defaults = d.selectSingleNode("/mbp/bp/datasets/defaults");
  // Child elements whose attribute equals a quoted value (an empty value needs the attribute).
  EXPECT_EQ(Names(defaults.selectNodes("*[@pkid='DEV']")), "default[DEV]");
  EXPECT_EQ(Names(defaults.selectNodes("*[@pkid='']")), "default[]");
  EXPECT_EQ(Names(defaults.selectNodes("*[@pkid='none']")), "");
  // Every element that carries an attribute, from any context node.
  EXPECT_EQ(Names(defaults.selectNodes("//*[@pkid]")), "default[DEV],default[],default[TEST]");
  EXPECT_EQ(Names(defaults.selectNodes("//*[@id]")), "bp");
  // Every element.
  EXPECT_EQ(d.documentElement().selectNodes("//*").length(), 8);
  // Absolute child paths with a value test on the last step.
  EXPECT_EQ(Names(d.documentElement().selectNodes("/mbp/bp/datasets/defaults/default[@pkid='TEST']")),
            "default[TEST]");
  EXPECT_FALSE(d.documentElement().selectSingleNode("/mbp/bp/profiles/defaults/default[@pkid='DEV']"));
}

TEST(XPathTest, SelectAllElementsIsWhatSlashSlashStarSelects) {
  Document d = Parse(kMbp);
  Element bp(d.selectSingleNode("/mbp/bp"));
  EXPECT_EQ(Names(bp.selectAllElements()), Names(bp.selectNodes("//*")));
  bp.removeChild(bp.firstChild());
  EXPECT_EQ(Names(d.asNode().selectAllElements()), "mbp,bp");
  EXPECT_EQ(Names(d.asNode().selectNodes("//*")), "mbp,bp") << "detached nodes are not selected";
}

TEST(XPathTest, InvalidExpressionsRaiseWithTheReason) {
  Element e = Parse(kMbp).documentElement();
  const std::string apostrophe = Outcome([&] { e.selectNodes("*[@pkid='O'Brien']"); });
  EXPECT_EQ(apostrophe.substr(0, 8), Hex(E_FAIL));
  EXPECT_NE(apostrophe.find("*[@pkid='O'Brien']"), std::string::npos) << apostrophe;
  EXPECT_EQ(Status([&] { e.selectNodes("//*[@a b]"); }), Hex(E_FAIL));
  EXPECT_EQ(Status([&] { e.selectNodes("count(//*)"); }), Hex(E_FAIL)) << "not a node set";
  EXPECT_EQ(Status([&] { e.selectSingleNode(""); }), Hex(E_FAIL));
}

TEST(XPathTest, AttributeResultsAreLeftOut) {
  Document d = Parse(kMbp);
  EXPECT_EQ(d.selectNodes("//@pkid").length(), 0);
}

}  // namespace
}  // namespace zan::dom::test
