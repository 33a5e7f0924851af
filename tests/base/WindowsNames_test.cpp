#include "base/WindowsNames.h"

#include <gtest/gtest.h>

namespace zan::names {
namespace {

TEST(WindowsNames, WhatWindowsCannotStoreAsItself) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"CON", "a reserved device name"},
      {"con", "a reserved device name"},
      {"Con.txt", "a reserved device name"},
      {"NUL.tar.gz", "a reserved device name"},
      {"CON .txt", "a reserved device name"},
      {"aux", "a reserved device name"},
      {"COM0", "a reserved device name"},
      {"com9.log", "a reserved device name"},
      {"LPT1", "a reserved device name"},
      {"COM\xC2\xB9", "a reserved device name"},
      {"lpt\xC2\xB3.x", "a reserved device name"},
      {"CONOUT$", "a reserved device name"},
      {"a:b", "the character ':'"},
      {"x*", "the character '*'"},
      {"x?", "the character '?'"},
      {"x\"", "the character '\"'"},
      {"<x", "the character '<'"},
      {"x>", "the character '>'"},
      {"a|b", "the character '|'"},
      {"a\\b", "the character '\\'"},
      {"tab\there", "a control character"},
      {"end.", "a trailing dot or space (Windows drops it)"},
      {"end ", "a trailing dot or space (Windows drops it)"},
      {"", "the name is empty"},
  };
  for (const auto& [name, reason] : cases) EXPECT_EQ(reason, WindowsNameReason(name)) << name;
  for (const std::string fine : {"CONSOLE", "console.txt", "COM10", "LPT", "xCON", "NULL", ".profile", "a.b.c",
                                 "Gr\xC3\xB6\xC3\x9F" "e", " leading", "COM\xC2\xB4", "\xE6\x97\xA5\xE6\x9C\xAC"})
    EXPECT_EQ("", WindowsNameReason(fine)) << fine;
}

TEST(WindowsNames, NamesThatDifferOnlyInCaseCollide) {
  using Pair = std::pair<std::string, std::string>;
  EXPECT_EQ(Pair("Readme.txt", "README.TXT"), FirstCaseCollision({"a", "Readme.txt", "b", "README.TXT"}));
  EXPECT_EQ(Pair("\xC3\x84pfel", "\xC3\xA4PFEL"), FirstCaseCollision({"\xC3\x84pfel", "\xC3\xA4PFEL"}));  // Äpfel
  EXPECT_EQ(Pair("\xD0\x94\xD0\xB0", "\xD0\xB4\xD0\x90"), FirstCaseCollision({"\xD0\x94\xD0\xB0", "\xD0\xB4\xD0\x90"}));
  EXPECT_EQ(Pair("\xC5\x81" "a", "\xC5\x82" "A"), FirstCaseCollision({"\xC5\x81" "a", "\xC5\x82" "A"}));  // Ł ł
  EXPECT_EQ(Pair(), FirstCaseCollision({"a", "b", "a.txt", "a.TXT1", "\xC3\x9F", "ss"}));
  // Malformed bytes reach a Windows file system as U+FFFD: two such names are one file there.
  EXPECT_EQ(Pair("a\xFF", "A\xFE"), FirstCaseCollision({"a\xFF", "A\xFE"}));
}

}  // namespace
}  // namespace zan::names
