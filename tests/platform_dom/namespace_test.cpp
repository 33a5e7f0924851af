#include <string>

#include "dom_fixture.h"
#include "platform/dom/document.h"

namespace zan::dom::test {
namespace {

// The PROPPATCH body as the property requests build it, top down.
std::string ProppatchBody() {
  Document d = Document::Create();
  Node update = d.appendChild(d.createNode(NODE_ELEMENT, "d:propertyupdate", "DAV:"));
  Node set = update.appendChild(d.createNode(NODE_ELEMENT, "d:set", "DAV:"));
  Node prop = set.appendChild(d.createNode(NODE_ELEMENT, "d:prop", "DAV:"));
  for (const char* name : {"ZAN_NAME", "ZAN_DESCRIPTION"}) {
    Node p = prop.appendChild(d.createNode(NODE_ELEMENT, std::string("O:") + name, "DAV:"));
    p.appendChild(d.createTextNode(name[4] == 'N' ? "Alpha & Co" : ""));
  }
  return d.xml();
}

TEST(NamespaceTest, ProppatchBodyDeclaresEachPrefixOnce) {
  EXPECT_EQ(ProppatchBody(),
            "<d:propertyupdate xmlns:d=\"DAV:\"><d:set><d:prop>"
            "<O:ZAN_NAME xmlns:O=\"DAV:\">Alpha &amp; Co</O:ZAN_NAME>"
            "<O:ZAN_DESCRIPTION xmlns:O=\"DAV:\"></O:ZAN_DESCRIPTION>"
            "</d:prop></d:set></d:propertyupdate>");
}

TEST(NamespaceTest, TheBodyReadsBackInTheDavNamespace) {
  Document d = Parse(ProppatchBody());
  for (Element e : {Element(d.selectSingleNode("//d:prop")), Element(d.selectSingleNode("//O:ZAN_NAME"))}) {
    EXPECT_EQ(e.namespaceURI(), "DAV:") << e.tagName();
  }
}

TEST(NamespaceTest, BottomUpConstructionStaysValid) {
  Document d = Document::Create();
  Node prop = d.createNode(NODE_ELEMENT, "d:prop", "DAV:");
  prop.appendChild(d.createNode(NODE_ELEMENT, "d:displayname", "DAV:"));
  Node propfind = d.createNode(NODE_ELEMENT, "d:propfind", "DAV:");
  propfind.appendChild(prop);
  d.appendChild(propfind);
  EXPECT_EQ(d.xml(), "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:displayname/></d:prop></d:propfind>");
  // Moved out from under its declaring ancestor, an element declares its prefix again.
  Node detached = propfind.removeChild(prop);
  EXPECT_EQ(detached.xml(), "<d:prop xmlns:d=\"DAV:\"><d:displayname/></d:prop>");
}

TEST(NamespaceTest, UnprefixedNamesUseTheDefaultNamespace) {
  Document d = Document::Create();
  Node propfind = d.appendChild(d.createNode(NODE_ELEMENT, "d:propfind", "DAV:"));
  propfind.appendChild(d.createNode(NODE_ELEMENT, "allprop", ""));
  EXPECT_EQ(d.xml(), "<d:propfind xmlns:d=\"DAV:\"><allprop/></d:propfind>") << "no namespace, nothing declared";

  Document e = Document::Create();
  Node multistatus = e.appendChild(e.createNode(NODE_ELEMENT, "multistatus", "DAV:"));
  Node inherited = multistatus.appendChild(e.createNode(NODE_ELEMENT, "response", "DAV:"));
  Node none = multistatus.appendChild(e.createNode(NODE_ELEMENT, "plain", ""));
  EXPECT_EQ(e.xml(), "<multistatus xmlns=\"DAV:\"><response/><plain xmlns=\"\"/></multistatus>");
  EXPECT_EQ(inherited.namespaceURI(), "DAV:");
  EXPECT_EQ(none.namespaceURI(), "");
}

TEST(NamespaceTest, MultistatusRepliesReadByNamespaceUri) {
  for (const char* reply : {
           "<a:multistatus xmlns:a=\"DAV:\"><a:response><a:href>/x</a:href></a:response></a:multistatus>",
           "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/x</D:href></D:response></D:multistatus>",
           "<multistatus xmlns=\"DAV:\"><response><href>/x</href></response></multistatus>",
       }) {
    Document d = Parse(reply);
    Element href(d.documentElement().firstChild().firstChild());
    EXPECT_EQ(href.namespaceURI(), "DAV:") << reply;
    EXPECT_EQ(href.baseName(), "href") << reply;
    EXPECT_EQ(href.text(), "/x") << reply;
  }
}

TEST(NamespaceTest, CopiesToAnotherDocumentKeepTheirNamespace) {
  Document src = Document::Create();
  Node update = src.appendChild(src.createNode(NODE_ELEMENT, "d:propertyupdate", "DAV:"));
  Node set = update.appendChild(src.createNode(NODE_ELEMENT, "d:set", "DAV:"));
  Document dst = Parse("<root/>");
  Node copied = dst.documentElement().appendChild(set);
  EXPECT_EQ(copied.xml(), "<d:set xmlns:d=\"DAV:\"/>");
  EXPECT_EQ(set.cloneNode(true).xml(), "<d:set xmlns:d=\"DAV:\"/>");
}

}  // namespace
}  // namespace zan::dom::test
