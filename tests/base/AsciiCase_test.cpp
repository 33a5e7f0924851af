#include "base/AsciiCase.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(AsciiCase, ComparesAsciiLettersWithoutCaseAndEveryOtherByteExactly) {
  struct Case {
    std::string_view a, b;
    bool equal;
  };
  const Case cases[] = {
      {"Templates", "templates", true},
      {"TEMPLATES", "Templates", true},
      {"T", "t", true},
      {"T", "F", false},
      {"", "", true},
      {"T", "", false},
      {"Templates", "Template", false},
      {"0.MBP", "0.mbp", true},
      {"@", "`", false},              // the bytes just beside 'A' and 'a'
      {"[", "{", false},
      {"\xC3\x84", "\xC3\xA4", false},  // Ä and ä: not ASCII
      {std::string_view("T\0x", 3), "T", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.equal, zan::EqualsIgnoringAsciiCase(c.a, c.b)) << c.a << " / " << c.b;
    EXPECT_EQ(c.equal, zan::EqualsIgnoringAsciiCase(c.b, c.a)) << c.b << " / " << c.a;
  }
}

TEST(AsciiCase, EndsWith) {
  const std::tuple<std::string_view, std::string_view, bool> cases[] = {
      {"x.usr", ".usr", true}, {"X.USR", ".usr", true}, {".usr", ".usr", true},
      {"usr", ".usr", false},  {"x.usr.bak", ".usr", false}, {"", ".usr", false},
  };
  for (const auto& [text, suffix, expected] : cases)
    EXPECT_EQ(expected, zan::EndsWithIgnoringAsciiCase(text, suffix)) << text;
}

}  // namespace
