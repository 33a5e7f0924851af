#include "xml/XmlBasicQKParser.h"

#include <cstdlib>
#include <string>

#include "platform/dom/node_list.h"
#include "support/host.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "xml_fixture.h"

namespace zan::xml::test {
namespace {

using zan::dom::Element;

const std::string kBadTag = "1001: No space allowed in Tag";
const std::string kNull = "com " + Hex(E_POINTER);

CXmlBasicQKParser Loaded(const std::string& text) {
  CXmlBasicQKParser p;
  p.newDocument("NEW");
  p.loadXml(text);
  return p;
}

TEST(XmlBasicQKParserTest, NewDocumentHasThePrologueAndOneRoot) {
  CXmlBasicQKParser p;
  EXPECT_EQ(p.getXml(), "") << "no document yet";
  EXPECT_EQ(Outcome([&] { p.selectElement("/x"); }), kNull);
  p.newDocument("mbp");
  EXPECT_EQ(p.getXml(), kPrologue + "<mbp/>");
  EXPECT_FALSE(p.createRoot("other"));
  EXPECT_EQ(p.getXml(), kPrologue + "<mbp/>");
  EXPECT_EQ(p.getRoot().tagName(), "mbp");
  CXmlBasicQKParser q;
  q.newDocument("withQKXItem");
  EXPECT_EQ(q.getRoot().tagName(), "withQKXItem");
  EXPECT_EQ(Outcome([] { CXmlBasicQKParser r; r.newDocument("a b"); }), kBadTag);
  EXPECT_EQ(Outcome([] { CXmlBasicQKParser r; r.newDocument(""); }), kBadTag);
}

TEST(XmlBasicQKParserTest, AttributesUnderTheNamingRule) {
  CXmlBasicQKParser p = Loaded("<r a=\"1\"/>");
  Element r = p.getRoot();
  EXPECT_EQ(p.getAttribute(r, "a"), "1");
  EXPECT_EQ(p.getAttribute(r, "missing"), "");
  EXPECT_EQ(p.getAttributeW(r, "a"), u"1");
  EXPECT_EQ(Outcome([&] { p.getAttribute(r, "a b"); }), kBadTag);
  EXPECT_EQ(Outcome([&] { p.getAttribute(r, ""); }), kBadTag);
  EXPECT_EQ(Outcome([&] { p.setAttribute(r, "a b", "v"); }), kBadTag);
  EXPECT_EQ(Outcome([&] { p.getAttribute(Element(), "a"); }), kNull);
  VARIANT v{};
  v.vt = VT_I2;
  v.iVal = 12;
  EXPECT_TRUE(p.setAttribute(r, "n", v));
  EXPECT_TRUE(p.setAttribute(r, "s", "text"));
  EXPECT_EQ(p.getXml(), "<r a=\"1\" n=\"12\" s=\"text\"/>");
}

TEST(XmlBasicQKParserTest, ChildElementsAndCopies) {
  CXmlBasicQKParser p;
  p.newDocument("root");
  Element child = p.createChildElement(p.getRoot(), "child");
  EXPECT_EQ(p.getXml(), kPrologue + "<root><child/></root>");
  EXPECT_EQ(Outcome([&] { p.createChildElement(p.getRoot(), "a b"); }), kBadTag);
  EXPECT_EQ(Outcome([&] { p.createChildElement(Element(), "x"); }), kNull);

  CXmlBasicQKParser other = Loaded("<o><item k=\"1\"><v>x</v></item><!--c--></o>");
  Element copy = p.appendCopy(child, other.getRoot().firstChild());
  EXPECT_EQ(copy.xml(), "<item k=\"1\"><v>x</v></item>");
  EXPECT_EQ(p.getXml(), kPrologue + "<root><child><item k=\"1\"><v>x</v></item></child></root>");
  EXPECT_FALSE(p.appendCopy(child, other.getRoot().lastChild())) << "a comment is not copied";
  EXPECT_FALSE(p.appendCopy(Element(), other.getRoot()));
  EXPECT_FALSE(p.appendCopy(child, zan::dom::Node()));
  p.appendCopy(p.getRoot(), child);  // within one document: a copy, the original stays
  EXPECT_EQ(p.getRoot().childNodes().length(), 2);
}

TEST(XmlBasicQKParserTest, FindChildByTagIsExactAndNeedsElements) {
  CXmlBasicQKParser p = Loaded("<r><Name>1</Name><name>2</name><!--c--><later>3</later></r>");
  EXPECT_EQ(p.findChildByTag(p.getRoot(), "name").text(), "2");
  EXPECT_EQ(p.findChildByTag(p.getRoot(), "Name").text(), "1");
  EXPECT_EQ(Outcome([&] { p.findChildByTag(p.getRoot(), "later"); }), kNull);
  EXPECT_EQ(Outcome([&] { p.findChildByTag(zan::dom::Node(), "x"); }), kNull);
}

TEST(XmlBasicQKParserTest, SelectElementTakesTheFirstElement) {
  CXmlBasicQKParser p = Loaded("<r><a k=\"1\"/><a k=\"2\"/>text</r>");
  EXPECT_EQ(p.selectElement("a").getAttribute("k"), "1");
  EXPECT_EQ(p.selectElement("/r/a[@k='2']").getAttribute("k"), "2");
  EXPECT_FALSE(p.selectElement("text()")) << "a text node is not an element";
  EXPECT_FALSE(p.selectElement("b"));
  EXPECT_EQ(Outcome([&] { p.selectElement("a[@k='it's']"); }).substr(0, 12), "com " + Hex(E_FAIL));
}

TEST(XmlBasicQKParserTest, CopiesShareTheDocument) {
  CXmlBasicQKParser a = Loaded("<r/>");
  CXmlBasicQKParser b = a;
  b.setAttribute(b.getRoot(), "k", "v");
  EXPECT_EQ(a.getXml(), "<r k=\"v\"/>");
  b.loadXml("<other/>");
  EXPECT_EQ(a.getXml(), "<other/>");
}

TEST(XmlBasicQKParserTest, ToFileWritesTheBaseNameWithXml) {
  zan::test::TempDir dir;
  CXmlBasicQKParser p;
  p.newDocument("doc");
  p.toFile(dir / "x");
  EXPECT_EQ(dir.Read("x.xml"), kPrologue + "<doc/>");
  dir.Write("sub/keep", "");
  p.toFile(dir.path() + "\\sub\\y");
  EXPECT_EQ(dir.Read("sub/y.xml"), kPrologue + "<doc/>");

  const std::string missing = dir / "missing/x";
  CGenException e = Raised([&] { p.toFile(missing); });
  EXPECT_EQ(e.GetErrorCode(), 1);
  EXPECT_EQ(e.GetErrorDescription(), "Could not write to file" + missing + ".xml");
  EXPECT_EQ(e.GetClassName(), "CXmlBasicQKParser");
  EXPECT_EQ(e.GetMethodName(), "toFile");
}

TEST(XmlBasicQKParserTest, FromFileLoadsTheFirstMatch) {
  zan::test::TempDir dir;
  dir.Write("docs/b.xml", "<b/>");
  dir.Write("docs/a.xml", "<?xml version=\"1.0\"?><a/>");
  dir.Write("docs/c.txt", "<c/>");
  dir.Write("docs/dir.xml/inner", "");
  CXmlBasicQKParser p;
  p.newDocument("old");
  p.fromFile(dir / "docs/*.xml");
  EXPECT_EQ(p.getXml(), "<?xml version=\"1.0\"?><a/>");
  EXPECT_EQ(p.getRoot().tagName(), "a");
  p.fromFile(dir.path() + "\\docs\\b.xml");
  EXPECT_EQ(p.getXml(), "<b/>");
  p.fromFile(dir / "docs/*.x?l");
  EXPECT_EQ(p.getXml(), "<?xml version=\"1.0\"?><a/>");

  CXmlBasicQKParser none;  // no document to load into
  CGenException e = Raised([&] { none.fromFile(dir / "docs/a.xml"); });
  EXPECT_EQ(e.GetErrorCode(), 1);
  EXPECT_EQ(e.GetErrorDescription(), "Could not read file" + (dir / "docs/a.xml"));
  EXPECT_EQ(e.GetMethodName(), "fromFile");
}

// A path that loads nothing is a failure, never an empty or unchanged document taken as read.
TEST(XmlBasicQKParserTest, FromFileFailsWhenNothingIsLoaded) {
  zan::test::TempDir dir;
  dir.Write("docs/bad.xml", "<a><b></a>");
  dir.Write("docs/dir.xml/inner", "");
  for (const std::string& path : {dir / "docs/*.none", dir / "nodir/*.xml", dir / "docs/missing.xml",
                                 dir / "docs/dir.xml", dir / "docs/bad.xml", std::string()}) {
    SCOPED_TRACE(path);
    CXmlBasicQKParser p;
    p.newDocument("old");
    CGenException e = Raised([&] { p.fromFile(path); });
    EXPECT_EQ(e.GetErrorCode(), 1);
    EXPECT_EQ(e.GetErrorDescription(), "Could not read file" + path);
    EXPECT_EQ(e.GetClassName(), "CXmlBasicQKParser");
    EXPECT_EQ(e.GetMethodName(), "fromFile");
    if (path != dir / "docs/bad.xml") {
      EXPECT_EQ(p.getXml(), kPrologue + "<old/>");
    }
  }
}

TEST(XmlBasicQKParserTest, RemoveAttributeEverywhere) {
  CXmlBasicQKParser p = Loaded("<r dirty=\"1\"><a dirty=\"0\"><b dirty=\"\" keep=\"1\"/></a><c/></r>");
  EXPECT_TRUE(p.removeAttributeEverywhere("dirty"));
  EXPECT_EQ(p.getXml(), "<r><a><b keep=\"1\"/></a><c/></r>");
  EXPECT_TRUE(p.removeAttributeEverywhere("absent"));
  EXPECT_EQ(Outcome([&] { p.removeAttributeEverywhere("a b"); }).substr(0, 12), "com " + Hex(E_FAIL));
  EXPECT_EQ(Outcome([&] { p.removeAttributeEverywhere(""); }).substr(0, 12), "com " + Hex(E_FAIL));
  CXmlBasicQKParser prefixed = Loaded("<r x:k=\"1\"><a x:k=\"2\"/></r>");
  EXPECT_TRUE(prefixed.removeAttributeEverywhere("x:k"));
  EXPECT_EQ(prefixed.getXml(), "<r><a/></r>");
  CXmlBasicQKParser empty;
  EXPECT_EQ(Outcome([&] { empty.removeAttributeEverywhere("k"); }), kNull);
}

TEST(XmlBasicQKParserTest, CharsetFollowsTheUserLanguage) {
  ZAN_SKIP_ON_WINDOWS("the user's language comes from the system there, not from locale variables");
  zan::test::ScopedEnv env("LC_ALL");
  struct Case {
    const char* locale;
    const char* contentType;
  } cases[] = {
      {"en_US.UTF-8", "text/html; CHARSET=windows-1252"},
      {"ja_JP.UTF-8", "text/html; CHARSET=shift_jis"},
      {"de_DE.UTF-8", "text/html; CHARSET=x-IA5-German"},
      {"zh_CN.UTF-8", "text/html; CHARSET=GB2312"},
      {"C", "text/html; CHARSET=windows-1252"},
  };
  for (const Case& c : cases) {
    env.Set("LC_ALL", c.locale);
    EXPECT_EQ(CXmlBasicQKParser::getCharsetContentType(), c.contentType) << c.locale;
  }
}

TEST(XmlBasicQKParserTest, ToWideCountsTheTerminator) {
  std::u16string wide = u"old";
  EXPECT_EQ(CXmlBasicQKParser::toWide("", 0, wide), 1);
  EXPECT_EQ(wide, u"");
  EXPECT_EQ(CXmlBasicQKParser::toWide("abc", 65001, wide), 4);
  EXPECT_EQ(wide, u"abc");
  EXPECT_EQ(CXmlBasicQKParser::toWide("\xe6\x97\xa5\xe6\x9c\xac", 0, wide), 3);
  EXPECT_EQ(wide, u"\u65e5\u672c");
  EXPECT_EQ(CXmlBasicQKParser::toWide("abc", 1252, wide), -1);
  EXPECT_EQ(wide, u"");
}

TEST(XmlBasicQKParserTest, MergeXmlParsesTheSource) {
  CXmlBasicQKParser p = Loaded("<r><a pkid=\"1\">old</a></r>");
  EXPECT_TRUE(p.mergeXml("<r><a pkid=\"1\" dirty=\"1\">new</a><b pkid=\"2\"/></r>", "dirty", "1",
                         CXmlBasicQKParser::MERGE_ADD, "pkid"));
  EXPECT_EQ(p.getXml(), "<r><a pkid=\"1\">new</a><b pkid=\"2\"/></r>");
  EXPECT_EQ(Outcome([&] { p.mergeXml("not xml", "dirty", "1", 2, "pkid"); }), std::to_string(E_POINTER) + ": ")
      << "an unparsable source has no root";
}

}  // namespace
}  // namespace zan::xml::test
