// Which ids an operation may turn into a URL, and which names and node property values the
// engine stores; no server involved.
#include <gtest/gtest.h>

#include <string>

#include "base/GenException.h"
#include "base/SafeNames.h"
#include "engine/NodeIds.h"
#include "engine/NodeNames.h"
#include "engine_fixture.h"

namespace zan::test {
namespace {

using engine::NodeUse;

struct IdCase {
  std::string id;
  bool readable;
  bool writable;
};

TEST(NodeIdsTest, DotSegmentsNeverTheRootAndTemplatesOnlyForReading) {
  const IdCase cases[] = {
      {"Alpha", true, true},
      {"Alpha/Designs/Billing", true, true},
      {"Alpha/Designs/", true, true},
      {"Alpha\\Designs", true, true},
      {"..Alpha/x..", true, true},
      {"Alpha/.hidden", true, true},
      {"Templates2", true, true},
      {"Alpha/Templates", true, true},
      {"50%/Gr\xC3\xB6\xC3\x9F" "e", true, true},
      {"", true, false},
      {"/", true, false},
      {"//", true, false},
      {"\\", true, false},
      {"Templates", true, false},
      {"Templates/MBP.xml", true, false},
      {"templates/", true, false},
      {"/Templates", true, false},
      {"Templat%65s", true, false},
      {".", false, false},
      {"..", false, false},
      {"A/..", false, false},
      {"A/B/../..", false, false},
      {"A/./B", false, false},
      {"A\\..", false, false},
      {"A/..\\", false, false},
      {"%2e%2e", false, false},
      {"A/%2E%2e", false, false},
      {"A/%2e", false, false},
      {"A%2f..", false, false},
      {std::string("A\0B", 3), false, false},
      {"A%00.txt", false, false},
  };
  for (const IdCase& c : cases) {
    EXPECT_EQ(c.readable, engine::RefusalOf(c.id, NodeUse::kRead).empty()) << names::Printable(c.id);
    EXPECT_EQ(c.writable, engine::RefusalOf(c.id, NodeUse::kWrite).empty()) << names::Printable(c.id);
  }
}

TEST(NodeIdsTest, ARefusalIsTheOperationsMissingNodeFailureNamingTheId) {
  const engine::MissingNode missing{404, "The item you requested was not found.", "SetFolderProperties"};
  EXPECT_EQ("404 The item you requested was not found. Refused id 'A/..': it holds a '.' or '..' segment. "
            "[CZanDavEngine::SetFolderProperties]",
            ErrorOf([&] { engine::RequireUsableId("A/..", NodeUse::kWrite, missing); }));
  EXPECT_EQ("404 The item you requested was not found. Refused id '': it names the repository root. "
            "[CZanDavEngine::SetFolderProperties]",
            ErrorOf([&] { engine::RequireUsableId("", NodeUse::kWrite, missing); }));
  EXPECT_EQ("no error", ErrorOf([&] { engine::RequireUsableId("", NodeUse::kRead, missing); }));
}

TEST(NodeNamesTest, NewNamesAreSingleSafeSegments) {
  const std::pair<std::string, bool> cases[] = {
      {"Alpha", true},         {"My Project #1", true}, {"Gr\xC3\xB6\xC3\x9F" "e", true}, {"..x", true},
      {"a.b", true},           {"50%", true},           {"", false},                     {".", false},
      {"..", false},           {"../../etc", false},    {"a/b", false},                  {"a\\b", false},
      {"tab\there", false},    {"cr\r", false},         {"lf\n", false},                 {"esc\x1b[31m", false},
      {"del\x7f", false},      {std::string("nul\0x", 5), false},
  };
  for (const auto& [name, safe] : cases) {
    EXPECT_EQ(safe, ErrorOf([&] { engine::RequireSafeNewName(name, false, "CreateFolder"); }) == "no error")
        << names::Printable(name);
  }
  EXPECT_EQ("1004 Invalid node name 'esc\\x1B[31m': a name may not hold control characters (NUL, CR, LF, TAB, ESC, "
            "...). [CZanDavEngine::CreateFolder]",
            ErrorOf([&] { engine::RequireSafeNewName("esc\x1b[31m", false, "CreateFolder"); }));
  EXPECT_NE("no error", ErrorOf([&] { engine::RequireSafeNewName("templates", true, "CreateProject"); }));
  EXPECT_EQ("no error", ErrorOf([&] { engine::RequireSafeNewName("Templates", false, "CreateFolder"); }));
}

TEST(NodeNamesTest, TheThreeNodePropertiesTakeOnlyValuesListingsCanUse) {
  const std::pair<const char*, const char*> good[] = {
      {"ZAN_NAME", "Alpha"},       {"ZAN_NODE_TYPE", "ZAN_PROJECT"}, {"ZAN_NODE_TYPE", "ZAN_FOLDER"},
      {"ZAN_NODE_TYPE", "ZAN_BP"}, {"ZAN_HAS_CHILDREN", "TRUE"},     {"ZAN_HAS_CHILDREN", "FALSE"},
      {"ZAN_DESCRIPTION", ".."},   {"Owner", ""},
  };
  const std::pair<const char*, const char*> bad[] = {
      {"ZAN_NAME", ".."},          {"ZAN_NAME", "."},           {"ZAN_NAME", ""},
      {"ZAN_NAME", "a/b"},         {"ZAN_NAME", "a\\b"},        {"ZAN_NAME", "x\ny"},
      {"ZAN_NODE_TYPE", "ZAN_ROOT"}, {"ZAN_NODE_TYPE", "zan_bp"}, {"ZAN_NODE_TYPE", ""},
      {"ZAN_HAS_CHILDREN", "true"}, {"ZAN_HAS_CHILDREN", "YES"}, {"ZAN_HAS_CHILDREN", ""},
  };
  for (const auto& [name, value] : good) {
    XMLSet props = Items({{"ZAN_DESCRIPTION", "ok"}, {name, value}});
    EXPECT_EQ("no error", ErrorOf([&] { engine::RequireSafeNodeProperties(props, "SetFolderProperties"); }))
        << name << "=" << value;
  }
  for (const auto& [name, value] : bad) {
    XMLSet props = Items({{"ZAN_DESCRIPTION", "ok"}, {name, value}});
    const std::string error = ErrorOf([&] { engine::RequireSafeNodeProperties(props, "SetFolderProperties"); });
    EXPECT_EQ(0u, error.find("1004 Invalid value '")) << name << "=" << value << ": " << error;
    EXPECT_NE(std::string::npos, error.find(name)) << error;
  }
}

}  // namespace
}  // namespace zan::test
