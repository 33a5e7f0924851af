// The XML HTTP request object against a real Apache mod_dav server, used the way the
// property manager uses it.
#include "platform/http/xml_http_request.h"

#include "platform/http/http_errors.h"
#include "platform/http/url_encoding.h"
#include "support/com_failure.h"
#include "support/dav_server.h"
#include "support/fault_server.h"

namespace zan::http {
namespace {

static const bool kDavServer = test::DavServer::Register();

using test::ComFailure;

constexpr char kSetDescription[] =
    "<d:propertyupdate xmlns:d=\"DAV:\" xmlns:O=\"DAV:\"><d:set><d:prop>"
    "<O:ZAN_DESCRIPTION>\xC3\x84rger &amp; Co</O:ZAN_DESCRIPTION></d:prop></d:set></d:propertyupdate>";
constexpr char kFindDescription[] =
    "<d:propfind xmlns:d=\"DAV:\" xmlns:O=\"DAV:\"><d:prop><O:ZAN_DESCRIPTION/></d:prop></d:propfind>";

class XmlHttpRequestTest : public test::DavTest {
 protected:
  // PROPFIND as the property manager sends it; returns "<status> <statusText>".
  std::string Propfind(XmlHttpRequest& request, const std::string& url, const std::string& depth) {
    request.open("PROPFIND", url, false, "", "");
    request.setRequestHeader("Brief", "t");
    request.setRequestHeader("encoding", "utf-8");
    request.setRequestHeader("Content-Type", "text/xml; charset=UTF-8");
    request.setRequestHeader("Depth", depth);
    EXPECT_EQ(S_OK, request.send(kFindDescription));
    return std::to_string(request.status()) + " " + request.statusText();
  }
};

TEST_F(XmlHttpRequestTest, WritesAndReadsAPropertyWithTheManagersRequests) {
  ASSERT_EQ(201, Mkcol(Url("My Project#1")));
  XmlHttpRequestPtr request;
  ASSERT_EQ(S_OK, request.CreateInstance());
  EXPECT_EQ(S_OK, request->open("PROPPATCH", Url("My Project#1"), false, "", ""));
  EXPECT_EQ(S_OK, request->setRequestHeader("encoding", "utf-8"));
  EXPECT_EQ(S_OK, request->setRequestHeader("Content-Type", "text/xml; charset=\"UTF-8\""));
  EXPECT_EQ(S_OK, request->send(kSetDescription));
  EXPECT_EQ(207, request->status());

  EXPECT_EQ("207 Multi-Status", Propfind(*request, Url("My Project#1"), "0"));
  const std::string& body = request->responseText();
  EXPECT_NE(std::string::npos, body.find("\xC3\x84rger &amp; Co")) << body;
  EXPECT_NE(std::string::npos, body.find("HTTP/1.1 200 OK")) << body;
  EXPECT_NE(std::string::npos, body.find("My%20Project%231")) << body;
}

TEST_F(XmlHttpRequestTest, ReportsHttpErrorsAsStatusesNotFailures) {
  XmlHttpRequest request;
  EXPECT_EQ("404 Not Found", Propfind(request, Url("missing"), "0"));
  EXPECT_EQ("400 Bad Request", Propfind(request, R(), "1,noroot"));  // Apache refuses the noroot depth
  EXPECT_EQ("207 Multi-Status", Propfind(request, R(), "1"));
}

TEST_F(XmlHttpRequestTest, CopiesWithARawDestinationAndReadsResponseHeaders) {
  ASSERT_EQ(201, Put(Url("a b.txt"), "text"));
  XmlHttpRequest request;
  request.open("COPY", Url("a b.txt"));
  request.setRequestHeader("Destination", EncodeUrl(Url("c #d%.txt")));
  EXPECT_EQ(S_OK, request.send());
  EXPECT_EQ(201, request.status());
  EXPECT_EQ("Created", request.statusText());
  EXPECT_EQ("text", Get(Url("c #d%.txt")));

  request.open("GET", Url("c #d%.txt"));
  request.send();
  EXPECT_EQ("text", request.responseText());
  EXPECT_EQ("4", request.getResponseHeader("content-length"));
  EXPECT_NE(std::string::npos, request.getAllResponseHeaders().find("ETag: ")) << request.getAllResponseHeaders();
}

TEST_F(XmlHttpRequestTest, CallsOutOfOrderFailWithClearStatuses) {
  XmlHttpRequest request;
  EXPECT_EQ(XmlHttpRequest::kUninitialized, request.readyState());
  EXPECT_EQ(E_UNEXPECTED, ComFailure([&] { request.setRequestHeader("Depth", "0"); }).status);
  EXPECT_EQ(E_UNEXPECTED, ComFailure([&] { request.send(); }).status);
  EXPECT_EQ(kErrNotReady, ComFailure([&] { request.status(); }).status);
  EXPECT_EQ(kErrNotReady, ComFailure([&] { request.responseText(); }).status);
  EXPECT_EQ(E_NOTIMPL, ComFailure([&] { request.open("GET", R(), true); }).status);
  EXPECT_EQ(E_INVALIDARG, ComFailure([&] { request.open("GET", "file:///etc/passwd"); }).status);
  EXPECT_EQ(E_INVALIDARG, ComFailure([&] { request.open("", R()); }).status);
  request.open("GET", R());
  EXPECT_EQ(XmlHttpRequest::kOpened, request.readyState());
  EXPECT_EQ(E_INVALIDARG, ComFailure([&] { request.setRequestHeader("Depth", "0\r\nX: y"); }).status);
  EXPECT_EQ(E_INVALIDARG, ComFailure([&] { request.setRequestHeader("De pth", "0"); }).status);
  EXPECT_EQ(E_INVALIDARG, ComFailure([&] { request.open("GET NOW", R()); request.send(); }).status);

  XmlHttpRequestPtr empty;
  EXPECT_EQ(E_POINTER, ComFailure([&] { empty->open("GET", R()); }).status);
}

TEST_F(XmlHttpRequestTest, ATransportFailureThrowsAndTheObjectCanBeUsedAgain) {
  XmlHttpRequest request;
  const std::string refused = "http://127.0.0.1:" + std::to_string(test::RefusedPort()) + "/R";
  request.open("PROPFIND", refused);
  const auto failure = ComFailure([&] { request.send(); });
  EXPECT_EQ(kErrCannotConnect, failure.status);
  EXPECT_NE(std::string::npos, failure.description.find(refused)) << failure.description;
  EXPECT_EQ(kErrNotReady, ComFailure([&] { request.status(); }).status);
  EXPECT_EQ("207 Multi-Status", Propfind(request, R(), "0"));
}

}  // namespace
}  // namespace zan::http
