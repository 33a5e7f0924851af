// The shape of the requests the engine sends, as the server logged them (path as sent, Depth
// and If headers) and as the transport gave them (bodies): RFC 4918 forms that every server
// understands, checked on whichever server the suite runs against.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/dom/document.h"
#include "engine_fixture.h"
#include "platform/http/url_encoding.h"
#include "support/access_log.h"
#include "support/request_log.h"
#include "xml/ProjectInfoEntity.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

class EngineWireTest : public EngineTest {
 protected:
  // R's path as it goes over the wire ("/t3-EngineWireTest.X").
  std::string P() const { return http::EncodeUrl(R()).substr(Server().size()); }

  XMLSet none_;
  XMLSet response_;
};

// An XML text read by namespace: every DAV: element written under the prefix "a", whatever
// prefix the text used; other elements as named; text kept.
void AppendByNamespace(const dom::Node& node, std::string& out) {
  if (node.nodeType() == dom::NODE_TEXT) {
    out += node.nodeValue();
    return;
  }
  if (node.nodeType() != dom::NODE_ELEMENT) return;
  const std::string name = node.namespaceURI() == "DAV:" ? "a:" + node.baseName() : node.nodeName();
  out += "<" + name + ">";
  for (dom::Node child = node.firstChild(); child; child = child.nextSibling()) AppendByNamespace(child, out);
  out += "</" + name + ">";
}
std::string ByNamespace(const std::string& xml) {
  const dom::Document doc = dom::Document::Create();
  if (!doc.loadXML(xml)) return "not XML: " + xml;
  std::string out;
  AppendByNamespace(doc.documentElement(), out);
  return out;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Collections are named with a trailing slash wherever they are the target (creation,
// deletion, property writes, listings); documents without.
TEST_F(EngineWireTest, CollectionUrlsCarryATrailingSlash) {
  struct Case {
    const char* what;
    std::function<void()> run;
    std::vector<std::string> expected;  // "METHOD path below R" of the lines logged below R
  };
  const std::vector<Case> cases = {
      {"project", [&] { ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_)); },
       {"MKCOL /Alpha/", "COPY /Templates/MPR.xml", "PROPPATCH /Alpha/", "PROPPATCH /"}},
      {"folder", [&] { ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none_, response_)); },
       {"MKCOL /Alpha/Designs/", "PROPPATCH /Alpha/Designs/", "PROPPATCH /Alpha/"}},
      {"process",
       [&] { ASSERT_TRUE(engine_.CreateBusinessProcess(Server(), "Alpha/Designs", "Billing", none_, response_)); },
       {"MKCOL /Alpha/Designs/Billing/", "COPY /Templates/MBP.xml", "PUT /Alpha/Designs/Billing/MBP.xml",
        "PROPPATCH /Alpha/Designs/Billing/", "PROPPATCH /Alpha/Designs/"}},
      {"set properties",
       [&] {
         XMLSet props = Items({{"ZAN_DESCRIPTION", "D"}});
         ASSERT_TRUE(engine_.SetFolderProperties("Alpha/Designs", props, response_));
       },
       {"PROPPATCH /Alpha/Designs/"}},
      {"get properties",
       [&] {
         XMLSet read;
         ASSERT_TRUE(engine_.GetFolderProperties("Alpha/Designs", read));
       },
       {"PROPFIND /Alpha/Designs"}},  // as the id names it: it may name a document
      {"listing",
       [&] {
         XMLSet listing;
         ASSERT_TRUE(engine_.GetChildren("Alpha", listing));
       },
       {"PROPFIND /Alpha/"}},
      {"delete", [&] { ASSERT_TRUE(engine_.Delete("Alpha/Designs/Billing", response_)); },
       {"DELETE /Alpha/Designs/Billing/", "PROPFIND /Alpha/Designs/", "PROPPATCH /Alpha/Designs/"}},
  };
  for (const Case& c : cases) {
    AccessLog log;
    c.run();
    std::vector<std::string> lines;
    for (const LoggedRequest& r : log.Since(P() + "/")) lines.push_back(r.method + " " + r.path.substr(P().size()));
    EXPECT_EQ(c.expected, lines) << c.what;
  }
}

