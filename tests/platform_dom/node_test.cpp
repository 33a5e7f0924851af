#include <string>

#include "dom_fixture.h"
#include "platform/dom/document.h"

namespace zan::dom::test {
namespace {

// The tag names of a node's children, e.g. "a,b,#text".
std::string Children(const Node& n) {
  std::string out;
  for (Node c = n.firstChild(); c; c = c.nextSibling()) out += (out.empty() ? "" : ",") + c.nodeName();
  return out;
}

TEST(NodeTest, NodeKindsAndNames) {
  Document d = Parse("<?pi data?><!DOCTYPE r><r xmlns:p=\"urn:p\"><p:e>t</p:e><![CDATA[c]]><!--m--></r>");
  Element r = d.documentElement();
  Node pi = d.firstChild();
  EXPECT_EQ(pi.nodeTypeString(), "processinginstruction");
  EXPECT_EQ(pi.nodeName(), "pi");
  EXPECT_EQ(pi.nodeValue(), "data");
  EXPECT_EQ(pi.nextSibling().nodeType(), NODE_DOCUMENT_TYPE);
  EXPECT_EQ(pi.nextSibling().nodeName(), "r");
  Element e(r.firstChild());
  EXPECT_EQ(e.nodeTypeString(), "element");
  EXPECT_EQ(e.tagName(), "p:e");
  EXPECT_EQ(e.baseName(), "e");
  EXPECT_EQ(e.prefix(), "p");
  EXPECT_EQ(e.namespaceURI(), "urn:p");
  EXPECT_EQ(e.firstChild().nodeTypeString(), "text");
  EXPECT_EQ(e.firstChild().nodeName(), "#text");
  EXPECT_EQ(Children(r), "p:e,#cdata-section,#comment");
  EXPECT_EQ(r.lastChild().nodeValue(), "m");
  EXPECT_EQ(d.asNode().nodeTypeString(), "document");
  EXPECT_EQ(r.parentNode().nodeType(), NODE_DOCUMENT);
}

TEST(NodeTest, AppendInsertReplaceRemoveWithinOneDocument) {
  Document d = Parse("<r><a/><b/><c/></r>");
  Element r = d.documentElement();
  Node a = r.firstChild();
  Node c = r.lastChild();
  EXPECT_EQ(r.appendChild(a), a);  // moves
  EXPECT_EQ(Children(r), "b,c,a");
  r.insertBefore(a, r.firstChild());
  EXPECT_EQ(Children(r), "a,b,c");
  Element x = d.createElement("x");
  EXPECT_FALSE(x.parentNode());
  Node inserted;
  EXPECT_EQ(r.replaceChild(x, c, &inserted), c);
  EXPECT_EQ(inserted, x);
  EXPECT_EQ(Children(r), "a,b,x");
  EXPECT_FALSE(c.parentNode()) << "the replaced node is detached";
  EXPECT_FALSE(c.nextSibling());
  EXPECT_EQ(c.xml(), "<c/>") << "and still usable";
  r.removeChild(r.firstChild());
  EXPECT_EQ(d.xml(), "<r><b/><x/></r>");
  x.appendChild(c);
  EXPECT_EQ(d.xml(), "<r><b/><x><c/></x></r>");
}

TEST(NodeTest, ANodeOfAnotherDocumentIsCopied) {
  Document src = Parse("<s><item k=\"1\"><sub>v</sub></item></s>");
  Document dst = Parse("<d/>");
  Node item = src.documentElement().firstChild();
  Node appended = dst.documentElement().appendChild(item);
  EXPECT_NE(appended, item);
  EXPECT_EQ(dst.xml(), "<d><item k=\"1\"><sub>v</sub></item></d>");
  EXPECT_EQ(src.xml(), "<s><item k=\"1\"><sub>v</sub></item></s>") << "the source stays";
  Element(appended).setAttribute("k", "2");
  EXPECT_EQ(src.documentElement().firstChild().xml(), "<item k=\"1\"><sub>v</sub></item>");

  Node inserted;
  Node old = dst.documentElement().replaceChild(src.documentElement(), appended, &inserted);
  EXPECT_EQ(old, appended);
  EXPECT_EQ(dst.xml(), "<d><s><item k=\"1\"><sub>v</sub></item></s></d>");
  EXPECT_EQ(inserted.parentNode(), dst.documentElement());
}

TEST(NodeTest, HierarchyRulesRaise) {
  Document d = Parse("<r><a><b/></a></r>");
  Element r = d.documentElement();
  Node a = r.firstChild();
  Node b = a.firstChild();
  EXPECT_EQ(Status([&] { b.appendChild(a); }), Hex(E_FAIL)) << "cycle";
  EXPECT_EQ(Status([&] { a.appendChild(a); }), Hex(E_FAIL));
  EXPECT_EQ(Status([&] { d.appendChild(d.createElement("second")); }), Hex(E_FAIL));
  EXPECT_EQ(Status([&] { d.appendChild(d.createTextNode("t")); }), Hex(E_FAIL));
  EXPECT_EQ(Status([&] { b.appendChild(d.asNode()); }), Hex(E_INVALIDARG));
  EXPECT_EQ(Status([&] { r.removeChild(b); }), Hex(E_INVALIDARG)) << "not a child";
  EXPECT_EQ(Status([&] { r.replaceChild(d.createElement("n"), b); }), Hex(E_INVALIDARG));
  EXPECT_EQ(Status([&] { r.insertBefore(d.createElement("n"), b); }), Hex(E_INVALIDARG));
  EXPECT_EQ(Status([&] { d.createTextNode("t").appendChild(d.createElement("x")); }), Hex(E_FAIL));
  EXPECT_EQ(Status([&] { r.appendChild(Node()); }), Hex(E_INVALIDARG));
  // The document element may be replaced by another element; comments may come and go.
  Node inserted;
  d.replaceChild(d.createElement("new"), r, &inserted);
  d.insertBefore(d.createComment("c"), inserted);
  EXPECT_EQ(d.xml(), "<!--c--><new/>") << "the replaced element is detached and not serialised";
}

TEST(NodeTest, CloneIsDetachedDeepOrShallow) {
  Document d = Parse("<r><a k=\"v\"><b>t</b></a></r>");
  Node a = d.documentElement().firstChild();
  Node deep = a.cloneNode(true);
  Node shallow = a.cloneNode(false);
  EXPECT_FALSE(deep.parentNode());
  EXPECT_EQ(deep.xml(), "<a k=\"v\"><b>t</b></a>");
  EXPECT_EQ(shallow.xml(), "<a k=\"v\"/>");
  EXPECT_EQ(d.xml(), "<r><a k=\"v\"><b>t</b></a></r>");
  EXPECT_EQ(d.asNode().selectAllElements().length(), 3) << "clones are not part of the document";
  d.documentElement().appendChild(deep);
  EXPECT_EQ(d.asNode().selectAllElements().length(), 5);
  EXPECT_EQ(Status([&] { d.asNode().cloneNode(true); }), Hex(E_NOTIMPL));
}

TEST(NodeTest, ChildListsAreLive) {
  Document d = Parse("<r><a/></r>");
  Element r = d.documentElement();
  NodeList children = r.childNodes();
  EXPECT_EQ(children.length(), 1);
  r.appendChild(d.createElement("b"));
  EXPECT_EQ(children.length(), 2);
  EXPECT_EQ(children.item(1).nodeName(), "b");
  r.setText("only text");
  EXPECT_EQ(children.length(), 1);
  EXPECT_EQ(children.item(0).nodeType(), NODE_TEXT);
  NodeList top = d.childNodes();
  EXPECT_EQ(top.length(), 1) << "the top level shows no detached nodes";
}

TEST(NodeTest, NodesOutliveReloadsAndTheirDocument) {
  Node kept;
  {
    Document d = Parse("<r><a>text</a></r>");
    kept = d.documentElement().firstChild();
    d.loadXML("<other/>");
    EXPECT_EQ(kept.text(), "text");
  }
  EXPECT_EQ(kept.xml(), "<a>text</a>");
  EXPECT_EQ(kept.parentNode().nodeName(), "r");
}

}  // namespace
}  // namespace zan::dom::test
