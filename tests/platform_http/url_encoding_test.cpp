#include "platform/http/url_encoding.h"

#include <gtest/gtest.h>

namespace zan::http {
namespace {

struct EncodeCase {
  const char* raw;
  const char* wire;
};

TEST(UrlEncodingTest, EncodesEveryByteOutsideTheKeptSetInThePathOnly) {
  const EncodeCase cases[] = {
      {"http://127.0.0.1:8080/R/a.xml", "http://127.0.0.1:8080/R/a.xml"},
      {"http://127.0.0.1:8080", "http://127.0.0.1:8080"},
      {"http://h/R/My Project#1/50%/\xC3\x84rger", "http://h/R/My%20Project%231/50%25/%C3%84rger"},
      {"http://h/a?b", "http://h/a%3Fb"},
      {"http://h/a\\b", "http://h/a%5Cb"},
      {"http://h/-._~/:@!$&'()*+,;=", "http://h/-._~/:@!$&'()*+,;="},
      {"http://h/\"<>[]{}|^`", "http://h/%22%3C%3E%5B%5D%7B%7D%7C%5E%60"},
      {"http://h/tab\there\x7F", "http://h/tab%09here%7F"},
      {"http://user@h:1/x y", "http://h:1/x%20y"},  // user info is credentials, never URL text
      {"https://ann:p%40w@h/a@b", "https://h/a@b"},
      {"/R/x y", "/R/x%20y"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.wire, EncodeUrl(c.raw)) << c.raw;
}

TEST(UrlEncodingTest, DecodesEitherCaseAndKeepsStrayPercent) {
  const EncodeCase cases[] = {
      {"/R/My%20Project%231/", "/R/My Project#1/"},
      {"/R/50%25%20%c3%84rger%3f.txt", "/R/50% \xC3\x84rger?.txt"},
      {"/R/a+b", "/R/a+b"},
      {"/R/100%", "/R/100%"},
      {"/R/%4", "/R/%4"},
      {"/R/%zz%4g", "/R/%zz%4g"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.wire, DecodeUrl(c.raw)) << c.raw;
  EXPECT_EQ(std::string("a\0b", 3), DecodeUrl("a%00b"));
}

TEST(UrlEncodingTest, DecodeUndoesEncodeForEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::string url = "http://h/" + all;
  const std::string wire = EncodeUrl(url);
  EXPECT_EQ(std::string::npos, wire.find_first_of(" #?\\\x7F\x80\xFF"));
  EXPECT_EQ(url, DecodeUrl(wire));
}

TEST(UrlEncodingTest, FindsDotSegmentsPlainOrEncodedInThePathOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"http://h/R/..", true},           {"http://h/R/../x", true},      {"http://h/R/./x", true},
      {"http://h/R/.", true},            {"http://h/..", true},          {"http://h/R/%2e%2E/x", true},
      {"http://h/R/%2E", true},          {"http://h/R/.%2e/", true},     {"/R/a/../b", true},
      {"http://h/R/..x", false},         {"http://h/R/x..", false},      {"http://h/R/...", false},
      {"http://h/R/.hidden", false},     {"http://h/R/a.b/c", false},    {"http://h", false},
      {"http://h.example.com/R", false}, {"http://h/R/a\\..", false},   {"http://h/R/%252e%252e", false},
  };
  for (const auto& [url, dots] : cases) EXPECT_EQ(dots, HasDotSegment(url)) << url;
}

}  // namespace
}  // namespace zan::http
