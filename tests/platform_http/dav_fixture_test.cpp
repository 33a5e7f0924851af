// The integration fixture itself: each test gets a fresh root seeded with the templates.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/dav_server.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

std::string ReadLocal(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class DavFixtureTest : public DavTest {};

TEST_F(DavFixtureTest, SeedsTheTemplatesByteForByte) {
  const std::filesystem::path dir = std::filesystem::path(ZAN_SOURCE_DIR) / "tests/data/Templates";
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string expected;
  for (const auto& n : names) expected += (expected.empty() ? "" : "\n") + n;
  EXPECT_EQ(expected, List(Url("Templates")));
  for (const auto& n : names) EXPECT_TRUE(Get(Url("Templates/" + n)) == ReadLocal(dir / n)) << n;
}

TEST_F(DavFixtureTest, EveryTestHasItsOwnRoot) {
  static std::string previous;
  EXPECT_NE(previous, R());
  EXPECT_TRUE(R().starts_with(DavServer::Url() + "/"));
  EXPECT_EQ("Templates/", List(R()));
  ASSERT_EQ(201, Put(Url("mark.txt"), "mine"));
  previous = R();
}

TEST_F(DavFixtureTest, EveryTestHasItsOwnRootAgain) {
  EXPECT_EQ("Templates/", List(R()));
}

}  // namespace
}  // namespace zan::test