// A listing is one PROPFIND with Depth 1 (no "1,noroot", no retry); the collection's own
// response is dropped by its href.
TEST_F(EngineWireTest, ListingIsOneDepthOneRequest) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Designs", none_, response_));
  ASSERT_TRUE(engine_.CreateFolder("Alpha", "Ledger", none_, response_));
  AccessLog log;
  EXPECT_EQ("Designs ZAN_FOLDER FALSE, Ledger ZAN_FOLDER FALSE", Children("Alpha"));
  EXPECT_EQ("PROPFIND " + P() + "/Alpha/ Depth=1", log.Lines(P()));
}

// Every property goes in a <set> of its own (some servers store only the first property of
// a <prop>), in the DAV: namespace; each is stored.
TEST_F(EngineWireTest, EachPropertyInASetOfItsOwn) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  XMLSet props = Items({{"ZAN_DESCRIPTION", "Sales"}, {"ZAN_OWNER", "Ann"}, {"ZAN_REGION", "North"}});
  RequestLog log;
  ASSERT_TRUE(engine_.SetProjectProperties("Alpha", props, response_));
  ASSERT_EQ("PROPPATCH", log.Methods());
  // Read by namespace: DAV: elements come out under the prefix "a".
  const std::string body = ByNamespace(log.records()[0].body);
  EXPECT_EQ(3u, Occurrences(body, "<a:set><a:prop><a:ZAN_")) << body;
  EXPECT_EQ(3u, Occurrences(body, "</a:prop></a:set>")) << body;
  for (const char* element : {"<a:ZAN_DESCRIPTION>Sales</a:ZAN_DESCRIPTION>", "<a:ZAN_OWNER>Ann</a:ZAN_OWNER>",
                              "<a:ZAN_REGION>North</a:ZAN_REGION>"})
    EXPECT_EQ(1u, Occurrences(body, element)) << body;
  EXPECT_EQ("Sales", Prop("Alpha", "ZAN_DESCRIPTION"));
  EXPECT_EQ("Ann", Prop("Alpha", "ZAN_OWNER"));
  EXPECT_EQ("North", Prop("Alpha", "ZAN_REGION"));
  // A creation's three node properties, too.
  EXPECT_EQ("ZAN_PROJECT", Prop("Alpha", "ZAN_NODE_TYPE"));
  EXPECT_EQ("Alpha", Prop("Alpha", "ZAN_NAME"));
  EXPECT_EQ("FALSE", Prop("Alpha", "ZAN_HAS_CHILDREN"));
}

// The lock token of a document update travels in the tagged If form, naming the document.
TEST_F(EngineWireTest, LockTokenInTheTaggedIfForm) {
  ASSERT_TRUE(engine_.CreateProject(Server(), "Alpha", none_, response_));
  CProjectInfoEntity info;
  ASSERT_TRUE(engine_.GetProjectInfo("Alpha", info));
  AccessLog log;
  ASSERT_TRUE(engine_.SetProjectInfo("Alpha", info, response_));
  std::vector<LoggedRequest> puts;
  for (LoggedRequest& r : log.Since(P() + "/Alpha/MPR.xml"))
    if (r.method == "PUT") puts.push_back(r);
  ASSERT_EQ(1u, puts.size());
  const std::string tag = "<" + http::EncodeUrl(Url("Alpha/MPR.xml")) + "> (<";
  EXPECT_EQ(0u, puts[0].ifHeader.find(tag)) << puts[0].ifHeader;
  EXPECT_TRUE(puts[0].ifHeader.ends_with(">)")) << puts[0].ifHeader;
  EXPECT_GT(puts[0].ifHeader.size(), tag.size() + 2) << puts[0].ifHeader;
}

}  // namespace
}  // namespace zan::test
