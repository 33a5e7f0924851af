#include <algorithm>
#include <vector>

#include "dav/Multistatus.h"
#include "dav_fixture.h"
#include "platform/os/alert.h"
#include "platform/os/codepage.h"
#include "support/access_log.h"
#include "support/fault_server.h"
#include "support/request_log.h"
#include "support/scoped_env.h"

namespace zan::test {
namespace {

static const bool kServer = DavServer::Register();

class PropertiesTest : public DavManagerTest {
 protected:
  // findResourceProperties into a fresh set, flattened.
  std::string Find(const std::string& url, XMLSet request, const char* depth) {
    XMLSet result;
    m.findResourceProperties(url, request.getXml(), depth, result);
    return Flatten(result);
  }
  std::string Set(const std::string& url, std::initializer_list<std::pair<const char*, const char*>> items) {
    XMLSet set;
    for (auto& [n, v] : items) set.addItem(n, v);
    return m.setResourceProperties(url, set.getXml()) ? "true" : "false";
  }
};

TEST_F(PropertiesTest, WritesAndReadsBackInRequestOrder) {
  ASSERT_TRUE(m.CreateItem(R(), "Alpha", true));
  EXPECT_EQ(Set(Url("Alpha"), {{"ZAN_DESCRIPTION", "Sales & <more>"}, {"ZAN_NAME", "Alpha"}, {"ZAN_EMPTY", ""}}), "true");
  // lighttpd keeps no property whose value is empty: it reads back as missing there.
  const std::string empty = DavServer::IsLighttpd() ? "" : ",ZAN_EMPTY=";
  EXPECT_EQ(Find(Url("Alpha"), Names({"ZAN_NAME", "ZAN_DESCRIPTION", "ZAN_EMPTY"}), "0"),
            "ZAN_NAME=Alpha,ZAN_DESCRIPTION=Sales & <more>" + empty);
  // Properties the resource lacks are left out; none found gives no inner set.
  EXPECT_EQ(Find(Url("Alpha"), Names({"ZAN_NODE_TYPE", "ZAN_NAME"}), "0"), "ZAN_NAME=Alpha");
  EXPECT_EQ(Find(Url("Alpha"), Names({"ZAN_NODE_TYPE"}), "0"), "");
}

TEST_F(PropertiesTest, ListingLeavesOutTheCollectionAndPropertylessMembers) {
  ASSERT_TRUE(m.CreateItem(R(), "P", true));
  ASSERT_TRUE(m.CreateItem(Url("P"), "a", true));
  ASSERT_TRUE(m.CreateItem(Url("P"), "b", true));
  ASSERT_TRUE(m.CreateItem(Url("P"), "plain.xml", false));
  Set(Url("P"), {{"ZAN_NAME", "P"}});
  Set(Url("P/a"), {{"ZAN_NAME", "a"}});
  Set(Url("P/b"), {{"ZAN_NAME", "b"}});
  std::string listing = Find(Url("P"), Names({"ZAN_NAME"}), "1,noroot");
  std::vector<std::string> parts;
  for (size_t start = 0; start <= listing.size();) {
    size_t end = std::min(listing.find(';', start), listing.size());
    parts.push_back(listing.substr(start, end - start));
    start = end + 1;
  }
  std::sort(parts.begin(), parts.end());
  EXPECT_EQ(parts, (std::vector<std::string>{"ZAN_NAME=a", "ZAN_NAME=b"}));
  // The same listing through the record manager appends after what the result holds.
  XMLSet request = Names({"ZAN_NAME"}), result;
  result.addItem("before", "x");
  EXPECT_TRUE(m.FindChildrenProperties(Url("P"), request, result));
  EXPECT_EQ(result.getCount(), 3);
}

// The listing is added to the result's document as it is: what the result held stays exactly
// (a value of white space only, which a serialised and parsed again set would lose).
TEST_F(PropertiesTest, ListingKeepsWhatTheResultHeldExactly) {
  ASSERT_TRUE(m.CreateItem(R(), "P", true));
  ASSERT_TRUE(m.CreateItem(Url("P"), "a", true));
  Set(Url("P/a"), {{"ZAN_NAME", "a"}});
  for (const char* depth : {"1,noroot", "0"}) {
    XMLSet result;
    result.addItem("pad", "  ");
    result.addItem("line", "\n");
    const std::string url = std::string(depth) == "0" ? Url("P/a") : Url("P");
    m.findResourceProperties(url, Names({"ZAN_NAME"}).getXml(), depth, result);
    std::string value;
    EXPECT_TRUE(result.findItem("pad", value)) << depth;
    EXPECT_EQ(value, "  ") << depth;
    EXPECT_TRUE(result.findItem("line", value)) << depth;
    EXPECT_EQ(value, "\n") << depth;
    ASSERT_EQ(result.getCount(), 3) << depth;
    XMLSet found;
    result.getInnerSet(2, found);
    EXPECT_EQ(found.getXml().substr(found.getXml().rfind("<QKXItem>")), "<QKXItem><ZAN_NAME>a</ZAN_NAME></QKXItem>")
        << depth;
  }
}

TEST_F(PropertiesTest, AListingIsOneDepthOneRequestOnTheCollectionUrl) {
  ASSERT_TRUE(m.CreateItem(R(), "P", true));
  XMLSet result;
  m.findResourceProperties(Url("P"), Names({"ZAN_NAME"}).getXml(), "1,noroot", result);
  AccessLog server;
  RequestLog log;
  m.findResourceProperties(Url("P"), Names({"ZAN_NAME"}).getXml(), "1,noroot", result);
  EXPECT_EQ(log.Methods(), "PROPFIND");
  EXPECT_EQ(log.NewConnections(), 0);
  const std::string path = R().substr(Server().size());
  EXPECT_EQ(server.Lines(path), "PROPFIND " + path + "/P/ Depth=1");
}

TEST_F(PropertiesTest, Failures) {
  const std::string missing = Url("missing");
  EXPECT_EQ(Failure([&] { Find(missing, Names({"ZAN_NAME"}), "0"); }),
            "404|The item you requested was not found. " + missing + " (HTTP/1.1 404 Not Found)");
  EXPECT_EQ(Failure([&] { Set(missing, {{"ZAN_NAME", "x"}}); }),
            "1|Dav Unknown Error. " + missing + " (HTTP/1.1 404 Not Found)");
  EXPECT_EQ(Failure([&] { Find(R(), XMLSet(), "0"); }), "1002|XMLSet Child Count Error");
  // A 404 keeps its code through the manager's context, which the listing relies on.
  try {
    Find(missing, Names({"ZAN_NAME"}), "1,noroot");
    FAIL();
  } catch (const CGenException& e) {
    EXPECT_EQ(e.GetClassName(), "CDavHTTPManager");
    EXPECT_EQ(e.GetMethodName(), "findResourceProperties");
    EXPECT_EQ(e.GetErrorCode(), 404);
  }
}

// How a server that keeps no dead properties answers a PROPPATCH (lighttpd without its
// database: 405; others 501, 500, or a 207 refusing every property with 403), from a stand-in
// that gives each reply once; a 207 that applied the properties stays a success.
TEST_F(PropertiesTest, AServerWithoutDeadPropertiesIsNamedWithItsStatus) {
  const std::string forbidden =
      "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/R/a/</D:href>"
      "<D:propstat><D:prop><D:ZAN_NAME/><D:ZAN_NODE_TYPE/></D:prop><D:status>HTTP/1.1 403 Forbidden</D:status>"
      "</D:propstat></D:response></D:multistatus>";
  const std::string applied =
      "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/R/a/</D:href>"
      "<D:propstat><D:prop><D:ZAN_NAME/></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>"
      "</D:response></D:multistatus>";
  auto reply = [](const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/xml\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  };
  const struct {
    std::string reply;
    std::string expected;  // "" for success
    std::string refusals;  // after the named URL: the properties a 207 refused
  } cases[] = {
      {reply("405 Method Not Allowed", ""), "(HTTP/1.1 405 Method Not Allowed to PROPPATCH ", ""},
      {reply("501 Not Implemented", ""), "(HTTP/1.1 501 Not Implemented to PROPPATCH ", ""},
      {reply("500 Internal Server Error", ""), "(HTTP/1.1 500 Internal Server Error to PROPPATCH ", ""},
      {reply("207 Multi-Status", forbidden), "(HTTP/1.1 207 Multi-Status to PROPPATCH ",
       ": ZAN_NAME (HTTP/1.1 403 Forbidden), ZAN_NODE_TYPE (HTTP/1.1 403 Forbidden)"},
      {reply("207 Multi-Status", applied), "", ""},
      {reply("204 No Content", ""), "", ""},
  };
  for (const auto& c : cases) {
    FaultServer server(c.reply, FaultServer::After::kClose);
    const std::string url = server.Url() + "/R/a/";
    const std::string named = server.Url() + "/R/a";  // texts name a collection without its slash
    const std::string failure =
        Failure([&] { EXPECT_EQ(Set(url, {{"ZAN_NAME", "a"}, {"ZAN_NODE_TYPE", "x"}}), "true"); });
    if (c.expected.empty()) {
      EXPECT_EQ(failure, "no error") << c.reply;
    } else {
      EXPECT_EQ(failure, "1|The server does not store WebDAV properties, so it cannot hold repository nodes " +
                             c.expected + named + c.refusals + ")")
          << c.reply;
    }
  }
}

TEST_F(PropertiesTest, AllPropertiesAsksForEverything) {
  ASSERT_TRUE(m.CreateItem(R(), "P", true));
  Set(Url("P"), {{"ZAN_NAME", "P"}});
  const std::string all = Find(Url("P"), Names({"ALL_PROPERTIES", "ZAN_NAME"}), "0");
  EXPECT_NE(all.find("ZAN_NAME=P"), std::string::npos) << all;
  EXPECT_NE(all.find("resourcetype="), std::string::npos) << all;
}

TEST_F(PropertiesTest, ComErrorOfAPropertyWriteIsAlertedAndPassedOn) {
  std::vector<std::string> alerts;
  const auto previous = os::SetAlertSink([&](std::string_view, std::string_view text) { alerts.emplace_back(text); });
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(RefusedPort()) + "/R";
  const std::string failure = Failure([&] { Set(nowhere, {{"ZAN_NAME", "x"}}); });
  os::SetAlertSink(previous);
  EXPECT_EQ(failure.rfind("com ", 0), 0u) << failure;
  EXPECT_EQ(alerts.size(), 1u);
}

// A listing against a server that answers badly: each case ends with the code and a text that
// names what went wrong (the status line for every answered failure).
// A members listing of url (asking for ZAN_NAME) into result: "code|description" of its
// failure, "com|description" for a platform error, "" when it succeeded.
std::string ListingFailure(const std::string& url, XMLSet& result) {
  CDavADOManager m;
  XMLSet request;
  request.addItem("ZAN_NAME", "");
  try {
    m.findResourceProperties(url, request.getXml(), "1,noroot", result);
  } catch (const CGenException& e) {
    return std::to_string(e.GetErrorCode()) + "|" + e.GetErrorDescription();
  } catch (const _com_error& e) {
    return "com|" + e.Description();
  }
  return "";
}

TEST(HostileListing, EachFailureNamesItsCause) {
  const std::string xml207 = "HTTP/1.1 207 Multi-Status\r\nContent-Type: text/xml\r\nConnection: close\r\n";
  auto fixed = [](const std::string& head, const std::string& body) {
    return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  std::string deep = "<D:multistatus xmlns:D='DAV:'><D:response><D:href>/x</D:href>";
  for (int i = 0; i < 25000; ++i) deep += "<a>";
  const struct {
    std::string reply;
    std::string expected;  // code|start of the text, or a part of it after '*'
  } cases[] = {
      {fixed("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\nConnection: close\r\n", ""),
       "*(HTTP/1.1 401 Unauthorized)"},
      {fixed("HTTP/1.1 403 Forbidden\r\nConnection: close\r\n", "no"), "*(HTTP/1.1 403 Forbidden)"},
      {fixed("HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n", "oops"),
       "*(HTTP/1.1 500 Internal Server Error)"},
      {fixed("HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1:1/elsewhere\r\nConnection: close\r\n", ""),
       "*(HTTP/1.1 301 Moved Permanently)"},
      {fixed(xml207, "this is not xml"), "*not a well-formed multistatus: syntax error"},
      {fixed(xml207, "<html><body>hello</body></html>"), "*not a DAV: multistatus"},
      {xml207 + "Content-Length: 500\r\n\r\n<D:multistatus xmlns:D='DAV:'><D:response>", "*aborted"},
      {fixed(xml207, "<D:multistatus xmlns:D='DAV:'><D:response><D:href>/x</D:href>"), "*no element found"},
      {fixed(xml207, deep), "*deeper than the limit of 10000 nesting levels"},
  };
  for (const auto& c : cases) {
    FaultServer server(c.reply, FaultServer::After::kClose);
    XMLSet result;
    const std::string failure = ListingFailure(server.Url() + "/R/P", result);
    EXPECT_NE(failure.find(c.expected.substr(1)), std::string::npos) << failure;
    EXPECT_EQ(result.getCount(), 0) << failure;
  }
}

TEST(HostileListing, AnOversizedReplyStopsAtTheCap) {
  FaultServer server("HTTP/1.1 207 Multi-Status\r\nContent-Type: text/xml\r\n\r\n<D:multistatus xmlns:D='DAV:'>",
                     FaultServer::After::kEndless, "<D:response><D:href>/R/P/x</D:href></D:response>");
  ScopedEnv cap("ZANCLIENT_MAX_XML_SIZE", "1000000");
  XMLSet result;
  const std::string failure = ListingFailure(server.Url() + "/R/P", result);
  EXPECT_NE(failure.find("larger than the limit of 1000000 bytes (ZANCLIENT_MAX_XML_SIZE)"), std::string::npos)
      << failure;
}

TEST(Multistatus, ReadByNamespaceWhateverThePrefix) {
  const char* replies[] = {
      "<D:multistatus xmlns:D='DAV:'><D:response><D:href>/x</D:href><D:propstat><D:prop><ns0:N xmlns:ns0='DAV:'>v</ns0:N>"
      "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response></D:multistatus>",
      "<multistatus xmlns='DAV:'>\n <response><href>/x</href><propstat><prop><N>v</N></prop>"
      "<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>",
      "<a:multistatus xmlns:a='DAV:'><a:response><a:href>/x</a:href><a:propstat><a:prop><a:N>v</a:N></a:prop>"
      "<a:status>HTTP/1.1 200 OK</a:status></a:propstat></a:response></a:multistatus>",
  };
  for (const char* reply : replies) {
    std::vector<dav::MultistatusResponse> responses;
    std::string error;
    ASSERT_TRUE(dav::ReadMultistatus(reply, responses, error)) << error;
    ASSERT_EQ(responses.size(), 1u) << reply;
    EXPECT_EQ(responses[0].href, "/x");
    EXPECT_TRUE(responses[0].found);
    ASSERT_EQ(responses[0].props.size(), 1u) << reply;
    EXPECT_EQ(responses[0].props[0], std::make_pair(std::string("N"), std::string("v")));
  }
}

// Replies that are not a multistatus, each with the reason the reader gives.
TEST(Multistatus, MalformedRepliesAreRefusedWithTheirReason) {
  const struct {
    std::string reply;
    std::string reason;
  } cases[] = {
      {"not xml", "syntax error"},
      {"<D:multistatus xmlns:D='DAV:'><D:response><D:href>/x</D:href>", "no element found"},
      {"<html><body>Welcome</body></html>", "not a DAV: multistatus"},
      {"<!DOCTYPE m [<!ENTITY a 'aaaa'>]><m/>", "document type declaration is not allowed"},
      {std::string(20000, '<'), "not well-formed"},
  };
  for (const auto& c : cases) {
    std::vector<dav::MultistatusResponse> responses;
    std::string error;
    EXPECT_FALSE(dav::ReadMultistatus(c.reply, responses, error)) << c.reply.substr(0, 60);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(Multistatus, NestingBeyondTheLimitIsRefusedWithoutRecursion) {
  std::string deep = "<D:multistatus xmlns:D='DAV:'><D:response><D:href>/x</D:href>";
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  std::vector<dav::MultistatusResponse> responses;
  std::string error;
  EXPECT_FALSE(dav::ReadMultistatus(deep, responses, error));
  EXPECT_NE(error.find("deeper than the limit of 10000 nesting levels (ZANCLIENT_MAX_XML_DEPTH)"), std::string::npos)
      << error;
}

TEST(Multistatus, PropertyValuesAreTheirTextWithoutFormattingAndTheCollectionIsSeen) {
  const char* reply =
      "<D:multistatus xmlns:D='DAV:'>\n <D:response>\n  <D:href>/R/a%20b/</D:href>\n"
      "  <D:propstat><D:prop><D:displayname>a &amp; b</D:displayname>\n"
      "   <D:resourcetype>\n    <D:collection/>\n   </D:resourcetype><Z:X xmlns:Z='urn:z'><Z:i>1</Z:i> <Z:i>2</Z:i></Z:X>"
      "<D:e>  </D:e></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>\n"
      "  <D:propstat><D:prop><D:M/></D:prop><D:status>HTTP/1.1 404 Not Found</D:status></D:propstat>\n"
      " </D:response>\n <D:response><D:href>/R/f</D:href><D:propstat><D:prop><D:M/></D:prop>"
      "<D:status>HTTP/1.1 404 Not Found</D:status></D:propstat></D:response></D:multistatus>";
  std::vector<dav::MultistatusResponse> responses;
  std::string error;
  ASSERT_TRUE(dav::ReadMultistatus(reply, responses, error)) << error;
  ASSERT_EQ(responses.size(), 2u);
  EXPECT_EQ(responses[0].href, "/R/a%20b/");
  EXPECT_TRUE(responses[0].found);
  EXPECT_TRUE(responses[0].collection);
  const std::vector<std::pair<std::string, std::string>> props = {
      {"displayname", "a & b"}, {"resourcetype", ""}, {"X", "12"}, {"e", ""}};
  EXPECT_EQ(responses[0].props, props);
  EXPECT_FALSE(responses[1].found);
  EXPECT_FALSE(responses[1].collection);
}

TEST(Multistatus, PathsCompareDecodedAndFolded) {
  EXPECT_EQ(dav::ComparablePath("http://h:1/R/My%20Dir/"), "/R/My Dir");
  EXPECT_EQ(dav::ComparablePath("http://h:1/R//a"), dav::ComparablePath("/R/a/"));
  EXPECT_EQ(dav::LastSegment("/R/My%20Dir/"), "My Dir");
  EXPECT_EQ(dav::LastSegment("/R/..%2F..%2Fx"), "../../x");
}

}  // namespace
}  // namespace zan::test
