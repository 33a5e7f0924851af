#include <string>
#include <vector>

#include "dom_fixture.h"
#include "platform/dom/document.h"
#include "support/temp_dir.h"

namespace zan::dom::test {
namespace {

TEST(DocumentTest, BuildsAndSerialisesRawWithProcessingInstructions) {
  Document d = Document::Create();
  d.appendChild(d.createProcessingInstruction("xml", "version=\"1.0\""));
  d.appendChild(d.createProcessingInstruction("xml:output", "method=\"html\" encoding=\"UTF-16\""));
  Element root = d.createElement("QKXItem");
  d.appendChild(root);
  EXPECT_EQ(d.xml(), "<?xml version=\"1.0\"?><?xml:output method=\"html\" encoding=\"UTF-16\"?><QKXItem/>");
  Element item = d.createElement("ZAN_NAME");
  root.appendChild(item);
  item.setText("a<b & \"c\" > 'd'");
  EXPECT_EQ(root.xml(), "<QKXItem><ZAN_NAME>a&lt;b &amp; \"c\" &gt; 'd'</ZAN_NAME></QKXItem>");
  EXPECT_EQ(d.documentElement(), root);
  EXPECT_EQ(d.childNodes().length(), 3);
  EXPECT_EQ(d.firstChild().nodeName(), "xml");
  EXPECT_EQ(d.lastChild(), root);
}

TEST(DocumentTest, AttributeValuesAreEscaped) {
  Document d = Parse("<a/>");
  d.documentElement().setAttribute("v", "<&\"\n>");
  EXPECT_EQ(d.xml(), "<a v=\"&lt;&amp;&quot;&#10;>\"/>");
  EXPECT_EQ(*Parse(d.xml()).documentElement().getAttribute("v"), "<&\"\n>");
}

TEST(DocumentTest, TextReadsAllDescendantsAndWriteReplacesContent) {
  Document d = Parse("<r><a>one<b>two</b><![CDATA[<3>]]></a><!--not text--><c>four</c></r>");
  Element r = d.documentElement();
  EXPECT_EQ(r.text(), "onetwo<3>four");
  EXPECT_EQ(d.text(), "onetwo<3>four");
  Node a = r.firstChild();
  a.setText("new & text");
  EXPECT_EQ(r.xml(), "<r><a>new &amp; text</a><!--not text--><c>four</c></r>");
  a.setText("");
  EXPECT_EQ(a.xml(), "<a/>");
  EXPECT_FALSE(a.hasChildNodes());
  a.setText(u"\u00e9t\u00e9");
  EXPECT_EQ(a.text(), "\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(a.textW(), u"\u00e9t\u00e9");
}

TEST(DocumentTest, LoadKeepsPrologueAndDropsTheDeclaredEncoding) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?>"
      "<?xml:stylesheet type=\"text/xsl\"?><!--c--><root a=\"1\">t</root><!--after-->";
  Document d = Parse(text);
  EXPECT_EQ(d.xml(),
            "<?xml version=\"1.0\" standalone=\"yes\"?><?xml:stylesheet type=\"text/xsl\"?><!--c-->"
            "<root a=\"1\">t</root><!--after-->");
  EXPECT_EQ(d.firstChild().nodeType(), NODE_PROCESSING_INSTRUCTION);
  EXPECT_EQ(d.firstChild().nodeName(), "xml");
  EXPECT_EQ(d.lastChild().nodeType(), NODE_COMMENT);
  EXPECT_EQ(d.documentElement().tagName(), "root");
}

TEST(DocumentTest, LoadOfWideTextParsesTheDecodedText) {
  Document d = Document::Create();
  ASSERT_TRUE(d.loadXML(std::u16string(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\u65e5\u672c</a>")));
  EXPECT_EQ(d.documentElement().text(), "\xe6\x97\xa5\xe6\x9c\xac");
  EXPECT_EQ(d.xmlW(), u"<?xml version=\"1.0\"?><a>\u65e5\u672c</a>");
}

TEST(DocumentTest, MalformedTextLeavesAnEmptyDocument) {
  const std::vector<std::string> bad = {
      "",
      "plain text",
      "<a>",
      "<a></b>",
      "<a/><b/>",
      "<a/>trailing",
      "lead<a/>",
      "<a x='1' x='2'/>",
      "<a><b y='1' z='2' y='3'/></a>",
      "<a/><?xml version='1.0'?>",
      "<!--only a comment-->",
      "<a><?xml version='1.0'?></a>",
  };
  for (const std::string& text : bad) {
    Document d = Parse("<old/>");
    Element old = d.documentElement();
    EXPECT_FALSE(d.loadXML(text)) << text;
    EXPECT_FALSE(d.parseErrorReason().empty()) << text;
    EXPECT_EQ(d.xml(), "") << text;
    EXPECT_FALSE(d.documentElement()) << text;
    EXPECT_EQ(d.childNodes().length(), 0) << text;
    EXPECT_EQ(old.xml(), "<old/>") << "a node of the replaced document stays usable";
  }
}

TEST(DocumentTest, DocumentTypeAndExternalEntitiesFetchNothing) {
  zan::test::TempDir dir;
  dir.Write("secret.txt", "SECRET");
  const std::string text = "<!DOCTYPE a [<!ENTITY e SYSTEM \"file://" + (dir / "secret.txt") + "\">]><a>&e;</a>";
  Document d = Document::Create();
  d.loadXML(text);
  EXPECT_EQ(d.xml().find("SECRET"), std::string::npos);
  EXPECT_EQ(d.text().find("SECRET"), std::string::npos);
}

TEST(DocumentTest, LoadFromFileUrlAndPlainPath) {
  zan::test::TempDir dir;
  dir.Write("doc.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<doc>\n  <x>1</x>\n</doc>\n");
  Document d = Document::Create();
  ASSERT_TRUE(d.load("file://" + (dir / "doc.xml")));
  EXPECT_EQ(d.xml(), "<?xml version=\"1.0\"?><doc><x>1</x></doc>");
  ASSERT_TRUE(d.load(dir / "doc.xml"));
  EXPECT_EQ(d.documentElement().tagName(), "doc");

  // UTF-16 with a byte-order mark is decoded.
  const std::string utf16("\xff\xfe<\0a\0/\0>\0", 10);
  dir.Write("wide.xml", utf16);
  ASSERT_TRUE(d.load(dir / "wide.xml"));
  EXPECT_EQ(d.xml(), "<a/>");

  EXPECT_FALSE(d.load("file://" + (dir / "missing.xml")));
  EXPECT_EQ(d.xml(), "");
  EXPECT_NE(d.parseErrorReason().find("missing.xml"), std::string::npos);
  EXPECT_FALSE(d.load(dir.path()));  // a directory
}

TEST(DocumentTest, CopiesShareOneDocument) {
  Document a = Document::Create();
  Document b = a;
  EXPECT_TRUE(a == b);
  b.loadXML("<shared/>");
  EXPECT_EQ(a.xml(), "<shared/>");
  a.documentElement().setAttribute("k", "v");
  EXPECT_EQ(b.xml(), "<shared k=\"v\"/>");
}

// A clone is a new document with copies of the top-level nodes: namespace declarations the
// document made for created elements, processing instructions and text of white space only
// come through; detached nodes do not; neither document sees the other's changes.
TEST(DocumentTest, ClonesCopyTheTreeAndShareNothing) {
  Document d = Parse("<?xml version=\"1.0\"?><!--c--><r a=\"1\"><x>t</x></r>");
  Element r = d.documentElement();
  r.appendChild(d.createNode(NODE_ELEMENT, "p:n", "urn:x"));
  Element pad = d.createElement("pad");
  r.appendChild(pad);
  pad.setText("  ");
  d.createElement("detached");
  const std::string text = d.xml();
  Document c = d.clone();
  EXPECT_FALSE(c == d);
  EXPECT_EQ(c.xml(), text);
  EXPECT_EQ(c.childNodes().length(), 3);
  EXPECT_EQ(c.documentElement().lastChild().text(), "  ");
  Node moved = c.documentElement().firstChild().nextSibling();  // p:n keeps its declaration when it moves
  c.documentElement().firstChild().appendChild(moved);
  EXPECT_EQ(c.documentElement().xml(), "<r a=\"1\"><x>t<p:n xmlns:p=\"urn:x\"/></x><pad>  </pad></r>");
  c.documentElement().setAttribute("a", "2");
  EXPECT_EQ(d.xml(), text);
  r.setAttribute("b", "3");
  EXPECT_EQ(c.documentElement().getAttribute("b"), std::nullopt);
  // A failed parse: the clone is empty too and knows why.
  Document broken = Document::Create();
  EXPECT_FALSE(broken.loadXML("<a>"));
  Document brokenClone = broken.clone();
  EXPECT_EQ(brokenClone.xml(), "");
  EXPECT_EQ(brokenClone.parseErrorReason(), broken.parseErrorReason());
  EXPECT_EQ(Outcome([] { Document().clone(); }), Outcome([] { Document().xml(); }));
}

TEST(DocumentTest, EmptyReferencesRaiseTheNullPointerStatus) {
  const std::string kNull = Hex(E_POINTER);
  Document none;
  Node node;
  Element element;
  NodeList list;
  EXPECT_EQ(Outcome([&] { none.xml(); }), kNull) << "no description";
  EXPECT_EQ(Status([&] { none.loadXML("<a/>"); }), kNull);
  EXPECT_EQ(Status([&] { none.createElement("a"); }), kNull);
  EXPECT_EQ(Status([&] { none.selectNodes("//*"); }), kNull);
  EXPECT_EQ(Status([&] { node.text(); }), kNull);
  EXPECT_EQ(Status([&] { node.childNodes(); }), kNull);
  EXPECT_EQ(Status([&] { node.appendChild(Parse("<a/>").documentElement()); }), kNull);
  EXPECT_EQ(Status([&] { node.selectSingleNode("*"); }), kNull);
  EXPECT_EQ(Status([&] { element.tagName(); }), kNull);
  EXPECT_EQ(Status([&] { element.getAttribute("a"); }), kNull);
  EXPECT_EQ(Status([&] { list.length(); }), kNull);
  EXPECT_EQ(Status([&] { list.item(0); }), kNull);
}

TEST(DocumentTest, EmptyResultsAreNotFailures) {
  Document d = Parse("<a><b/>text</a>");
  Element a = d.documentElement();
  EXPECT_FALSE(a.getAttribute("missing"));
  EXPECT_FALSE(a.firstChild().firstChild());
  EXPECT_FALSE(a.childNodes().item(5));
  EXPECT_FALSE(a.childNodes().item(-1));
  EXPECT_FALSE(a.selectSingleNode("nothing"));
  EXPECT_EQ(a.selectNodes("nothing").length(), 0);
  EXPECT_FALSE(Element(a.lastChild())) << "a text node has no element interface";
  EXPECT_FALSE(a.parentNode().parentNode());
}

TEST(DocumentTest, CreationRejectsNamesThatAreNotXmlNames) {
  Document d = Document::Create();
  for (const char* name : {"", "1abc", "a<b", "a b", "-x", "a&b"}) {
    EXPECT_EQ(Status([&] { d.createElement(name); }), Hex(E_FAIL)) << name;
  }
  for (const char* name : {"a", "_a", "a:b", "a.b-c_1", "\xc3\xa9t\xc3\xa9"}) {
    EXPECT_EQ(Status([&] { d.createElement(name); }), "ok") << name;
  }
  Element e = Parse("<a/>").documentElement();
  EXPECT_EQ(Status([&] { e.setAttribute("a b", "v"); }), Hex(E_FAIL));
  EXPECT_EQ(Status([&] { d.createProcessingInstruction("", "x"); }), Hex(E_FAIL));
  EXPECT_EQ(Status([&] { d.createNode(7, "pi", ""); }), Hex(E_INVALIDARG));
}

}  // namespace
}  // namespace zan::dom::test
